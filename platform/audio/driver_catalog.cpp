#include "audio/driver_catalog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "audio/ini_file.h"

namespace orvelan::audio {

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// "key=value" into the pair, both trimmed; false without '='.
bool splitAssignment(const std::string& text, std::string& key, std::string& value) {
  const auto equals = text.find('=');
  if (equals == std::string::npos) return false;
  key = trimmed(text.substr(0, equals));
  value = trimmed(text.substr(equals + 1));
  return !key.empty();
}

}  // namespace

std::vector<CatalogEntry> IniFileStore::entries() const {
  std::ifstream file(path_);
  if (!file) return {};
  std::vector<CatalogEntry> entries;
  for (const IniSection& section : parseIni(file)) {
    const std::string* classId = section.find("clsid");
    if (!classId) continue;
    const std::string* description = section.find("description");
    CatalogEntry entry{description && !description->empty() ? *description : section.name, *classId, {}};
    for (const auto& [key, value] : section.values)
      if (key != "clsid" && key != "description") entry.options[key] = value;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<CatalogEntry> EnvironmentStore::entries() const {
  const char* text = std::getenv(variable_.c_str());
  if (!text) return {};
  std::vector<CatalogEntry> entries;
  for (const std::string& item : split(text, ';')) {
    const std::vector<std::string> fields = split(item, ',');
    CatalogEntry entry;
    if (fields.empty() || !splitAssignment(fields[0], entry.description, entry.classId)) continue;
    for (std::size_t i = 1; i < fields.size(); ++i) {
      std::string key, value;
      if (splitAssignment(fields[i], key, value)) entry.options[key] = value;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<CatalogEntry> mergeEntries(const std::vector<std::unique_ptr<CatalogStore>>& stores) {
  std::vector<CatalogEntry> merged;
  for (const auto& store : stores) {
    for (CatalogEntry& entry : store->entries()) {
      auto same = std::find_if(merged.begin(), merged.end(),
                               [&](const CatalogEntry& e) { return e.description == entry.description; });
      if (entry.classId.empty()) {
        if (same != merged.end()) merged.erase(same);
      } else if (same != merged.end()) {
        *same = std::move(entry);
      } else {
        merged.push_back(std::move(entry));
      }
    }
  }
  return merged;
}

void DriverClassTable::add(DriverClass driverClass) { classes_.push_back(std::move(driverClass)); }

const DriverClass* DriverClassTable::find(std::string_view classId) const {
  for (const DriverClass& c : classes_)
    if (equalIgnoringCase(c.classId, classId)) return &c;
  return nullptr;
}

std::vector<CatalogDriver> DriverCatalog::drivers() const {
  std::vector<CatalogDriver> drivers;
  for (CatalogEntry& entry : mergeEntries(stores_)) {
    const DriverClass* driverClass = classes_.find(entry.classId);
    if (driverClass && driverClass->create && (!driverClass->available || driverClass->available()))
      drivers.push_back({std::move(entry), *driverClass});
  }
  return drivers;
}

std::unique_ptr<DriverCatalog> catalogOf(const std::vector<std::string>& descriptions,
                                         std::function<std::unique_ptr<AudioDriver>(const CatalogEntry&)> create) {
  static constexpr const char* kClassId = "{0F0F0F0F-0000-0000-0000-000000000001}";
  DriverClassTable classes;
  classes.add({kClassId, std::move(create), [] { return true; }});
  std::vector<CatalogEntry> entries;
  for (const std::string& description : descriptions) entries.push_back({description, kClassId, {}});
  std::vector<std::unique_ptr<CatalogStore>> stores;
  stores.push_back(std::make_unique<MemoryStore>(std::move(entries)));
  return std::make_unique<DriverCatalog>(std::move(classes), std::move(stores));
}

}  // namespace orvelan::audio
