// The ALSA PCM backend: a capture and a playback device (hw:N, plughw:N,
// or any PCM name) run as one linked stream with one period per buffer
// half, in the integer sample types 16, 17 and 18 (S16_LE, S24_3LE,
// S32_LE). Its own thread (SCHED_FIFO when the system allows it) reads a
// period, runs the host's switch and writes the period back; an xrun is
// recovered (snd_pcm_recover, then the stream restarts) and counted.
// A device that does not pace the stream itself (the "null" PCM returns
// every read and write at once) is found by its running ahead of the time
// since the start; from then on a PeriodPacer sets the pace.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_driver.h"
#include "audio/period_pacer.h"

typedef struct _snd_pcm snd_pcm_t;

namespace orvelan::audio {

struct AlsaDriverConfig {
  std::string device = "default";  // both directions, unless named apart below
  std::string captureDevice;
  std::string playbackDevice;
  int inputs = 0;   // 0: what the device offers, at most 32; negative: no capture
  int outputs = 0;  // 0: what the device offers, at most 24; negative: no playback
  // 0: the first of Int32LSB, Int24LSB, Int16LSB both devices take.
  int sampleType = 0;
  long preferredPeriod = 256;
  int periods = 2;  // periods in the device's ring
  bool realtimePriority = true;
};

// The ALSA sample format of a type; -1 (unknown) for types other than 16, 17, 18.
int alsaFormatOf(SampleType type);

class AlsaAudioDriver final : public AudioDriver {
 public:
  explicit AlsaAudioDriver(AlsaDriverConfig config);
  ~AlsaAudioDriver() override;

  // Whether the machine has a sound card at all.
  static bool soundCardPresent();

  bool init(void* systemReference) override;
  void getDriverName(char* name) override;
  long getDriverVersion() override;
  void getErrorMessage(char* text) override;
  int getChannels(long* numInputs, long* numOutputs) override;
  int canSampleRate(double rate) override;
  int getSampleRate(double* rate) override;
  int setSampleRate(double rate) override;
  int getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity) override;
  int getChannelInfo(ChannelInfo* info) override;
  int createBuffers(BufferInfo* infos, long numChannels, long bufferSize, const DriverCallbacks* callbacks) override;
  int disposeBuffers() override;
  int start() override;
  int stop() override;
  int outputReady() override;

  // The next period read fails as an overrun would; the stream recovers.
  void injectXrun() { injectXrun_.store(true); }
  std::int64_t xruns() const { return xruns_.load(); }
  std::int64_t periodsDone() const { return periods_.load(); }
  // Whether the running stream is paced by the monotonic clock because the
  // device returned periods faster than real time.
  bool pacedToClock() const { return paced_.load(); }
  // Periods the paced clock skipped because the thread woke after their slot.
  std::int64_t latePeriods() const { return latePeriods_.load(); }
  SampleType sampleType() const { return type_; }

 private:
  struct ActiveChannel {
    bool isInput;
    int channel;
    std::uint8_t* halves[2];
  };

  bool openDevices();
  void closeDevices();
  int configure(snd_pcm_t* pcm, int channels, long period);
  void run();
  bool prime();
  void recover(int error);
  void readPeriod();
  void writePeriod();
  void awaitPacedPeriod();
  void periodDone();

  AlsaDriverConfig config_;
  snd_pcm_t* capture_ = nullptr;
  snd_pcm_t* playback_ = nullptr;
  bool linked_ = false;
  std::string errorMessage_;
  int inputs_ = 0;
  int outputs_ = 0;
  SampleType type_ = SampleType::Int32LSB;
  double rate_ = 48000.0;
  long minPeriod_ = 0;
  long maxPeriod_ = 0;

  std::vector<ActiveChannel> active_;
  std::vector<std::uint8_t> halves_;
  std::vector<std::uint8_t> captureFrames_;   // one interleaved period
  std::vector<std::uint8_t> playbackFrames_;  // one interleaved period
  long bufferSize_ = 0;
  std::int64_t ringFrames_ = 0;  // the larger of the two devices' rings
  DriverCallbacks callbacks_;
  bool useTimeInfo_ = false;
  TimeInfo time_;
  long index_ = 0;
  // Since the streams last started: when, and the frames moved since.
  std::int64_t streamStartNs_ = 0;
  std::int64_t streamFrames_ = 0;
  std::optional<PeriodPacer> pacer_;  // only for a device that runs free

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> injectXrun_{false};
  std::atomic<std::int64_t> xruns_{0};
  std::atomic<std::int64_t> periods_{0};
  std::atomic<bool> paced_{false};
  std::atomic<std::int64_t> latePeriods_{0};
};

}  // namespace orvelan::audio
