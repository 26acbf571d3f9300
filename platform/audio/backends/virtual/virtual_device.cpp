#include "audio/backends/virtual/virtual_device.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "audio/driver_support.h"
#include "audio/sample_format.h"

namespace orvelan::audio {

namespace {

// Set while a device delivers a period on this thread, so that stop() called
// from inside a callback does not wait for itself.
thread_local const VirtualAudioDevice* tDelivering = nullptr;

std::string channelName(const std::vector<std::string>& names, int channel, const char* prefix) {
  if (std::size_t(channel) < names.size() && !names[std::size_t(channel)].empty())
    return names[std::size_t(channel)];
  return std::string(prefix) + " " + std::to_string(channel + 1);
}

// Bytes a sample takes in the halves; a type the system does not handle
// still gets word-sized storage so the host's pointers stay valid.
int storageBytes(SampleType type) {
  const int bytes = sampleTypeBytes(type);
  return bytes > 0 ? bytes : 4;
}

}  // namespace

VirtualAudioDevice::VirtualAudioDevice(VirtualDeviceConfig config)
    : config_(std::move(config)), rate_(config_.sampleRate) {}

VirtualAudioDevice::~VirtualAudioDevice() {
  stop();
  if (state_ == State::BuffersReady) disposeBuffers();
  joinThreads();
}

bool VirtualAudioDevice::init(void*) {
  if (config_.faults.initFails) {
    errorMessage_ = config_.faults.initError;
    return false;
  }
  std::string error;
  if (!generator_.prepare(config_.input, rate_.load(), &error)) {
    errorMessage_ = error;
    return false;
  }
  errorMessage_.clear();
  if (state_ == State::Created) state_ = State::Initialized;
  return true;
}

void VirtualAudioDevice::getDriverName(char* name) { copyText(name, kDriverNameSize, config_.name); }

long VirtualAudioDevice::getDriverVersion() { return config_.version; }

void VirtualAudioDevice::getErrorMessage(char* text) { copyText(text, kErrorMessageSize, errorMessage_); }

int VirtualAudioDevice::getChannels(long* numInputs, long* numOutputs) {
  if (state_ == State::Created) return kDriverNotPresent;
  if (config_.faults.channelsError != kDriverOk) return config_.faults.channelsError;
  *numInputs = config_.inputs;
  *numOutputs = config_.outputs;
  return kDriverOk;
}

bool VirtualAudioDevice::supportsRate(double rate) const {
  return std::any_of(config_.sampleRates.begin(), config_.sampleRates.end(),
                     [rate](double r) { return std::fabs(r - rate) < 1e-6; });
}

int VirtualAudioDevice::canSampleRate(double rate) { return supportsRate(rate) ? kDriverOk : kDriverNoClock; }

int VirtualAudioDevice::getSampleRate(double* rate) {
  if (state_ == State::Created) return kDriverNotPresent;
  *rate = rate_.load();
  return kDriverOk;
}

int VirtualAudioDevice::setSampleRate(double rate) {
  if (state_ == State::Created) return kDriverNotPresent;
  if (state_ == State::Running) return kDriverInvalidMode;
  if (!supportsRate(rate)) return kDriverNoClock;
  rate_.store(rate);
  generator_.setSampleRate(rate);
  return kDriverOk;
}

int VirtualAudioDevice::getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity) {
  if (state_ == State::Created) return kDriverNotPresent;
  *minSize = config_.bufferSizes.minimum;
  *maxSize = config_.bufferSizes.maximum;
  *preferredSize = config_.bufferSizes.preferred;
  *granularity = config_.bufferSizes.granularity;
  return kDriverOk;
}

bool VirtualAudioDevice::validBufferSize(long size) const {
  const BufferSizes& sizes = config_.bufferSizes;
  if (size < sizes.minimum || size > sizes.maximum) return false;
  if (sizes.granularity == -1) return (size & (size - 1)) == 0;
  if (sizes.granularity == 0) return size == sizes.minimum;
  return (size - sizes.minimum) % sizes.granularity == 0;
}

int VirtualAudioDevice::getChannelInfo(ChannelInfo* info) {
  if (state_ == State::Created) return kDriverNotPresent;
  const int count = info->isInput ? config_.inputs : config_.outputs;
  if (info->channel < 0 || info->channel >= count) return kDriverInvalidParameter;
  const auto& fault = config_.faults.channelInfoFault;
  if (fault && fault->isInput == bool(info->isInput) && fault->channel == info->channel) return fault->error;
  info->isActive = std::any_of(active_.begin(), active_.end(), [info](const ActiveChannel& a) {
    return a.isInput == bool(info->isInput) && a.channel == info->channel;
  });
  info->channelGroup = 0;
  info->sampleType = config_.sampleType;
  copyText(info->name, kChannelNameSize,
           info->isInput ? channelName(config_.inputNames, info->channel, "Input")
                         : channelName(config_.outputNames, info->channel, "Output"));
  return kDriverOk;
}

int VirtualAudioDevice::createBuffers(BufferInfo* infos, long numChannels, long bufferSize,
                                      const DriverCallbacks* callbacks) {
  if (state_ == State::Created) return kDriverNotPresent;
  if (state_ != State::Initialized) return kDriverInvalidMode;
  if (config_.faults.createBuffersError != kDriverOk) return config_.faults.createBuffersError;
  if (!buffersRequestUsable(infos, numChannels, callbacks)) return kDriverInvalidParameter;
  if (!validBufferSize(bufferSize)) return kDriverInvalidMode;
  if (!channelListValid(infos, numChannels, config_.inputs, config_.outputs)) return kDriverInvalidParameter;

  layOutBufferHalves(storage_, infos, numChannels,
                     std::size_t(bufferSize) * std::size_t(storageBytes(config_.sampleType)));
  scratch_.assign(std::size_t(bufferSize), 0.0f);
  loopback_.assign(std::size_t(bufferSize) * std::size_t(config_.outputs), 0.0f);
  active_.clear();
  for (long i = 0; i < numChannels; ++i)
    active_.push_back(
        {infos[i].isInput != 0, infos[i].channelNum, {infos[i].buffers[0], infos[i].buffers[1]}, nullptr, nullptr, nullptr});
  // Loopback pairs input c with output c, when both are active.
  for (ActiveChannel& output : active_) {
    if (output.isInput) continue;
    output.loopbackStore = loopback_.data() + std::size_t(output.channel) * std::size_t(bufferSize);
    for (ActiveChannel& input : active_)
      if (input.isInput && input.channel == output.channel) input.loopbackSource = output.loopbackStore;
  }
  bufferSize_ = bufferSize;
  callbacks_ = *callbacks;
  useTimeInfo_ = hostWantsTimeInfo(callbacks_);
  state_ = State::BuffersReady;
  return kDriverOk;
}

int VirtualAudioDevice::disposeBuffers() {
  if (state_ == State::Running) stop();
  joinThreads();
  if (state_ != State::BuffersReady) return kDriverInvalidMode;
  active_.clear();
  storage_.clear();
  scratch_.clear();
  loopback_.clear();
  captures_.clear();
  bufferSize_ = 0;
  state_ = State::Initialized;
  return kDriverOk;
}

int VirtualAudioDevice::captureOutputs(std::int64_t maxFrames) {
  if (state_ == State::Running || maxFrames < 0) return kDriverInvalidMode;
  captureLimit_ = maxFrames;
  return kDriverOk;
}

const float* VirtualAudioDevice::capturedOutput(int channel) const {
  for (const ActiveChannel& a : active_)
    if (!a.isInput && a.channel == channel && a.capture) return a.capture->data();
  return nullptr;
}

int VirtualAudioDevice::setInput(const InputSource& source, std::string* error) {
  if (state_ == State::Running) return kDriverInvalidMode;
  return generator_.prepare(source, rate_.load(), error) ? kDriverOk : kDriverInvalidParameter;
}

int VirtualAudioDevice::start() {
  if (state_ == State::Running) return kDriverOk;
  if (state_ != State::BuffersReady) return kDriverInvalidMode;
  if (config_.faults.startError != kDriverOk) return config_.faults.startError;
  joinThreads();

  std::fill(storage_.begin(), storage_.end(), std::uint8_t(0));
  std::fill(loopback_.begin(), loopback_.end(), 0.0f);
  const auto outputs = std::count_if(active_.begin(), active_.end(), [](const ActiveChannel& a) { return !a.isInput; });
  captures_.assign(captureLimit_ > 0 ? std::size_t(outputs) : 0, std::vector<float>(std::size_t(captureLimit_)));
  for (std::size_t i = 0, k = 0; i < active_.size(); ++i)
    active_[i].capture = !active_[i].isInput && k < captures_.size() ? &captures_[k++] : nullptr;
  captured_.store(0);
  index_ = 0;
  position_.store(0);
  periods_.store(0);
  latePeriods_.store(0);
  totalLatenessNs_.store(0);
  worstLatenessNs_.store(0);
  worstSwitchNs_.store(0);
  resetRequests_.store(0);
  pendingRate_.store(0.0);
  overlapsArmed_.store(0);

  state_ = State::Running;
  running_.store(true);
  intruderQuit_.store(false);
  intruderThread_ = std::thread([this] { runIntruder(); });
  if (config_.clock != ClockMode::Manual) clockThread_ = std::thread([this] { runClock(); });
  return kDriverOk;
}

int VirtualAudioDevice::stop() {
  if (state_ != State::Running) return kDriverOk;
  running_.store(false);
  state_ = State::BuffersReady;
  if (tDelivering == this) return kDriverOk;  // the stream ends when this callback returns
  while (pumping_.load()) std::this_thread::yield();
  joinThreads();
  return kDriverOk;
}

void VirtualAudioDevice::joinThreads() {
  if (clockThread_.joinable() && clockThread_.get_id() != std::this_thread::get_id()) clockThread_.join();
  if (intruderThread_.joinable()) {
    intruderQuit_.store(true);
    intruderGo_.release();
    intruderThread_.join();
    // A release the intruder never took must not wake the next stream's intruder.
    while (intruderGo_.try_acquire()) {
    }
  }
}

int VirtualAudioDevice::outputReady() {
  outputReadyCalls_.fetch_add(1, std::memory_order_relaxed);
  return config_.faults.noOutputReady ? kDriverNotPresent : kDriverOk;
}

long VirtualAudioDevice::pump(long periods) {
  if (config_.clock != ClockMode::Manual) return 0;
  // Flag first, then look at running_: stop() either sees the flag and
  // waits, or this loop sees the stream stopped.
  pumping_.store(true);
  long delivered = 0;
  while (delivered < periods && running_.load()) {
    deliverPeriod();
    ++delivered;
  }
  pumping_.store(false);
  return delivered;
}

void VirtualAudioDevice::requestReset() { resetRequests_.fetch_add(1); }

void VirtualAudioDevice::changeSampleRate(double rate) { pendingRate_.store(rate); }

void VirtualAudioDevice::overlapSwitches(int switches) { overlapsArmed_.fetch_add(switches); }

ClockStats VirtualAudioDevice::clockStats() const {
  ClockStats stats;
  stats.periods = periods_.load();
  stats.latePeriods = latePeriods_.load();
  stats.totalLatenessNs = totalLatenessNs_.load();
  stats.worstLatenessNs = worstLatenessNs_.load();
  return stats;
}

void VirtualAudioDevice::publishStats(const ClockStats& stats) {
  latePeriods_.store(stats.latePeriods, std::memory_order_relaxed);
  totalLatenessNs_.store(stats.totalLatenessNs, std::memory_order_relaxed);
  worstLatenessNs_.store(stats.worstLatenessNs, std::memory_order_relaxed);
}

void VirtualAudioDevice::runClock() {
  if (config_.realtimePriority) {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // refused without the right: keep going
  }
  if (config_.clock == ClockMode::FreeRunning) {
    while (running_.load()) deliverPeriod();
    return;
  }
  double rate = rate_.load();
  PeriodPacer pacer(monotonicNs(), rate, int(bufferSize_));
  while (running_.load()) {
    sleepUntilNs(pacer.dueNs());
    pacer.arrive(monotonicNs());
    position_.store(pacer.position());
    deliverPeriod();
    pacer.delivered();
    if (rate_.load() != rate) {
      rate = rate_.load();
      pacer.changeRate(rate);
    }
    publishStats(pacer.stats());
  }
}

void VirtualAudioDevice::runIntruder() {
  for (;;) {
    intruderGo_.acquire();
    if (intruderQuit_.load()) return;
    callSwitch(intruderIndex_, intruderTime_);
    overlapsMade_.fetch_add(1);
    intruderDone_.release();
  }
}

void VirtualAudioDevice::deliverPeriod() {
  tDelivering = this;
  deliverPendingFaults();
  writeInputs();

  time_.samplePosition = position_.load(std::memory_order_relaxed);
  const std::int64_t switchStartNs = monotonicNs();
  time_.systemTimeNs = switchStartNs;
  time_.sampleRate = rate_.load(std::memory_order_relaxed);
  if (overlapsArmed_.load(std::memory_order_relaxed) > 0) {
    overlapsArmed_.fetch_sub(1);
    intruderIndex_ = index_;
    intruderTime_ = time_;
    intruderGo_.release();
    callSwitch(index_, time_);
    intruderDone_.acquire();  // the overlapping call belongs to this period
  } else {
    callSwitch(index_, time_);
  }
  // Only this thread writes it while the stream runs.
  const std::int64_t switchNs = monotonicNs() - switchStartNs;
  if (switchNs > worstSwitchNs_.load(std::memory_order_relaxed))
    worstSwitchNs_.store(switchNs, std::memory_order_relaxed);

  readOutputs();
  index_ ^= 1;
  position_.store(position_.load(std::memory_order_relaxed) + bufferSize_, std::memory_order_relaxed);
  periods_.fetch_add(1, std::memory_order_release);
  tDelivering = nullptr;
}

void VirtualAudioDevice::deliverPendingFaults() {
  if (resetRequests_.exchange(0) > 0 && callbacks_.message)
    callbacks_.message(kResetRequest, 0, nullptr, nullptr);
  const double rate = pendingRate_.exchange(0.0);
  if (rate > 0.0) {
    rate_.store(rate);
    generator_.setSampleRate(rate);
    if (callbacks_.sampleRateDidChange) callbacks_.sampleRateDidChange(rate);
  }
}

void VirtualAudioDevice::callSwitch(long index, TimeInfo& time) {
  if (useTimeInfo_)
    callbacks_.bufferSwitchTimeInfo(&time, index, 1);
  else
    callbacks_.bufferSwitch(index, 1);
}

void VirtualAudioDevice::writeInputs() {
  const int frames = int(bufferSize_);
  const std::int64_t position = position_.load(std::memory_order_relaxed);
  for (ActiveChannel& a : active_) {
    if (!a.isInput) continue;
    const float* samples = scratch_.data();
    if (generator_.kind() == InputSource::Kind::Loopback) {
      if (a.loopbackSource)
        samples = a.loopbackSource;
      else
        std::fill(scratch_.begin(), scratch_.end(), 0.0f);
    } else {
      generator_.generate(a.channel, position, scratch_.data(), frames);
    }
    floatsToSamples(samples, a.halves[index_], config_.sampleType, frames);
  }
}

void VirtualAudioDevice::readOutputs() {
  const int frames = int(bufferSize_);
  const std::int64_t done = captured_.load(std::memory_order_relaxed);
  const int toCapture = int(std::min<std::int64_t>(frames, captureLimit_ - done));
  for (ActiveChannel& a : active_) {
    if (a.isInput) continue;
    samplesToFloats(a.halves[index_], config_.sampleType, a.loopbackStore, frames);
    if (a.capture && toCapture > 0)
      std::copy_n(a.loopbackStore, toCapture, a.capture->data() + done);
  }
  if (toCapture > 0 && !captures_.empty()) captured_.store(done + toCapture, std::memory_order_release);
}

}  // namespace orvelan::audio
