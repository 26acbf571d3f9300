// The JACK backend against a private dummy server: the server's rate and
// period are what it offers; a signal sent out of our outputs and looped
// back into our inputs by JACK connections arrives sample-exact one period
// later; a stalled callback is counted as an xrun; a buffer-size change is
// handed to a host that follows it and is a reset request for one that does
// not; the server's death reaches the host as a reset request, the dead
// client is closed soon after, and the driver still closes cleanly; the
// host's switch runs with JACK's asynchronous thread cancel held off, and
// stopping and closing in the middle of busy cycles ends nothing but them.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/backends/jack/jack_driver.h"
#include "support/jack_server.h"
#include "support/recording_host.h"

namespace orvelan::audio {
namespace {

using namespace std::chrono_literals;
using testing::host;
using testing::waitUntil;
using testing::JackServer;
using testing::recordingCallbacks;

class JackDriverTest : public ::testing::Test {
 protected:
  static constexpr int kPeriod = 256;

  void SetUp() override {
    host().reset();
    server = std::make_unique<JackServer>(48000, kPeriod);
    if (!server->started()) GTEST_SKIP() << "jackd --no-realtime -d dummy could not be started here";
    JackDriverConfig config;
    config.server = server->name();
    config.clientName = server->clientName();
    driver = std::make_unique<JackAudioDriver>(config);
    ASSERT_TRUE(driver->init(nullptr));
  }

  void TearDown() override {
    driver.reset();  // before the server goes
    server.reset();
  }

  // Buffers for the first `inputs` inputs and `outputs` outputs.
  void createBuffers(int inputs, int outputs) {
    infos.clear();
    for (int c = 0; c < inputs; ++c) infos.push_back({1, c, {}});
    for (int c = 0; c < outputs; ++c) infos.push_back({0, c, {}});
    const DriverCallbacks callbacks = recordingCallbacks();
    ASSERT_EQ(driver->createBuffers(infos.data(), long(infos.size()), kPeriod, &callbacks), kDriverOk);
  }

  std::unique_ptr<JackServer> server;
  std::unique_ptr<JackAudioDriver> driver;
  std::vector<BufferInfo> infos;
};

TEST_F(JackDriverTest, OffersTheServersRateAndPeriodOnly) {
  long in = 0, out = 0, minSize, maxSize, preferred, granularity;
  ASSERT_EQ(driver->getChannels(&in, &out), kDriverOk);
  EXPECT_EQ(in, 32);
  EXPECT_EQ(out, 24);
  ASSERT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), kDriverOk);
  EXPECT_EQ(std::vector<long>({minSize, maxSize, preferred, granularity}),
            std::vector<long>({kPeriod, kPeriod, kPeriod, 0}));
  double rate = 0.0;
  ASSERT_EQ(driver->getSampleRate(&rate), kDriverOk);
  EXPECT_EQ(rate, 48000.0);
  EXPECT_EQ(driver->canSampleRate(48000.0), kDriverOk);
  EXPECT_EQ(driver->canSampleRate(44100.0), kDriverNoClock);
  EXPECT_EQ(driver->setSampleRate(96000.0), kDriverNoClock);

  ChannelInfo info{31, 1, 0, 0, {}, {}};
  ASSERT_EQ(driver->getChannelInfo(&info), kDriverOk);
  EXPECT_EQ(info.sampleType, SampleType::Float32LSB);
  EXPECT_STREQ(info.name, "in_32");
  ChannelInfo beyond{24, 0, 0, 0, {}, {}};
  EXPECT_EQ(driver->getChannelInfo(&beyond), kDriverInvalidParameter);

  std::vector<BufferInfo> one = {{1, 0, {}}};
  const DriverCallbacks callbacks = recordingCallbacks();
  EXPECT_EQ(driver->createBuffers(one.data(), 1, kPeriod / 2, &callbacks), kDriverInvalidMode);
  EXPECT_EQ(driver->outputReady(), kDriverNotPresent);
}

TEST_F(JackDriverTest, LoopedBackSignalArrivesSampleExactOnePeriodLater) {
  createBuffers(2, 2);
  constexpr int kFrames = 40 * kPeriod;
  std::vector<float> sent[2], received[2];
  for (int c = 0; c < 2; ++c) {
    sent[c].assign(kFrames, 0.0f);
    received[c].assign(kFrames, 0.0f);
  }
  std::int64_t position = 0;
  host().onSwitch = [&](long index) {
    for (int c = 0; c < 2 && position + kPeriod <= kFrames; ++c) {
      const auto* in = static_cast<const float*>(infos[std::size_t(c)].buffers[index]);
      auto* out = static_cast<float*>(infos[std::size_t(2 + c)].buffers[index]);
      for (int i = 0; i < kPeriod; ++i) {
        const std::int64_t n = position + i;
        out[i] = float((n * 7 + c * 13) % 1001 + 1) / 1024.0f * (c ? -1.0f : 1.0f);
        sent[c][std::size_t(n)] = out[i];
        received[c][std::size_t(n)] = in[i];
      }
    }
    position += kPeriod;
  };
  ASSERT_EQ(driver->start(), kDriverOk);  // JACK connects only ports of active clients
  for (int c = 0; c < 2; ++c)
    ASSERT_EQ(jack_connect(driver->client(), driver->outputPortName(c).c_str(), driver->inputPortName(c).c_str()), 0);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 45; }));
  ASSERT_EQ(driver->stop(), kDriverOk);

  for (int c = 0; c < 2; ++c) {
    // The connection is made while streaming, so the signal starts coming
    // back at some period: find the first sample and check it lines up one
    // period after what was sent, from there to the end.
    std::size_t first = 0;
    while (first < kFrames && received[c][first] == 0.0f) ++first;
    ASSERT_LT(first, std::size_t(kFrames / 2)) << "channel " << c;
    EXPECT_EQ(first % kPeriod, 0u);
    const std::size_t latency = kPeriod;
    for (std::size_t n = first; n < kFrames; ++n)
      ASSERT_EQ(received[c][n], sent[c][n - latency]) << "channel " << c << " frame " << n;
  }
  EXPECT_EQ(host().threadCount(), 1u);
  EXPECT_EQ(host().mostInside.load(), 1);
}

// JACK cancels its process thread asynchronously on deactivation; landing
// inside the host's switch it could cut the host off halfway (and in a
// sanitizer build abort the program). Inside the switch the cancel is
// deferred, and a deactivation or close that comes while busy cycles run
// still returns, cycle after cycle.
TEST_F(JackDriverTest, TheSwitchRunsWithTheThreadCancelHeldOff) {
  createBuffers(1, 1);
  host().onSwitch = [](long) {
    // Most of the period busy, so a stop's deactivation tends to find a
    // cycle under way.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(4);
    while (std::chrono::steady_clock::now() < until) {
    }
  };
  for (int round = 0; round < 10; ++round) {
    const std::int64_t before = host().switches.load();
    ASSERT_EQ(driver->start(), kDriverOk) << round;
    ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= before + 3; })) << round;
    ASSERT_EQ(driver->stop(), kDriverOk) << round;
  }
  EXPECT_EQ(host().callsWithAsyncCancel.load(), 0);
  const std::int64_t before = host().switches.load();
  ASSERT_EQ(driver->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= before + 3; }));
  driver.reset();  // closes with the stream running
}

TEST_F(JackDriverTest, StalledCallbackIsCountedAsAnXrun) {
  createBuffers(1, 1);
  host().onSwitch = [](long) {
    if (host().switches.load() == 20)
      std::this_thread::sleep_for(std::chrono::milliseconds(JackServer::kClientTimeoutMs * 3 / 2));
  };
  ASSERT_EQ(driver->start(), kDriverOk);
  EXPECT_TRUE(waitUntil([&] { return driver->xruns() > 0; }));
  EXPECT_TRUE(waitUntil([&] { return host().switches.load() > 30; }));  // streaming goes on
  EXPECT_EQ(driver->stop(), kDriverOk);
}

TEST_F(JackDriverTest, BufferSizeChangeReachesTheHostAsOneResetRequest) {
  createBuffers(1, 1);
  ASSERT_EQ(driver->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 5; }));
  ASSERT_EQ(jack_set_buffer_size(driver->client(), 2 * kPeriod), 0);
  ASSERT_TRUE(waitUntil([&] { return host().resetRequests.load() >= 1; }));
  const auto switches = host().switches.load();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(host().resetRequests.load(), 1);
  EXPECT_EQ(host().switches.load(), switches);  // no switch on buffers of the wrong size
  EXPECT_EQ(driver->stop(), kDriverOk);
  EXPECT_EQ(driver->disposeBuffers(), kDriverOk);
}

// A host that follows size changes hears of the new period on the callback
// thread, before the first switch at that size, and streaming goes on with
// halves that carry whole periods.
TEST_F(JackDriverTest, BufferSizeChangeIsFollowedByAHostThatCan) {
  host().followsBufferSize = true;
  createBuffers(1, 1);
  std::atomic<std::int64_t> switchesAfterChange{0};
  host().onSwitch = [&](long index) {
    const long frames = host().lastBufferSize.load();
    if (frames == 0) return;
    // Every sample of the period is ours to write (the sanitizer build
    // checks the half is that long).
    auto* out = static_cast<float*>(infos[1].buffers[index]);
    std::fill_n(out, frames, 0.25f);
    switchesAfterChange.fetch_add(1);
  };
  ASSERT_EQ(driver->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 5; }));
  ASSERT_EQ(jack_set_buffer_size(driver->client(), 2 * kPeriod), 0);
  ASSERT_TRUE(waitUntil([&] { return switchesAfterChange.load() >= 20; }));
  EXPECT_EQ(host().bufferSizeChanges.load(), 1);
  EXPECT_EQ(host().lastBufferSize.load(), 2 * kPeriod);
  EXPECT_EQ(host().resetRequests.load(), 0);
  EXPECT_EQ(host().mostInside.load(), 1);
  EXPECT_EQ(driver->stop(), kDriverOk);
  EXPECT_EQ(host().threadCount(), 1u);  // the news came on the callback thread
}

TEST_F(JackDriverTest, ServerDeathReachesTheHostAsAResetAndTheDriverStillCloses) {
  createBuffers(2, 2);
  ASSERT_EQ(driver->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 5; }));
  server->kill();
  ASSERT_TRUE(waitUntil([&] { return host().resetRequests.load() == 1; }));
  // The reset request comes from JACK's notification thread, which the
  // reaper's close cancels: it too came with the cancel held off.
  EXPECT_EQ(host().callsWithAsyncCancel.load(), 0);
  EXPECT_TRUE(driver->serverGone());
  EXPECT_TRUE(waitUntil([&] { return !driver->clientOpen(); }));
  EXPECT_EQ(driver->outputPortName(0), "");
  EXPECT_EQ(driver->stop(), kDriverOk);
  EXPECT_EQ(driver->disposeBuffers(), kDriverOk);
  EXPECT_EQ(driver->start(), kDriverNotPresent);
  driver.reset();  // closes the client of a dead server
}

TEST(JackDriverWithoutServer, InitFailsWithTheReason) {
  JackDriverConfig config;
  config.server = "orvelan_no_such_server";
  EXPECT_FALSE(JackAudioDriver::serverRunning(config.server));
  JackAudioDriver driver(config);
  EXPECT_FALSE(driver.init(nullptr));
  char text[kErrorMessageSize];
  driver.getErrorMessage(text);
  EXPECT_STREQ(text, "No JACK server is running");
  long in, out;
  EXPECT_EQ(driver.getChannels(&in, &out), kDriverNotPresent);
}

}  // namespace
}  // namespace orvelan::audio
