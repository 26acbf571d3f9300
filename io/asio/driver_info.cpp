#include "asio/driver_info.h"

#include <cstring>

namespace orvelan::io {

namespace {

template <std::size_t N>
void setText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::strncpy(field, text, N - 1);
}

}  // namespace

int initDriver(audio::AudioDriver* driver, AsioDriverInfo& info) {
  info.driverVersion = 0;
  setText(info.name, "No ASIO Driver");
  if (!driver) return kAsioNotPresent;
  if (driver->init(info.systemReference)) {
    setText(info.errorMessage, "No ASIO Driver Error");
    driver->getDriverName(info.name);
    info.name[sizeof info.name - 1] = '\0';
    info.driverVersion = std::int32_t(driver->getDriverVersion());
    return 0;
  }
  driver->getErrorMessage(info.errorMessage);
  info.errorMessage[sizeof info.errorMessage - 1] = '\0';
  return kAsioNotPresent;
}

}  // namespace orvelan::io
