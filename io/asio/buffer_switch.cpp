// The buffer switch: once per driver half, on the driver's thread. Integer
// (or float) samples of the driver's input halves become device-rate
// floats, are resampled to the application rate when the device runs at
// another one, go through the processor in whole blocks, and come back
// into the output halves. When the driver's buffer equals the device-rate
// block each half is one block (direct path); otherwise the switch collects
// and splits halves so the processor always sees whole blocks (reblocking
// path). Nothing here allocates, locks or makes a system call besides the
// driver's outputReady.
#include <algorithm>
#include <limits>

#include "asio/host_state.h"

namespace orvelan::io {

namespace {

constexpr float kInt16Scale = 32768.0f;
constexpr float kInt24Scale = 8388608.0f;
constexpr float kInt32Scale = 2147483648.0f;

// count samples of a channel's half, from sample `from`, into floats at full
// scale 1.0. A type the host cannot read gives silence rather than whatever
// the floats held before.
void halfToFloats(const DriverChannel& channel, long index, int from, float* out, int count) {
  const void* half = channel.halves[index];
  switch (channel.type) {
    case audio::SampleType::Int16LSB:
      dspsConvert_16s32f(static_cast<const Dsp16s*>(half) + from, out, count);
      dspsMulC_32f_I(1.0f / kInt16Scale, out, count);
      break;
    case audio::SampleType::Int24LSB:
      dspsConvert_24s32f(static_cast<const Dsp8u*>(half) + 3 * from, out, count);
      dspsMulC_32f_I(1.0f / kInt24Scale, out, count);
      break;
    case audio::SampleType::Int32LSB:
      dspsConvert_32s32f(static_cast<const Dsp32s*>(half) + from, out, count);
      dspsMulC_32f_I(1.0f / kInt32Scale, out, count);
      break;
    case audio::SampleType::Float32LSB:
      dspsCopy_32f(static_cast<const Dsp32f*>(half) + from, out, count);
      break;
    default:
      dspsZero_32f(out, count);
      break;
  }
}

// count floats (scaled in place) into a channel's half from sample `to`,
// rounded and saturated to the integer type. The half of a type the host
// cannot write is left to the driver.
void floatsToHalf(float* in, const DriverChannel& channel, long index, int to, int count) {
  void* half = channel.halves[index];
  switch (channel.type) {
    case audio::SampleType::Int16LSB:
      dspsMulC_32f_I(kInt16Scale, in, count);
      dspsConvert_32f16s_Sfs(in, static_cast<Dsp16s*>(half) + to, count, dspRndNear, 0);
      break;
    case audio::SampleType::Int24LSB:
      dspsMulC_32f_I(kInt24Scale, in, count);
      dspsConvert_32f24s_Sfs(in, static_cast<Dsp8u*>(half) + 3 * to, count, 0);
      break;
    case audio::SampleType::Int32LSB:
      dspsMulC_32f_I(kInt32Scale, in, count);
      dspsConvert_32f32s_Sfs(in, static_cast<Dsp32s*>(half) + to, count, dspRndNear, 0);
      break;
    case audio::SampleType::Float32LSB:
      dspsCopy_32f(in, static_cast<Dsp32f*>(half) + to, count);
      break;
    default:
      break;
  }
}

// The re-entry guard: a switch that finds another one running is dropped
// at once, touching nothing, and counted. The running one drains the count
// of those it dropped when it leaves.
bool enterGuard(HostState& h) { return h.busy.fetch_add(1, std::memory_order_acq_rel) + 1 == 0; }

bool enterSwitch(HostState& h) {
  if (enterGuard(h)) return true;
  h.droppedSwitches.fetch_add(1, std::memory_order_relaxed);
  return false;
}

void leaveSwitch(HostState& h) {
  while (h.busy.fetch_sub(1, std::memory_order_acq_rel) - 1 >= 0) {
  }
}

// Inputs to the application rate, the processor, outputs back to the device rate.
void processBlock(HostState& h) {
  float** deviceIn = h.deviceIn->channelArray();
  float** deviceOut = h.deviceOut->channelArray();
  float** blockIn = h.blockIn->channelArray();
  float** blockOut = h.blockOut->channelArray();
  const bool resampling = h.tapsIndex >= 0;
  for (std::size_t c = 0; c < h.inputs.size(); ++c) {
    if (resampling)
      dspsFIR_32f(deviceIn[c], blockIn[c], h.resampleSteps, h.inputResamplers[c]);
    else
      dspsCopy_32f(deviceIn[c], blockIn[c], h.blockFrames);
  }
  int result = 1;
  if (h.object) {
    result = h.object->processBuffersDefault(h.blockIn.get(), h.blockOut.get());
  } else if (h.function) {
    result = h.function(blockIn, blockOut, h.blockFrames);
  } else if (h.processorMode == kProcessorNone) {
    // Nothing chosen to process: silence, and nothing has failed.
    for (std::size_t c = 0; c < h.outputs.size(); ++c) dspsZero_32f(blockOut[c], h.blockFrames);
    result = 0;
  }
  for (std::size_t c = 0; c < h.outputs.size(); ++c) {
    if (resampling)
      dspsFIR_32f(blockOut[c], deviceOut[c], h.resampleSteps, h.outputResamplers[c]);
    else
      dspsCopy_32f(blockOut[c], deviceOut[c], h.deviceBlockFrames);
  }
  // Streaming goes on; the outputs carry what the block floats hold.
  if (result != 0) h.status = kAsioStatusProcessorError;
}

void reblockInput(HostState& h, long index, int asioPos, int floatPos, int count) {
  float** deviceIn = h.deviceIn->channelArray();
  for (std::size_t c = 0; c < h.inputs.size(); ++c) halfToFloats(h.inputs[c], index, asioPos, deviceIn[c] + floatPos, count);
}

void reblockOutput(HostState& h, long index, int readPos, int outPos, int count) {
  float** deviceOut = h.deviceOut->channelArray();
  for (std::size_t c = 0; c < h.outputs.size(); ++c) floatsToHalf(deviceOut[c] + readPos, h.outputs[c], index, outPos, count);
}

}  // namespace

void resetReblocking(HostState& host) {
  host.reblock = ReblockState{};
  host.reblock.fill = host.startOffset;
}

namespace {

audio::TimeInfo* bufferSwitchDirect(audio::TimeInfo*, long index, long) {
  HostState& h = hostState();
  if (!enterSwitch(h)) return nullptr;
  index = index ? 1 : 0;
  const int frames = h.asioBufferFrames.load(std::memory_order_relaxed);
  float** deviceIn = h.deviceIn->channelArray();
  float** deviceOut = h.deviceOut->channelArray();
  for (std::size_t c = 0; c < h.inputs.size(); ++c) halfToFloats(h.inputs[c], index, 0, deviceIn[c], frames);
  processBlock(h);
  for (std::size_t c = 0; c < h.outputs.size(); ++c) floatsToHalf(deviceOut[c], h.outputs[c], index, 0, frames);
  if (h.outputReadySupported) h.driver->outputReady();
  leaveSwitch(h);
  return nullptr;
}

audio::TimeInfo* bufferSwitchReblock(audio::TimeInfo*, long index, long) {
  HostState& h = hostState();
  if (!enterSwitch(h)) return nullptr;
  index = index ? 1 : 0;
  ReblockState& r = h.reblock;
  const int halfFrames = h.asioBufferFrames.load(std::memory_order_relaxed), blockFrames = h.deviceBlockFrames;
  r.inPos = 0;
  r.inLeft = halfFrames;
  if (r.outPending > 0) {
    const int n = std::min(r.outPending, halfFrames - r.outPos);
    reblockOutput(h, index, r.readPos, r.outPos, n);
    r.readPos += n;
    r.outPos += n;
    r.outPending -= n;
  }
  while (r.inLeft > 0) {
    const int space = blockFrames - r.fill;
    if (r.inLeft < space) {
      reblockInput(h, index, r.inPos, r.fill, r.inLeft);
      r.fill += r.inLeft;
      r.inLeft = 0;
      break;
    }
    reblockInput(h, index, r.inPos, r.fill, space);
    r.inPos += space;
    r.inLeft -= space;
    r.fill = 0;
    processBlock(h);
    r.outPending = blockFrames;
    r.readPos = 0;
    const int n = std::min(blockFrames, halfFrames - r.outPos);
    reblockOutput(h, index, 0, r.outPos, n);
    r.outPos += n;
    r.readPos += n;
    r.outPending -= n;
  }
  r.outPos = 0;
  if (h.outputReadySupported) h.driver->outputReady();
  leaveSwitch(h);
  return nullptr;
}

}  // namespace

audio::TimeInfo* bufferSwitchTimeInfo(audio::TimeInfo* time, long index, long processNow) {
  HostState& h = hostState();
  if (h.asioBufferFrames.load(std::memory_order_relaxed) == h.deviceBlockFrames)
    return bufferSwitchDirect(time, index, processNow);
  return bufferSwitchReblock(time, index, processNow);
}

void bufferSwitch(long index, long processNow) { bufferSwitchTimeInfo(&hostState().switchTime, index, processNow); }

bool followDriverBufferSize(HostState& h, long frames) {
  if (!h.buffersCreated || frames < 1 || frames > std::numeric_limits<int>::max()) return false;
  // Inside the guard, so a switch that runs meanwhile (a driver that sent
  // this from another thread) cannot see half-changed positions.
  if (!enterGuard(h)) return false;
  h.asioBufferFrames.store(int(frames), std::memory_order_relaxed);
  h.startOffset = reblockStartOffset(h);
  resetReblocking(h);
  // The new path starts from silence, not from the old path's leftovers.
  h.deviceIn->clear();
  h.deviceOut->clear();
  leaveSwitch(h);
  return true;
}

}  // namespace orvelan::io
