#include "dsp/bank_slots.h"

namespace {
int bit(int bank) { return 1 << bank; }
}  // namespace

void vxBankSlots::clear() {
    current_ = next_ = -1;
    busy_.store(0, std::memory_order_relaxed);
    waiting_.store(-1, std::memory_order_relaxed);
}

int vxBankSlots::freeBank() const {
    const int used = busy_.load(std::memory_order_acquire);
    const int waiting = waiting_.load(std::memory_order_acquire);
    for (int b = 0; b < kBanks; ++b)
        if ((used & bit(b)) == 0 && b != waiting) return b;
    return -1;
}

int vxBankSlots::bankForLoad(bool running) {
    if (!running) {
        const int waiting = waiting_.load(std::memory_order_relaxed);
        return current_ >= 0 && next_ >= 0 && waiting >= 0 ? waiting : freeBank();
    }
    // A bank still waiting can be taken back: the audio thread then no
    // longer finds it. Else one the audio thread does not use is free.
    const int waiting = waiting_.exchange(-1, std::memory_order_acq_rel);
    return waiting >= 0 ? waiting : freeBank();
}

void vxBankSlots::publish(int bank, bool running) {
    if (!running && (current_ < 0 || next_ < 0)) {
        (current_ < 0 ? current_ : next_) = bank;
        busy_.fetch_or(bit(bank), std::memory_order_relaxed);
        return;
    }
    waiting_.store(bank, std::memory_order_release);
}

void vxBankSlots::promoteAtStart() {
    const int waiting = waiting_.exchange(-1, std::memory_order_relaxed);
    if (waiting >= 0) {
        current_ = waiting;
        next_ = -1;
    } else if (next_ >= 0) {
        current_ = next_;
        next_ = -1;
    }
    busy_.store(current_ >= 0 ? bit(current_) : 0, std::memory_order_relaxed);
}

bool vxBankSlots::takeWaiting() {
    int bank = waiting_.load(std::memory_order_acquire);
    if (bank < 0 || (current_ >= 0 && next_ >= 0)) return false;
    // Mark the bank used before taking it, so a load that finds none
    // waiting cannot choose it.
    busy_.fetch_or(bit(bank), std::memory_order_acq_rel);
    if (int expected = bank; !waiting_.compare_exchange_strong(expected, -1, std::memory_order_acq_rel)) {
        busy_.fetch_and(~bit(bank), std::memory_order_release);
        return false;
    }
    if (current_ < 0) {
        current_ = bank;
        return false;
    }
    next_ = bank;
    return true;
}

void vxBankSlots::finishFade() {
    const int old = current_;
    current_ = next_;
    next_ = -1;
    busy_.fetch_and(~bit(old), std::memory_order_release);
}
