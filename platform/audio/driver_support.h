// Small pieces the drivers share: the monotonic clock, the fixed-size text
// fields of the interface, the checks of createBuffers' arguments and the
// layout of its buffer halves, and the call of the host's switch in the form
// the host asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_driver.h"

namespace orvelan::audio {

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonicNs();

// text into a field of `size` chars: cut to fit, always terminated, the rest zero.
void copyText(char* out, int size, const std::string& text);

// Whether createBuffers' arguments name a usable callback record and array.
bool buffersRequestUsable(const BufferInfo* infos, long numChannels, const DriverCallbacks* callbacks);

// Whether every entry of createBuffers' list names an existing channel of its
// direction (inputs or outputs), and none is listed twice.
bool channelListValid(const BufferInfo* infos, long numChannels, int inputs, int outputs);

// Two zeroed halves of `halfSize` elements per listed channel, in list order
// (channel i's half h at (2i + h) * halfSize), held in `storage`; each entry's
// buffers point at its halves.
template <typename T>
void layOutBufferHalves(std::vector<T>& storage, BufferInfo* infos, long numChannels, std::size_t halfSize) {
  storage.assign(halfSize * 2 * std::size_t(numChannels), T{});
  for (long i = 0; i < numChannels; ++i)
    for (int half = 0; half < 2; ++half)
      infos[i].buffers[half] = storage.data() + (std::size_t(i) * 2 + std::size_t(half)) * halfSize;
}

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
