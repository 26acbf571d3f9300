#include "asio/driver_list.h"

#include <algorithm>
#include <cstring>

namespace orvelan::io {

namespace {

constexpr std::size_t kMaxDescription = 127;
constexpr std::size_t kShortNameKeep = 28;

}  // namespace

AsioDriverList::AsioDriverList(const audio::DriverCatalog& catalog) {
  // Nodes are numbered by their place in the list, so that every listed
  // driver is reachable by an index below count().
  for (audio::CatalogDriver& driver : catalog.drivers()) {
    std::string name = driver.entry.description.substr(0, kMaxDescription);
    nodes_.push_back({int(nodes_.size()), std::move(name), std::move(driver), nullptr});
  }
}

AsioDriverList::~AsioDriverList() { removeCurrentDriver(); }

std::string AsioDriverList::shortName(const Node& node) const {
  if (node.drvName.size() < std::size_t(audio::kDriverNameSize)) return node.drvName;
  return node.drvName.substr(0, kShortNameKeep) + "...";
}

int AsioDriverList::driverName(int index, char* out) const {
  if (!out) return kDriverListNoBuffer;
  const auto node = std::find_if(nodes_.begin(), nodes_.end(), [index](const Node& n) { return n.drvID == index; });
  if (node == nodes_.end()) return kDriverListNoDriver;
  const std::string name = shortName(*node);
  std::memcpy(out, name.c_str(), name.size() + 1);
  return 0;
}

bool AsioDriverList::loadDriver(const char* name) {
  if (!name) return false;
  const auto node = std::find_if(nodes_.begin(), nodes_.end(), [&](const Node& n) { return shortName(n) == name; });
  if (node == nodes_.end()) return false;

  const std::string previous = current_ >= 0 ? shortName(nodes_[std::size_t(current_)]) : std::string();
  removeCurrentDriver();
  node->driver = node->source.driverClass.create(node->source.entry);
  if (node->driver) {
    current_ = node->drvID;
    return true;
  }
  if (!previous.empty() && previous != name) loadDriver(previous.c_str());
  return false;
}

void AsioDriverList::removeCurrentDriver() {
  if (current_ >= 0) nodes_[std::size_t(current_)].driver.reset();
  current_ = -1;
}

audio::AudioDriver* AsioDriverList::currentDriver() const {
  return current_ >= 0 ? nodes_[std::size_t(current_)].driver.get() : nullptr;
}

}  // namespace orvelan::io
