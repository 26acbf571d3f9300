// The device host live on JACK: a private dummy server at 48 kHz with
// 64-frame periods, 32 inputs and 24 outputs through the pass-through
// processor for 60 s. Reports the xruns the server counted and the longest
// process cycle (port copies and the host's switch). The server runs
// without real-time scheduling, as on a test machine.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "asio/asio_host.h"
#include "audio/backends/jack/jack_driver.h"
#include "support/jack_server.h"

namespace {

using namespace orvelan;

std::string gServerName;

void BM_JackHost48k64(benchmark::State& state) {
  audio::testing::JackServer server(48000, 64);
  if (!server.started()) {
    state.SkipWithError("jackd --no-realtime -d dummy could not be started here");
    return;
  }
  gServerName = server.name();
  io::asioUseCatalog(audio::catalogOf({"JACK"}, [](const audio::CatalogEntry&) -> std::unique_ptr<audio::AudioDriver> {
    audio::JackDriverConfig config;
    config.server = gServerName;
    return std::make_unique<audio::JackAudioDriver>(config);
  }));
  io::asioInitEngine();
  std::vector<int> inputs(32), outputs(24);
  for (int c = 0; c < 32; ++c) inputs[std::size_t(c)] = c;
  for (int c = 0; c < 24; ++c) outputs[std::size_t(c)] = c;
  if (io::asioOpenDriver("JACK") != 0 || io::asioSelectProcessor(io::kProcessorPassThrough) != 0 ||
      io::asioSetInputChannels(inputs.data(), 32) != 0 ||
      io::asioSetOutputChannels(outputs.data(), 24) != 0 || io::asioCreateBuffers() != 0) {
    state.SkipWithError("the host did not open JACK");
    io::asioExitEngine();
    return;
  }
  auto* jack = static_cast<audio::JackAudioDriver*>(io::asioDriver());
  for (auto _ : state) {
    io::asioStart();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    io::asioStop();
  }
  state.counters["xruns"] = double(jack->xruns());
  state.counters["worst_cycle_us"] = double(jack->worstCycleNs()) / 1e3;
  state.counters["period_us"] = 64.0 / 48000.0 * 1e6;
  io::asioExitEngine();
}
BENCHMARK(BM_JackHost48k64)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
