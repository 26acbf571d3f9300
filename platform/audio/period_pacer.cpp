#include "audio/period_pacer.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace orvelan::audio {

PeriodPacer::PeriodPacer(std::int64_t startNs, double rate, int framesPerPeriod)
    : baseNs_(startNs), rate_(rate), frames_(framesPerPeriod) {}

std::int64_t PeriodPacer::dueAt(std::int64_t position) const {
  const long double elapsed = (long double)(position - basePosition_) * 1e9L / (long double)rate_;
  return baseNs_ + std::int64_t(std::llround(elapsed));
}

std::int64_t PeriodPacer::dueNs() const { return dueAt(position_); }

std::int64_t PeriodPacer::arrive(std::int64_t nowNs) {
  const std::int64_t lateness = std::max<std::int64_t>(0, nowNs - dueNs());
  stats_.totalLatenessNs += lateness;
  stats_.worstLatenessNs = std::max(stats_.worstLatenessNs, lateness);
  std::int64_t skipped = 0;
  while (dueAt(position_ + frames_) <= nowNs) {
    position_ += frames_;
    ++skipped;
  }
  stats_.latePeriods += skipped;
  return skipped;
}

void PeriodPacer::delivered() {
  position_ += frames_;
  ++stats_.periods;
}

void PeriodPacer::changeRate(double rate) {
  baseNs_ = dueNs();
  basePosition_ = position_;
  rate_ = rate;
}

void sleepUntilNs(std::int64_t ns) {
  const timespec due{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
  }
}

bool runsAheadOfClock(std::int64_t frames, std::int64_t elapsedNs, double rate, std::int64_t allowedFrames) {
  const long double due = (long double)std::max<std::int64_t>(0, elapsedNs) * (long double)rate / 1e9L;
  return (long double)frames > due * 1.001L + (long double)allowedFrames;
}

}  // namespace orvelan::audio
