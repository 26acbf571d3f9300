// The buffer switch's re-entry guard: a switch that arrives while another
// runs (the virtual device calls it a second time, at the same moment, from
// another thread) is dropped and counted, and the processor never runs
// twice at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "asio/asio_host.h"
#include "audio/backends/virtual/virtual_device.h"
#include "framework/audio_class.h"

namespace orvelan::io {
namespace {

audio::VirtualAudioDevice* gDevice = nullptr;
std::atomic<int> gInside{0};
std::atomic<int> gMostInside{0};
std::atomic<int> gCalls{0};

int slowProcessor(float**, float**, int) {
  const int inside = gInside.fetch_add(1) + 1;
  int most = gMostInside.load();
  while (inside > most && !gMostInside.compare_exchange_weak(most, inside)) {
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(5));  // long enough for the second call to arrive
  gCalls.fetch_add(1);
  gInside.fetch_sub(1);
  return 0;
}

TEST(HostSwitchGuard, OverlappingSwitchesAreDroppedAndCounted) {
  asioUseCatalog(audio::catalogOf({"Device"}, [](const audio::CatalogEntry&) -> std::unique_ptr<audio::AudioDriver> {
    audio::VirtualDeviceConfig config;
    config.clock = audio::ClockMode::Manual;
    config.inputs = config.outputs = 2;
    auto device = std::make_unique<audio::VirtualAudioDevice>(config);
    gDevice = device.get();
    return device;
  }));
  asioInitEngine();
  ASSERT_EQ(asioOpenDriver("Device"), 0);
  ASSERT_EQ(asioCreateBuffers(), 0);
  struct Slow final : vxAudioClass {
    vxResult processBuffersDefault(vxAudioBuffer*, vxAudioBuffer*) override { return slowProcessor(nullptr, nullptr, 0); }
  } slow;
  asioSetProcessorObject(&slow);
  ASSERT_EQ(asioSelectProcessor(kProcessorObject), 0);
  ASSERT_EQ(asioStart(), 1);
  gDevice->overlapSwitches(5);
  ASSERT_EQ(gDevice->pump(10), 10);
  ASSERT_EQ(asioStop(), 1);
  // Each second call either met the first one running (and was dropped)
  // or, on a slow machine, came after it had finished (and ran).
  EXPECT_EQ(gDevice->overlappingSwitchesMade(), 5);
  EXPECT_GT(asioDroppedSwitches(), 0);
  EXPECT_EQ(gCalls.load() + asioDroppedSwitches(), 15);
  EXPECT_EQ(gMostInside.load(), 1);
  asioExitEngine();
}

}  // namespace
}  // namespace orvelan::io
