// The JACK backend (on desktops it also runs on PipeWire's JACK layer). It
// never starts a server: without one running, init fails with the reason.
// Our inputs and outputs are JACK ports; the server fixes the rate and the
// period, so only that rate and that buffer size are offered (the host
// resamples or reblocks for other requests). Samples are 32-bit floats.
// Each JACK process cycle is one buffer half: the ports' inputs are copied
// into it, the host's switch runs, and its outputs go to the ports, so the
// host adds no latency of its own.
//
// A buffer-size change, and the server going away, reach the host as
// kResetRequest; a rate change as sampleRateDidChange; xruns are counted.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_driver.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace orvelan::audio {

struct JackDriverConfig {
  std::string server;                // empty: the default server ($JACK_DEFAULT_SERVER or "default")
  // JACK keys a client's notification socket on this name alone, whatever
  // the server: two processes on one machine need different names.
  std::string clientName = "orvelan";
  int inputs = 32;                   // ports "in_1" ...
  int outputs = 24;                  // ports "out_1" ...
  bool connectPhysical = false;      // at start, connect to the server's physical ports in order
};

class JackAudioDriver final : public AudioDriver {
 public:
  explicit JackAudioDriver(JackDriverConfig config);
  ~JackAudioDriver() override;

  // Whether a JACK server answers (the default one when server is empty).
  static bool serverRunning(const std::string& server = {});

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

  // The full JACK names of our ports ("orvelan:in_1"), for connections.
  std::string inputPortName(int channel) const;
  std::string outputPortName(int channel) const;
  jack_client_t* client() const { return client_; }

  std::int64_t xruns() const { return xruns_.load(); }
  // The longest process cycle since start (copies and the host's switch).
  std::int64_t worstCycleNs() const { return worstCycleNs_.load(); }
  bool serverGone() const { return serverGone_.load(); }

 private:
  struct ActiveChannel {
    jack_port_t* port;
    bool isInput;
    float* halves[2];
  };

  friend struct JackEvents;  // the JACK callbacks
  void process(std::uint32_t frames);
  void closeClient();

  JackDriverConfig config_;
  jack_client_t* client_ = nullptr;
  std::string errorMessage_;
  std::vector<jack_port_t*> inputPorts_;
  std::vector<jack_port_t*> outputPorts_;

  std::vector<ActiveChannel> active_;
  std::vector<jack_port_t*> idleOutputs_;  // output ports without buffers: silence
  std::vector<float> storage_;
  long bufferSize_ = 0;
  DriverCallbacks callbacks_;
  bool useTimeInfo_ = false;
  TimeInfo time_;
  long index_ = 0;
  double rate_ = 0.0;  // the rate the host was last told of
  bool activated_ = false;

  std::atomic<bool> running_{false};
  std::atomic<bool> inCycle_{false};  // the process callback is running
  std::atomic<bool> resetPending_{false};
  std::atomic<bool> resetSent_{false};
  std::atomic<double> pendingRate_{0.0};
  std::atomic<std::int64_t> xruns_{0};
  std::atomic<std::int64_t> worstCycleNs_{0};
  std::atomic<bool> serverGone_{false};
};

}  // namespace orvelan::audio
