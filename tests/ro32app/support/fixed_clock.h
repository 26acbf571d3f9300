// A clock that reads what the test set, for names made from the time.
#pragma once

#include "app/clock.h"

namespace orvelan::apptest {

class FixedClock : public app::Clock {
public:
    explicit FixedClock(const QDateTime& time) : time_(time) {}
    QDateTime now() const override { return time_; }
    void set(const QDateTime& time) { time_ = time; }
    void advance(qint64 seconds) { time_ = time_.addSecs(seconds); }

private:
    QDateTime time_;
};

}  // namespace orvelan::apptest
