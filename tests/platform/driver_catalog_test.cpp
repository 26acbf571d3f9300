// The driver catalog: entries from the built-ins, the user's ini file and
// the environment, merged in that order; class ids looked up without regard
// to case; entries of unknown or unavailable classes left out.
#include "audio/driver_catalog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "audio/backends/builtin_drivers.h"

namespace orvelan::audio {
namespace {

std::vector<std::string> descriptions(const std::vector<CatalogDriver>& drivers) {
  std::vector<std::string> names;
  for (const auto& d : drivers) names.push_back(d.entry.description);
  return names;
}

DriverClass fakeClass(const std::string& id, bool available = true) {
  return {id, [](const CatalogEntry&) { return std::unique_ptr<AudioDriver>(); },
          [available] { return available; }};
}

// A scratch directory removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/orvelan_catalog_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string write(const std::string& name, const std::string& text) const {
    const std::string file = path_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file) << text;
    return file;
  }

 private:
  std::string path_;
};

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_.empty())
      unsetenv(name_);
    else
      setenv(name_, old_.c_str(), 1);
  }

 private:
  const char* name_;
  std::string old_;
};

TEST(DriverCatalog, IniSectionsBecomeEntriesMirroringTheRegistryLayout) {
  TempDir dir;
  const std::string file = dir.write("drivers.ini",
                                     "; user drivers\n"
                                     "[Studio Box]\n"
                                     "clsid = {1111}\n"
                                     "device = hw:2\n"
                                     "\n"
                                     "[box-key]\n"
                                     "description = Named by its description\n"
                                     "clsid={2222}\n"
                                     "[No class here]\n"
                                     "description = left out\n");
  const auto entries = IniFileStore(file).entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].description, "Studio Box");
  EXPECT_EQ(entries[0].classId, "{1111}");
  EXPECT_EQ(entries[0].options, (std::map<std::string, std::string>{{"device", "hw:2"}}));
  EXPECT_EQ(entries[1].description, "Named by its description");
  EXPECT_TRUE(entries[1].options.empty());

  EXPECT_TRUE(IniFileStore(dir.path() + "/missing.ini").entries().empty());
}

TEST(DriverCatalog, EnvironmentEntriesCarryOptions) {
  ScopedEnv env("ORVELAN_TEST_DRIVERS", "Small=" + std::string(kVirtualClassId) +
                                            ",inputs=2,outputs=4;broken entry;Other = {3333}");
  const auto entries = EnvironmentStore("ORVELAN_TEST_DRIVERS").entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].description, "Small");
  EXPECT_EQ(entries[0].classId, kVirtualClassId);
  EXPECT_EQ(entries[0].options, (std::map<std::string, std::string>{{"inputs", "2"}, {"outputs", "4"}}));
  EXPECT_EQ(entries[1].description, "Other");
  EXPECT_EQ(entries[1].classId, "{3333}");
  EXPECT_TRUE(EnvironmentStore("ORVELAN_TEST_DRIVERS_UNSET").entries().empty());
}

TEST(DriverCatalog, LaterStoresAppendReplaceOrRemoveByDescription) {
  std::vector<std::unique_ptr<CatalogStore>> stores;
  stores.push_back(std::make_unique<MemoryStore>(
      std::vector<CatalogEntry>{{"A", "{a}", {}}, {"B", "{b}", {}}, {"C", "{c}", {}}}));
  stores.push_back(std::make_unique<MemoryStore>(std::vector<CatalogEntry>{
      {"D", "{d}", {}}, {"B", "{b2}", {{"k", "v"}}}, {"A", "", {}}}));
  const auto merged = mergeEntries(stores);
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged[0].description, "B");  // kept its place, took the later class
  EXPECT_EQ(merged[0].classId, "{b2}");
  EXPECT_EQ(merged[0].options.at("k"), "v");
  EXPECT_EQ(merged[1].description, "C");
  EXPECT_EQ(merged[2].description, "D");
}

TEST(DriverCatalog, ListsEntriesWhoseClassIsKnownAndAvailableIgnoringCase) {
  DriverClassTable classes;
  classes.add(fakeClass("{ABCDEF01-AAAA}"));
  classes.add(fakeClass("{0000-OFF}", false));
  std::vector<std::unique_ptr<CatalogStore>> stores;
  stores.push_back(std::make_unique<MemoryStore>(std::vector<CatalogEntry>{
      {"lower case id", "{abcdef01-aaaa}", {}},
      {"unavailable", "{0000-off}", {}},
      {"unknown class", "{9999}", {}},
      {"exact id", "{ABCDEF01-AAAA}", {}}}));
  const DriverCatalog catalog(std::move(classes), std::move(stores));
  const auto drivers = catalog.drivers();
  EXPECT_EQ(descriptions(drivers), (std::vector<std::string>{"lower case id", "exact id"}));
  EXPECT_EQ(drivers[0].driverClass.classId, "{ABCDEF01-AAAA}");
}

TEST(DriverCatalog, DefaultCatalogReadsBuiltinsThenUserFileThenEnvironment) {
  TempDir dir;
  dir.write("orvelan/audio-drivers.ini", std::string("[ASIO TCAT Dice EVM Platform]\nclsid=") +
                                             "{a40a4a6f-d0d4-490c-b24f-ecd70142aa05}\ninputs=32\n"
                                             "[From the file]\nclsid=" + kVirtualClassId + "\n");
  ScopedEnv config("XDG_CONFIG_HOME", dir.path());
  ScopedEnv env(kCatalogEnvironmentVariable,
                std::string("From the environment=") + kVirtualClassId + ";From the file=");
  EXPECT_EQ(userCatalogPath(), dir.path() + "/orvelan/audio-drivers.ini");
  // JACK is listed whether a server runs or not; ALSA only with a sound card.
  const auto names = descriptions(defaultCatalog().drivers());
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(names[0], kVirtualDeviceName);
  EXPECT_EQ(names[1], "JACK");
  EXPECT_EQ(names[names.size() - 2], "ASIO TCAT Dice EVM Platform");
  EXPECT_EQ(names.back(), "From the environment");
}

TEST(DriverCatalog, VirtualDeviceOptions) {
  const auto config = virtualConfigFromOptions({{"name", "Bench"}, {"inputs", "8"}, {"outputs", "2"},
                                                {"rates", "32000,96000"}, {"rate", "96000"},
                                                {"bufferSize", "100"}, {"sampleType", "16"},
                                                {"clock", "manual"}, {"input", "sine"}, {"frequency", "440"}});
  ASSERT_TRUE(config);
  EXPECT_EQ(config->name, "Bench");
  EXPECT_EQ(config->inputs, 8);
  EXPECT_EQ(config->outputs, 2);
  EXPECT_EQ(config->sampleRates, (std::vector<double>{32000.0, 96000.0}));
  EXPECT_EQ(config->sampleRate, 96000.0);
  EXPECT_EQ(config->bufferSizes.preferred, 100);
  EXPECT_EQ(config->sampleType, SampleType::Int16LSB);
  EXPECT_EQ(config->clock, ClockMode::Manual);
  EXPECT_EQ(config->input.kind, InputSource::Kind::Sine);
  EXPECT_EQ(config->input.frequency, 440.0);

  const std::map<std::string, std::string> invalid[] = {
      {{"inputs", "many"}}, {{"inputs", "-1"}},      {{"rates", "48000,"}},  {{"rate", "22050"}},
      {{"clock", "slow"}},  {{"bufferSize", "10"}},  {{"input", "noise"}},  {{"frequency", "0"}}};
  for (const auto& options : invalid)
    EXPECT_FALSE(virtualConfigFromOptions(options)) << options.begin()->first << "=" << options.begin()->second;
}

}  // namespace
}  // namespace orvelan::audio
