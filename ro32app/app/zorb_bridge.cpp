#include "app/zorb_bridge.h"

#include <QThread>

namespace orvelan::app {

CZorbBridge::CZorbBridge(std::shared_ptr<platform::midi::midi_transport> transport,
                         std::chrono::milliseconds idlePeriod, QObject* parent)
    : QObject(parent)
{
    // The signals are emitted from events posted to the bridge, so they come
    // on the bridge's (the GUI) thread whatever connection a receiver asks
    // for, and in the order the control thread made them.
    boxcontrol::CZorbControl::Callbacks callbacks;
    callbacks.msgConfirmed = [this](int cmd, int value) { post({false, cmd, value}); };
    callbacks.connectionProblems = [this] { post({true, 0, 0}); };
    control_ = std::make_unique<boxcontrol::CZorbControl>(std::move(transport), std::move(callbacks), idlePeriod);
}

// The thread is stopped and joined before anything of the bridge goes;
// what it posted and was not delivered yet goes with the bridge.
CZorbBridge::~CZorbBridge()
{
    control_.reset();
}

void CZorbBridge::post(const Pending& pending)
{
    {
        std::lock_guard lock(pendingLock_);
        pending_.push_back(pending);
    }
    // By name, so the posted event carries nothing of ours across threads.
    QMetaObject::invokeMethod(this, "deliverPending", Qt::QueuedConnection);
}

// One at a time from the front: a receiver that runs the event loop inside
// a signal still sees the rest in the order the thread made them.
void CZorbBridge::deliverPending()
{
    for (;;) {
        Pending next;
        {
            std::lock_guard lock(pendingLock_);
            if (pending_.empty())
                return;
            next = pending_.front();
            pending_.pop_front();
        }
        if (next.problems)
            emit connectionProblems();
        else
            emit msgConfirmed(next.cmd, next.value);
    }
}

CZorbBridge::BoxDecision CZorbBridge::waitForBox(std::chrono::milliseconds bound) const
{
    const auto until = std::chrono::steady_clock::now() + bound;
    const auto waitWhile = [&](auto&& undecided) {
        while (undecided()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            QThread::msleep(10);
        }
        return true;
    };

    BoxDecision decision;
    if (!waitWhile([this] { return control_->connectionState() == -1; }))
        return decision;
    if (control_->connectionState() == 1 && !waitWhile([this] { return !control_->statusKnown(); }))
        return decision;
    // Looked at again: a box whose questions timed out is known by now, with
    // the connection state back at 0, and counts as no box, as one the wait
    // gave up on does.
    if (control_->connectionState() == 1) {
        decision.availableZorbOutputGroups =
            control_->answer10004() == 1 && control_->answer11000() == 3 ? 7 : 3;
        decision.boxSetsPreamp = control_->answer30001() == 1;
    }
    decision.decided = true;
    return decision;
}

}  // namespace orvelan::app
