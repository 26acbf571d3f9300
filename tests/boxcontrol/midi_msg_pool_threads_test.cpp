// The pool shared between threads: messages taken on one thread and dropped
// on another all come back, and none is handed out twice.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "midi/midi_msg.h"

namespace {

using namespace orvelan::midi;

TEST(MidiMessagePoolThreads, MessagesDroppedOnOtherThreadsAllComeBack)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 5000;
    auto pool = create_pool(8, 16);
    std::mutex handover_mutex;
    std::vector<midi_msg_ptr> handover;
    std::atomic<int> refused{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                midi_msg_ptr m;
                if (pool->allocate(m) != midi_ok) {
                    ++refused;
                    continue;
                }
                // Whoever holds a message is its only user: its bytes stay ours.
                ASSERT_EQ(m->size(), 0);
                m->set_note_on(t, i & 0x7F, 1, 0, 0);
                ASSERT_EQ(m->data()[0], 0x90 | t);
                std::lock_guard lock(handover_mutex);
                if (handover.size() < 4) {
                    handover.push_back(std::move(m));  // another thread will drop it
                } else {
                    handover.erase(handover.begin());
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    handover.clear();
    EXPECT_EQ(pool->in_use(), 0);
    EXPECT_EQ(pool->free_count(), 8);
}

TEST(MidiMessagePoolThreads, DriverHoldDroppedOnAnotherThread)
{
    auto pool = create_pool(2, 16);
    for (int i = 0; i < 1000; ++i) {
        midi_msg_ptr m;
        ASSERT_EQ(pool->allocate(m), midi_ok);
        m->set_driver_ref(m);
        midi_msg_t* raw = m.get();
        std::thread completion([raw] { raw->release_driver_ref(); });
        m.reset();
        completion.join();
    }
    EXPECT_EQ(pool->free_count(), 2);
}

}  // namespace
