// The virtual MIDI bus: named endpoints, delivery both ways, and the faults
// it produces on demand (pieces, injected real-time bytes, drops, refusals).
#include <gtest/gtest.h>

#include <vector>

#include "midi/virtual_midi_bus.h"

namespace {

using namespace orvelan::platform::midi;
using Bytes = std::vector<std::uint8_t>;

struct Recorder : midi_byte_receiver {
    std::vector<Bytes> pieces;
    void receive(const std::uint8_t* bytes, std::size_t n) override { pieces.emplace_back(bytes, bytes + n); }
};

struct Done {
    int calls = 0;
    static void count(void* self) { ++static_cast<Done*>(self)->calls; }
};

TEST(VirtualMidiBus, ListsDevicesInOrderAndRefusesUnknownIndexes)
{
    virtual_midi_bus bus;
    Recorder device;
    bus.add_device("first", nullptr);
    auto second = bus.add_device("second", &device);
    EXPECT_EQ(bus.input_names(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(bus.output_names(), bus.input_names());
    Recorder host;
    EXPECT_EQ(bus.open_input(2, host), nullptr);
    EXPECT_EQ(bus.open_output(2), nullptr);

    second->set_options({.refuse_open = true});
    EXPECT_EQ(bus.open_output(1), nullptr);
    EXPECT_EQ(bus.open_input(1, host), nullptr);
    bus.remove_device(second);
    EXPECT_EQ(bus.input_names(), (std::vector<std::string>{"first"}));
}

TEST(VirtualMidiBus, DeliversBothWaysWithTheEndpointsFaults)
{
    struct Case {
        const char* name;
        virtual_delivery_options options;
        std::vector<Bytes> expected;
    };
    const Bytes message = {0xF0, 0x01, 0x02, 0x03, 0xF7};
    const std::vector<Case> cases = {
        {"whole", {}, {message}},
        {"pieces of two", {.split_size = 2}, {{0xF0, 0x01}, {0x02, 0x03}, {0xF7}}},
        {"clock injected", {.inject_realtime = 0xF8}, {{0xF0, 0xF8, 0x01, 0x02, 0x03, 0xF7}}},
        {"both", {.split_size = 4, .inject_realtime = 0xFE}, {{0xF0, 0xFE, 0x01, 0x02}, {0x03, 0xF7}}},
    };
    for (virtual_delivery mode : {virtual_delivery::synchronous, virtual_delivery::threaded}) {
        for (const Case& c : cases) {
            virtual_midi_bus bus(mode);
            Recorder device, host;
            auto endpoint = bus.add_device("box", &device);
            endpoint->set_options(c.options);
            auto out = bus.open_output(0);
            auto in = bus.open_input(0, host);
            ASSERT_TRUE(out && in);
            ASSERT_TRUE(in->start());
            Done done;
            EXPECT_EQ(out->send(message.data(), message.size(), Done::count, &done), send_status::sent);
            endpoint->transmit(message);
            bus.flush();
            EXPECT_EQ(done.calls, 1) << c.name;
            EXPECT_EQ(device.pieces, c.expected) << c.name;
            EXPECT_EQ(host.pieces, c.expected) << c.name;
        }
    }
}

TEST(VirtualMidiBus, DropsRefusesAndDiscardsOnDemand)
{
    virtual_midi_bus bus;
    Recorder device, host;
    auto endpoint = bus.add_device("box", &device);
    auto out = bus.open_output(0);
    auto in = bus.open_input(0, host);
    const Bytes note = {0x90, 0x3C, 0x40};

    endpoint->transmit(note);  // input not started: discarded
    EXPECT_TRUE(host.pieces.empty());

    ASSERT_TRUE(in->start());
    endpoint->drop_next(2);
    Done done;
    out->send(note.data(), note.size(), Done::count, &done);
    endpoint->transmit(note);
    endpoint->transmit(note);
    EXPECT_EQ(done.calls, 1) << "a dropped send is still finished with";
    EXPECT_EQ(endpoint->dropped(), 2);
    EXPECT_TRUE(device.pieces.empty());
    EXPECT_EQ(host.pieces.size(), 1u);

    for (send_status failure : {send_status::not_ready, send_status::refused}) {
        endpoint->set_options({.host_send_result = failure});
        EXPECT_EQ(out->send(note.data(), note.size(), Done::count, &done), failure);
        EXPECT_EQ(done.calls, 1) << "a failed send is never finished with";
    }
    endpoint->set_options({.refuse_start = true});
    in->stop();
    EXPECT_FALSE(in->start());

    // A device that left the bus receives nothing more.
    endpoint->set_options({});
    bus.remove_device(endpoint);
    out->send(note.data(), note.size(), nullptr, nullptr);
    EXPECT_TRUE(device.pieces.empty());
}

}  // namespace
