// "Virtual Audio Device": an audio driver without hardware, the default on
// a machine without a sound card and the device of the tests. Everything is
// configurable: name, channels, channel names, rates, buffer sizes, sample
// type (also one the host does not handle), the clock (a manual pump for
// tests, a paced real-time clock, or a free-running one), what the inputs
// carry, capture of the outputs, and faults on demand.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_driver.h"
#include "audio/backends/virtual/input_source.h"
#include "audio/period_pacer.h"

namespace orvelan::audio {

inline constexpr const char* kVirtualDeviceName = "Virtual Audio Device";

enum class ClockMode {
  Manual,       // periods are delivered by pump(), on the pumping thread
  Paced,        // a thread of the device delivers one period every frames/rate seconds
  FreeRunning,  // a thread of the device delivers periods back to back
};

struct BufferSizes {
  long minimum = 32;
  long maximum = 8192;
  long preferred = 256;
  long granularity = -1;  // -1 powers of two, 0 only `minimum`, else the step from `minimum`
};

// Faults set before the calls they affect.
struct VirtualDeviceFaults {
  bool initFails = false;
  std::string initError = "The virtual device was told to fail";
  int channelsError = kDriverOk;  // non-zero: getChannels answers it
  struct ChannelFault {
    bool isInput = true;
    int channel = 0;
    int error = kDriverNotPresent;
  };
  std::optional<ChannelFault> channelInfoFault;  // getChannelInfo of that channel answers `error`
  int createBuffersError = kDriverOk;            // non-zero: createBuffers answers it and fills no half
  bool noOutputReady = false;                    // outputReady answers kDriverNotPresent
  int startError = kDriverOk;                    // non-zero: start answers it
};

struct VirtualDeviceConfig {
  std::string name = kVirtualDeviceName;
  long version = 1;
  int inputs = 32;
  int outputs = 24;
  // Missing or empty names become "Input n" / "Output n" (n from 1).
  std::vector<std::string> inputNames;
  std::vector<std::string> outputNames;
  std::vector<double> sampleRates = {44100.0, 48000.0};
  double sampleRate = 48000.0;
  BufferSizes bufferSizes;
  SampleType sampleType = SampleType::Int32LSB;
  ClockMode clock = ClockMode::Paced;
  bool realtimePriority = false;  // ask for SCHED_FIFO for the clock thread (ignored when refused)
  InputSource input;
  VirtualDeviceFaults faults;
};

class VirtualAudioDevice final : public AudioDriver {
 public:
  explicit VirtualAudioDevice(VirtualDeviceConfig config = {});
  ~VirtualAudioDevice() override;

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
  // The paced clock's skipped periods.
  std::int64_t xruns() const override { return latePeriods_.load(); }

  const VirtualDeviceConfig& config() const { return config_; }

  // Manual clock: delivers `periods` periods on the calling thread and
  // returns how many were delivered (fewer only when the stream stops
  // meanwhile; 0 when not running or the clock is not manual).
  long pump(long periods);

  // Faults while streaming, from any thread; each reaches the host on the
  // callback thread just before the next period.
  void requestReset();                // message(kResetRequest)
  void changeSampleRate(double rate);  // the device now runs at rate; sampleRateDidChange(rate)
  // Each of the next `switches` buffer switches is also called, for the same
  // half and at the same time, from a second thread.
  void overlapSwitches(int switches);

  // Replaces the input source (not while running).
  int setInput(const InputSource& source, std::string* error = nullptr);

  // From the next start, the first maxFrames frames of every active output
  // are kept (not while running).
  int captureOutputs(std::int64_t maxFrames);
  // Frames captured so far; that many samples of capturedOutput are valid.
  std::int64_t capturedFrames() const { return captured_.load(std::memory_order_acquire); }
  // The capture of driver output `channel`; null when it was not active.
  const float* capturedOutput(int channel) const;

  bool running() const { return running_.load(); }
  std::int64_t periodsDelivered() const { return periods_.load(); }
  std::int64_t samplePosition() const { return position_.load(); }
  std::int64_t overlappingSwitchesMade() const { return overlapsMade_.load(); }
  std::int64_t outputReadyCalls() const { return outputReadyCalls_.load(); }
  // Paced clock: periods skipped because their slot had passed, and lateness.
  ClockStats clockStats() const;
  // The longest the host's buffer switch took since the stream was started
  // (any clock): what a period's processing costs at worst.
  std::int64_t worstSwitchNs() const { return worstSwitchNs_.load(std::memory_order_relaxed); }

 private:
  enum class State { Created, Initialized, BuffersReady, Running };
  struct ActiveChannel {
    bool isInput;
    int channel;
    void* halves[2];
    std::vector<float>* capture;   // outputs, when capturing
    const float* loopbackSource;   // inputs in loopback: the output's last period, or null
    float* loopbackStore;          // outputs: where this output's period is kept for loopback
  };

  bool validBufferSize(long size) const;
  bool supportsRate(double rate) const;
  void joinThreads();
  void deliverPeriod();
  void deliverPendingFaults();
  void writeInputs();
  void callSwitch(long index, TimeInfo& time);
  void readOutputs();
  void runClock();
  void runIntruder();
  void publishStats(const ClockStats& stats);

  VirtualDeviceConfig config_;
  std::atomic<State> state_{State::Created};  // stop() may come from the callback thread
  std::string errorMessage_;
  InputGenerator generator_;
  std::atomic<double> rate_;

  // Buffers and per-period scratch, allocated in createBuffers.
  std::vector<ActiveChannel> active_;
  std::vector<std::uint8_t> storage_;
  std::vector<float> scratch_;
  std::vector<float> loopback_;
  long bufferSize_ = 0;
  DriverCallbacks callbacks_;
  bool useTimeInfo_ = false;
  TimeInfo time_;

  std::int64_t captureLimit_ = 0;
  std::vector<std::vector<float>> captures_;
  std::atomic<std::int64_t> captured_{0};

  // Streaming.
  std::atomic<bool> running_{false};
  std::atomic<bool> pumping_{false};
  std::thread clockThread_;
  long index_ = 0;
  std::atomic<std::int64_t> position_{0};
  std::atomic<std::int64_t> periods_{0};

  // Faults on demand.
  std::atomic<int> resetRequests_{0};
  std::atomic<double> pendingRate_{0.0};
  std::atomic<int> overlapsArmed_{0};
  std::atomic<std::int64_t> overlapsMade_{0};
  std::atomic<std::int64_t> outputReadyCalls_{0};
  std::thread intruderThread_;
  std::binary_semaphore intruderGo_{0};
  std::binary_semaphore intruderDone_{0};
  std::atomic<bool> intruderQuit_{false};
  long intruderIndex_ = 0;
  TimeInfo intruderTime_;

  std::atomic<std::int64_t> latePeriods_{0};
  std::atomic<std::int64_t> totalLatenessNs_{0};
  std::atomic<std::int64_t> worstLatenessNs_{0};
  std::atomic<std::int64_t> worstSwitchNs_{0};
};

}  // namespace orvelan::audio
