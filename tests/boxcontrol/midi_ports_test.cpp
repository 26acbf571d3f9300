// MIDI ports over the virtual bus: enumeration, the ports' status codes,
// messages cut by the port's parser however the bytes arrive, an exhausted
// pool, and sent messages kept out of the pool while the transport needs them.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "midi/virtual_midi_bus.h"
#include "midi/midi_ports.h"
#include "protocol/zorb_frame.h"

namespace {

using namespace orvelan::midi;
using orvelan::platform::midi::midi_byte_receiver;
using orvelan::platform::midi::send_status;
using orvelan::platform::midi::virtual_delivery;
using orvelan::platform::midi::virtual_delivery_options;
using orvelan::platform::midi::virtual_midi_bus;
using orvelan::platform::midi::virtual_midi_endpoint;
using Bytes = std::vector<std::uint8_t>;

const std::string kBoxName = "TCAT Dice EVM Platform";

struct Recorder : midi_byte_receiver {
    Bytes bytes;
    void receive(const std::uint8_t* p, std::size_t n) override { bytes.insert(bytes.end(), p, p + n); }
};

Bytes frame_bytes()
{
    Bytes f(orvelan::boxcontrol::kZorbFrameSize);
    orvelan::boxcontrol::zorb_frame_build(f.data(), 0, 10, orvelan::boxcontrol::zorb_response, 7, 0x30001, "1", 1);
    return f;
}

Bytes bytes_of(const midi_msg_ptr& m) { return Bytes(m->data(), m->data() + m->size()); }

// A bus with other devices around the box, and the host's ports on the box.
class PortsOnBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus->add_device("Other", nullptr);
        box = bus->add_device(kBoxName, &at_box);
        ASSERT_EQ(create_input_device(bus, 1, in), 0);
        ASSERT_EQ(create_output_device(bus, 1, out), 0);
    }

    void open_and_start()
    {
        ASSERT_EQ(out->open(), port_ok);
        ASSERT_EQ(out->start(), port_ok);
        ASSERT_EQ(in->open(pool), port_ok);
        ASSERT_EQ(in->start(), port_ok);
    }

    std::vector<midi_msg_ptr> read_all()
    {
        std::vector<midi_msg_ptr> got;
        EXPECT_EQ(in->read(got), port_ok);
        return got;
    }

    std::shared_ptr<virtual_midi_bus> bus = std::make_shared<virtual_midi_bus>();
    Recorder at_box;
    std::shared_ptr<virtual_midi_endpoint> box;
    midi_msg_pool_ptr pool = create_pool(64, 256);
    midi_input_dev_ptr in;
    midi_output_dev_ptr out;
};

TEST_F(PortsOnBus, EnumerationNamesEveryPort)
{
    std::vector<midi_input_dev_ptr> inputs;
    std::vector<midi_output_dev_ptr> outputs;
    EXPECT_EQ(enumerate_input_devices(bus, inputs), 0);
    EXPECT_EQ(enumerate_output_devices(bus, outputs), 0);
    ASSERT_EQ(inputs.size(), 2u);
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(inputs[1]->name(), kBoxName);
    EXPECT_EQ(inputs[1]->name().size(), 22u);
    EXPECT_EQ(outputs[0]->name(), "Other");
    EXPECT_EQ(in->name(), "") << "created by index: no name";
}

TEST_F(PortsOnBus, MisuseAndRefusalCodes)
{
    std::vector<midi_msg_ptr> untouched(1);
    midi_msg_ptr m;
    ASSERT_EQ(pool->allocate(m), midi_ok);
    m->set_note_on(0, 1, 2, 0, 0);

    EXPECT_EQ(in->start(), port_not_open);
    EXPECT_EQ(in->stop(), port_not_open);
    EXPECT_EQ(in->read(untouched), port_not_open);
    EXPECT_EQ(out->start(), port_not_open);
    EXPECT_EQ(out->stop(), port_not_open);
    EXPECT_EQ(out->send(m), port_not_open);

    EXPECT_EQ(in->open(pool), port_ok);
    EXPECT_EQ(in->open(pool), port_already_open);
    EXPECT_EQ(in->read(untouched), port_not_started);
    EXPECT_EQ(untouched.size(), 1u) << "the caller's list is left as it was";
    EXPECT_EQ(in->stop(), port_not_started);
    EXPECT_EQ(in->start(), port_ok);
    EXPECT_EQ(in->start(), port_already_started);

    EXPECT_EQ(out->open(), port_ok);
    EXPECT_EQ(out->open(), port_already_open);
    EXPECT_EQ(out->send(m), port_not_started);
    EXPECT_EQ(out->stop(), port_not_started);
    EXPECT_EQ(out->start(), port_ok);
    EXPECT_EQ(out->start(), port_already_started);
    EXPECT_EQ(out->send(m), port_ok);
    EXPECT_EQ(at_box.bytes, (Bytes{0x90, 0x01, 0x02}));

    box->set_options({.host_send_result = send_status::not_ready});
    EXPECT_EQ(out->send(m), port_not_ready);
    box->set_options({.host_send_result = send_status::refused});
    EXPECT_EQ(out->send(m), port_send_refused);

    EXPECT_EQ(in->close(), port_ok);
    EXPECT_EQ(out->close(), port_ok);
    EXPECT_EQ(out->send(m), port_not_open);
    // A closed port opens again.
    EXPECT_EQ(in->open(pool), port_ok);

    midi_input_dev_ptr refused_in;
    midi_output_dev_ptr refused_out;
    create_input_device(bus, 5, refused_in);
    create_output_device(bus, 5, refused_out);
    EXPECT_EQ(refused_in->open(pool), port_open_refused);
    EXPECT_EQ(refused_out->open(), port_open_refused);
    box->set_options({.refuse_start = true});
    in->close();
    EXPECT_EQ(in->open(pool), port_ok);
    EXPECT_EQ(in->start(), port_start_refused);
}

// A real-time byte inside the frame (the bus puts it after the first byte)
// neither cuts the frame nor arrives itself.
TEST_F(PortsOnBus, AFrameArrivesWholeHoweverTheBytesAreCut)
{
    open_and_start();
    const Bytes frame = frame_bytes();
    for (std::size_t split = 0; split <= frame.size(); ++split) {
        for (std::uint8_t injected : {0x00, 0xF8, 0xFE, 0xFF}) {
            box->set_options({.split_size = split, .inject_realtime = injected});
            box->transmit(frame);
            const auto got = read_all();
            ASSERT_EQ(got.size(), 1u) << "split " << split << " injected " << int{injected};
            EXPECT_EQ(bytes_of(got[0]), frame) << "split " << split << " injected " << int{injected};
            EXPECT_EQ(got[0]->kind(), midi_kind_long);
        }
    }
}

// Clocks and active sensing take no pool message however many come between
// two reads, so the frames among them always find room.
TEST_F(PortsOnBus, RealTimeBytesTakeNoPoolMessages)
{
    open_and_start();
    Bytes stream(200, 0xF8);
    const Bytes frame = frame_bytes();
    Bytes with_sensing = frame;
    for (std::size_t at = 100; at > 0; at -= 20) with_sensing.insert(with_sensing.begin() + at, 0xFE);
    stream.insert(stream.end(), with_sensing.begin(), with_sensing.end());
    stream.insert(stream.end(), {0xFA, 0xFB, 0xFC, 0xF9, 0xFD, 0xFF});
    const Bytes note = {0x90, 0x3C, 0xF8, 0x40};
    stream.insert(stream.end(), note.begin(), note.end());
    box->transmit(stream);
    const auto got = read_all();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(bytes_of(got[0]), frame);
    EXPECT_EQ(bytes_of(got[1]), (Bytes{0x90, 0x3C, 0x40}));
    EXPECT_EQ(pool->in_use(), 2);
}

TEST_F(PortsOnBus, ABurstBeyondThePoolLosesMessagesUntilTheyAreReturned)
{
    open_and_start();
    const Bytes note = {0x90, 0x3C, 0x40};
    for (int i = 0; i < 100; ++i) box->transmit(note);
    auto got = read_all();
    EXPECT_EQ(got.size(), 64u);
    EXPECT_EQ(pool->free_count(), 0);
    got.clear();
    box->transmit(frame_bytes());
    got = read_all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(bytes_of(got[0]), frame_bytes());
}

TEST_F(PortsOnBus, NothingArrivesWhileStoppedOrAfterClose)
{
    open_and_start();
    const Bytes note = {0x90, 0x3C, 0x40};
    box->transmit(note);
    EXPECT_EQ(in->stop(), port_ok);
    box->transmit(note);
    EXPECT_EQ(in->start(), port_ok);
    EXPECT_EQ(read_all().size(), 1u);
    box->transmit(note);
    EXPECT_EQ(in->close(), port_ok);
    EXPECT_EQ(pool->in_use(), 0) << "closing forgets what was not read";
}

// A device that keeps what it receives until told to let go, as a slow
// driver would.
struct HoldingDevice : midi_byte_receiver {
    std::mutex mutex;
    std::condition_variable changed;
    bool let_go = false;
    int received = 0;
    void receive(const std::uint8_t*, std::size_t) override
    {
        std::unique_lock lock(mutex);
        ++received;
        changed.notify_all();
        changed.wait(lock, [&] { return let_go; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        let_go = true;
        changed.notify_all();
    }
    void wait_received()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return received > 0; });
    }
};

TEST(MidiOutputPort, SentMessageStaysOutOfThePoolUntilTheTransportIsDone)
{
    auto bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
    HoldingDevice device;
    auto box = bus->add_device(kBoxName, &device);
    auto pool = create_pool(2, 256);
    midi_output_dev_ptr out;
    create_output_device(bus, 0, out);
    ASSERT_EQ(out->open(), port_ok);
    ASSERT_EQ(out->start(), port_ok);

    midi_msg_ptr m;
    ASSERT_EQ(pool->allocate(m), midi_ok);
    const Bytes frame = frame_bytes();
    ASSERT_EQ(m->set_sysex(frame.data(), static_cast<int>(frame.size()), 0, 0), midi_ok);
    ASSERT_EQ(out->send(m), port_ok);
    m.reset();
    device.wait_received();
    EXPECT_EQ(pool->free_count(), 1) << "held for the transport";
    device.release();
    bus->flush();
    EXPECT_EQ(pool->free_count(), 2);

    // A failed send leaves the message to its caller alone.
    box->set_options({.host_send_result = send_status::refused});
    ASSERT_EQ(pool->allocate(m), midi_ok);
    EXPECT_EQ(out->send(m), port_send_refused);
    m.reset();
    EXPECT_EQ(pool->free_count(), 2);
}

}  // namespace
