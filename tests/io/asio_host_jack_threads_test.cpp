// The device host on the JACK backend, against a private dummy server
// (skipped when jackd cannot start here): a signal the processor sends out
// of output 1, looped back into input 1 by a JACK connection, comes back
// sample-exact one period later; killing the server reaches the host as a
// reset request, and the host closes cleanly afterwards.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "asio/asio_host.h"
#include "asio/driver_info.h"
#include "audio/backends/jack/jack_driver.h"
#include "framework/audio_class.h"
#include "support/jack_server.h"
#include "support/recording_host.h"

namespace orvelan::io {
namespace {

using audio::testing::JackServer;
using audio::testing::waitUntil;

constexpr int kPeriod = 256;
constexpr int kFrames = 40 * kPeriod;
std::string gServerName, gClientName;

// Sends a known signal on output 0 and records what input 0 brings back.
class LoopProbe final : public vxAudioClass {
 public:
  std::vector<float> sent = std::vector<float>(kFrames, 0.0f);
  std::vector<float> received = std::vector<float>(kFrames, 0.0f);
  std::atomic<int> blocks{0};

  vxResult processBuffersDefault(vxAudioBuffer* in, vxAudioBuffer* out) override {
    const int frames = in->format()->frames();
    const std::int64_t position = std::int64_t(blocks.load()) * frames;
    for (int i = 0; i < frames && position + i < kFrames; ++i) {
      const std::int64_t n = position + i;
      out->channelData(0)[i] = float(n % 1001 + 1) / 1024.0f;
      sent[std::size_t(n)] = out->channelData(0)[i];
      received[std::size_t(n)] = in->channelData(0)[i];
    }
    blocks.fetch_add(1);
    return vxOK;
  }
};

class HostOnJack : public ::testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<JackServer>(48000, kPeriod);
    if (!server->started()) GTEST_SKIP() << "jackd --no-realtime -d dummy could not be started here";
    gServerName = server->name();
    gClientName = server->clientName();
    asioUseCatalog(audio::catalogOf({"JACK"}, [](const audio::CatalogEntry&) -> std::unique_ptr<audio::AudioDriver> {
      audio::JackDriverConfig config;
      config.server = gServerName;
      config.clientName = gClientName;
      return std::make_unique<audio::JackAudioDriver>(config);
    }));
    asioInitEngine();
    ASSERT_EQ(asioOpenDriver("JACK"), 0);
    asioSetProcessorObject(&probe);
    ASSERT_EQ(asioSelectProcessor(kProcessorObject), 0);
    ASSERT_EQ(asioCreateBuffers(), 0);
  }
  void TearDown() override {
    asioExitEngine();  // before the server goes
    server.reset();
  }

  audio::JackAudioDriver* jack() const { return static_cast<audio::JackAudioDriver*>(asioDriver()); }

  std::unique_ptr<JackServer> server;
  LoopProbe probe;
};

TEST_F(HostOnJack, LoopedBackSignalReturnsSampleExactOnePeriodLater) {
  EXPECT_EQ(asioNumInputs(), 32);
  EXPECT_EQ(asioNumOutputs(), 24);
  EXPECT_EQ(asioGetSampleRate(), 48000.0);
  EXPECT_EQ(asioBufferSize(), kPeriod);
  ASSERT_EQ(asioStart(), 1);
  ASSERT_EQ(jack_connect(jack()->client(), jack()->outputPortName(0).c_str(), jack()->inputPortName(0).c_str()), 0);
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= kFrames / kPeriod + 2; }));
  ASSERT_EQ(asioStop(), 1);
  // The connection is made while streaming: find where the signal starts
  // coming back, then every sample from there on is the one sent a period before.
  std::size_t first = 0;
  while (first < kFrames && probe.received[first] == 0.0f) ++first;
  ASSERT_LT(first, std::size_t(kFrames / 2));
  EXPECT_EQ(first % kPeriod, 0u);
  for (std::size_t n = first; n < kFrames; ++n) ASSERT_EQ(probe.received[n], probe.sent[n - kPeriod]) << n;
  EXPECT_EQ(asioStatus(), kAsioStatusNone);
}

TEST_F(HostOnJack, ServerDeathReachesTheHostAsAResetAndTheHostStillCloses) {
  ASSERT_EQ(asioStart(), 1);
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= 5; }));
  server->kill();
  ASSERT_TRUE(waitUntil([] { return asioStatus() == kAsioStatusResetRequest; }));
  asioStop();
  EXPECT_EQ(asioCloseDriver(), 0);
  EXPECT_EQ(asioCurrentDriver(), nullptr);
  EXPECT_EQ(asioStart(), kAsioNotPresent);  // the pending reset finds no driver to reopen
}

}  // namespace
}  // namespace orvelan::io
