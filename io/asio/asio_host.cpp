#include "asio/asio_host.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "asio/host_state.h"
#include "asio/resampler_taps.h"
#include "audio/backends/builtin_drivers.h"

namespace orvelan::io {

namespace {

// How long a driver is given to settle at a new rate before it is reopened.
constexpr auto kRateSettleTime = std::chrono::milliseconds(300);

// The rates reached by resampling, with the device rate each runs at.
struct ResampledRate {
  int rate;
  int deviceRate;
};
constexpr ResampledRate kResampledRates[] = {{32000, 48000}, {24000, 48000}, {22050, 44100}, {16000, 48000},
                                             {12000, 48000}, {11025, 44100}, {8000, 48000}};

const ResampledRate* resampledRate(int rate) {
  for (const ResampledRate& r : kResampledRates)
    if (r.rate == rate) return &r;
  return nullptr;
}

bool driverAccepts(audio::AudioDriver* driver, double rate) {
  return driver && driver->canSampleRate(rate) == audio::kDriverOk;
}

// A channel list the driver can serve: count within the driver's channels
// and every entry one of them. Without an answer from the driver only the
// count's sign is checked.
bool channelListUsable(const int* list, int count, bool inputs) {
  if (count < 0 || (count > 0 && !list)) return false;
  auto& h = hostState();
  long numInputs = 0, numOutputs = 0;
  if (!h.driver || h.driver->getChannels(&numInputs, &numOutputs) != audio::kDriverOk) return true;
  const long available = inputs ? numInputs : numOutputs;
  return count <= available && std::all_of(list, list + count, [available](int c) { return c >= 0 && c < available; });
}

int setChannels(std::vector<int>& target, const int* list, int count, bool inputs) {
  auto& h = hostState();
  if (h.running) return kAsioRunning;
  if (!channelListUsable(list, count, inputs)) return kAsioChannelList;
  const bool recreate = h.buffersCreated;
  if (recreate) asioDisposeBuffers();
  target.assign(list, list + count);
  if (recreate) asioCreateBuffers();
  return 0;
}

// A list that no longer fits the driver becomes its first channels.
void fitChannelList(std::vector<int>& list, long available) {
  const int count = int(std::min<long>(long(list.size()), available));
  const bool beyond = std::any_of(list.begin(), list.end(), [available](int c) { return c >= available; });
  if (count < int(list.size()) || beyond) {
    list.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) list[std::size_t(i)] = i;
  }
}

// Releasing a driver also ends its stream.
void releaseDriver() {
  auto& h = hostState();
  if (h.driverList) h.driverList->removeCurrentDriver();
  h.driver = nullptr;
  h.loaded = false;
  h.running = false;
}

// A reopen that failed: the driver's name, its buffers and the reset request
// stay, so the next start tries again.
void keepReopenPending(const std::string& name, bool buffers) {
  auto& h = hostState();
  h.openName = name;
  h.reopenBuffers = buffers;
  if (!(h.status & kAsioStatusResetRequest)) h.status = kAsioStatusResetRequest;
}

}  // namespace

HostState& hostState() {
  static HostState state;
  return state;
}

int reblockStartOffset(const HostState& host) {
  return host.asioBufferFrames == host.deviceBlockFrames ? 0 : std::max(host.deviceBlockFrames - 1, 0);
}

void setBlock(HostState& host, int frames) {
  host.blockFrames = frames;
  host.deviceBlockFrames = frames * host.deviceFactor / host.appFactor;
  host.resampleSteps = frames / host.appFactor;
  host.startOffset = reblockStartOffset(host);
}

void asioUseCatalog(std::unique_ptr<audio::DriverCatalog> catalog) { hostState().catalog = std::move(catalog); }

void asioInitEngine() {
  dspStaticInit();
  auto& h = hostState();
  if (h.driver) asioCloseDriver();
  if (!h.catalog) h.catalog = std::make_unique<audio::DriverCatalog>(audio::defaultCatalog());
  h.driverList = std::make_unique<AsioDriverList>(*h.catalog);
  std::memset(h.driverNames, 0, sizeof h.driverNames);
  for (int i = 0; i < std::min(h.driverList->count(), kMaxListedDriverNames); ++i)
    if (h.driverList->driverName(i, h.driverNames[i]) != 0) h.driverNames[i][0] = '\0';

  h.inputList = {0, 1};
  h.outputList = {0, 1};
  h.appFactor = h.deviceFactor = 1;
  h.tapsIndex = -1;
  h.deviceRate = h.appRate = 0.0;
  h.asioBufferFrames = 0;
  setBlock(h, 0);
  h.processorMode = kProcessorNone;
  h.function = nullptr;
  h.object = h.pendingObject = nullptr;
  h.openName.clear();
  h.reopenBuffers = false;
  h.driverError.clear();
  h.library.release();
  h.library.setSource({}, {});
  h.status = kAsioStatusNone;
  h.droppedSwitches = 0;
  const vxAudioInterface empty = vxAudioInterface::timeDomain(0, 0.0f, 0);
  for (auto* buffer : {&h.deviceIn, &h.deviceOut, &h.blockIn, &h.blockOut})
    *buffer = std::make_unique<vxAudioBuffer>(empty);
  h.callbacks = {};
  h.callbacks.bufferSwitch = bufferSwitch;
  h.callbacks.sampleRateDidChange = asioSampleRateDidChange;
  h.callbacks.message = asioMessage;
}

void asioExitEngine() {
  auto& h = hostState();
  asioCloseDriver();
  h.object = h.pendingObject = nullptr;
  h.function = nullptr;
  h.processorMode = kProcessorNone;
  h.library.release();
  h.driverList.reset();
}

int asioDriverCount() {
  const auto& h = hostState();
  return h.driverList ? h.driverList->count() : 0;
}

const char* asioDriverName(int i) {
  if (i < 0 || i >= asioDriverCount() || i >= kMaxListedDriverNames) return nullptr;
  return hostState().driverNames[i];
}

const char* asioCurrentDriver() {
  const auto& h = hostState();
  if (h.openName.empty()) return nullptr;
  for (int i = 0; i < std::min(asioDriverCount(), kMaxListedDriverNames); ++i)
    if (h.openName == h.driverNames[i]) return h.driverNames[i];
  return nullptr;
}

const char* asioDriverError() { return hostState().driverError.c_str(); }

audio::AudioDriver* asioDriver() { return hostState().driver; }

int asioOpenDriver(const char* name) {
  auto& h = hostState();
  asioDisposeBuffers();
  if (h.loaded || h.driver) releaseDriver();
  h.openName.clear();
  h.reopenBuffers = false;
  h.driverError.clear();
  if (!h.driverList || !h.driverList->loadDriver(name)) return kAsioNoDriverByName;

  h.driverInfo = AsioDriverInfo{};
  h.driver = h.driverList->currentDriver();
  if (const int code = initDriver(h.driver, h.driverInfo); code != 0) {
    h.driverError = h.driverInfo.errorMessage;
    releaseDriver();
    return code;
  }
  h.loaded = true;
  h.openName = name;

  long numInputs = 0, numOutputs = 0;
  if (const int code = h.driver->getChannels(&numInputs, &numOutputs); code != 0) return code;
  fitChannelList(h.inputList, numInputs);
  fitChannelList(h.outputList, numOutputs);

  if (h.deviceRate != 0.0) h.driver->setSampleRate(h.deviceRate);
  double rate = 0.0;
  if (h.driver->getSampleRate(&rate) == audio::kDriverOk) {
    h.deviceRate = rate;
    h.appRate = h.appFactor * rate / h.deviceFactor;
  } else {
    h.appRate = 0.0;
  }

  long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
  if (h.driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity) != audio::kDriverOk) preferred = 0;
  h.asioBufferFrames = int(preferred);
  // The block follows the driver's size, kept whole at the application rate.
  const int block = std::max(int(preferred) / h.deviceFactor * h.appFactor, preferred > 0 ? h.appFactor : 0);
  setBlock(h, block);
  return 0;
}

int asioCloseDriver() {
  auto& h = hostState();
  asioDisposeBuffers();
  releaseDriver();
  h.openName.clear();
  h.reopenBuffers = false;
  return 0;
}

int asioNumInputs() {
  auto& h = hostState();
  long numInputs = 0, numOutputs = 0;
  if (!h.driver || h.driver->getChannels(&numInputs, &numOutputs) != audio::kDriverOk) return 0;
  return int(numInputs);
}

int asioNumOutputs() {
  auto& h = hostState();
  long numInputs = 0, numOutputs = 0;
  if (!h.driver || h.driver->getChannels(&numInputs, &numOutputs) != audio::kDriverOk) return 0;
  return int(numOutputs);
}

double asioGetSampleRate() {
  auto& h = hostState();
  double rate = 0.0;
  if (!h.driver || h.driver->getSampleRate(&rate) != audio::kDriverOk) return 0.0;
  return h.appFactor * rate / h.deviceFactor;
}

int asioCanSampleRate(double rate) {
  auto& h = hostState();
  if (driverAccepts(h.driver, rate)) return 1;
  const ResampledRate* row = resampledRate(int(rate));
  return row && double(row->rate) == rate && driverAccepts(h.driver, row->deviceRate) ? 2 : 0;
}

int asioSetSampleRate(double rate) {
  auto& h = hostState();
  if (h.running) return kAsioRunning;
  if (!h.driver) return kAsioRateImpossible;
  const int r = int(rate);
  int appFactor = 1, deviceFactor = 1, deviceRate = r;
  if (h.driver->canSampleRate(rate) == audio::kDriverOk && h.driver->setSampleRate(rate) == audio::kDriverOk) {
    // natively
  } else if (const ResampledRate* row = resampledRate(r); row && driverAccepts(h.driver, row->deviceRate)) {
    deviceRate = row->deviceRate;
    if (r == 32000) {
      deviceFactor = 3;
      appFactor = 2;
    } else {
      deviceFactor = row->deviceRate / r;
    }
  } else {
    return kAsioRateImpossible;
  }
  const int tapsIndex = deviceFactor == appFactor ? -1 : resamplerRow(std::max(appFactor, deviceFactor));
  if (deviceFactor != appFactor && tapsIndex < 0) return kAsioRateImpossible;
  // Nothing changes unless the present block fits the new ratio.
  if (h.blockFrames % appFactor != 0) return kAsioBlockSize;

  h.appFactor = appFactor;
  h.deviceFactor = deviceFactor;
  h.tapsIndex = tapsIndex;
  h.deviceRate = deviceRate;
  h.appRate = rate;
  setBlock(h, h.blockFrames);
  std::this_thread::sleep_for(kRateSettleTime);
  return asioReset();
}

int asioSetBufferSize(int frames) {
  auto& h = hostState();
  if (h.running) return kAsioRunning;
  // Checked before anything changes: buffers of a size the ratio cannot
  // split would be overrun by the resamplers.
  if (frames < 1 || frames % h.appFactor != 0) return kAsioBlockSize;
  setBlock(h, frames);
  return h.buffersCreated ? asioCreateBuffers() : 0;
}

int asioBufferSize() { return hostState().blockFrames; }
int asioDeviceBufferSize() { return hostState().asioBufferFrames.load(std::memory_order_relaxed); }
int asioDeviceBlockSize() { return hostState().deviceBlockFrames; }

int asioSetInputChannels(const int* list, int count) {
  return setChannels(hostState().inputList, list, count, true);
}

int asioSetOutputChannels(const int* list, int count) {
  return setChannels(hostState().outputList, list, count, false);
}

int asioNumActiveInputs() { return int(hostState().inputList.size()); }
int asioNumActiveOutputs() { return int(hostState().outputList.size()); }

int asioStart() {
  auto& h = hostState();
  if (h.status & kAsioStatusResetRequest) {
    if (const int code = asioReset(); code != 0) return code;
    asioClearBuffers();
  }
  if (!h.driver) return 0;
  if (h.running) return 1;
  if (h.buffersCreated) {
    resetReblocking(h);
    // Nothing of an earlier stream (or uninitialised memory) may reach
    // the outputs, recordings or filter states.
    h.deviceIn->clear();
    h.deviceOut->clear();
  }
  h.busy = -1;
  if (h.driver->start() != audio::kDriverOk) return 0;
  h.running = true;
  return 1;
}

int asioStop() {
  auto& h = hostState();
  if (!h.driver || h.driver->stop() != audio::kDriverOk) return 0;
  h.running = false;
  asioClearBuffers();
  return 1;
}

bool asioIsRunning() { return hostState().running; }
bool asioBuffersReady() { return hostState().buffersCreated; }

int asioReset() {
  auto& h = hostState();
  if (!h.driverList || h.openName.empty()) return kAsioNotPresent;  // no driver to reopen
  if (h.running && h.driver && h.driver->stop() == audio::kDriverOk) {
    h.running = false;
    asioClearBuffers();
  }
  const std::string name = h.openName;
  const bool hadBuffers = h.buffersCreated || h.reopenBuffers;
  const int block = h.blockFrames;
  asioDisposeBuffers();
  releaseDriver();
  const int opened = asioOpenDriver(name.c_str());
  if (opened == kAsioNoDriverByName || !h.driver) {
    keepReopenPending(name, hadBuffers);
    return opened;
  }
  if (block > 0) setBlock(h, block);
  const int result = hadBuffers ? asioCreateBuffers() : opened;
  h.status ^= kAsioStatusResetRequest;
  return result;
}

int asioClearProcessor() {
  auto& h = hostState();
  if (h.running) return kAsioRunning;
  h.object = nullptr;
  h.function = nullptr;
  h.library.release();
  h.processorMode = kProcessorNone;
  return 0;
}

int asioSelectProcessor(int mode) {
  auto& h = hostState();
  if (h.running) return kAsioRunning;
  switch (unsigned(mode)) {
    case kProcessorPassThrough:
      h.object = nullptr;
      h.function = asioPassThrough;
      h.library.release();
      break;
    case kProcessorLibraryObject: {
      // Loading again lets go of whatever the library made before.
      h.object = nullptr;
      h.function = nullptr;
      vxAudioClass* object = nullptr;
      if (const int code = h.library.loadObject(&object); code != 0) return code;
      h.object = object;
      break;
    }
    case kProcessorLibraryFunction: {
      h.object = nullptr;
      h.function = nullptr;
      AsioProcessorFunction function = nullptr;
      if (const int code = h.library.loadFunction(&function); code != 0) return code;
      h.function = function;
      break;
    }
    case kProcessorObject:
      if (!h.pendingObject) return kAsioProcessorMissing;
      h.object = h.pendingObject;
      h.function = nullptr;
      h.library.release();
      break;
    default:
      return kAsioProcessorMode;
  }
  h.processorMode = mode;
  return 0;
}

void asioSetProcessorObject(vxAudioClass* object) { hostState().pendingObject = object; }

void asioSetProcessorLibrary(const std::string& path, const std::string& functionExport) {
  hostState().library.setSource(path, functionExport);
}

int asioPassThrough(float** in, float** out, int frames) {
  const auto& h = hostState();
  const int channels = std::min(int(h.inputList.size()), int(h.outputList.size()));
  for (int c = 0; c < channels; ++c) dspsCopy_32f(in[c], out[c], frames);
  return 0;
}

void asioSampleRateDidChange(double) { hostState().status = kAsioStatusRateChanged; }

long asioMessage(long selector, long value, void*, double*) {
  switch (selector) {
    case audio::kSelectorSupported:
      switch (value) {
        case audio::kEngineVersion:
        case audio::kResetRequest:
        case audio::kBufferSizeChange:
        case audio::kResyncRequest:
        case audio::kLatenciesChanged:
        case audio::kSupportsTimeInfo:
        case audio::kSupportsTimeCode:
        case audio::kLastListedSelector:
          return 1;
        default:
          return 0;
      }
    case audio::kEngineVersion:
      return 2;
    case audio::kResetRequest:
      hostState().status = kAsioStatusResetRequest;
      return 1;
    case audio::kBufferSizeChange:
      // Followed while streaming: the processing block stays as it is.
      return followDriverBufferSize(hostState(), value) ? 1 : 0;
    case audio::kResyncRequest:
    case audio::kLatenciesChanged:
    case audio::kSupportsTimeInfo:
      return 1;
    default:
      return 0;
  }
}

int asioStatus() { return hostState().status; }

std::int64_t asioDroppedSwitches() { return hostState().droppedSwitches; }

std::int64_t asioXruns() {
  const auto& h = hostState();
  return h.driver ? h.driver->xruns() : 0;
}

}  // namespace orvelan::io
