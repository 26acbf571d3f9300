// The interface box's control thread as the window sees it: the thread's
// callbacks, which run on that thread, reach the window as signals on the
// GUI thread, in the order the thread made them; and the window's start-up
// wait for the box's answers, bounded so that a box (or a transport) that
// never lets the thread decide cannot keep the window from opening.
#pragma once

#include <QObject>

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

#include "protocol/zorb_control.h"

namespace orvelan::app {

class CZorbBridge : public QObject {
    Q_OBJECT

public:
    // What the start-up wait found out.
    struct BoxDecision {
        bool decided = false;               // false: the wait ran out; taken as no box
        int availableZorbOutputGroups = 0;  // 0 no box, 3 a box, 7 one with all three groups
        // The box takes the preamplifier step and the input fader alone sets
        // the digital gain: decided once here, so every place that applies
        // the input gain agrees even if the box's answers change later.
        bool boxSetsPreamp = false;
    };

    static constexpr std::chrono::milliseconds kBoxWaitBound{5000};

    // Makes the control thread on the transport (not started). It lives in
    // the bridge and ends before the bridge does, so no callback can come
    // after the signals' sender is gone.
    explicit CZorbBridge(std::shared_ptr<platform::midi::midi_transport> transport,
                         std::chrono::milliseconds idlePeriod = std::chrono::milliseconds(200),
                         QObject* parent = nullptr);
    ~CZorbBridge() override;

    boxcontrol::CZorbControl& control() { return *control_; }
    const boxcontrol::CZorbControl& control() const { return *control_; }
    void startControl() { control_->startControl(); }

    // Blocks the calling (GUI) thread, looking every 10 ms, until the control
    // thread knows whether the box answers and what, or `bound` has passed.
    BoxDecision waitForBox(std::chrono::milliseconds bound = kBoxWaitBound) const;

signals:
    void msgConfirmed(int cmd, int value);
    void connectionProblems();

private:
    // One callback of the control thread, waiting for the GUI thread.
    struct Pending {
        bool problems = false;  // connectionProblems; else msgConfirmed(cmd, value)
        int cmd = 0;
        int value = 0;
    };

    // The control thread's side: queues the callback and posts a delivery.
    void post(const Pending& pending);
    // The GUI thread's side: emits what is queued, oldest first.
    Q_INVOKABLE void deliverPending();

    // What the control thread hands over goes through our own mutex, not
    // through data captured in Qt's posted events: Qt's queue locks are
    // invisible to ThreadSanitizer, ours are not.
    std::mutex pendingLock_;
    std::deque<Pending> pending_;

    std::unique_ptr<boxcontrol::CZorbControl> control_;
};

}  // namespace orvelan::app
