#include "audio/backends/builtin_drivers.h"

#include <charconv>
#include <cstdlib>
#include <sstream>

#include "audio/backends/alsa/alsa_driver.h"
#include "audio/backends/jack/jack_driver.h"

namespace orvelan::audio {

namespace {

template <typename Number>
bool parseNumber(const std::string& text, Number& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && ptr == end;
}

bool parseRates(const std::string& text, std::vector<double>& rates) {
  rates.clear();
  if (text.empty() || text.back() == ',') return false;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    double rate = 0.0;
    if (!parseNumber(item, rate) || rate <= 0.0) return false;
    rates.push_back(rate);
  }
  return !rates.empty();
}

template <typename Enum>
bool parseName(const std::string& text, const std::map<std::string, Enum>& names, Enum& out) {
  const auto found = names.find(text);
  if (found == names.end()) return false;
  out = found->second;
  return true;
}

}  // namespace

std::vector<CatalogEntry> builtinEntries() {
  return {
      {kVirtualDeviceName, kVirtualClassId, {}},
      {"JACK", kJackClassId, {}},
      {"ALSA default", kAlsaClassId, {{"device", "default"}}},
  };
}

DriverClassTable builtinClasses() {
  DriverClassTable classes;
  classes.add({kVirtualClassId,
               [](const CatalogEntry& entry) -> std::unique_ptr<AudioDriver> {
                 const auto config = virtualConfigFromOptions(entry.options);
                 if (!config) return nullptr;
                 return std::make_unique<VirtualAudioDevice>(*config);
               },
               [] { return true; }});
  classes.add({kJackClassId,
               [](const CatalogEntry& entry) -> std::unique_ptr<AudioDriver> {
                 JackDriverConfig config;
                 for (const auto& [key, value] : entry.options) {
                   bool ok = true;
                   if (key == "server") config.server = value;
                   else if (key == "client") config.clientName = value;
                   else if (key == "inputs") ok = parseNumber(value, config.inputs) && config.inputs >= 0;
                   else if (key == "outputs") ok = parseNumber(value, config.outputs) && config.outputs >= 0;
                   else if (key == "connect") config.connectPhysical = value == "physical";
                   if (!ok) return nullptr;
                 }
                 return std::make_unique<JackAudioDriver>(config);
               },
               // Listed wherever libjack is (it is linked in), server or not:
               // a server started after the program is then still reachable,
               // and opening without one fails with the driver's reason.
               [] { return true; }});
  classes.add({kAlsaClassId,
               [](const CatalogEntry& entry) -> std::unique_ptr<AudioDriver> {
                 AlsaDriverConfig config;
                 for (const auto& [key, value] : entry.options) {
                   bool ok = true;
                   if (key == "device") config.device = value;
                   else if (key == "capture") config.captureDevice = value;
                   else if (key == "playback") config.playbackDevice = value;
                   else if (key == "inputs") ok = parseNumber(value, config.inputs);
                   else if (key == "outputs") ok = parseNumber(value, config.outputs);
                   else if (key == "sampleType") ok = parseNumber(value, config.sampleType);
                   else if (key == "bufferSize") ok = parseNumber(value, config.preferredPeriod) && config.preferredPeriod > 0;
                   if (!ok) return nullptr;
                 }
                 return std::make_unique<AlsaAudioDriver>(config);
               },
               [] { return AlsaAudioDriver::soundCardPresent(); }});
  return classes;
}

std::string userCatalogPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && *config) {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.config";
  }
  return base + "/orvelan/audio-drivers.ini";
}

DriverCatalog defaultCatalog() {
  std::vector<std::unique_ptr<CatalogStore>> stores;
  stores.push_back(std::make_unique<MemoryStore>(builtinEntries()));
  stores.push_back(std::make_unique<IniFileStore>(userCatalogPath()));
  stores.push_back(std::make_unique<EnvironmentStore>(kCatalogEnvironmentVariable));
  return DriverCatalog(builtinClasses(), std::move(stores));
}

std::optional<VirtualDeviceConfig> virtualConfigFromOptions(const std::map<std::string, std::string>& options) {
  static const std::map<std::string, ClockMode> clocks = {
      {"manual", ClockMode::Manual}, {"paced", ClockMode::Paced}, {"free", ClockMode::FreeRunning}};
  static const std::map<std::string, InputSource::Kind> inputs = {
      {"silence", InputSource::Kind::Silence}, {"sine", InputSource::Kind::Sine},
      {"impulse", InputSource::Kind::Impulse}, {"loopback", InputSource::Kind::Loopback},
      {"file", InputSource::Kind::File}};

  VirtualDeviceConfig config;
  for (const auto& [key, value] : options) {
    bool ok = true;
    if (key == "name") {
      config.name = value;
    } else if (key == "inputs") {
      ok = parseNumber(value, config.inputs) && config.inputs >= 0;
    } else if (key == "outputs") {
      ok = parseNumber(value, config.outputs) && config.outputs >= 0;
    } else if (key == "rates") {
      ok = parseRates(value, config.sampleRates);
    } else if (key == "rate") {
      ok = parseNumber(value, config.sampleRate) && config.sampleRate > 0.0;
    } else if (key == "bufferSize") {
      // Any size the user names, not only powers of two.
      config.bufferSizes.granularity = 1;
      ok = parseNumber(value, config.bufferSizes.preferred) &&
           config.bufferSizes.preferred >= config.bufferSizes.minimum &&
           config.bufferSizes.preferred <= config.bufferSizes.maximum;
    } else if (key == "sampleType") {
      std::int32_t code = 0;
      ok = parseNumber(value, code);
      config.sampleType = SampleType(code);
    } else if (key == "clock") {
      ok = parseName(value, clocks, config.clock);
    } else if (key == "input") {
      ok = parseName(value, inputs, config.input.kind);
    } else if (key == "frequency") {
      ok = parseNumber(value, config.input.frequency) && config.input.frequency > 0.0;
    } else if (key == "file") {
      config.input.path = value;
    }
    if (!ok) return std::nullopt;
  }
  VirtualAudioDevice probe(config);
  if (probe.canSampleRate(config.sampleRate) != kDriverOk) return std::nullopt;
  return config;
}

}  // namespace orvelan::audio
