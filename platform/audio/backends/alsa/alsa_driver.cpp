#include "audio/backends/alsa/alsa_driver.h"

#include <alsa/asoundlib.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cstring>

#include "audio/driver_support.h"

#include "audio/sample_format.h"

namespace orvelan::audio {

namespace {

constexpr int kMaxInputs = 32;
constexpr int kMaxOutputs = 24;
constexpr long kMinPeriod = 32;
constexpr long kMaxPeriod = 8192;
constexpr int kWaitMs = 200;  // how long the thread waits for a period before looking at running_ again

// A hardware-parameter space of pcm, freed with the object.
class HwParams {
 public:
  explicit HwParams(snd_pcm_t* pcm) : pcm_(pcm) {
    snd_pcm_hw_params_malloc(&params_);
    snd_pcm_hw_params_any(pcm_, params_);
  }
  ~HwParams() { snd_pcm_hw_params_free(params_); }
  HwParams(const HwParams&) = delete;
  HwParams& operator=(const HwParams&) = delete;
  snd_pcm_hw_params_t* get() const { return params_; }
  snd_pcm_t* pcm() const { return pcm_; }

 private:
  snd_pcm_t* pcm_;
  snd_pcm_hw_params_t* params_ = nullptr;
};

int channelsFor(snd_pcm_t* pcm, int wanted, int cap) {
  HwParams params(pcm);
  unsigned minimum = 0, maximum = 0;
  snd_pcm_hw_params_get_channels_min(params.get(), &minimum);
  snd_pcm_hw_params_get_channels_max(params.get(), &maximum);
  const unsigned chosen = wanted > 0 ? unsigned(wanted) : std::max(minimum, std::min(maximum, unsigned(cap)));
  return chosen >= minimum && chosen <= maximum ? int(chosen) : -1;
}

bool takesFormat(snd_pcm_t* pcm, SampleType type) {
  if (!pcm) return true;
  HwParams params(pcm);
  return snd_pcm_hw_params_test_format(pcm, params.get(), snd_pcm_format_t(alsaFormatOf(type))) == 0;
}

bool takesRate(snd_pcm_t* pcm, double rate) {
  if (!pcm) return true;
  HwParams params(pcm);
  return snd_pcm_hw_params_test_rate(pcm, params.get(), unsigned(rate), 0) == 0;
}

}  // namespace

int alsaFormatOf(SampleType type) {
  switch (type) {
    case SampleType::Int16LSB: return SND_PCM_FORMAT_S16_LE;
    case SampleType::Int24LSB: return SND_PCM_FORMAT_S24_3LE;
    case SampleType::Int32LSB: return SND_PCM_FORMAT_S32_LE;
    default: return SND_PCM_FORMAT_UNKNOWN;
  }
}

AlsaAudioDriver::AlsaAudioDriver(AlsaDriverConfig config) : config_(std::move(config)) {}

AlsaAudioDriver::~AlsaAudioDriver() {
  stop();
  closeDevices();
}

bool AlsaAudioDriver::soundCardPresent() {
  int card = -1;
  return snd_card_next(&card) == 0 && card >= 0;
}

bool AlsaAudioDriver::openDevices() {
  const std::string captureName = config_.captureDevice.empty() ? config_.device : config_.captureDevice;
  const std::string playbackName = config_.playbackDevice.empty() ? config_.device : config_.playbackDevice;
  if (config_.inputs >= 0 && snd_pcm_open(&capture_, captureName.c_str(), SND_PCM_STREAM_CAPTURE, 0) < 0) {
    errorMessage_ = "Cannot open " + captureName + " for capture";
    return false;
  }
  if (config_.outputs >= 0 && snd_pcm_open(&playback_, playbackName.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) {
    errorMessage_ = "Cannot open " + playbackName + " for playback";
    return false;
  }
  return true;
}

void AlsaAudioDriver::closeDevices() {
  if (linked_) snd_pcm_unlink(capture_);
  linked_ = false;
  if (capture_) snd_pcm_close(capture_);
  if (playback_) snd_pcm_close(playback_);
  capture_ = playback_ = nullptr;
}

bool AlsaAudioDriver::init(void*) {
  if (capture_ || playback_) return true;
  if (!openDevices()) {
    closeDevices();
    return false;
  }
  inputs_ = capture_ ? channelsFor(capture_, config_.inputs, kMaxInputs) : 0;
  outputs_ = playback_ ? channelsFor(playback_, config_.outputs, kMaxOutputs) : 0;
  if (inputs_ < 0 || outputs_ < 0) {
    errorMessage_ = "The device does not take that many channels";
    closeDevices();
    return false;
  }
  bool typeFound = false;
  for (SampleType type : {SampleType::Int32LSB, SampleType::Int24LSB, SampleType::Int16LSB}) {
    if (config_.sampleType != 0 && int(type) != config_.sampleType) continue;
    if (takesFormat(capture_, type) && takesFormat(playback_, type)) {
      type_ = type;
      typeFound = true;
      break;
    }
  }
  if (!typeFound) {
    errorMessage_ = "The device takes none of the integer sample types";
    closeDevices();
    return false;
  }
  rate_ = 0.0;
  for (double rate : {48000.0, 44100.0})
    if (rate_ == 0.0 && canSampleRate(rate) == kDriverOk) rate_ = rate;
  if (rate_ == 0.0) {
    errorMessage_ = "The device runs at neither 48000 nor 44100 Hz";
    closeDevices();
    return false;
  }
  minPeriod_ = kMinPeriod;
  maxPeriod_ = kMaxPeriod;
  for (snd_pcm_t* pcm : {capture_, playback_}) {
    if (!pcm) continue;
    HwParams params(pcm);
    snd_pcm_uframes_t minimum = 0, maximum = 0;
    int dir = 0;
    snd_pcm_hw_params_get_period_size_min(params.get(), &minimum, &dir);
    snd_pcm_hw_params_get_period_size_max(params.get(), &maximum, &dir);
    minPeriod_ = std::max(minPeriod_, long(minimum));
    maxPeriod_ = std::min(maxPeriod_, long(maximum));
  }
  errorMessage_.clear();
  return true;
}

void AlsaAudioDriver::getDriverName(char* name) { copyText(name, kDriverNameSize, "ALSA " + config_.device); }

long AlsaAudioDriver::getDriverVersion() { return 1; }

void AlsaAudioDriver::getErrorMessage(char* text) { copyText(text, kErrorMessageSize, errorMessage_); }

int AlsaAudioDriver::getChannels(long* numInputs, long* numOutputs) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  *numInputs = inputs_;
  *numOutputs = outputs_;
  return kDriverOk;
}

int AlsaAudioDriver::canSampleRate(double rate) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  return rate > 0.0 && rate == double(unsigned(rate)) && takesRate(capture_, rate) && takesRate(playback_, rate)
             ? kDriverOk
             : kDriverNoClock;
}

int AlsaAudioDriver::getSampleRate(double* rate) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  *rate = rate_;
  return kDriverOk;
}

int AlsaAudioDriver::setSampleRate(double rate) {
  if (running_.load()) return kDriverInvalidMode;
  const int result = canSampleRate(rate);
  if (result == kDriverOk) rate_ = rate;
  return result;
}

int AlsaAudioDriver::getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  *minSize = minPeriod_;
  *maxSize = maxPeriod_;
  *preferredSize = std::clamp(config_.preferredPeriod, minPeriod_, maxPeriod_);
  *granularity = 1;
  return kDriverOk;
}

int AlsaAudioDriver::getChannelInfo(ChannelInfo* info) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  const int count = info->isInput ? inputs_ : outputs_;
  if (info->channel < 0 || info->channel >= count) return kDriverInvalidParameter;
  info->isActive = std::any_of(active_.begin(), active_.end(), [info](const ActiveChannel& a) {
    return a.isInput == bool(info->isInput) && a.channel == info->channel;
  });
  info->channelGroup = 0;
  info->sampleType = type_;
  copyText(info->name, kChannelNameSize, (info->isInput ? "Capture " : "Playback ") + std::to_string(info->channel + 1));
  return kDriverOk;
}

int AlsaAudioDriver::configure(snd_pcm_t* pcm, int channels, long period) {
  HwParams params(pcm);
  snd_pcm_uframes_t periodFrames = snd_pcm_uframes_t(period);
  snd_pcm_uframes_t bufferFrames = periodFrames * snd_pcm_uframes_t(config_.periods);
  if (snd_pcm_hw_params_set_access(pcm, params.get(), SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
      snd_pcm_hw_params_set_format(pcm, params.get(), snd_pcm_format_t(alsaFormatOf(type_))) < 0 ||
      snd_pcm_hw_params_set_channels(pcm, params.get(), unsigned(channels)) < 0 ||
      snd_pcm_hw_params_set_rate(pcm, params.get(), unsigned(rate_), 0) < 0 ||
      snd_pcm_hw_params_set_period_size(pcm, params.get(), periodFrames, 0) < 0 ||
      snd_pcm_hw_params_set_buffer_size_near(pcm, params.get(), &bufferFrames) < 0 ||
      snd_pcm_hw_params(pcm, params.get()) < 0)
    return kDriverInvalidMode;
  ringFrames_ = std::max(ringFrames_, std::int64_t(bufferFrames));  // the ring the device chose, maybe larger

  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_malloc(&sw);
  snd_pcm_sw_params_current(pcm, sw);
  snd_pcm_sw_params_set_avail_min(pcm, sw, periodFrames);
  // The thread starts the streams itself, once playback holds its silence.
  snd_pcm_sw_params_set_start_threshold(pcm, sw, bufferFrames * 2);
  const int result = snd_pcm_sw_params(pcm, sw);
  snd_pcm_sw_params_free(sw);
  return result < 0 ? kDriverInvalidMode : kDriverOk;
}

int AlsaAudioDriver::createBuffers(BufferInfo* infos, long numChannels, long bufferSize,
                                   const DriverCallbacks* callbacks) {
  if (!capture_ && !playback_) return kDriverNotPresent;
  if (!active_.empty() || running_.load()) return kDriverInvalidMode;
  if (!buffersRequestUsable(infos, numChannels, callbacks)) return kDriverInvalidParameter;
  if (bufferSize < minPeriod_ || bufferSize > maxPeriod_) return kDriverInvalidMode;
  if (!channelListValid(infos, numChannels, inputs_, outputs_)) return kDriverInvalidParameter;
  ringFrames_ = 0;
  if ((capture_ && configure(capture_, inputs_, bufferSize) != kDriverOk) ||
      (playback_ && configure(playback_, outputs_, bufferSize) != kDriverOk))
    return kDriverInvalidMode;
  linked_ = capture_ && playback_ && snd_pcm_link(capture_, playback_) == 0;

  const std::size_t bytes = std::size_t(sampleTypeBytes(type_));
  layOutBufferHalves(halves_, infos, numChannels, std::size_t(bufferSize) * bytes);
  captureFrames_.assign(std::size_t(bufferSize) * std::size_t(inputs_) * bytes, 0);
  playbackFrames_.assign(std::size_t(bufferSize) * std::size_t(outputs_) * bytes, 0);
  active_.clear();
  for (long i = 0; i < numChannels; ++i)
    active_.push_back({infos[i].isInput != 0,
                       infos[i].channelNum,
                       {static_cast<std::uint8_t*>(infos[i].buffers[0]), static_cast<std::uint8_t*>(infos[i].buffers[1])}});
  bufferSize_ = bufferSize;
  callbacks_ = *callbacks;
  useTimeInfo_ = hostWantsTimeInfo(callbacks_);
  return kDriverOk;
}

int AlsaAudioDriver::disposeBuffers() {
  stop();
  if (active_.empty()) return kDriverInvalidMode;
  if (linked_) snd_pcm_unlink(capture_);
  linked_ = false;
  for (snd_pcm_t* pcm : {capture_, playback_})
    if (pcm) snd_pcm_hw_free(pcm);
  active_.clear();
  halves_.clear();
  bufferSize_ = 0;
  return kDriverOk;
}

int AlsaAudioDriver::start() {
  if (!capture_ && !playback_) return kDriverNotPresent;
  if (running_.load()) return kDriverOk;
  if (bufferSize_ == 0) return kDriverInvalidMode;
  std::fill(halves_.begin(), halves_.end(), std::uint8_t(0));
  index_ = 0;
  time_ = TimeInfo{};
  time_.sampleRate = rate_;
  pacer_.reset();
  paced_.store(false);
  if (!prime()) return kDriverHardwareMalfunction;
  running_.store(true);
  thread_ = std::thread([this] { run(); });
  return kDriverOk;
}

int AlsaAudioDriver::stop() {
  if (!thread_.joinable()) return kDriverOk;
  running_.store(false);
  thread_.join();  // the thread waits at most kWaitMs (or one paced period) before it sees running_
  for (snd_pcm_t* pcm : {capture_, playback_})
    if (pcm) snd_pcm_drop(pcm);
  return kDriverOk;
}

int AlsaAudioDriver::outputReady() { return kDriverNotPresent; }

// Prepares both streams, fills playback with silence and starts them
// (together when linked).
bool AlsaAudioDriver::prime() {
  for (snd_pcm_t* pcm : {capture_, playback_})
    if (pcm) {
      snd_pcm_drop(pcm);
      if (snd_pcm_prepare(pcm) < 0) return false;
    }
  if (playback_) {
    std::fill(playbackFrames_.begin(), playbackFrames_.end(), std::uint8_t(0));
    for (int p = 0; p < config_.periods; ++p)
      if (snd_pcm_writei(playback_, playbackFrames_.data(), snd_pcm_uframes_t(bufferSize_)) < 0) return false;
  }
  // Taken before the start, so the stream's clock can only seem behind.
  streamStartNs_ = monotonicNs();
  streamFrames_ = 0;
  if (capture_ && snd_pcm_start(capture_) < 0) return false;
  if (playback_ && !linked_ && snd_pcm_state(playback_) != SND_PCM_STATE_RUNNING && snd_pcm_start(playback_) < 0)
    return false;
  return true;
}

void AlsaAudioDriver::recover(int error) {
  xruns_.fetch_add(1, std::memory_order_relaxed);
  for (snd_pcm_t* pcm : {capture_, playback_})
    if (pcm) snd_pcm_recover(pcm, error, 1);
  prime();
}

void AlsaAudioDriver::readPeriod() {
  const int bytes = sampleTypeBytes(type_);
  for (ActiveChannel& a : active_) {
    if (!a.isInput) continue;
    const std::uint8_t* from = captureFrames_.data() + std::size_t(a.channel * bytes);
    std::uint8_t* to = a.halves[index_];
    for (long f = 0; f < bufferSize_; ++f)
      std::memcpy(to + f * bytes, from + std::size_t(f) * std::size_t(inputs_ * bytes), std::size_t(bytes));
  }
}

void AlsaAudioDriver::writePeriod() {
  const int bytes = sampleTypeBytes(type_);
  std::fill(playbackFrames_.begin(), playbackFrames_.end(), std::uint8_t(0));
  for (ActiveChannel& a : active_) {
    if (a.isInput) continue;
    const std::uint8_t* from = a.halves[index_];
    std::uint8_t* to = playbackFrames_.data() + std::size_t(a.channel * bytes);
    for (long f = 0; f < bufferSize_; ++f)
      std::memcpy(to + std::size_t(f) * std::size_t(outputs_ * bytes), from + f * bytes, std::size_t(bytes));
  }
}

void AlsaAudioDriver::run() {
  if (config_.realtimePriority) {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 20;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // refused without the right: keep going
  }
  while (running_.load(std::memory_order_relaxed)) {
    if (pacer_) awaitPacedPeriod();
    if (capture_) {
      if (injectXrun_.exchange(false)) {
        recover(-EPIPE);
        continue;
      }
      const int ready = snd_pcm_wait(capture_, kWaitMs);
      if (ready == 0) continue;  // nothing yet: look at running_ again
      long done = 0;
      int error = ready < 0 ? ready : 0;
      while (error == 0 && done < bufferSize_) {
        const std::size_t offset = std::size_t(done) * std::size_t(inputs_ * sampleTypeBytes(type_));
        const auto got = snd_pcm_readi(capture_, captureFrames_.data() + offset, snd_pcm_uframes_t(bufferSize_ - done));
        if (got < 0)
          error = int(got);
        else
          done += long(got);
      }
      if (error < 0) {
        recover(error);
        continue;
      }
      readPeriod();
    }
    time_.systemTimeNs = monotonicNs();
    callBufferSwitch(callbacks_, useTimeInfo_, time_, index_);
    if (playback_) {
      writePeriod();
      const auto written = snd_pcm_writei(playback_, playbackFrames_.data(), snd_pcm_uframes_t(bufferSize_));
      if (written < 0) recover(int(written));
    }
    time_.samplePosition += bufferSize_;
    index_ ^= 1;
    periods_.fetch_add(1, std::memory_order_relaxed);
    periodDone();
  }
}

// The slots that passed while the thread was late are skipped, not caught up
// in a burst; the sample position moves on with the clock.
void AlsaAudioDriver::awaitPacedPeriod() {
  sleepUntilNs(pacer_->dueNs());
  const std::int64_t skipped = pacer_->arrive(monotonicNs());
  time_.samplePosition += skipped * bufferSize_;
  latePeriods_.fetch_add(skipped, std::memory_order_relaxed);
}

// A device that blocks keeps the stream within its ring of the time since
// the start and is never paced (two periods of slack on top: one is the
// period counted across an xrun's restart). One that got further ahead
// returns at once and would spin the thread, so the monotonic clock takes
// over.
void AlsaAudioDriver::periodDone() {
  streamFrames_ += bufferSize_;
  if (pacer_) {
    pacer_->delivered();
    return;
  }
  const std::int64_t now = monotonicNs();
  if (runsAheadOfClock(streamFrames_, now - streamStartNs_, rate_, ringFrames_ + 2 * std::int64_t(bufferSize_))) {
    pacer_.emplace(now, rate_, int(bufferSize_));
    paced_.store(true);
  }
}

}  // namespace orvelan::audio
