#include "audio/ini_file.h"

namespace orvelan::audio {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

const std::string* IniSection::find(const std::string& key) const {
  for (const auto& [k, v] : values)
    if (k == key) return &v;
  return nullptr;
}

std::vector<IniSection> parseIni(std::istream& in) {
  std::vector<IniSection> sections;
  std::string line;
  while (std::getline(in, line)) {
    line = trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      sections.push_back({trimmed(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos || sections.empty()) continue;
    sections.back().values.emplace_back(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
  }
  return sections;
}

}  // namespace orvelan::audio
