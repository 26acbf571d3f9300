// The virtual device's own clock threads against the driver interface:
// callbacks on one thread, stop() only after the last callback, the paced
// clock keeping time and counting late periods, faults sent from another
// thread, and overlapping switches from a second thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/backends/virtual/virtual_device.h"
#include "support/recording_host.h"

namespace orvelan::audio {
namespace {

using namespace std::chrono_literals;
using testing::host;
using testing::waitUntil;
using testing::recordingCallbacks;

class VirtualDeviceThreads : public ::testing::Test {
 protected:
  void SetUp() override { host().reset(); }

  std::unique_ptr<VirtualAudioDevice> prepared(ClockMode clock, long frames, bool withTimeInfo = false) {
    VirtualDeviceConfig config;
    config.inputs = 2;
    config.outputs = 2;
    config.clock = clock;
    config.bufferSizes = {32, 8192, frames, 32};
    auto device = std::make_unique<VirtualAudioDevice>(config);
    EXPECT_TRUE(device->init(nullptr));
    infos = {{1, 0, {}}, {1, 1, {}}, {0, 0, {}}, {0, 1, {}}};
    const DriverCallbacks callbacks = recordingCallbacks(withTimeInfo);
    EXPECT_EQ(device->createBuffers(infos.data(), 4, frames, &callbacks), kDriverOk);
    host().clearThreads();  // createBuffers asks about time info on this thread: no stream yet
    return device;
  }

  std::vector<BufferInfo> infos;
};

TEST_F(VirtualDeviceThreads, StopReturnsOnlyAfterTheLastCallback) {
  for (ClockMode clock : {ClockMode::Paced, ClockMode::FreeRunning}) {
    host().reset();
    auto device = prepared(clock, 64);
    host().onSwitch = [](long) { std::this_thread::sleep_for(200us); };
    for (int round = 0; round < 3; ++round) {
      host().clearThreads();
      host().lastIndex = -1;  // every start begins at half 0
      const auto before = host().switches.load();
      ASSERT_EQ(device->start(), kDriverOk);
      ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= before + 5; }));
      ASSERT_EQ(device->stop(), kDriverOk);
      EXPECT_EQ(host().inside.load(), 0);
      const auto atStop = host().switches.load();
      std::this_thread::sleep_for(20ms);
      EXPECT_EQ(host().switches.load(), atStop);
      // One clock thread per stream, never the controlling thread.
      EXPECT_EQ(host().threadCount(), 1u);
      EXPECT_FALSE(host().calledOn(std::this_thread::get_id()));
    }
    EXPECT_TRUE(host().halvesAlternate.load());
    EXPECT_EQ(host().mostInside.load(), 1);
  }
}

TEST_F(VirtualDeviceThreads, PacedClockAccountsForEveryPeriodOnOneThread) {
  // How closely the clock keeps time is measured by the paced-clock benchmark;
  // the schedule itself is checked with synthetic times in the pacer's tests.
  // Here: every period whose time has come is either delivered or counted late.
  auto device = prepared(ClockMode::Paced, 64, true);
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 200; }));
  device->stop();
  const ClockStats stats = device->clockStats();
  EXPECT_EQ(stats.periods + stats.latePeriods, device->samplePosition() / 64);
  EXPECT_EQ(host().switches.load(), stats.periods);
  EXPECT_EQ(host().threadCount(), 1u);
}

TEST_F(VirtualDeviceThreads, StalledSwitchMakesLatePeriodsThatAreSkippedNotBurst) {
  // 100 ms periods; the third switch (due at 200 ms) stalls for 3.5 periods,
  // so the clock wakes at 550 ms: periods 3 and 4 have passed, 5 is due.
  auto device = prepared(ClockMode::Paced, 4800, true);
  std::vector<std::int64_t> positions;
  positions.reserve(64);
  host().onSwitch = [&](long) {
    positions.push_back(host().lastSamplePosition.load());
    if (positions.size() == 3) std::this_thread::sleep_for(350ms);
  };
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 8; }));
  device->stop();

  const ClockStats stats = device->clockStats();
  EXPECT_GE(stats.latePeriods, 2);
  EXPECT_GE(stats.worstLatenessNs, 250'000'000);  // the period after the stall woke that late
  ASSERT_GE(positions.size(), 4u);
  EXPECT_EQ(positions[2], 2 * 4800);
  EXPECT_GE(positions[3], 5 * 4800);  // periods 3 and 4 were skipped, not delivered in a rush
  std::int64_t skipped = 0;
  for (std::size_t i = 1; i < positions.size(); ++i) {
    ASSERT_EQ((positions[i] - positions[i - 1]) % 4800, 0);
    skipped += (positions[i] - positions[i - 1]) / 4800 - 1;
  }
  EXPECT_EQ(skipped, stats.latePeriods);
}

TEST_F(VirtualDeviceThreads, FaultsSentFromAnotherThreadArriveOnTheCallbackThread) {
  auto device = prepared(ClockMode::Paced, 64);
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return host().switches.load() >= 3; }));
  device->requestReset();
  device->changeSampleRate(44100.0);
  ASSERT_TRUE(waitUntil([&] { return host().resetRequests.load() == 1 && host().changedRate.load() == 44100.0; }));
  const auto atChange = device->periodsDelivered();
  ASSERT_TRUE(waitUntil([&] { return device->periodsDelivered() >= atChange + 3; }));
  device->stop();
  double rate = 0.0;
  ASSERT_EQ(device->getSampleRate(&rate), kDriverOk);
  EXPECT_EQ(rate, 44100.0);
  EXPECT_EQ(host().threadCount(), 1u);
  EXPECT_EQ(host().mostInside.load(), 1);
}

TEST_F(VirtualDeviceThreads, OverlappingSwitchesRunTwoAtOnceFromTwoThreads) {
  auto device = prepared(ClockMode::Manual, 64);
  std::atomic<std::int64_t> pairedPeriods{0};
  std::atomic<bool> partnerMissing{false};
  host().onSwitch = [&](long) {
    // The overlapped periods wait inside until their partner is inside too.
    const std::int64_t period = device->periodsDelivered();
    if (period >= 2) return;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (host().inside.load() < 2 && pairedPeriods.load() <= period) {
      if (std::chrono::steady_clock::now() > deadline) {
        partnerMissing = true;
        break;
      }
      std::this_thread::yield();
    }
    pairedPeriods.store(period + 1);
  };
  ASSERT_EQ(device->start(), kDriverOk);
  device->overlapSwitches(2);
  EXPECT_EQ(device->pump(4), 4);
  device->stop();
  EXPECT_FALSE(partnerMissing.load());
  EXPECT_EQ(device->overlappingSwitchesMade(), 2);
  EXPECT_EQ(host().switches.load(), 6);
  EXPECT_EQ(host().mostInside.load(), 2);
  EXPECT_EQ(host().threadCount(), 2u);
}

TEST_F(VirtualDeviceThreads, StopFromInsideTheClockThreadEndsTheStream) {
  auto device = prepared(ClockMode::FreeRunning, 64);
  host().onSwitch = [&](long) {
    if (host().switches.load() == 100) device->stop();
  };
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_TRUE(waitUntil([&] { return !device->running(); }));
  ASSERT_EQ(device->disposeBuffers(), kDriverOk);  // joins the clock thread
  EXPECT_EQ(host().switches.load(), 100);
}

}  // namespace
}  // namespace orvelan::audio
