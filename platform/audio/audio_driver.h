// The interface every audio driver offers the device host: a driver is
// opened once, reports its channels, rates and buffer sizes, creates a pair
// of buffer halves per active channel and then calls the host once per half
// through the host's callback record. The host lives in io/asio; the drivers
// (the virtual device, JACK, ALSA) live beside this file.
//
// Contract beyond the calls themselves:
// - all callbacks of a stream come on one thread;
// - stop() returns only after the last callback has finished (unless it is
//   called from that callback thread, where it can only ask the stream to end).
#pragma once

#include <cstdint>

namespace orvelan::audio {

// Result codes of the driver calls (0 success, negative failure).
enum DriverError : int {
  kDriverOk = 0,
  kDriverNotPresent = -1000,          // no such driver, or the driver cannot do it
  kDriverHardwareMalfunction = -999,  // the device stopped working
  kDriverInvalidParameter = -998,     // an argument outside what the driver offers
  kDriverInvalidMode = -997,          // not possible in the driver's present state
  kDriverNoClock = -995,              // the clock source cannot be used
  kDriverNoMemory = -994,             // buffers could not be allocated
};

// Sample layout of a channel's buffer halves (little-endian).
enum class SampleType : std::int32_t {
  Int16LSB = 16,    // 2 bytes
  Int24LSB = 17,    // 3 bytes, packed
  Int32LSB = 18,    // 4 bytes
  Float32LSB = 19,  // 4 bytes, IEEE float at full scale 1.0
};

// Bytes per sample of a type; 0 for a type the system does not handle.
int sampleTypeBytes(SampleType type);

inline constexpr int kDriverNameSize = 32;     // getDriverName fills this many chars
inline constexpr int kErrorMessageSize = 124;  // getErrorMessage fills this many chars
inline constexpr int kChannelNameSize = 32;

struct ChannelInfo {
  std::int32_t channel = 0;       // set by the caller
  std::int32_t isInput = 0;       // set by the caller
  std::int32_t isActive = 0;      // set by the driver: the channel has buffers
  std::int32_t channelGroup = 0;  // set by the driver
  SampleType sampleType = SampleType::Int32LSB;  // set by the driver
  char name[kChannelNameSize] = {};              // set by the driver
};

// One per active channel, handed to createBuffers: the caller sets isInput
// and channelNum, the driver fills both halves.
struct BufferInfo {
  std::int32_t isInput = 0;
  std::int32_t channelNum = 0;
  void* buffers[2] = {nullptr, nullptr};
};

// Where the stream stands when a half is handed over.
struct TimeInfo {
  std::int64_t samplePosition = 0;  // frames since start, at the first frame of the half
  std::int64_t systemTimeNs = 0;    // CLOCK_MONOTONIC when the half is handed over
  double sampleRate = 0.0;
  std::uint32_t flags = 0;
};

// Selectors of the host message callback.
enum MessageSelector : long {
  kSelectorSupported = 1,  // value: a selector; answer 1 when the host handles it
  kEngineVersion = 2,      // answer: the host's interface version
  kResetRequest = 3,       // the driver needs to be reopened
  // value: the driver's new buffer size. A host that answers 1 has followed
  // it: from the next half on, every half carries that many frames (the
  // driver's halves must be large enough). Sent on the callback thread,
  // between two switches. A host that answers 0 needs a reset instead.
  kBufferSizeChange = 4,
  kResyncRequest = 5,      // the driver lost samples
  kLatenciesChanged = 6,
  kSupportsTimeInfo = 7,   // answer 1: the driver may call bufferSwitchTimeInfo
  kSupportsTimeCode = 8,
  // The last selector the host reports as supported. No driver of ours sends
  // it, and sent as a message it gets the default answer 0; the host still
  // lists it so that a driver asking finds the same set as before.
  kLastListedSelector = 9,
};

// The host's entry points. Plain functions: the host is one module per process.
struct DriverCallbacks {
  void (*bufferSwitch)(long index, long processNow) = nullptr;
  void (*sampleRateDidChange)(double rate) = nullptr;
  long (*message)(long selector, long value, void* message, double* opt) = nullptr;
  TimeInfo* (*bufferSwitchTimeInfo)(TimeInfo* time, long index, long processNow) = nullptr;
};

class AudioDriver {
 public:
  AudioDriver() = default;
  AudioDriver(const AudioDriver&) = delete;
  AudioDriver& operator=(const AudioDriver&) = delete;
  // Releasing the driver: stops the stream and disposes its buffers first.
  virtual ~AudioDriver() = default;

  // True when the driver is ready; otherwise getErrorMessage says why.
  virtual bool init(void* systemReference) = 0;
  virtual void getDriverName(char* name) = 0;  // kDriverNameSize chars
  virtual long getDriverVersion() = 0;
  virtual void getErrorMessage(char* text) = 0;  // kErrorMessageSize chars

  virtual int getChannels(long* numInputs, long* numOutputs) = 0;
  // kDriverOk when the driver can run at rate.
  virtual int canSampleRate(double rate) = 0;
  virtual int getSampleRate(double* rate) = 0;
  virtual int setSampleRate(double rate) = 0;
  // granularity: the step between sizes, -1 for powers of two, 0 when
  // minimum == maximum.
  virtual int getBufferSize(long* minSize, long* maxSize, long* preferredSize, long* granularity) = 0;
  // The caller sets info->channel and info->isInput.
  virtual int getChannelInfo(ChannelInfo* info) = 0;

  virtual int createBuffers(BufferInfo* infos, long numChannels, long bufferSize,
                            const DriverCallbacks* callbacks) = 0;
  virtual int disposeBuffers() = 0;
  virtual int start() = 0;
  virtual int stop() = 0;
  // kDriverOk when the driver wants to hear, inside the switch, that the
  // output half is written.
  virtual int outputReady() = 0;

  // Periods the driver lost or delivered late since it was opened (0 for a
  // driver that cannot tell). Safe from any thread.
  virtual std::int64_t xruns() const { return 0; }
};

}  // namespace orvelan::audio
