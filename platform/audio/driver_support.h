// Small pieces the drivers share: the monotonic clock, the fixed-size text
// fields of the interface, the checks of createBuffers' callback record,
// and the call of the host's switch in the form the host asked for.
#pragma once

#include <cstdint>
#include <string>

#include "audio/audio_driver.h"

namespace orvelan::audio {

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonicNs();

// text into a field of `size` chars: cut to fit, always terminated, the rest zero.
void copyText(char* out, int size, const std::string& text);

// Whether createBuffers' arguments name a usable callback record and array.
bool buffersRequestUsable(const BufferInfo* infos, long numChannels, const DriverCallbacks* callbacks);

// bufferSwitchTimeInfo is used when the host has it and answers yes to
// kSupportsTimeInfo (or has no plain switch at all). Asked once, in createBuffers.
bool hostWantsTimeInfo(const DriverCallbacks& callbacks);

inline void callBufferSwitch(const DriverCallbacks& callbacks, bool useTimeInfo, TimeInfo& time, long index) {
  if (useTimeInfo)
    callbacks.bufferSwitchTimeInfo(&time, index, 1);
  else
    callbacks.bufferSwitch(index, 1);
}

}  // namespace orvelan::audio
