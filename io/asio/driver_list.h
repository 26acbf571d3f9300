// The list of audio drivers the host can open, built once from the driver
// catalog, with the loading and release of one driver at a time by its
// listed name. The names the host shows are cut to fit its 32-character
// records: longer ones keep their first 28 characters followed by "...".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/driver_catalog.h"

namespace orvelan::io {

inline constexpr int kDriverListNoBuffer = -5001;  // driverName without a place to write
inline constexpr int kDriverListNoDriver = -5003;  // driverName of an index not listed

class AsioDriverList {
 public:
  explicit AsioDriverList(const audio::DriverCatalog& catalog);
  ~AsioDriverList();
  AsioDriverList(const AsioDriverList&) = delete;
  AsioDriverList& operator=(const AsioDriverList&) = delete;

  int count() const { return int(nodes_.size()); }
  // The listed (shortened) name of driver `index` into out, which holds
  // audio::kDriverNameSize characters.
  int driverName(int index, char* out) const;

  // Loads the driver listed exactly as name, releasing the current one
  // first. When creation fails the previous driver, if it had another name,
  // is loaded again. True when name's driver is now current.
  bool loadDriver(const char* name);
  // Releases the current driver, if any.
  void removeCurrentDriver();

  audio::AudioDriver* currentDriver() const;
  int currentIndex() const { return current_; }

 private:
  struct Node {
    int drvID;                // position in the list
    std::string drvName;      // the full description, cut to 127 characters
    audio::CatalogDriver source;
    std::unique_ptr<audio::AudioDriver> driver;
  };

  std::string shortName(const Node& node) const;

  std::vector<Node> nodes_;
  int current_ = -1;
};

}  // namespace orvelan::io
