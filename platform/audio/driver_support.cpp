#include "audio/driver_support.h"

#include <time.h>

#include <cstring>

namespace orvelan::audio {

std::int64_t monotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void copyText(char* out, int size, const std::string& text) {
  std::memset(out, 0, std::size_t(size));
  std::strncpy(out, text.c_str(), std::size_t(size - 1));
}

bool buffersRequestUsable(const BufferInfo* infos, long numChannels, const DriverCallbacks* callbacks) {
  return callbacks && (callbacks->bufferSwitch || callbacks->bufferSwitchTimeInfo) && numChannels >= 0 &&
         (numChannels == 0 || infos);
}

bool channelListValid(const BufferInfo* infos, long numChannels, int inputs, int outputs) {
  for (long i = 0; i < numChannels; ++i) {
    const bool isInput = infos[i].isInput != 0;
    if (infos[i].channelNum < 0 || infos[i].channelNum >= (isInput ? inputs : outputs)) return false;
    // The list is a few dozen entries at most, and this runs once per stream set-up.
    for (long j = 0; j < i; ++j)
      if ((infos[j].isInput != 0) == isInput && infos[j].channelNum == infos[i].channelNum) return false;
  }
  return true;
}

bool hostWantsTimeInfo(const DriverCallbacks& callbacks) {
  return callbacks.bufferSwitchTimeInfo &&
         (!callbacks.bufferSwitch ||
          (callbacks.message && callbacks.message(kSupportsTimeInfo, 0, nullptr, nullptr) == 1));
}

}  // namespace orvelan::audio
