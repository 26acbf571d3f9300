// The schedule of a paced clock: period k is due at start + k * frames / rate
// (computed from the frame position, so rounding never accumulates). A
// period that wakes up after the next one is already due has missed its
// slot: the missed periods are skipped (and counted late) instead of being
// delivered in a burst, and the clock carries on with the period now due.
// Pure arithmetic on nanosecond times, so it can be tested without waiting.
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

}  // namespace orvelan::audio
