// The ALSA backend where no sound card is needed: the sample-type mapping,
// and open, configure, stream, an injected xrun recovered, and close on the
// "null" PCM, which takes any format and channel count and returns every
// read and write at once, so the driver has to pace it itself.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "audio/backends/alsa/alsa_driver.h"
#include "audio/driver_support.h"
#include "support/recording_host.h"

namespace orvelan::audio {
namespace {

using namespace std::chrono_literals;
using testing::host;
using testing::waitUntil;
using testing::recordingCallbacks;

TEST(AlsaFormats, IntegerTypesMapToTheirLittleEndianFormats) {
  EXPECT_EQ(alsaFormatOf(SampleType::Int16LSB), SND_PCM_FORMAT_S16_LE);
  EXPECT_EQ(alsaFormatOf(SampleType::Int24LSB), SND_PCM_FORMAT_S24_3LE);
  EXPECT_EQ(alsaFormatOf(SampleType::Int32LSB), SND_PCM_FORMAT_S32_LE);
  EXPECT_EQ(alsaFormatOf(SampleType::Float32LSB), SND_PCM_FORMAT_UNKNOWN);
  EXPECT_EQ(alsaFormatOf(SampleType(3)), SND_PCM_FORMAT_UNKNOWN);
}

class AlsaNullDevice : public ::testing::Test {
 protected:
  void SetUp() override { host().reset(); }

  std::unique_ptr<AlsaAudioDriver> opened(AlsaDriverConfig config) {
    config.device = "null";
    config.realtimePriority = false;
    auto driver = std::make_unique<AlsaAudioDriver>(config);
    if (!driver->init(nullptr)) {
      char text[kErrorMessageSize];
      driver->getErrorMessage(text);
      ADD_FAILURE() << text;
      return nullptr;
    }
    return driver;
  }
};

TEST_F(AlsaNullDevice, OpensWithTheChannelsAndTypeAskedFor) {
  struct Case {
    int sampleType;
    SampleType expected;
  };
  for (const Case c : {Case{0, SampleType::Int32LSB}, Case{17, SampleType::Int24LSB}, Case{16, SampleType::Int16LSB}}) {
    AlsaDriverConfig config;
    config.inputs = 8;
    config.outputs = 4;
    config.sampleType = c.sampleType;
    auto driver = opened(config);
    ASSERT_TRUE(driver);
    long in = 0, out = 0;
    ASSERT_EQ(driver->getChannels(&in, &out), kDriverOk);
    EXPECT_EQ(in, 8);
    EXPECT_EQ(out, 4);
    ChannelInfo info{7, 1, 0, 0, {}, {}};
    ASSERT_EQ(driver->getChannelInfo(&info), kDriverOk);
    EXPECT_EQ(info.sampleType, c.expected);
    EXPECT_STREQ(info.name, "Capture 8");
    ChannelInfo beyond{4, 0, 0, 0, {}, {}};
    EXPECT_EQ(driver->getChannelInfo(&beyond), kDriverInvalidParameter);
    double rate = 0.0;
    ASSERT_EQ(driver->getSampleRate(&rate), kDriverOk);
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(driver->setSampleRate(44100.0), kDriverOk);
    EXPECT_EQ(driver->setSampleRate(44100.5), kDriverNoClock);
  }
  AlsaDriverConfig floatType;
  floatType.sampleType = 19;
  floatType.device = "null";
  AlsaAudioDriver refused(floatType);
  EXPECT_FALSE(refused.init(nullptr));

  AlsaDriverConfig missing;
  missing.device = "orvelan_no_such_pcm";
  AlsaAudioDriver absent(missing);
  EXPECT_FALSE(absent.init(nullptr));
  char text[kErrorMessageSize];
  absent.getErrorMessage(text);
  EXPECT_NE(std::string(text).find("orvelan_no_such_pcm"), std::string::npos);
}

TEST_F(AlsaNullDevice, StreamsRecoversFromAnInjectedXrunAndCloses) {
  AlsaDriverConfig config;
  config.inputs = 4;
  config.outputs = 2;
  auto driver = opened(config);
  ASSERT_TRUE(driver);
  long minSize, maxSize, preferred, granularity;
  ASSERT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), kDriverOk);
  EXPECT_EQ(preferred, 256);
  std::vector<BufferInfo> infos = {{1, 0, {}}, {1, 3, {}}, {0, 1, {}}};
  const DriverCallbacks callbacks = recordingCallbacks();
  ASSERT_EQ(driver->createBuffers(infos.data(), 3, preferred, &callbacks), kDriverOk);
  EXPECT_EQ(driver->createBuffers(infos.data(), 3, preferred, &callbacks), kDriverInvalidMode);

  for (int round = 0; round < 2; ++round) {
    host().clearThreads();
    ASSERT_EQ(driver->start(), kDriverOk);
    ASSERT_TRUE(waitUntil([&] { return driver->periodsDone() >= 10; }));
    const auto xruns = driver->xruns();
    driver->injectXrun();
    ASSERT_TRUE(waitUntil([&] { return driver->xruns() == xruns + 1; }));
    const auto afterXrun = driver->periodsDone();
    EXPECT_TRUE(waitUntil([&] { return driver->periodsDone() >= afterXrun + 10; }));  // recovered
    ASSERT_EQ(driver->stop(), kDriverOk);
    const auto atStop = host().switches.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(host().switches.load(), atStop);
    EXPECT_EQ(host().threadCount(), 1u);  // the stream's own thread, never this one
    EXPECT_FALSE(host().calledOn(std::this_thread::get_id()));
  }
  EXPECT_EQ(host().mostInside.load(), 1);
  EXPECT_EQ(driver->disposeBuffers(), kDriverOk);
}

std::int64_t processCpuNs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

TEST_F(AlsaNullDevice, ADeviceThatReturnsAtOnceRunsAtTheSampleClock) {
  for (const bool capture : {true, false}) {
    SCOPED_TRACE(capture ? "capture and playback" : "playback only");
    host().reset();
    AlsaDriverConfig config;
    config.inputs = capture ? 2 : -1;
    config.outputs = 2;
    auto driver = opened(config);
    ASSERT_TRUE(driver);
    constexpr long kFrames = 256;
    std::vector<BufferInfo> infos = {{0, 0, {}}, {0, 1, {}}};
    const DriverCallbacks callbacks = recordingCallbacks(true);
    ASSERT_EQ(driver->createBuffers(infos.data(), 2, kFrames, &callbacks), kDriverOk);

    const std::int64_t wallStart = monotonicNs();
    const std::int64_t cpuStart = processCpuNs();
    ASSERT_EQ(driver->start(), kDriverOk);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(driver->stop(), kDriverOk);
    const double wallNs = double(monotonicNs() - wallStart);
    const double cpuNs = double(processCpuNs() - cpuStart);

    EXPECT_TRUE(driver->pacedToClock());
    const double due = wallNs * 48000.0 / 1e9 / double(kFrames);  // periods of the sample clock
    const auto periods = driver->periodsDone();
    const auto late = driver->latePeriods();
    EXPECT_LE(double(periods), 1.5 * due + 8) << "spinning ahead of the clock";
    EXPECT_GE(double(periods + late), 0.5 * due);
    EXPECT_LT(cpuNs, 0.25 * wallNs) << "the thread waits instead of spinning";
    // Skipped slots move the position on: the stream keeps to the clock.
    EXPECT_EQ(host().lastSamplePosition.load(), (periods + late - 1) * kFrames);
    EXPECT_EQ(host().switches.load(), periods);
    EXPECT_EQ(driver->disposeBuffers(), kDriverOk);
  }
}

}  // namespace
}  // namespace orvelan::audio
