#include "app/clock.h"

namespace orvelan::app {

namespace {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace

const Clock& Clock::system()
{
    static const SystemClock clock;
    return clock;
}

}  // namespace orvelan::app
