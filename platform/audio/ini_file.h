// A minimal ini reader for the driver catalog's user file: "[section]"
// lines open a section, "key = value" lines add to it (keys compared as
// written), lines starting with ';' or '#' are comments. Order is kept.
#pragma once

#include <istream>
#include <string>
#include <utility>
#include <vector>

namespace orvelan::audio {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;
  // The value of key, or null.
  const std::string* find(const std::string& key) const;
};

// Lines outside a section and lines without '=' are ignored.
std::vector<IniSection> parseIni(std::istream& in);

// Without the spaces and tabs at both ends.
std::string trimmed(const std::string& text);

}  // namespace orvelan::audio
