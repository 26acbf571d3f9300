// Which of a stage's three filter banks is current, which fades in next and
// which waits, and the lock-free hand-over of newly loaded banks from the
// control thread to the audio thread.
//
// The control thread builds a filter in the bank `bankForLoad` gives and
// then `publish`es it. While the stream is stopped the slots are the
// control thread's: the first load becomes current, the second next, a
// third waits (a later one replacing it). While it runs, a published bank
// only waits; the audio thread `takeWaiting` at the start of a block: as
// current when there is none, else as next when no bank fades in. So every
// change of the current and next bank is the audio thread's, and a bank the
// audio thread uses is never written.
#pragma once

#include <atomic>

class vxBankSlots {
public:
    static constexpr int kBanks = 3;

    // No bank anywhere.
    void clear();

    // Control thread: the bank to build the next load in (a waiting one is
    // taken back from the audio thread first).
    int bankForLoad(bool running);
    void publish(int bank, bool running);
    // Control thread, stopped: a waiting bank becomes current (a next one is
    // dropped), else a next one does.
    void promoteAtStart();

    // Audio thread. True when the waiting bank became the next one (its
    // crossfade then starts from nothing).
    bool takeWaiting();
    // The next bank has faded in: it becomes current.
    void finishFade();

    int current() const { return current_; }
    int next() const { return next_; }
    bool waiting() const { return waiting_.load(std::memory_order_acquire) >= 0; }

private:
    int freeBank() const;

    int current_ = -1;  // the audio thread's (the control thread's while stopped)
    int next_ = -1;
    std::atomic<int> busy_{0};      // bit per bank the audio thread uses
    std::atomic<int> waiting_{-1};  // a published bank not yet taken
};
