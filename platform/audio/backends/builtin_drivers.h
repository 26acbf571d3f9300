// The drivers this system brings: their class ids, the entries listed on
// every machine, the class table, where the user's catalog file lives, and
// the catalog the application reads (built-ins, then the user's file, then
// the environment variable ORVELAN_AUDIO_DRIVERS).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/driver_catalog.h"
#include "audio/backends/virtual/virtual_device.h"

namespace orvelan::audio {

inline constexpr const char* kVirtualClassId = "{A40A4A6F-D0D4-490C-B24F-ECD70142AA05}";
inline constexpr const char* kJackClassId = "{702E96AF-96CF-41D9-A76F-9CBBDCFD2701}";
inline constexpr const char* kAlsaClassId = "{D359D861-60E9-41FE-BA37-7886A4743A8F}";
inline constexpr const char* kCatalogEnvironmentVariable = "ORVELAN_AUDIO_DRIVERS";

// "Virtual Audio Device", then JACK (always: its library is linked in) and
// ALSA (listed only where a sound card exists).
std::vector<CatalogEntry> builtinEntries();
DriverClassTable builtinClasses();

// $XDG_CONFIG_HOME/orvelan/audio-drivers.ini, or ~/.config/... without it.
std::string userCatalogPath();

DriverCatalog defaultCatalog();

// The virtual device's configuration from an entry's options (all
// optional): name, inputs, outputs, rates (comma-separated), rate,
// bufferSize, sampleType (16..19, or another code to have one the host
// cannot handle), clock (manual, paced, free), input (silence, sine,
// impulse, loopback, file), frequency, file. Empty when a value is invalid.
std::optional<VirtualDeviceConfig> virtualConfigFromOptions(const std::map<std::string, std::string>& options);

}  // namespace orvelan::audio
