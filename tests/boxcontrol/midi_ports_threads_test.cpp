// MIDI ports with threaded delivery: a device emitting while the host reads,
// and ports closed while the bus is delivering to them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "midi/virtual_midi_bus.h"
#include "midi/midi_ports.h"

namespace {

using namespace orvelan::midi;
using orvelan::platform::midi::virtual_delivery;
using orvelan::platform::midi::virtual_midi_bus;
using Bytes = std::vector<std::uint8_t>;

TEST(MidiPortsThreads, EverythingEmittedIsReadInOrder)
{
    auto bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
    auto box = bus->add_device("box", nullptr);
    box->set_options({.split_size = 3, .inject_realtime = 0xF8});
    auto pool = create_pool(64, 256);
    midi_input_dev_ptr in;
    create_input_device(bus, 0, in);
    ASSERT_EQ(in->open(pool), port_ok);
    ASSERT_EQ(in->start(), port_ok);

    constexpr int kMessages = 2000;
    // Sysex messages the reader has checked and let go of. A message still
    // held in the reader's batch is not back in the pool yet, so the reader
    // publishes its progress only after dropping the batch.
    std::atomic<int> released{0};
    std::atomic<bool> gave_up{false};
    std::thread device([&] {
        for (int i = 0; i < kMessages && !gave_up; ++i) {
            // One pool message each (the clock inside takes none): at most
            // 33 unreleased stay well within the pool of 64, so that nothing
            // is lost.
            while (i - released.load() > 32 && !gave_up) std::this_thread::yield();
            const Bytes sysex = {0xF0, static_cast<std::uint8_t>(i & 0x7F), static_cast<std::uint8_t>(i >> 7), 0xF7};
            box->transmit(sysex);
        }
    });
    int next = 0;
    std::vector<midi_msg_ptr> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (next < kMessages) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "messages lost: stopped at " << next;
            gave_up = true;
            break;
        }
        ASSERT_EQ(in->read(got), port_ok);
        for (const auto& m : got) {
            EXPECT_EQ(m->size(), 4) << "the clock inside the sysex is dropped";
            EXPECT_EQ(m->data()[1] | (m->data()[2] << 7), next);
            ++next;
        }
        got.clear();
        released = next;
        std::this_thread::yield();
    }
    device.join();
    bus->flush();
}

TEST(MidiPortsThreads, ClosingWhileTheBusDeliversIsSafe)
{
    auto bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
    auto box = bus->add_device("box", nullptr);
    auto pool = create_pool(16, 64);
    std::atomic<bool> quit{false};
    std::thread device([&] {
        const Bytes note = {0x90, 0x3C, 0x40, 0x3D, 0x41};
        while (!quit) box->transmit(note);
    });
    for (int round = 0; round < 200; ++round) {
        midi_input_dev_ptr in;
        create_input_device(bus, 0, in);
        ASSERT_EQ(in->open(pool), port_ok);
        ASSERT_EQ(in->start(), port_ok);
        std::vector<midi_msg_ptr> got;
        in->read(got);
        got.clear();
        if (round % 2) in->stop();
        ASSERT_EQ(in->close(), port_ok);
        in.reset();  // destroyed right after close, while the bus goes on
    }
    quit = true;
    device.join();
    bus->flush();
    EXPECT_EQ(pool->in_use(), 0);
}

}  // namespace
