// The JACK backend (on desktops it also runs on PipeWire's JACK layer). It
// never starts a server: without one running, init fails with the reason.
// Our inputs and outputs are JACK ports; the server fixes the rate and the
// period, so only that rate and that buffer size are offered (the host
// resamples or reblocks for other requests). Samples are 32-bit floats.
// Each JACK process cycle is one buffer half: the ports' inputs are copied
// into it, the host's switch runs, and its outputs go to the ports, so the
// host adds no latency of its own.
//
// A period change while streaming (routine under PipeWire) is handed to the
// host as kBufferSizeChange at the first cycle of the new size: the halves
// are made large enough for any period, so a host that follows goes on
// without a pause; one that does not gets kResetRequest and silence. The
// server going away reaches the host as kResetRequest, and the dead client
// is closed soon after by a thread of the driver's own (JACK forbids closing
// it on the thread that brings the news). A rate change reaches the host as
// sampleRateDidChange; xruns are counted.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
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
  // The largest period the halves hold without being made again (JACK's own
  // limit); a longer one needs a reset.
  static constexpr long kMaxPeriod = 8192;

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
  // Returns once the last process cycle that reached the host has finished.
  int stop() override;
  int outputReady() override;

  // The full JACK names of our ports ("orvelan:in_1"), for connections;
  // empty once the client is closed.
  std::string inputPortName(int channel) const;
  std::string outputPortName(int channel) const;
  jack_client_t* client() const;

  std::int64_t xruns() const override { return xruns_.load(); }
  // The longest process cycle since start (copies and the host's switch).
  std::int64_t worstCycleNs() const { return worstCycleNs_.load(); }
  bool serverGone() const { return serverGone_.load(); }
  // Whether a client is open (a dead one is closed soon after its server goes).
  bool clientOpen() const { return clientOpen_.load(); }

 private:
  struct ActiveChannel {
    jack_port_t* port;
    bool isInput;
    float* halves[2];
  };

  friend struct JackEvents;  // the JACK callbacks
  void process(std::uint32_t frames);
  bool followPeriod(std::uint32_t frames);
  void silenceOutputs(std::uint32_t frames);
  // Under control_:
  int stopLocked();
  void closeClientLocked();
  void waitForCycle() const;
  void runReaper();

  JackDriverConfig config_;
  // Taken by the control calls and by the reaper that closes a dead client,
  // never by the process callback.
  mutable std::mutex control_;
  jack_client_t* client_ = nullptr;
  std::string errorMessage_;
  std::vector<jack_port_t*> inputPorts_;
  std::vector<jack_port_t*> outputPorts_;

  std::vector<ActiveChannel> active_;
  std::vector<jack_port_t*> idleOutputs_;  // output ports without buffers: silence
  std::vector<float> storage_;
  long capacity_ = 0;    // frames each half holds
  long bufferSize_ = 0;  // frames each half carries now (the process thread follows the period)
  DriverCallbacks callbacks_;
  bool useTimeInfo_ = false;
  TimeInfo time_;
  long index_ = 0;
  double rate_ = 0.0;  // the rate the host was last told of
  bool activated_ = false;

  std::atomic<bool> running_{false};
  std::atomic<bool> inCycle_{false};  // the process callback is running
  std::atomic<bool> resetSent_{false};
  std::atomic<double> pendingRate_{0.0};
  std::atomic<std::int64_t> xruns_{0};
  std::atomic<std::int64_t> worstCycleNs_{0};
  std::atomic<bool> serverGone_{false};
  std::atomic<bool> clientOpen_{false};

  std::thread reaper_;
  std::counting_semaphore<> reap_{0};  // released by the shutdown notice and at destruction
  std::atomic<bool> quitReaper_{false};
};

}  // namespace orvelan::audio
