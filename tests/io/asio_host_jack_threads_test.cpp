// The device host on the JACK backend, against a private dummy server
// (skipped when jackd cannot start here): a signal the processor sends out
// of output 1, looped back into input 1 by a JACK connection, comes back
// sample-exact one period later, and still comes back (through the host's
// reblocking) after the server's period changes under the stream; a server
// that dies and comes back is reopened at the next start, however many
// starts failed meanwhile; stop waits for a cycle that overran; JACK is
// listed without a server and says why it cannot open.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "asio/asio_host.h"
#include "asio/driver_info.h"
#include "audio/backends/builtin_drivers.h"
#include "audio/backends/jack/jack_driver.h"
#include "framework/audio_class.h"
#include "support/jack_server.h"
#include "support/recording_host.h"

namespace orvelan::io {
namespace {

using audio::testing::JackServer;
using audio::testing::waitUntil;

constexpr int kPeriod = 256;
std::string gServerName, gClientName;

// A ramp that does not repeat within a test, exact in float (multiples of
// 2^-17), so the lag between what was sent and what came back is unique.
float rampAt(std::int64_t n) { return float(n % 100003 + 1) / 131072.0f; }

// Sends the ramp on output 0 and records what input 0 brings back, by the
// processor's own frame count. A test can have one block stall.
class LoopProbe final : public vxAudioClass {
 public:
  explicit LoopProbe(std::int64_t frames) : sent(std::size_t(frames), 0.0f), received(std::size_t(frames), 0.0f) {}

  std::vector<float> sent, received;
  std::atomic<int> blocks{0};
  std::atomic<int> stallAtBlock{-1};
  std::chrono::milliseconds stall{0};
  std::atomic<bool> inside{false};
  std::atomic<bool> stalling{false};

  vxResult processBuffersDefault(vxAudioBuffer* in, vxAudioBuffer* out) override {
    inside.store(true);
    const int frames = in->format()->frames();
    const std::int64_t position = std::int64_t(blocks.load()) * frames;
    for (int i = 0; i < frames && position + i < std::int64_t(sent.size()); ++i) {
      const std::int64_t n = position + i;
      out->channelData(0)[i] = sent[std::size_t(n)] = rampAt(n);
      received[std::size_t(n)] = in->channelData(0)[i];
    }
    if (blocks.load() == stallAtBlock.load()) {
      stalling.store(true);
      std::this_thread::sleep_for(stall);
    }
    blocks.fetch_add(1);
    inside.store(false);
    return vxOK;
  }

  // The lag L for which every sample received from `from` on is the one
  // sent L frames before (up to the last block recorded); none when no lag
  // up to maxLag fits.
  std::optional<std::int64_t> lagFrom(std::int64_t from, std::int64_t maxLag) const {
    const std::int64_t end = std::min<std::int64_t>(std::int64_t(blocks.load()) * kPeriod, std::int64_t(sent.size()));
    for (std::int64_t lag = 0; lag <= maxLag && lag <= from; ++lag) {
      bool fits = from < end;
      for (std::int64_t n = from; n < end && fits; ++n) fits = received[std::size_t(n)] == sent[std::size_t(n - lag)];
      if (fits) return lag;
    }
    return std::nullopt;
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
  // Starts streaming with output 1 looped back into input 1.
  void startLooped() {
    ASSERT_EQ(asioStart(), 1);
    ASSERT_EQ(jack_connect(jack()->client(), jack()->outputPortName(0).c_str(), jack()->inputPortName(0).c_str()), 0);
  }

  std::unique_ptr<JackServer> server;
  LoopProbe probe{400 * kPeriod};
};

TEST_F(HostOnJack, LoopedBackSignalReturnsSampleExactOnePeriodLater) {
  EXPECT_EQ(asioNumInputs(), 32);
  EXPECT_EQ(asioNumOutputs(), 24);
  EXPECT_EQ(asioGetSampleRate(), 48000.0);
  EXPECT_EQ(asioBufferSize(), kPeriod);
  startLooped();
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= 42; }));
  ASSERT_EQ(asioStop(), 1);
  // The connection is made while streaming: find where the signal starts
  // coming back, then every sample from there on is the one sent a period before.
  std::size_t first = 0;
  while (first < probe.received.size() && probe.received[first] == 0.0f) ++first;
  ASSERT_LT(first, std::size_t(20 * kPeriod));
  EXPECT_EQ(first % kPeriod, 0u);
  EXPECT_EQ(probe.lagFrom(std::int64_t(first), 4 * kPeriod), kPeriod);
  EXPECT_EQ(asioStatus(), kAsioStatusNone);
}

// Under PipeWire the period follows whichever client asks for the longest
// latency: the stream goes on at the new period, the processor keeps its
// block, and the looped signal comes back whole at one constant lag (the
// period plus the reblocking's block less one sample).
TEST_F(HostOnJack, PeriodChangeWhileStreamingIsFollowedWithoutAReset) {
  startLooped();
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= 20; }));
  const int changedAt = probe.blocks.load();
  ASSERT_EQ(jack_set_buffer_size(jack()->client(), 2 * kPeriod), 0);
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= changedAt + 250; }));
  EXPECT_EQ(asioDeviceBufferSize(), 2 * kPeriod);
  EXPECT_EQ(asioBufferSize(), kPeriod);
  EXPECT_EQ(asioStatus(), kAsioStatusNone);
  ASSERT_EQ(asioStop(), 1);
  const std::int64_t settled = std::int64_t(changedAt + 50) * kPeriod;
  EXPECT_EQ(probe.lagFrom(settled, 8 * kPeriod), 2 * kPeriod + kPeriod - 1);

  // The next start needs no reopen and streams at the new period.
  const int blocks = probe.blocks.load();
  ASSERT_EQ(asioStart(), 1);
  EXPECT_TRUE(waitUntil([&] { return probe.blocks.load() >= blocks + 10; }));
  EXPECT_EQ(asioStop(), 1);
}

TEST_F(HostOnJack, StopReturnsOnlyAfterACycleThatOverranHasFinished) {
  probe.stall = std::chrono::milliseconds(300);
  probe.stallAtBlock = 10;
  ASSERT_EQ(asioStart(), 1);
  ASSERT_TRUE(waitUntil([&] { return probe.stalling.load(); }));
  ASSERT_EQ(asioStop(), 1);
  EXPECT_FALSE(probe.inside.load());
  EXPECT_EQ(probe.blocks.load(), 11);
  const int blocks = probe.blocks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(probe.blocks.load(), blocks);  // and nothing runs after it
}

TEST_F(HostOnJack, XrunsOfTheDriverAreCountedThroughTheHost) {
  EXPECT_EQ(asioXruns(), 0);
  probe.stall = std::chrono::milliseconds(JackServer::kClientTimeoutMs * 3 / 2);
  probe.stallAtBlock = 10;
  ASSERT_EQ(asioStart(), 1);
  EXPECT_TRUE(waitUntil([] { return asioXruns() > 0; }));
  EXPECT_TRUE(waitUntil([&] { return probe.blocks.load() > 20; }));  // streaming goes on
  EXPECT_EQ(asioStop(), 1);
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

// The server is lost, Start is pressed (twice) while it is down, then the
// server is back: the next start reopens the driver and streams again.
TEST_F(HostOnJack, StartsWhileTheServerIsDownKeepTryingUntilItIsBack) {
  ASSERT_EQ(asioStart(), 1);
  ASSERT_TRUE(waitUntil([&] { return probe.blocks.load() >= 5; }));
  server->kill();
  ASSERT_TRUE(waitUntil([] { return asioStatus() == kAsioStatusResetRequest; }));
  // The dead client does not linger until the host lets go of the driver.
  EXPECT_TRUE(waitUntil([&] { return !jack()->clientOpen(); }));

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(asioStart(), kAsioNotPresent) << attempt;
    EXPECT_STREQ(asioDriverError(), "No JACK server is running");
    EXPECT_STREQ(asioCurrentDriver(), "JACK");
    EXPECT_EQ(asioStatus(), kAsioStatusResetRequest);
    EXPECT_FALSE(asioIsRunning());
  }

  ASSERT_TRUE(server->restart());
  const int blocks = probe.blocks.load();
  ASSERT_EQ(asioStart(), 1);
  EXPECT_STREQ(asioDriverError(), "");
  EXPECT_TRUE(asioBuffersReady());
  EXPECT_EQ(asioBufferSize(), kPeriod);
  EXPECT_TRUE(waitUntil([&] { return probe.blocks.load() >= blocks + 20; }));
  EXPECT_EQ(asioStatus(), kAsioStatusNone);
  EXPECT_EQ(asioStop(), 1);
}

// JACK is listed whether or not a server runs (one may be started after the
// program); opening it without one fails with the driver's own reason.
TEST(HostWithoutJackServer, JackIsListedAndOpeningItSaysWhy) {
  std::vector<std::unique_ptr<audio::CatalogStore>> stores;
  stores.push_back(std::make_unique<audio::MemoryStore>(std::vector<audio::CatalogEntry>{
      {"JACK", audio::kJackClassId, {{"server", "orvelan_no_such_server"}, {"client", "orvelan_no_server_test"}}}}));
  asioUseCatalog(std::make_unique<audio::DriverCatalog>(audio::builtinClasses(), std::move(stores)));
  asioInitEngine();
  ASSERT_EQ(asioDriverCount(), 1);
  EXPECT_STREQ(asioDriverName(0), "JACK");
  EXPECT_EQ(asioOpenDriver("JACK"), kAsioNotPresent);
  EXPECT_STREQ(asioDriverError(), "No JACK server is running");
  EXPECT_EQ(asioCurrentDriver(), nullptr);
  EXPECT_EQ(asioStart(), 0);
  asioExitEngine();
}

}  // namespace
}  // namespace orvelan::io
