// The cost of one buffer switch at 32 inputs and 24 outputs with 64-frame
// driver buffers of 24-bit samples, through the pass-through processor:
// natively (one block per half), at 24 kHz (halving and doubling resamplers,
// still one block per half) and at 32 kHz (resampling by 2/3 and 3/2, with
// reblocking of 96-frame device blocks). The virtual device streams on its
// manual clock and stays idle; the benchmark calls the host's switch as a
// driver would, and counts heap allocations over all switches.
#include <benchmark/benchmark.h>

#include <vector>

#include "support/allocation_counter.h"
#include "asio/asio_host.h"
#include "asio/host_state.h"
#include "audio/backends/virtual/virtual_device.h"

namespace {

using namespace orvelan;

bool openHost(double rate, int block) {
  io::asioUseCatalog(audio::catalogOf({"Bench"}, [](const audio::CatalogEntry&) -> std::unique_ptr<audio::AudioDriver> {
    audio::VirtualDeviceConfig config;
    config.clock = audio::ClockMode::Manual;
    config.sampleRates = {48000.0};
    config.sampleType = audio::SampleType::Int24LSB;
    config.bufferSizes.preferred = 64;
    return std::make_unique<audio::VirtualAudioDevice>(config);
  }));
  io::asioInitEngine();
  std::vector<int> inputs(32), outputs(24);
  for (int c = 0; c < 32; ++c) inputs[std::size_t(c)] = c;
  for (int c = 0; c < 24; ++c) outputs[std::size_t(c)] = c;
  return io::asioOpenDriver("Bench") == 0 && io::asioSelectProcessor(io::kProcessorPassThrough) == 0 &&
         io::asioSetInputChannels(inputs.data(), 32) == 0 &&
         io::asioSetOutputChannels(outputs.data(), 24) == 0 && io::asioSetBufferSize(block) == 0 &&
         io::asioSetSampleRate(rate) == 0 && io::asioCreateBuffers() == 0 && io::asioStart() == 1;
}

// Arguments: the application rate and the block at that rate.
void BM_BufferSwitch32x24(benchmark::State& state) {
  if (!openHost(double(state.range(0)), int(state.range(1)))) {
    state.SkipWithError("the host did not start");
    return;
  }
  long index = 0;
  const auto before = allocationCount();
  for (auto _ : state) {
    io::bufferSwitch(index, 1);
    index ^= 1;
  }
  state.counters["allocations_per_switch"] =
      benchmark::Counter(double(allocationCount() - before) / double(state.iterations()));
  state.counters["device_block"] = io::asioDeviceBlockSize();
  io::asioStop();
  io::asioExitEngine();
}
BENCHMARK(BM_BufferSwitch32x24)
    ->Args({48000, 64})
    ->Args({24000, 32})
    ->Args({32000, 64})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
