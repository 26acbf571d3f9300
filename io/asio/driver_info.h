// The record a driver fills when the host initialises it, and the host's
// init sequence: the record names "No ASIO Driver" until a driver says
// otherwise, and a driver that refuses init leaves its own reason in it.
#pragma once

#include <cstdint>

#include "audio/audio_driver.h"

namespace orvelan::io {

inline constexpr int kAsioNotPresent = audio::kDriverNotPresent;

struct AsioDriverInfo {
  std::int32_t asioVersion = 2;  // the interface version the host speaks
  std::int32_t driverVersion = 0;
  char name[audio::kDriverNameSize] = {};
  char errorMessage[audio::kErrorMessageSize] = {};
  void* systemReference = nullptr;
};

// Initialises driver and fills info. Returns 0, or kAsioNotPresent without
// a driver or when its init fails; on failure the caller lets go of the
// driver (it is not usable).
int initDriver(audio::AudioDriver* driver, AsioDriverInfo& info);

}  // namespace orvelan::io
