// The host's buffers: the driver's halves of every active channel, the
// device-rate and block floats, and the resamplers between them. All of it
// is made here, so the buffer switch allocates nothing.
#include <array>
#include <cstring>

#include "asio/host_state.h"
#include "asio/resampler_taps.h"

namespace orvelan::io {

namespace {

void freeResamplers(std::vector<DspsFIRState_32f*>& states) {
  for (DspsFIRState_32f* state : states) dspsFIRFree_32f(state);
  states.clear();
}

// One resampler per channel, up by `up` and down by `down`, on the row's
// taps scaled by the up factor (zero insertion lowers the level by it).
bool makeResamplers(std::vector<DspsFIRState_32f*>& states, int channels, int row, int up, int down) {
  const int taps = resamplerTapCount(row);
  std::array<float, kResamplerMaxTaps> scaled{};
  dspsMulC_32f(resamplerTaps(row), float(up), scaled.data(), taps);
  for (int c = 0; c < channels; ++c) {
    DspsFIRState_32f* state = nullptr;
    if (dspsFIRMRInitAlloc_32f(&state, scaled.data(), taps, up, 0, down, 0, nullptr) != dspStsNoErr) return false;
    states.push_back(state);
  }
  return true;
}

bool makeFloats(std::unique_ptr<vxAudioBuffer>& buffer, int channels, double rate, int frames) {
  buffer = std::make_unique<vxAudioBuffer>(vxAudioInterface::timeDomain(channels, float(rate), frames));
  return buffer->isValid() && buffer->allocateStorage() == vxOK;
}

// Both halves of a channel to zero, for the types whose layout is known.
void zeroHalves(const DriverChannel& channel, int frames) {
  const int bytes = audio::sampleTypeBytes(channel.type);
  if (bytes == 0) return;
  for (void* half : channel.halves) std::memset(half, 0, std::size_t(frames) * std::size_t(bytes));
}

int failCreate(int code) {
  asioDisposeBuffers();
  return code;
}

}  // namespace

int asioCreateBuffers() {
  auto& h = hostState();
  if (!h.driver) return kAsioNotPresent;
  asioDisposeBuffers();
  h.outputReadySupported = h.driver->outputReady() == audio::kDriverOk;

  const int numInputs = int(h.inputList.size()), numOutputs = int(h.outputList.size());
  h.bufferInfos.clear();
  for (int c : h.inputList) h.bufferInfos.push_back({1, c, {nullptr, nullptr}});
  for (int c : h.outputList) h.bufferInfos.push_back({0, c, {nullptr, nullptr}});
  h.callbacks.bufferSwitchTimeInfo = bufferSwitchTimeInfo;
  // A driver that could not make its halves leaves nothing half-made.
  if (const int code = h.driver->createBuffers(h.bufferInfos.data(), long(h.bufferInfos.size()),
                                               h.asioBufferFrames, &h.callbacks);
      code != audio::kDriverOk) {
    h.driver->disposeBuffers();
    h.bufferInfos.clear();
    return code;
  }
  h.buffersCreated = true;
  if (h.processorMode != kProcessorNone)
    if (const int code = asioSelectProcessor(h.processorMode); code != 0) return failCreate(code);

  h.inputs.assign(std::size_t(numInputs), {});
  h.outputs.assign(std::size_t(numOutputs), {});
  for (std::size_t i = 0; i < h.bufferInfos.size(); ++i) {
    DriverChannel& channel = i < std::size_t(numInputs) ? h.inputs[i] : h.outputs[i - std::size_t(numInputs)];
    channel.halves[0] = h.bufferInfos[i].buffers[0];
    channel.halves[1] = h.bufferInfos[i].buffers[1];
    if (!channel.halves[0] || !channel.halves[1]) return failCreate(kAsioNotPresent);
  }
  if (!makeFloats(h.deviceIn, numInputs, h.deviceRate, h.deviceBlockFrames) ||
      !makeFloats(h.deviceOut, numOutputs, h.deviceRate, h.deviceBlockFrames) ||
      !makeFloats(h.blockIn, numInputs, h.appRate, h.blockFrames) ||
      !makeFloats(h.blockOut, numOutputs, h.appRate, h.blockFrames))
    return failCreate(audio::kDriverNoMemory);

  if (h.tapsIndex >= 0 &&
      (!makeResamplers(h.inputResamplers, numInputs, h.tapsIndex, h.appFactor, h.deviceFactor) ||
       !makeResamplers(h.outputResamplers, numOutputs, h.tapsIndex, h.deviceFactor, h.appFactor)))
    return failCreate(audio::kDriverNoMemory);

  h.channelInfos.assign(h.bufferInfos.size(), {});
  for (std::size_t i = 0; i < h.bufferInfos.size(); ++i) {
    audio::ChannelInfo& info = h.channelInfos[i];
    info.channel = h.bufferInfos[i].channelNum;
    info.isInput = h.bufferInfos[i].isInput;
    if (const int code = h.driver->getChannelInfo(&info); code != audio::kDriverOk) return failCreate(code);
    (i < std::size_t(numInputs) ? h.inputs[i] : h.outputs[i - std::size_t(numInputs)]).type = info.sampleType;
  }
  asioClearBuffers();
  return 0;
}

int asioDisposeBuffers() {
  auto& h = hostState();
  if (h.running && h.driver && h.driver->stop() == audio::kDriverOk) {
    h.running = false;
    asioClearBuffers();
  }
  if (!h.buffersCreated) return 0;
  if (h.driver) h.driver->disposeBuffers();
  h.buffersCreated = false;
  h.bufferInfos.clear();
  h.channelInfos.clear();
  h.inputs.clear();
  h.outputs.clear();
  freeResamplers(h.inputResamplers);
  freeResamplers(h.outputResamplers);
  for (auto* buffer : {&h.deviceIn, &h.deviceOut, &h.blockIn, &h.blockOut})
    *buffer = std::make_unique<vxAudioBuffer>(vxAudioInterface::timeDomain(0, 0.0f, 0));
  return 0;
}

void asioClearBuffers() {
  auto& h = hostState();
  if (!h.buffersCreated) return;
  for (auto* states : {&h.inputResamplers, &h.outputResamplers})
    for (DspsFIRState_32f* state : *states) dspsFIRSetDlyLine_32f(state, nullptr);
  for (auto* buffer : {&h.deviceIn, &h.deviceOut, &h.blockIn, &h.blockOut}) (*buffer)->clear();
  for (auto* channels : {&h.inputs, &h.outputs})
    for (const DriverChannel& channel : *channels) zeroHalves(channel, h.asioBufferFrames);
}

}  // namespace orvelan::io
