// How punctually the virtual device's paced clock hands out periods: 48 kHz,
// 64-frame periods, 10 s of streaming into a host that does nothing.
// Reports the mean and worst lateness of a period's wake-up against its due
// time and how many periods missed their slot.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "audio/backends/virtual/virtual_device.h"

namespace {

using namespace orvelan::audio;

void idleSwitch(long, long) {}

void BM_PacedClock48k64(benchmark::State& state) {
  VirtualDeviceConfig config;
  config.clock = ClockMode::Paced;
  config.realtimePriority = state.range(0) != 0;
  VirtualAudioDevice device(config);
  std::vector<BufferInfo> infos;
  for (int c = 0; c < config.inputs; ++c) infos.push_back({1, c, {}});
  for (int c = 0; c < config.outputs; ++c) infos.push_back({0, c, {}});
  DriverCallbacks callbacks;
  callbacks.bufferSwitch = idleSwitch;
  if (!device.init(nullptr) || device.createBuffers(infos.data(), long(infos.size()), 64, &callbacks) != kDriverOk) {
    state.SkipWithError("the virtual device did not open");
    return;
  }
  for (auto _ : state) {
    device.start();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    device.stop();
  }
  const ClockStats stats = device.clockStats();
  state.counters["periods"] = double(stats.periods);
  state.counters["late_periods"] = double(stats.latePeriods);
  state.counters["mean_lateness_us"] = stats.periods ? double(stats.totalLatenessNs) / double(stats.periods) / 1e3 : 0.0;
  state.counters["worst_lateness_us"] = double(stats.worstLatenessNs) / 1e3;
}
// Argument: 1 asks for SCHED_FIFO (kept only where the system allows it).
BENCHMARK(BM_PacedClock48k64)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
