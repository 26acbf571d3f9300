// The catalog of audio drivers this machine offers, in place of a system
// registry of drivers: ordered entries {description, class id}, read from
// stores in turn (the built-ins, then the user's ini file, then an
// environment override; tests use an in-memory store), and a class table
// that maps a class id, compared without regard to letter case, to the
// backend that creates the driver and to a test of whether that backend can
// run here.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_driver.h"

namespace orvelan::audio {

struct CatalogEntry {
  std::string description;  // the name the driver is listed under
  std::string classId;      // the backend that runs it
  std::map<std::string, std::string> options;  // handed to the backend (device, channels, ...)
};

class CatalogStore {
 public:
  virtual ~CatalogStore() = default;
  virtual std::vector<CatalogEntry> entries() const = 0;
};

class MemoryStore final : public CatalogStore {
 public:
  explicit MemoryStore(std::vector<CatalogEntry> entries) : entries_(std::move(entries)) {}
  std::vector<CatalogEntry> entries() const override { return entries_; }

 private:
  std::vector<CatalogEntry> entries_;
};

// One entry per section that has a "clsid" value: the description is the
// section's "description" value, or else the section name; every other value
// is an option. A missing file holds no entries.
class IniFileStore final : public CatalogStore {
 public:
  explicit IniFileStore(std::string path) : path_(std::move(path)) {}
  std::vector<CatalogEntry> entries() const override;

 private:
  std::string path_;
};

// Entries from an environment variable:
//   description=classId[,option=value...][;description=classId...]
class EnvironmentStore final : public CatalogStore {
 public:
  explicit EnvironmentStore(std::string variable) : variable_(std::move(variable)) {}
  std::vector<CatalogEntry> entries() const override;

 private:
  std::string variable_;
};

// The entries of the stores in order. An entry whose description an earlier
// store already listed takes that entry's place; one with an empty class id
// removes it.
std::vector<CatalogEntry> mergeEntries(const std::vector<std::unique_ptr<CatalogStore>>& stores);

struct DriverClass {
  std::string classId;
  // A new driver for the entry, or null when it cannot be created.
  std::function<std::unique_ptr<AudioDriver>(const CatalogEntry&)> create;
  // Whether the backend can run on this machine (its library, server or
  // devices are there); an entry of an unavailable class is not listed.
  std::function<bool()> available;
};

class DriverClassTable {
 public:
  void add(DriverClass driverClass);
  // The class of that id, letter case ignored; null when there is none.
  const DriverClass* find(std::string_view classId) const;

 private:
  std::vector<DriverClass> classes_;
};

// A listed driver: its entry and (a copy of) its class.
struct CatalogDriver {
  CatalogEntry entry;
  DriverClass driverClass;
};

class DriverCatalog {
 public:
  DriverCatalog(DriverClassTable classes, std::vector<std::unique_ptr<CatalogStore>> stores)
      : classes_(std::move(classes)), stores_(std::move(stores)) {}

  // The merged entries, in order, whose class is registered and available.
  std::vector<CatalogDriver> drivers() const;

 private:
  DriverClassTable classes_;
  std::vector<std::unique_ptr<CatalogStore>> stores_;
};

// A catalog listing one driver per description, every one made by `create`
// (for tests and tools that bring a driver of their own).
std::unique_ptr<DriverCatalog> catalogOf(const std::vector<std::string>& descriptions,
                                         std::function<std::unique_ptr<AudioDriver>(const CatalogEntry&)> create);

}  // namespace orvelan::audio
