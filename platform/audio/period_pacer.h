// The schedule of a paced clock: period k is due at start + k * frames / rate
// (computed from the frame position, so rounding never accumulates). A
// period that wakes up after the next one is already due has missed its
// slot: the missed periods are skipped (and counted late) instead of being
// delivered in a burst, and the clock carries on with the period now due.
// Pure arithmetic on nanosecond times, so it can be tested without waiting;
// the drivers wait for dueNs() with sleepUntilNs.
#pragma once

#include <cstdint>

namespace orvelan::audio {

struct ClockStats {
  std::int64_t periods = 0;            // periods delivered
  std::int64_t latePeriods = 0;        // periods skipped because their slot had passed
  std::int64_t totalLatenessNs = 0;    // sum over delivered periods of wake time - due time
  std::int64_t worstLatenessNs = 0;
};

class PeriodPacer {
 public:
  PeriodPacer(std::int64_t startNs, double rate, int framesPerPeriod);

  // When the next period is due.
  std::int64_t dueNs() const;
  // Frame position of the next period.
  std::int64_t position() const { return position_; }

  // The clock woke up at nowNs for the next period: records its lateness
  // and skips the periods whose slot has passed. Returns how many were
  // skipped; afterwards dueNs() and position() name the period to deliver.
  std::int64_t arrive(std::int64_t nowNs);
  // The period at position() has been delivered.
  void delivered();

  // From the next period on the clock runs at the new rate, starting at the
  // time the next period was due at the old one.
  void changeRate(double rate);

  const ClockStats& stats() const { return stats_; }

 private:
  std::int64_t dueAt(std::int64_t position) const;

  std::int64_t baseNs_;
  std::int64_t basePosition_ = 0;
  std::int64_t position_ = 0;
  double rate_;
  int frames_;
  ClockStats stats_;
};

// Sleeps until CLOCK_MONOTONIC reads ns. The time is absolute, so a late
// wake-up never shifts the periods after it.
void sleepUntilNs(std::int64_t ns);

// Whether a stream that has moved `frames` in the elapsedNs since it was
// started runs ahead of its sample clock: by more than allowedFrames plus a
// thousandth of the frames due, which is far beyond any crystal's error. A
// device that paces the stream (a read returns frames it has captured, a
// write returns once it has room) is never ahead, however late the thread
// runs; one that returns at once is ahead within a few periods.
bool runsAheadOfClock(std::int64_t frames, std::int64_t elapsedNs, double rate, std::int64_t allowedFrames);

}  // namespace orvelan::audio
