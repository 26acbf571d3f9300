// The paced clock's schedule: exact due times from the frame position, late
// wake-ups skipped instead of delivered in a burst, lateness recorded, and a
// rate change that keeps the time already run; and the test that tells a
// device pacing its stream from one that returns at once.
#include "audio/period_pacer.h"

#include <gtest/gtest.h>

namespace orvelan::audio {
namespace {

constexpr std::int64_t kStart = 5'000'000'000;

TEST(PeriodPacer, DueTimesComeFromThePositionSoRoundingNeverAccumulates) {
  // 64 frames at 48 kHz is 1333333.33 ns: a per-period step in whole
  // nanoseconds would drift by a third of a nanosecond every period.
  PeriodPacer pacer(kStart, 48000.0, 64);
  const std::int64_t periods = 48000 * 3600 / 64;  // one hour
  for (std::int64_t k = 0; k < periods; ++k) {
    pacer.arrive(pacer.dueNs());
    pacer.delivered();
  }
  EXPECT_EQ(pacer.position(), 48000LL * 3600);
  EXPECT_EQ(pacer.dueNs(), kStart + 3600LL * 1'000'000'000);
  EXPECT_EQ(pacer.stats().periods, periods);
  EXPECT_EQ(pacer.stats().latePeriods, 0);
  EXPECT_EQ(pacer.stats().worstLatenessNs, 0);
}

TEST(PeriodPacer, LateWakeUpsSkipTheSlotsThatPassedAndCountThem) {
  // 480 frames at 48 kHz: one period every 10 ms.
  struct Case {
    std::int64_t lateNs;
    std::int64_t skipped;
  };
  const Case cases[] = {{0, 0}, {9'999'999, 0}, {10'000'000, 1}, {35'000'000, 3}, {40'000'000, 4}};
  for (const Case& c : cases) {
    PeriodPacer pacer(kStart, 48000.0, 480);
    const std::int64_t wake = pacer.dueNs() + c.lateNs;
    EXPECT_EQ(pacer.arrive(wake), c.skipped) << c.lateNs;
    // The period now delivered is the latest one already due: no burst follows.
    EXPECT_EQ(pacer.position(), 480 * c.skipped);
    EXPECT_LE(pacer.dueNs(), wake);
    pacer.delivered();
    EXPECT_GT(pacer.dueNs(), wake);
    EXPECT_EQ(pacer.stats().latePeriods, c.skipped);
    EXPECT_EQ(pacer.stats().worstLatenessNs, c.lateNs);
    EXPECT_EQ(pacer.stats().periods, 1);
  }
}

TEST(PeriodPacer, LatenessStatisticsCoverEveryDeliveredPeriod) {
  PeriodPacer pacer(kStart, 1000.0, 10);  // 10 ms periods
  const std::int64_t lateness[] = {100, 2000, 0, 500};
  for (std::int64_t late : lateness) {
    pacer.arrive(pacer.dueNs() + late);
    pacer.delivered();
  }
  pacer.arrive(pacer.dueNs() - 1000);  // an early wake-up counts as on time
  pacer.delivered();
  EXPECT_EQ(pacer.stats().periods, 5);
  EXPECT_EQ(pacer.stats().totalLatenessNs, 2600);
  EXPECT_EQ(pacer.stats().worstLatenessNs, 2000);
}

TEST(PeriodPacer, RateChangeTakesEffectFromTheNextPeriod) {
  PeriodPacer pacer(kStart, 48000.0, 480);
  pacer.arrive(pacer.dueNs());
  pacer.delivered();
  EXPECT_EQ(pacer.dueNs(), kStart + 10'000'000);
  pacer.changeRate(24000.0);
  EXPECT_EQ(pacer.dueNs(), kStart + 10'000'000);  // the next period keeps its time
  pacer.arrive(pacer.dueNs());
  pacer.delivered();
  EXPECT_EQ(pacer.dueNs(), kStart + 30'000'000);  // then 20 ms periods
  EXPECT_EQ(pacer.position(), 960);
}

TEST(RunsAheadOfClock, OnlyAStreamFasterThanRealTimeIsAhead) {
  // 256-frame periods at 48 kHz with a ring of two: 768 frames allowed.
  constexpr double kRate = 48000.0;
  constexpr std::int64_t kAllowed = 3 * 256;
  constexpr std::int64_t kHour = 3600LL * 1'000'000'000;
  struct Case {
    const char* what;
    std::int64_t frames;
    std::int64_t elapsedNs;
    bool ahead;
  };
  const Case cases[] = {
      {"a card keeping time", 48000, 1'000'000'000, false},
      {"a full ring at the first period", kAllowed, 0, false},
      {"one frame beyond the ring at once", kAllowed + 1, 0, true},
      {"a thread far behind its card", 256, 2'000'000'000, false},
      {"a crystal 200 ppm fast for 12 hours", std::int64_t(48000 * 43200 * 1.0002), 12 * kHour, false},
      {"four periods in 50 us", 4 * 256, 50'000, true},
      {"a device 1% fast for 10 s", 480000 + 4800, 10'000'000'000, true},
      {"a clock read before the start", 512, -1000, false},
  };
  for (const Case& c : cases) EXPECT_EQ(runsAheadOfClock(c.frames, c.elapsedNs, kRate, kAllowed), c.ahead) << c.what;
}

}  // namespace
}  // namespace orvelan::audio
