// Where the application reads the time of day (record file names carry the
// date and time a recording starts). Tests hand in a clock of their own.
#pragma once

#include <QDateTime>

namespace orvelan::app {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The local wall clock.
    static const Clock& system();
};

}  // namespace orvelan::app
