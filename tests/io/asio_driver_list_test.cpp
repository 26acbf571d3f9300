// The host's driver list over the driver catalog: order, name cutting,
// loading by exact name, the previous driver restored when a load fails, a
// user entry that lists a driver under the interface box's name; and the
// init sequence's texts.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "asio/driver_info.h"
#include "asio/driver_list.h"
#include "audio/backends/builtin_drivers.h"

namespace orvelan::io {
namespace {

using audio::CatalogEntry;
using audio::kVirtualClassId;

constexpr const char* kFailingClassId = "{FA11-0000}";
constexpr const char* kAbsentClassId = "{AB5E-0000}";
constexpr const char* kBoxDriverName = "ASIO TCAT Dice EVM Platform";

audio::DriverCatalog catalogOf(std::vector<CatalogEntry> entries) {
  audio::DriverClassTable classes = audio::builtinClasses();
  classes.add({kFailingClassId, [](const CatalogEntry&) { return std::unique_ptr<audio::AudioDriver>(); },
               [] { return true; }});
  classes.add({kAbsentClassId, [](const CatalogEntry&) { return std::unique_ptr<audio::AudioDriver>(); },
               [] { return false; }});
  std::vector<std::unique_ptr<audio::CatalogStore>> stores;
  stores.push_back(std::make_unique<audio::MemoryStore>(std::move(entries)));
  return audio::DriverCatalog(std::move(classes), std::move(stores));
}

std::string nameOf(const AsioDriverList& list, int index) {
  char name[audio::kDriverNameSize];
  std::memset(name, 'X', sizeof name);
  EXPECT_EQ(list.driverName(index, name), 0);
  return name;
}

const std::string kForty = "A driver whose description has 40 chars.";

TEST(AsioDriverList, ListsAvailableDriversInCatalogOrderNumberedWithoutGaps) {
  const AsioDriverList list(catalogOf({{"Unavailable", kAbsentClassId, {}},
                                       {"First", kVirtualClassId, {}},
                                       {"Unknown class", "{0000}", {}},
                                       {kForty, kVirtualClassId, {}},
                                       {"Fails to create", kFailingClassId, {}}}));
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(nameOf(list, 0), "First");
  EXPECT_EQ(nameOf(list, 1), kForty.substr(0, 28) + "...");
  EXPECT_EQ(nameOf(list, 2), "Fails to create");
  char name[audio::kDriverNameSize];
  EXPECT_EQ(list.driverName(3, name), kDriverListNoDriver);
  EXPECT_EQ(list.driverName(-1, name), kDriverListNoDriver);
  EXPECT_EQ(list.driverName(0, nullptr), kDriverListNoBuffer);
  EXPECT_EQ(list.currentDriver(), nullptr);
  EXPECT_EQ(list.currentIndex(), -1);
}

TEST(AsioDriverList, NamesOf32CharactersOrMoreAreCutTo28AndDots) {
  struct Case {
    std::size_t length;
    bool cut;
  };
  for (const Case c : {Case{1, false}, Case{31, false}, Case{32, true}, Case{127, true}, Case{300, true}}) {
    std::string description;
    for (std::size_t i = 0; i < c.length; ++i) description += char('a' + i % 26);
    AsioDriverList list(catalogOf({{description, kVirtualClassId, {}}}));
    const std::string expected = c.cut ? description.substr(0, 28) + "..." : description;
    EXPECT_EQ(nameOf(list, 0), expected) << c.length;
    // Loading goes by the name as listed, never by the full description.
    if (c.cut) {
      EXPECT_FALSE(list.loadDriver(description.c_str())) << c.length;
    }
    EXPECT_TRUE(list.loadDriver(expected.c_str())) << c.length;
  }
}

TEST(AsioDriverList, LoadsByExactNameAndKeepsTheCurrentDriverOnAMiss) {
  AsioDriverList list(catalogOf({{"Alpha", kVirtualClassId, {}}, {"Beta", kVirtualClassId, {{"inputs", "4"}}}}));
  EXPECT_FALSE(list.loadDriver("No Name"));
  EXPECT_EQ(list.currentDriver(), nullptr);

  ASSERT_TRUE(list.loadDriver("Alpha"));
  audio::AudioDriver* alpha = list.currentDriver();
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(list.currentIndex(), 0);
  for (const char* miss : {"alpha", "Alpha ", "Gamma", ""}) {
    EXPECT_FALSE(list.loadDriver(miss)) << miss;
    EXPECT_EQ(list.currentDriver(), alpha) << miss;  // the very same object stays
  }
  EXPECT_FALSE(list.loadDriver(nullptr));

  ASSERT_TRUE(list.loadDriver("Beta"));
  EXPECT_EQ(list.currentIndex(), 1);
  // The entry's options reached the driver.
  ASSERT_TRUE(list.currentDriver()->init(nullptr));
  long in = 0, out = 0;
  ASSERT_EQ(list.currentDriver()->getChannels(&in, &out), audio::kDriverOk);
  EXPECT_EQ(in, 4);

  list.removeCurrentDriver();
  EXPECT_EQ(list.currentDriver(), nullptr);
  EXPECT_EQ(list.currentIndex(), -1);
}

TEST(AsioDriverList, AFailedLoadBringsThePreviousDriverBack) {
  AsioDriverList list(catalogOf({{"Good", kVirtualClassId, {}},
                                 {"Bad", kFailingClassId, {}},
                                 {"Bad options", kVirtualClassId, {{"inputs", "many"}}}}));
  EXPECT_FALSE(list.loadDriver("Bad"));  // nothing to restore
  EXPECT_EQ(list.currentDriver(), nullptr);

  ASSERT_TRUE(list.loadDriver("Good"));
  for (const char* failing : {"Bad", "Bad options"}) {
    EXPECT_FALSE(list.loadDriver(failing)) << failing;
    EXPECT_EQ(list.currentIndex(), 0) << failing;
    EXPECT_NE(list.currentDriver(), nullptr) << failing;
  }
}

TEST(AsioDriverList, AUserEntryCanListADriverUnderTheBoxDriversName) {
  char path[] = "/tmp/orvelan_drivers_XXXXXX";
  close(mkstemp(path));
  std::ofstream(path) << "[" << kBoxDriverName << "]\nclsid = {a40a4a6f-d0d4-490c-b24f-ecd70142aa05}\nclock = manual\n";
  std::vector<std::unique_ptr<audio::CatalogStore>> stores;
  stores.push_back(std::make_unique<audio::MemoryStore>(audio::builtinEntries()));
  stores.push_back(std::make_unique<audio::IniFileStore>(path));
  AsioDriverList list(audio::DriverCatalog(audio::builtinClasses(), std::move(stores)));
  unlink(path);

  ASSERT_GE(list.count(), 2);
  EXPECT_EQ(nameOf(list, 0), audio::kVirtualDeviceName);
  EXPECT_EQ(nameOf(list, list.count() - 1), kBoxDriverName);
  ASSERT_TRUE(list.loadDriver(kBoxDriverName));
  AsioDriverInfo info;
  ASSERT_EQ(initDriver(list.currentDriver(), info), 0);
  EXPECT_STREQ(info.name, audio::kVirtualDeviceName);
  long in = 0, out = 0;
  ASSERT_EQ(list.currentDriver()->getChannels(&in, &out), audio::kDriverOk);
  EXPECT_EQ(in, 32);
  EXPECT_EQ(out, 24);
}

TEST(AsioDriverInit, FillsTheInfoRecordOrTheDriversReason) {
  AsioDriverInfo info;
  EXPECT_EQ(initDriver(nullptr, info), kAsioNotPresent);
  EXPECT_STREQ(info.name, "No ASIO Driver");
  EXPECT_EQ(info.driverVersion, 0);
  EXPECT_EQ(info.asioVersion, 2);

  audio::VirtualDeviceConfig config;
  config.version = 3;
  audio::VirtualAudioDevice good(config);
  ASSERT_EQ(initDriver(&good, info), 0);
  EXPECT_STREQ(info.name, audio::kVirtualDeviceName);
  EXPECT_STREQ(info.errorMessage, "No ASIO Driver Error");
  EXPECT_EQ(info.driverVersion, 3);

  config.faults.initFails = true;
  config.faults.initError = "Clock source missing";
  audio::VirtualAudioDevice bad(config);
  AsioDriverInfo failed;
  EXPECT_EQ(initDriver(&bad, failed), kAsioNotPresent);
  EXPECT_STREQ(failed.name, "No ASIO Driver");
  EXPECT_STREQ(failed.errorMessage, "Clock source missing");
  EXPECT_EQ(failed.driverVersion, 0);
}

}  // namespace
}  // namespace orvelan::io
