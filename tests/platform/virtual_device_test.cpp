// The virtual device on its manual clock, against the driver interface:
// states, channels, rates and sizes; what its inputs carry in every sample
// type; captured outputs; and every fault it can be told to show.
#include "audio/backends/virtual/virtual_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/sample_format.h"
#include "support/recording_host.h"

namespace orvelan::audio {
namespace {

using testing::host;
using testing::recordingCallbacks;

VirtualDeviceConfig manualConfig(int inputs = 4, int outputs = 4) {
  VirtualDeviceConfig config;
  config.inputs = inputs;
  config.outputs = outputs;
  config.clock = ClockMode::Manual;
  config.bufferSizes = {16, 1024, 64, -1};
  return config;
}

// One buffer info per channel: every input, then every output.
std::vector<BufferInfo> allChannels(int inputs, int outputs) {
  std::vector<BufferInfo> infos;
  for (int c = 0; c < inputs; ++c) infos.push_back({1, c, {}});
  for (int c = 0; c < outputs; ++c) infos.push_back({0, c, {}});
  return infos;
}

class VirtualDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { host().reset(); }

  // A device with buffers for all its channels, ready to start.
  std::unique_ptr<VirtualAudioDevice> prepared(VirtualDeviceConfig config, long frames = 64,
                                               bool withTimeInfo = false) {
    auto device = std::make_unique<VirtualAudioDevice>(config);
    EXPECT_TRUE(device->init(nullptr));
    infos = allChannels(config.inputs, config.outputs);
    const DriverCallbacks callbacks = recordingCallbacks(withTimeInfo);
    EXPECT_EQ(device->createBuffers(infos.data(), long(infos.size()), frames, &callbacks), kDriverOk);
    return device;
  }

  // Half `half` of the input (or output) channel c, as floats.
  std::vector<float> halfOf(const VirtualDeviceConfig& config, bool input, int c, int half, int frames) {
    const std::size_t at = input ? std::size_t(c) : std::size_t(config.inputs + c);
    std::vector<float> out(static_cast<std::size_t>(frames));
    samplesToFloats(infos[at].buffers[half], config.sampleType, out.data(), frames);
    return out;
  }

  std::vector<BufferInfo> infos;
};

TEST_F(VirtualDeviceTest, CallsOutOfOrderAreRefused) {
  VirtualAudioDevice device(manualConfig());
  long in = 0, out = 0, size[4];
  double rate = 0.0;
  ChannelInfo info;
  auto infos = allChannels(1, 1);
  const DriverCallbacks callbacks = recordingCallbacks();
  EXPECT_EQ(device.getChannels(&in, &out), kDriverNotPresent);
  EXPECT_EQ(device.getSampleRate(&rate), kDriverNotPresent);
  EXPECT_EQ(device.getBufferSize(&size[0], &size[1], &size[2], &size[3]), kDriverNotPresent);
  EXPECT_EQ(device.getChannelInfo(&info), kDriverNotPresent);
  EXPECT_EQ(device.createBuffers(infos.data(), 2, 64, &callbacks), kDriverNotPresent);

  ASSERT_TRUE(device.init(nullptr));
  EXPECT_EQ(device.start(), kDriverInvalidMode);
  EXPECT_EQ(device.disposeBuffers(), kDriverInvalidMode);
  EXPECT_EQ(device.pump(1), 0);
  ASSERT_EQ(device.createBuffers(infos.data(), 2, 64, &callbacks), kDriverOk);
  EXPECT_EQ(device.createBuffers(infos.data(), 2, 64, &callbacks), kDriverInvalidMode);
  ASSERT_EQ(device.start(), kDriverOk);
  EXPECT_EQ(device.setSampleRate(44100.0), kDriverInvalidMode);
  EXPECT_EQ(device.captureOutputs(10), kDriverInvalidMode);
  EXPECT_EQ(device.setInput({}), kDriverInvalidMode);
  EXPECT_EQ(device.stop(), kDriverOk);
  EXPECT_EQ(device.stop(), kDriverOk);
  EXPECT_EQ(device.pump(1), 0);
  EXPECT_EQ(device.disposeBuffers(), kDriverOk);
  EXPECT_EQ(host().switches.load(), 0);
}

TEST_F(VirtualDeviceTest, ReportsItsChannelsRatesAndSizes) {
  VirtualDeviceConfig config = manualConfig(3, 2);
  config.name = "Test Device";
  config.version = 7;
  config.inputNames = {"Left mic", "", "Right mic"};
  config.sampleType = SampleType::Int24LSB;
  config.sampleRates = {32000.0, 48000.0};
  config.bufferSizes = {32, 2048, 128, -1};
  VirtualAudioDevice device(config);
  ASSERT_TRUE(device.init(nullptr));

  char name[kDriverNameSize];
  device.getDriverName(name);
  EXPECT_STREQ(name, "Test Device");
  EXPECT_EQ(device.getDriverVersion(), 7);
  long in = 0, out = 0, minSize, maxSize, preferred, granularity;
  ASSERT_EQ(device.getChannels(&in, &out), kDriverOk);
  EXPECT_EQ(in, 3);
  EXPECT_EQ(out, 2);
  ASSERT_EQ(device.getBufferSize(&minSize, &maxSize, &preferred, &granularity), kDriverOk);
  EXPECT_EQ(std::vector<long>({minSize, maxSize, preferred, granularity}), std::vector<long>({32, 2048, 128, -1}));

  struct Expected {
    bool isInput;
    int channel;
    const char* name;
  };
  for (const Expected& e : {Expected{true, 0, "Left mic"}, Expected{true, 1, "Input 2"},
                            Expected{true, 2, "Right mic"}, Expected{false, 1, "Output 2"}}) {
    ChannelInfo info;
    info.isInput = e.isInput;
    info.channel = e.channel;
    ASSERT_EQ(device.getChannelInfo(&info), kDriverOk);
    EXPECT_STREQ(info.name, e.name);
    EXPECT_EQ(info.sampleType, SampleType::Int24LSB);
    EXPECT_EQ(info.isActive, 0);
  }
  for (ChannelInfo bad : {ChannelInfo{3, 1, 0, 0, {}, {}}, ChannelInfo{2, 0, 0, 0, {}, {}},
                          ChannelInfo{-1, 1, 0, 0, {}, {}}})
    EXPECT_EQ(device.getChannelInfo(&bad), kDriverInvalidParameter);

  double rate = 0.0;
  EXPECT_EQ(device.canSampleRate(32000.0), kDriverOk);
  EXPECT_EQ(device.canSampleRate(44100.0), kDriverNoClock);
  EXPECT_EQ(device.setSampleRate(44100.0), kDriverNoClock);
  ASSERT_EQ(device.setSampleRate(32000.0), kDriverOk);
  ASSERT_EQ(device.getSampleRate(&rate), kDriverOk);
  EXPECT_EQ(rate, 32000.0);

  // Buffers for input 2 and output 0 only: just those are active.
  std::vector<BufferInfo> some = {{1, 2, {}}, {0, 0, {}}};
  const DriverCallbacks callbacks = recordingCallbacks();
  ASSERT_EQ(device.createBuffers(some.data(), 2, 256, &callbacks), kDriverOk);
  for (auto [isInput, channel, active] : {std::tuple{1, 2, 1}, std::tuple{1, 0, 0}, std::tuple{0, 0, 1}}) {
    ChannelInfo info;
    info.isInput = isInput;
    info.channel = channel;
    ASSERT_EQ(device.getChannelInfo(&info), kDriverOk);
    EXPECT_EQ(info.isActive, active) << isInput << " " << channel;
  }
}

TEST_F(VirtualDeviceTest, CreateBuffersChecksSizeChannelsAndCallbacks) {
  struct Case {
    BufferSizes sizes;
    long frames;
    bool accepted;
  };
  const Case cases[] = {
      {{32, 1024, 64, -1}, 64, true},   {{32, 1024, 64, -1}, 96, false},  {{32, 1024, 64, -1}, 16, false},
      {{32, 1024, 64, -1}, 2048, false}, {{48, 480, 96, 48}, 144, true},   {{48, 480, 96, 48}, 150, false},
      {{256, 256, 256, 0}, 256, true},  {{256, 256, 256, 0}, 512, false},
  };
  const DriverCallbacks callbacks = recordingCallbacks();
  for (const Case& c : cases) {
    VirtualDeviceConfig config = manualConfig(1, 1);
    config.bufferSizes = c.sizes;
    VirtualAudioDevice device(config);
    ASSERT_TRUE(device.init(nullptr));
    auto infos = allChannels(1, 1);
    EXPECT_EQ(device.createBuffers(infos.data(), 2, c.frames, &callbacks), c.accepted ? kDriverOk : kDriverInvalidMode)
        << c.frames;
    EXPECT_EQ(infos[0].buffers[0] != nullptr, c.accepted);
  }

  VirtualAudioDevice device(manualConfig(2, 2));
  ASSERT_TRUE(device.init(nullptr));
  const std::vector<std::vector<BufferInfo>> badChannels = {
      {{1, 2, {}}}, {{0, -1, {}}}, {{1, 0, {}}, {1, 0, {}}}};
  for (auto bad : badChannels)
    EXPECT_EQ(device.createBuffers(bad.data(), long(bad.size()), 64, &callbacks), kDriverInvalidParameter);
  auto infos = allChannels(2, 2);
  const DriverCallbacks none;
  EXPECT_EQ(device.createBuffers(infos.data(), 4, 64, nullptr), kDriverInvalidParameter);
  EXPECT_EQ(device.createBuffers(infos.data(), 4, 64, &none), kDriverInvalidParameter);
  // The same input and output number is no duplicate.
  EXPECT_EQ(device.createBuffers(infos.data(), 4, 64, &callbacks), kDriverOk);
  for (const BufferInfo& info : infos) {
    EXPECT_NE(info.buffers[0], nullptr);
    EXPECT_NE(info.buffers[1], nullptr);
    EXPECT_NE(info.buffers[0], info.buffers[1]);
  }
}

TEST_F(VirtualDeviceTest, PumpDeliversExactlyThePeriodsAskedForOnTheCallingThread) {
  for (bool timeInfo : {false, true}) {
    host().reset();
    auto device = prepared(manualConfig(), 64, timeInfo);
    std::vector<long> indices;
    host().onSwitch = [&](long index) { indices.push_back(index); };
    ASSERT_EQ(device->start(), kDriverOk);
    EXPECT_EQ(device->pump(5), 5);
    EXPECT_EQ(device->pump(0), 0);
    EXPECT_EQ(device->pump(2), 2);
    EXPECT_EQ(host().switches.load(), 7);
    EXPECT_EQ(indices, (std::vector<long>{0, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(device->periodsDelivered(), 7);
    EXPECT_EQ(device->samplePosition(), 7 * 64);
    EXPECT_EQ(host().threadCount(), 1u);
    EXPECT_TRUE(host().calledOn(std::this_thread::get_id()));
    EXPECT_EQ(host().timeInfoSwitches.load(), timeInfo ? 7 : 0);
    if (timeInfo) {
      EXPECT_EQ(host().lastSamplePosition.load(), 6 * 64);
    }
    // A restart begins at the first half and position 0 again.
    device->stop();
    indices.clear();
    ASSERT_EQ(device->start(), kDriverOk);
    EXPECT_EQ(device->pump(1), 1);
    EXPECT_EQ(indices, std::vector<long>{0});
    EXPECT_EQ(device->samplePosition(), 64);
  }
}

TEST_F(VirtualDeviceTest, WorstSwitchIsTheLongestCallbackOfTheStream) {
  auto device = prepared(manualConfig());
  // The second of three switches takes at least 5 ms; the others return at once.
  host().onSwitch = [&](long) {
    if (host().switches.load() == 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  ASSERT_EQ(device->start(), kDriverOk);
  EXPECT_EQ(device->worstSwitchNs(), 0);
  ASSERT_EQ(device->pump(3), 3);
  EXPECT_GE(device->worstSwitchNs(), 5'000'000);
  // A new stream starts its own count.
  device->stop();
  ASSERT_EQ(device->start(), kDriverOk);
  EXPECT_EQ(device->worstSwitchNs(), 0);
}

TEST_F(VirtualDeviceTest, HostThatDeclinesTimeInfoGetsThePlainSwitch) {
  host().answersTimeInfo = false;
  auto device = prepared(manualConfig(), 64, true);
  ASSERT_EQ(device->start(), kDriverOk);
  EXPECT_EQ(device->pump(3), 3);
  EXPECT_EQ(host().switches.load(), 3);
  EXPECT_EQ(host().timeInfoSwitches.load(), 0);
}

TEST_F(VirtualDeviceTest, StopInsideTheSwitchEndsThePump) {
  auto device = prepared(manualConfig());
  host().onSwitch = [&](long) {
    if (host().switches.load() == 3) device->stop();
  };
  ASSERT_EQ(device->start(), kDriverOk);
  EXPECT_EQ(device->pump(10), 3);
  EXPECT_FALSE(device->running());
}

TEST_F(VirtualDeviceTest, SineAndImpulseInputsInEverySampleType) {
  constexpr int kFrames = 64;
  for (SampleType type : {SampleType::Int16LSB, SampleType::Int24LSB, SampleType::Int32LSB, SampleType::Float32LSB}) {
    VirtualDeviceConfig config = manualConfig(2, 1);
    config.sampleType = type;
    config.input.kind = InputSource::Kind::Sine;
    config.input.frequency = 1000.0;
    config.input.amplitude = 0.5f;
    auto device = prepared(config, kFrames);
    ASSERT_EQ(device->start(), kDriverOk);
    ASSERT_EQ(device->pump(3), 3);  // the third period lands in half 0
    const double tolerance = type == SampleType::Int16LSB ? 1.0 / 32768 : 1e-6;
    for (int c = 0; c < 2; ++c) {
      const auto half = halfOf(config, true, c, 0, kFrames);
      for (int i = 0; i < kFrames; ++i)
        ASSERT_NEAR(half[std::size_t(i)], 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * (2 * kFrames + i) / 48000.0),
                    tolerance)
            << int(type) << " channel " << c << " frame " << i;
    }
    device->stop();

    InputSource impulse;
    impulse.kind = InputSource::Kind::Impulse;
    impulse.amplitude = 0.5f;
    impulse.impulseInterval = 100;
    ASSERT_EQ(device->setInput(impulse), kDriverOk);
    ASSERT_EQ(device->start(), kDriverOk);
    ASSERT_EQ(device->pump(2), 2);  // frames 64..127 in half 1: the pulse at frame 100
    const auto half = halfOf(config, true, 1, 1, kFrames);
    for (int i = 0; i < kFrames; ++i)
      EXPECT_EQ(half[std::size_t(i)], i == 36 ? 0.5f : 0.0f) << int(type) << " frame " << i;
  }
}

// A little 16-bit PCM WAV file.
std::string writeWav(const std::vector<std::vector<std::int16_t>>& channels) {
  char path[] = "/tmp/orvelan_vdev_XXXXXX";
  const int fd = mkstemp(path);
  close(fd);
  const std::uint32_t frames = std::uint32_t(channels[0].size());
  const std::uint16_t count = std::uint16_t(channels.size());
  const std::uint32_t dataBytes = frames * count * 2;
  std::ofstream out(path, std::ios::binary);
  auto put = [&](auto value) { out.write(reinterpret_cast<const char*>(&value), sizeof value); };
  out.write("RIFF", 4);
  put(std::uint32_t(36 + dataBytes));
  out.write("WAVEfmt ", 8);
  put(std::uint32_t(16));
  put(std::uint16_t(1));
  put(count);
  put(std::uint32_t(48000));
  put(std::uint32_t(48000 * count * 2));
  put(std::uint16_t(count * 2));
  put(std::uint16_t(16));
  out.write("data", 4);
  put(dataBytes);
  for (std::uint32_t f = 0; f < frames; ++f)
    for (const auto& channel : channels) put(channel[f]);
  return path;
}

TEST_F(VirtualDeviceTest, FileInputRepeatsTheFileAndSharesItsChannelsOut) {
  const std::string path = writeWav({{1000, 2000, 3000}, {-1000, -2000, -3000}});
  VirtualDeviceConfig config = manualConfig(3, 1);
  config.bufferSizes = {4, 4, 4, 0};
  config.sampleType = SampleType::Int16LSB;
  config.input.kind = InputSource::Kind::File;
  config.input.path = path;
  auto device = prepared(config, 4);
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_EQ(device->pump(2), 2);  // frames 4..7 are file frames 1, 2, 0, 1
  EXPECT_EQ(halfOf(config, true, 0, 1, 4), (std::vector<float>{2000 / 32768.f, 3000 / 32768.f, 1000 / 32768.f, 2000 / 32768.f}));
  EXPECT_EQ(halfOf(config, true, 1, 1, 4), (std::vector<float>{-2000 / 32768.f, -3000 / 32768.f, -1000 / 32768.f, -2000 / 32768.f}));
  EXPECT_EQ(halfOf(config, true, 2, 1, 4), halfOf(config, true, 0, 1, 4));  // input 2 takes file channel 0
  device->stop();
  unlink(path.c_str());

  InputSource missing;
  missing.kind = InputSource::Kind::File;
  missing.path = path;
  std::string error;
  EXPECT_EQ(device->setInput(missing, &error), kDriverInvalidParameter);
  EXPECT_NE(error.find(path), std::string::npos);
  // A device configured with an unreadable file says why it cannot start.
  VirtualAudioDevice broken(config);
  EXPECT_FALSE(broken.init(nullptr));
  char text[kErrorMessageSize];
  broken.getErrorMessage(text);
  EXPECT_NE(std::string(text).find("cannot open"), std::string::npos);
}

TEST_F(VirtualDeviceTest, CallbackInputIsAskedPerChannelAndPosition) {
  VirtualDeviceConfig config = manualConfig(2, 1);
  config.sampleType = SampleType::Float32LSB;
  config.input.kind = InputSource::Kind::Callback;
  config.input.callback = [](int channel, std::int64_t position, float* out, int frames) {
    for (int i = 0; i < frames; ++i) out[i] = float(channel * 10000 + position + i);
  };
  auto device = prepared(config, 16);
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_EQ(device->pump(4), 4);
  const auto half = halfOf(config, true, 1, 1, 16);  // period 3: frames 48..63
  for (int i = 0; i < 16; ++i) EXPECT_EQ(half[std::size_t(i)], float(10000 + 48 + i));

  InputSource noCallback;
  noCallback.kind = InputSource::Kind::Callback;
  device->stop();
  EXPECT_EQ(device->setInput(noCallback), kDriverInvalidParameter);
}

TEST_F(VirtualDeviceTest, LoopbackReturnsEachOutputOnePeriodLaterAndCaptureKeepsIt) {
  constexpr int kFrames = 32;
  for (SampleType type : {SampleType::Int16LSB, SampleType::Int24LSB, SampleType::Int32LSB, SampleType::Float32LSB}) {
    VirtualDeviceConfig config = manualConfig(3, 2);  // input 2 has no output to listen to
    config.sampleType = type;
    config.input.kind = InputSource::Kind::Loopback;
    auto device = prepared(config, kFrames);
    ASSERT_EQ(device->captureOutputs(80), kDriverOk);
    // The host writes period p, frame i of output c as (p * 32 + i + 1) / 4096 * (c ? -1 : 1)
    // and checks that the inputs carry the previous period.
    std::int64_t period = 0;
    bool loopbackExact = true;
    host().onSwitch = [&](long index) {
      for (int c = 0; c < 3; ++c) {
        std::vector<float> in(kFrames);
        samplesToFloats(infos[std::size_t(c)].buffers[index], type, in.data(), kFrames);
        for (int i = 0; i < kFrames; ++i) {
          const float expected = c < 2 && period > 0 ? float((period - 1) * kFrames + i + 1) / 4096 * (c ? -1 : 1) : 0.0f;
          loopbackExact &= in[std::size_t(i)] == expected;
        }
      }
      for (int c = 0; c < 2; ++c) {
        std::vector<float> out(kFrames);
        for (int i = 0; i < kFrames; ++i) out[std::size_t(i)] = float(period * kFrames + i + 1) / 4096 * (c ? -1 : 1);
        floatsToSamples(out.data(), infos[std::size_t(3 + c)].buffers[index], type, kFrames);
      }
      ++period;
    };
    ASSERT_EQ(device->start(), kDriverOk);
    ASSERT_EQ(device->pump(4), 4);
    EXPECT_TRUE(loopbackExact) << int(type);
    ASSERT_EQ(device->capturedFrames(), 80);  // the limit, not the 128 frames played
    for (int c = 0; c < 2; ++c) {
      const float* captured = device->capturedOutput(c);
      ASSERT_NE(captured, nullptr);
      for (int i = 0; i < 80; ++i) ASSERT_EQ(captured[i], float(i + 1) / 4096 * (c ? -1 : 1)) << int(type);
    }
    EXPECT_EQ(device->capturedOutput(2), nullptr);
    // A new start captures afresh.
    device->stop();
    ASSERT_EQ(device->start(), kDriverOk);
    EXPECT_EQ(device->capturedFrames(), 0);
  }
}

TEST_F(VirtualDeviceTest, UnsupportedSampleTypeStillGivesBuffersButCarriesNothing) {
  VirtualDeviceConfig config = manualConfig(1, 1);
  config.sampleType = SampleType(21);
  config.input.kind = InputSource::Kind::Sine;
  auto device = prepared(config, 64);
  ChannelInfo info;
  info.isInput = 1;
  ASSERT_EQ(device->getChannelInfo(&info), kDriverOk);
  EXPECT_EQ(int(info.sampleType), 21);
  ASSERT_EQ(device->captureOutputs(64), kDriverOk);
  host().onSwitch = [&](long index) { std::memset(infos[1].buffers[index], 0x7F, 64 * 4); };
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_EQ(device->pump(2), 2);
  const auto* in = static_cast<const std::uint8_t*>(infos[0].buffers[1]);
  EXPECT_TRUE(std::all_of(in, in + 64 * 4, [](std::uint8_t b) { return b == 0; }));
  const float* captured = device->capturedOutput(0);
  EXPECT_TRUE(std::all_of(captured, captured + 64, [](float v) { return v == 0.0f; }));
}

TEST_F(VirtualDeviceTest, FaultsSetBeforehandReachTheCaller) {
  {
    VirtualDeviceConfig config = manualConfig();
    config.faults.initFails = true;
    config.faults.initError = "Sync lost on request";
    VirtualAudioDevice device(config);
    EXPECT_FALSE(device.init(nullptr));
    char text[kErrorMessageSize];
    device.getErrorMessage(text);
    EXPECT_STREQ(text, "Sync lost on request");
    long in, out;
    EXPECT_EQ(device.getChannels(&in, &out), kDriverNotPresent);
  }
  {
    VirtualDeviceConfig config = manualConfig();
    config.faults.channelsError = kDriverHardwareMalfunction;
    VirtualAudioDevice device(config);
    ASSERT_TRUE(device.init(nullptr));
    long in = -1, out = -1;
    EXPECT_EQ(device.getChannels(&in, &out), kDriverHardwareMalfunction);
  }
  {
    VirtualDeviceConfig config = manualConfig();
    config.faults.channelInfoFault = VirtualDeviceFaults::ChannelFault{false, 2, kDriverNotPresent};
    VirtualAudioDevice device(config);
    ASSERT_TRUE(device.init(nullptr));
    ChannelInfo failing{2, 0, 0, 0, {}, {}}, inputTwo{2, 1, 0, 0, {}, {}};
    EXPECT_EQ(device.getChannelInfo(&failing), kDriverNotPresent);
    EXPECT_EQ(device.getChannelInfo(&inputTwo), kDriverOk);
  }
  {
    VirtualDeviceConfig config = manualConfig();
    config.faults.createBuffersError = kDriverNoMemory;
    VirtualAudioDevice device(config);
    ASSERT_TRUE(device.init(nullptr));
    auto infos = allChannels(4, 4);
    const DriverCallbacks callbacks = recordingCallbacks();
    EXPECT_EQ(device.createBuffers(infos.data(), 8, 64, &callbacks), kDriverNoMemory);
    for (const BufferInfo& info : infos) EXPECT_EQ(info.buffers[0], nullptr);
    EXPECT_EQ(device.start(), kDriverInvalidMode);
  }
  {
    VirtualDeviceConfig config = manualConfig();
    config.faults.noOutputReady = true;
    config.faults.startError = kDriverHardwareMalfunction;
    auto device = prepared(config);
    EXPECT_EQ(device->outputReady(), kDriverNotPresent);
    EXPECT_EQ(device->start(), kDriverHardwareMalfunction);
    EXPECT_FALSE(device->running());
  }
  auto device = prepared(manualConfig());
  EXPECT_EQ(device->outputReady(), kDriverOk);
  EXPECT_EQ(device->outputReadyCalls(), 1);
}

TEST_F(VirtualDeviceTest, ResetRequestAndRateChangeArriveBeforeTheNextPeriod) {
  auto device = prepared(manualConfig(), 64, true);
  std::int64_t switchesAtReset = -1;
  double rateSeenBySwitch = 0.0;
  host().onSwitch = [&](long) {
    if (host().resetRequests.load() == 1 && switchesAtReset < 0) switchesAtReset = host().switches.load();
    rateSeenBySwitch = host().changedRate.load();
  };
  ASSERT_EQ(device->start(), kDriverOk);
  ASSERT_EQ(device->pump(2), 2);
  device->requestReset();
  device->changeSampleRate(44100.0);
  EXPECT_EQ(host().resetRequests.load(), 0);  // nothing reaches the host between periods
  ASSERT_EQ(device->pump(1), 1);
  EXPECT_EQ(host().resetRequests.load(), 1);
  EXPECT_EQ(switchesAtReset, 3);  // the third switch already saw the reset request
  EXPECT_EQ(rateSeenBySwitch, 44100.0);
  double rate = 0.0;
  ASSERT_EQ(device->getSampleRate(&rate), kDriverOk);
  EXPECT_EQ(rate, 44100.0);
  ASSERT_EQ(device->pump(2), 2);
  EXPECT_EQ(host().resetRequests.load(), 1);  // each request reaches the host once
  EXPECT_EQ(host().threadCount(), 1u);
}

}  // namespace
}  // namespace orvelan::audio
