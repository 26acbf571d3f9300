#include "audio/backends/jack/jack_driver.h"

#include <jack/jack.h>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "audio/driver_support.h"

namespace orvelan::audio {

namespace {

jack_client_t* openClient(const std::string& name, const std::string& server, jack_status_t* status) {
  const auto options = jack_options_t(JackNoStartServer | (server.empty() ? 0 : JackServerName));
  return server.empty() ? jack_client_open(name.c_str(), options, status)
                        : jack_client_open(name.c_str(), options, status, server.c_str());
}

// Stands in for the error handler that prints every failed connection
// attempt; our callers report failures themselves.
void quiet(const char*) {}

// The driver whose process callback runs on this thread, so that stop()
// called from inside the host's switch only asks the stream to end.
thread_local const JackAudioDriver* tInCycle = nullptr;

// JACK ends its threads (the process thread, and the one that brings the
// server's notifications) with an asynchronous cancel when the client is
// deactivated or closed. Struck inside one of our callbacks (in the middle
// of a library call, or in a sanitizer build inside the runtime's own
// bookkeeping, where the unwinding aborts the program) it does harm, so
// every callback runs with the cancel deferred. It cannot stay deferred:
// JACK waits for the next period in a raw futex call, no cancellation
// point, and the close would hang. Putting the thread's own type back at
// the callback's end acts on a cancel that came meanwhile there, in a
// plain frame. Not done by a destructor: a cancel acted on inside one
// terminates the program.
int deferCancellation() {
  int previous = PTHREAD_CANCEL_DEFERRED;
  pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &previous);
  return previous;
}
void restoreCancellation(int previous) { pthread_setcanceltype(previous, nullptr); }

}  // namespace

struct JackEvents {
  static int process(jack_nframes_t frames, void* self) {
    const int cancelType = deferCancellation();
    auto* driver = static_cast<JackAudioDriver*>(self);
    // Set before running_ is looked at, so stop() either sees the cycle and
    // waits for it, or the cycle sees the stream stopped and leaves the
    // host alone.
    driver->inCycle_.store(true);
    if (!driver->running_.load()) {
      driver->inCycle_.store(false);
      driver->silenceOutputs(frames);
      restoreCancellation(cancelType);
      return 0;
    }
    tInCycle = driver;
    const std::int64_t begin = monotonicNs();
    driver->process(frames);
    tInCycle = nullptr;
    driver->inCycle_.store(false);
    const std::int64_t took = monotonicNs() - begin;
    if (took > driver->worstCycleNs_.load(std::memory_order_relaxed))
      driver->worstCycleNs_.store(took, std::memory_order_relaxed);
    restoreCancellation(cancelType);
    return 0;
  }
  static int sampleRate(jack_nframes_t rate, void* self) {
    const int cancelType = deferCancellation();
    static_cast<JackAudioDriver*>(self)->pendingRate_.store(double(rate));
    restoreCancellation(cancelType);
    return 0;
  }
  static int xrun(void* self) {
    const int cancelType = deferCancellation();
    static_cast<JackAudioDriver*>(self)->xruns_.fetch_add(1);
    restoreCancellation(cancelType);
    return 0;
  }
  // The process thread is gone with the server, so this thread is the
  // stream's last: it tells the host to reopen, and wakes the reaper to
  // close the dead client (which cannot be done on this thread).
  static void shutdown(jack_status_t, const char*, void* self) {
    const int cancelType = deferCancellation();
    auto* driver = static_cast<JackAudioDriver*>(self);
    driver->serverGone_.store(true);
    if (driver->running_.exchange(false) && driver->callbacks_.message && !driver->resetSent_.exchange(true))
      driver->callbacks_.message(kResetRequest, 0, nullptr, nullptr);
    driver->reap_.release();
    restoreCancellation(cancelType);
  }
};

JackAudioDriver::JackAudioDriver(JackDriverConfig config) : config_(std::move(config)) {}

JackAudioDriver::~JackAudioDriver() {
  if (reaper_.joinable()) {
    quitReaper_.store(true);
    reap_.release();
    reaper_.join();
  }
  std::lock_guard lock(control_);
  stopLocked();
  closeClientLocked();
}

void JackAudioDriver::runReaper() {
  for (;;) {
    reap_.acquire();
    if (quitReaper_.load()) return;
    std::lock_guard lock(control_);
    if (!serverGone_.load() || !client_) continue;
    // The cycle that was under way when the server went finishes first:
    // closing cancels JACK's threads.
    running_.store(false);
    waitForCycle();
    closeClientLocked();
  }
}

bool JackAudioDriver::serverRunning(const std::string& server) {
  jack_set_error_function(quiet);
  jack_status_t status;
  // JACK names a client's notification socket after the client alone, not
  // its server: probes from two processes at once must not share a name.
  const std::string name = "orvelan_probe_" + std::to_string(getpid());
  jack_client_t* probe = openClient(name, server, &status);
  if (!probe) return false;
  jack_client_close(probe);
  return true;
}

bool JackAudioDriver::init(void*) {
  std::lock_guard lock(control_);
  if (client_) return true;
  jack_set_error_function(quiet);
  jack_status_t status;
  client_ = openClient(config_.clientName, config_.server, &status);
  if (!client_) {
    errorMessage_ = (status & JackServerFailed) ? "No JACK server is running" : "The JACK server refused the client";
    return false;
  }
  serverGone_.store(false);
  clientOpen_.store(true);
  inputPorts_.clear();
  outputPorts_.clear();
  for (int c = 0; c < config_.inputs + config_.outputs; ++c) {
    const bool input = c < config_.inputs;
    const std::string name = (input ? "in_" : "out_") + std::to_string((input ? c : c - config_.inputs) + 1);
    jack_port_t* port = jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                           input ? JackPortIsInput : JackPortIsOutput, 0);
    if (!port) {
      errorMessage_ = "JACK refused the port " + name;
      closeClientLocked();
      return false;
    }
    (input ? inputPorts_ : outputPorts_).push_back(port);
  }
  jack_set_process_callback(client_, JackEvents::process, this);
  jack_set_sample_rate_callback(client_, JackEvents::sampleRate, this);
  jack_set_xrun_callback(client_, JackEvents::xrun, this);
  jack_on_info_shutdown(client_, JackEvents::shutdown, this);
  if (!reaper_.joinable()) reaper_ = std::thread([this] { runReaper(); });
  errorMessage_.clear();
  return true;
}

void JackAudioDriver::closeClientLocked() {
  if (!client_) return;
  jack_client_close(client_);
  client_ = nullptr;
  clientOpen_.store(false);
  inputPorts_.clear();
  outputPorts_.clear();
  idleOutputs_.clear();
  for (ActiveChannel& a : active_) a.port = nullptr;
  activated_ = false;
  inCycle_.store(false);
}

void JackAudioDriver::waitForCycle() const {
  while (inCycle_.load()) std::this_thread::yield();
}

jack_client_t* JackAudioDriver::client() const {
  std::lock_guard lock(control_);
  return client_;
}

void JackAudioDriver::getDriverName(char* name) { copyText(name, kDriverNameSize, "JACK"); }

long JackAudioDriver::getDriverVersion() { return 1; }

void JackAudioDriver::getErrorMessage(char* text) { copyText(text, kErrorMessageSize, errorMessage_); }

int JackAudioDriver::getChannels(long* numInputs, long* numOutputs) {
  std::lock_guard lock(control_);
  if (!client_) return kDriverNotPresent;
  *numInputs = long(inputPorts_.size());
  *numOutputs = long(outputPorts_.size());
  return kDriverOk;
}

int JackAudioDriver::canSampleRate(double rate) {
  std::lock_guard lock(control_);
  if (!client_ || serverGone_.load()) return kDriverNotPresent;
  return rate == double(jack_get_sample_rate(client_)) ? kDriverOk : kDriverNoClock;
}

int JackAudioDriver::getSampleRate(double* rate) {
  std::lock_guard lock(control_);
  if (!client_ || serverGone_.load()) return kDriverNotPresent;
  *rate = double(jack_get_sample_rate(client_));
  return kDriverOk;
}

int JackAudioDriver::setSampleRate(double rate) { return canSampleRate(rate); }

int JackAudioDriver::getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity) {
  std::lock_guard lock(control_);
  if (!client_ || serverGone_.load()) return kDriverNotPresent;
  *minSize = *maxSize = *preferredSize = long(jack_get_buffer_size(client_));
  *granularity = 0;
  return kDriverOk;
}

int JackAudioDriver::getChannelInfo(ChannelInfo* info) {
  std::lock_guard lock(control_);
  if (!client_) return kDriverNotPresent;
  const auto& ports = info->isInput ? inputPorts_ : outputPorts_;
  if (info->channel < 0 || std::size_t(info->channel) >= ports.size()) return kDriverInvalidParameter;
  jack_port_t* port = ports[std::size_t(info->channel)];
  info->isActive = std::any_of(active_.begin(), active_.end(), [port](const ActiveChannel& a) { return a.port == port; });
  info->channelGroup = 0;
  info->sampleType = SampleType::Float32LSB;
  copyText(info->name, kChannelNameSize, jack_port_short_name(port));
  return kDriverOk;
}

int JackAudioDriver::createBuffers(BufferInfo* infos, long numChannels, long bufferSize,
                                   const DriverCallbacks* callbacks) {
  std::lock_guard lock(control_);
  if (!client_ || serverGone_.load()) return kDriverNotPresent;
  if (!active_.empty() || running_.load()) return kDriverInvalidMode;
  if (!buffersRequestUsable(infos, numChannels, callbacks)) return kDriverInvalidParameter;
  if (bufferSize != long(jack_get_buffer_size(client_))) return kDriverInvalidMode;
  if (!channelListValid(infos, numChannels, int(inputPorts_.size()), int(outputPorts_.size())))
    return kDriverInvalidParameter;
  // Room for any period JACK can switch to while streaming.
  capacity_ = std::max(bufferSize, kMaxPeriod);
  layOutBufferHalves(storage_, infos, numChannels, std::size_t(capacity_));
  active_.clear();
  for (long i = 0; i < numChannels; ++i) {
    const bool isInput = infos[i].isInput != 0;
    active_.push_back({(isInput ? inputPorts_ : outputPorts_)[std::size_t(infos[i].channelNum)],
                       isInput,
                       {static_cast<float*>(infos[i].buffers[0]), static_cast<float*>(infos[i].buffers[1])}});
  }
  idleOutputs_.clear();
  for (jack_port_t* port : outputPorts_)
    if (std::none_of(active_.begin(), active_.end(), [port](const ActiveChannel& a) { return a.port == port; }))
      idleOutputs_.push_back(port);
  bufferSize_ = bufferSize;
  callbacks_ = *callbacks;
  useTimeInfo_ = hostWantsTimeInfo(callbacks_);
  return kDriverOk;
}

int JackAudioDriver::disposeBuffers() {
  std::lock_guard lock(control_);
  stopLocked();
  if (active_.empty()) return kDriverInvalidMode;
  active_.clear();
  idleOutputs_.clear();
  storage_.clear();
  bufferSize_ = capacity_ = 0;
  return kDriverOk;
}

int JackAudioDriver::start() {
  std::lock_guard lock(control_);
  if (!client_ || serverGone_.load()) return kDriverNotPresent;
  if (running_.load()) return kDriverOk;
  if (bufferSize_ == 0) return kDriverInvalidMode;
  std::fill(storage_.begin(), storage_.end(), 0.0f);
  index_ = 0;
  time_ = TimeInfo{};
  resetSent_.store(false);
  pendingRate_.store(0.0);
  worstCycleNs_.store(0);
  rate_ = double(jack_get_sample_rate(client_));
  running_.store(true);
  if (!activated_) {
    if (jack_activate(client_) != 0) {
      running_.store(false);
      return kDriverHardwareMalfunction;
    }
    activated_ = true;
  }
  if (config_.connectPhysical) {
    // Physical capture ports are sources (outputs of the server), playback ports sinks.
    const char** sources = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput);
    const char** sinks = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    for (std::size_t c = 0; sources && sources[c] && c < inputPorts_.size(); ++c)
      jack_connect(client_, sources[c], jack_port_name(inputPorts_[c]));
    for (std::size_t c = 0; sinks && sinks[c] && c < outputPorts_.size(); ++c)
      jack_connect(client_, jack_port_name(outputPorts_[c]), sinks[c]);
    jack_free(sources);
    jack_free(sinks);
  }
  return kDriverOk;
}

int JackAudioDriver::stop() {
  if (tInCycle == this) {  // inside the host's switch: the stream ends after this cycle
    running_.store(false);
    return kDriverOk;
  }
  std::lock_guard lock(control_);
  return stopLocked();
}

int JackAudioDriver::stopLocked() {
  running_.store(false);
  // A cycle that already reached the host runs to its end before JACK
  // deactivates (its cancel is held off inside a cycle anyway). Later
  // cycles see running_ clear and only write silence.
  if (!activated_) return kDriverOk;
  waitForCycle();
  if (!serverGone_.load() && client_) jack_deactivate(client_);
  activated_ = false;
  // A cycle that deactivation cancelled before it saw running_ clear cannot
  // leave the flag set for the next stop.
  inCycle_.store(false);
  return kDriverOk;
}

int JackAudioDriver::outputReady() { return kDriverNotPresent; }

std::string JackAudioDriver::inputPortName(int channel) const {
  std::lock_guard lock(control_);
  if (channel < 0 || std::size_t(channel) >= inputPorts_.size()) return {};
  return jack_port_name(inputPorts_[std::size_t(channel)]);
}

std::string JackAudioDriver::outputPortName(int channel) const {
  std::lock_guard lock(control_);
  if (channel < 0 || std::size_t(channel) >= outputPorts_.size()) return {};
  return jack_port_name(outputPorts_[std::size_t(channel)]);
}

void JackAudioDriver::silenceOutputs(std::uint32_t frames) {
  for (jack_port_t* port : outputPorts_)
    std::fill_n(static_cast<float*>(jack_port_get_buffer(port, frames)), frames, 0.0f);
}

// The first cycle of a new period: the host is told (on this thread, between
// two switches) and, when it follows, the halves carry the new size from
// this cycle on. Asked once: a host that declined has a reset pending.
bool JackAudioDriver::followPeriod(std::uint32_t frames) {
  if (resetSent_.load(std::memory_order_relaxed)) return false;
  if (!callbacks_.message) return false;
  if (long(frames) <= capacity_ && callbacks_.message(kSelectorSupported, kBufferSizeChange, nullptr, nullptr) == 1 &&
      callbacks_.message(kBufferSizeChange, long(frames), nullptr, nullptr) == 1) {
    bufferSize_ = long(frames);
    return true;
  }
  if (!resetSent_.exchange(true)) callbacks_.message(kResetRequest, 0, nullptr, nullptr);
  return false;
}

void JackAudioDriver::process(std::uint32_t frames) {
  if (long(frames) != bufferSize_ && !followPeriod(frames)) {
    silenceOutputs(frames);
    return;
  }
  const double rate = pendingRate_.exchange(0.0, std::memory_order_relaxed);
  if (rate > 0.0 && rate != rate_) {
    rate_ = rate;
    if (callbacks_.sampleRateDidChange) callbacks_.sampleRateDidChange(rate);
  }

  for (ActiveChannel& a : active_)
    if (a.isInput)
      std::copy_n(static_cast<const float*>(jack_port_get_buffer(a.port, frames)), frames, a.halves[index_]);
  time_.sampleRate = rate_;
  time_.systemTimeNs = std::int64_t(jack_get_time()) * 1000;
  callBufferSwitch(callbacks_, useTimeInfo_, time_, index_);
  for (ActiveChannel& a : active_)
    if (!a.isInput)
      std::copy_n(a.halves[index_], frames, static_cast<float*>(jack_port_get_buffer(a.port, frames)));
  for (jack_port_t* port : idleOutputs_)
    std::fill_n(static_cast<float*>(jack_port_get_buffer(port, frames)), frames, 0.0f);
  time_.samplePosition += frames;
  index_ ^= 1;
}

}  // namespace orvelan::audio
