// MIDI messages and their pool: every setter's bytes and codes, the pool's
// last-in-first-out hand-out, exhaustion and the return of messages.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "midi/midi_msg.h"

namespace {

using namespace orvelan::midi;
using Bytes = std::vector<int>;

Bytes bytes_of(const midi_msg_t& m)
{
    return Bytes(m.data(), m.data() + m.size());
}

midi_msg_ptr take(const midi_msg_pool_ptr& pool)
{
    midi_msg_ptr m;
    EXPECT_EQ(pool->allocate(m), midi_ok);
    return m;
}

TEST(MidiMessageSetters, EachTypedSetterWritesItsBytesAndUserWords)
{
    struct Case {
        const char* name;
        std::function<int(midi_msg_t&)> set;
        Bytes expected;
    };
    // Channel 3 is ORed into the status; data bytes above 7 bits are masked.
    const std::vector<Case> cases = {
        {"note off", [](midi_msg_t& m) { return m.set_note_off(3, 0xBC, 0x40, 7, 8); }, {0x83, 0x3C, 0x40}},
        {"note on", [](midi_msg_t& m) { return m.set_note_on(3, 0xBC, 0x40, 7, 8); }, {0x93, 0x3C, 0x40}},
        {"poly pressure", [](midi_msg_t& m) { return m.set_poly_pressure(3, 1, 0xFF, 7, 8); }, {0xA3, 0x01, 0x7F}},
        {"control change", [](midi_msg_t& m) { return m.set_control_change(15, 7, 0x7F, 7, 8); }, {0xBF, 0x07, 0x7F}},
        {"program change", [](midi_msg_t& m) { return m.set_program_change(3, 0x85, 7, 8); }, {0xC3, 0x05}},
        {"channel pressure", [](midi_msg_t& m) { return m.set_channel_pressure(0, 0x50, 7, 8); }, {0xD0, 0x50}},
        {"pitch bend", [](midi_msg_t& m) { return m.set_pitch_bend(3, 0x00, 0x40, 7, 8); }, {0xE3, 0x00, 0x40}},
        {"quarter frame", [](midi_msg_t& m) { return m.set_quarter_frame(0x20, 7, 8); }, {0xF1, 0x20}},
        {"song position", [](midi_msg_t& m) { return m.set_song_position(0x01, 0x02, 7, 8); }, {0xF2, 0x01, 0x02}},
        {"song select", [](midi_msg_t& m) { return m.set_song_select(0x90, 7, 8); }, {0xF3, 0x10}},
        {"tune request", [](midi_msg_t& m) { return m.set_tune_request(7, 8); }, {0xF6}},
        {"timing clock", [](midi_msg_t& m) { return m.set_timing_clock(7, 8); }, {0xF8}},
        {"undefined f9", [](midi_msg_t& m) { return m.set_undefined_f9(7, 8); }, {0xF9}},
        {"start", [](midi_msg_t& m) { return m.set_start(7, 8); }, {0xFA}},
        {"continue", [](midi_msg_t& m) { return m.set_continue(7, 8); }, {0xFB}},
        {"stop", [](midi_msg_t& m) { return m.set_stop(7, 8); }, {0xFC}},
        {"active sensing", [](midi_msg_t& m) { return m.set_active_sensing(7, 8); }, {0xFE}},
        {"system reset", [](midi_msg_t& m) { return m.set_system_reset(7, 8); }, {0xFF}},
        // A channel beyond 15 stays in the low nibble instead of changing the message type.
        {"channel masked", [](midi_msg_t& m) { return m.set_note_on(0x13, 1, 2, 7, 8); }, {0x93, 0x01, 0x02}},
    };
    auto pool = create_pool(1, 16);
    for (const Case& c : cases) {
        auto m = take(pool);
        ASSERT_EQ(m->set_long(reinterpret_cast<const std::uint8_t*>("\xF0\x01\xF7"), 3, 0, 0), midi_ok);
        EXPECT_EQ(c.set(*m), midi_ok) << c.name;
        EXPECT_EQ(bytes_of(*m), c.expected) << c.name;
        EXPECT_EQ(m->kind(), midi_kind_short) << c.name;
        EXPECT_EQ(m->user1(), 7u) << c.name;
        EXPECT_EQ(m->user2(), 8u) << c.name;
    }
}

TEST(MidiMessageSetters, ByteStringSettersCheckLengthAndFraming)
{
    auto pool = create_pool(1, 256);
    auto m = take(pool);
    const std::vector<std::uint8_t> framed = {0xF0, 0x01, 0xF7};
    const std::vector<std::uint8_t> unframed = {0xF0, 0x01, 0x02};
    const std::vector<std::uint8_t> big(300, 0x01);

    EXPECT_EQ(m->set_sysex(framed.data(), 3, 1, 2), midi_ok);
    EXPECT_EQ(bytes_of(*m), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(m->kind(), midi_kind_long);

    EXPECT_EQ(m->set_sysex(unframed.data(), 3, 0, 0), midi_err_not_sysex);
    EXPECT_EQ(m->set_sysex(framed.data() + 1, 2, 0, 0), midi_err_not_sysex);  // 01 F7: no F0
    EXPECT_EQ(m->set_sysex(framed.data(), 0, 0, 0), midi_err_not_sysex);      // nothing to look at
    EXPECT_EQ(m->set_sysex(big.data(), 300, 0, 0), midi_err_long_too_big);
    EXPECT_EQ(m->set_long(big.data(), 300, 0, 0), midi_err_long_too_big);
    EXPECT_EQ(m->set_long(big.data(), -1, 0, 0), midi_err_long_too_big);
    EXPECT_EQ(m->set_bytes(big.data(), 257, midi_kind_long, 0, 0), midi_err_bytes_too_big);
    // The refusals left the last good message in place.
    EXPECT_EQ(bytes_of(*m), (Bytes{0xF0, 0x01, 0xF7}));

    EXPECT_EQ(m->set_long(unframed.data(), 3, 0, 0), midi_ok);
    EXPECT_EQ(m->kind(), midi_kind_long);
    EXPECT_EQ(m->set_long(big.data(), 256, 0, 0), midi_ok);
    EXPECT_EQ(m->size(), 256);
    EXPECT_EQ(m->set_bytes(unframed.data(), 2, midi_kind_short, 0, 0), midi_ok);
    EXPECT_EQ(m->kind(), midi_kind_short);
    EXPECT_EQ(bytes_of(*m), (Bytes{0xF0, 0x01}));
}

TEST(MidiMessageSetters, SetShortTakesTheLengthMidiGivesTheStatus)
{
    struct Case {
        int status, d1, d2, result;
        Bytes expected;  // when accepted
    };
    const std::vector<Case> cases = {
        {0x90, 0x3C, 0x40, midi_ok, {0x90, 0x3C, 0x40}},
        {0x8F, 0x00, 0x7F, midi_ok, {0x8F, 0x00, 0x7F}},
        {0xE0, 0x7F, 0x7F, midi_ok, {0xE0, 0x7F, 0x7F}},
        {0xF2, 0x01, 0x02, midi_ok, {0xF2, 0x01, 0x02}},
        {0xC5, 0x10, 0xFF, midi_ok, {0xC5, 0x10}},  // data 2 is not looked at
        {0xD0, 0x7F, 0x80, midi_ok, {0xD0, 0x7F}},
        {0xF1, 0x20, 0x00, midi_ok, {0xF1, 0x20}},
        {0xF3, 0x05, 0x00, midi_ok, {0xF3, 0x05}},
        {0xF6, 0xFF, 0xFF, midi_ok, {0xF6}},
        {0xF8, 0x80, 0x80, midi_ok, {0xF8}},
        {0xFE, 0x00, 0x00, midi_ok, {0xFE}},
        {0xFF, 0x00, 0x00, midi_ok, {0xFF}},
        {0x7F, 0x00, 0x00, midi_err_bad_short, {}},
        {0xF0, 0x00, 0x00, midi_err_bad_short, {}},
        {0xF4, 0x00, 0x00, midi_err_bad_short, {}},
        {0xF5, 0x00, 0x00, midi_err_bad_short, {}},
        {0xF7, 0x00, 0x00, midi_err_bad_short, {}},
        {0xFD, 0x00, 0x00, midi_err_bad_short, {}},
        {0x90, 0x3C, 0x80, midi_err_bad_short, {}},
        {0x90, 0x80, 0x00, midi_err_bad_short, {}},
        {0xF2, 0x00, 0x80, midi_err_bad_short, {}},
        {0xC0, 0x80, 0x00, midi_err_bad_short, {}},
        {0xF1, 0x80, 0x00, midi_err_bad_short, {}},
    };
    auto pool = create_pool(1, 8);
    auto m = take(pool);
    const Bytes before = {0xB1, 0x02, 0x03};
    for (const Case& c : cases) {
        ASSERT_EQ(m->set_control_change(1, 2, 3, 0, 0), midi_ok);
        EXPECT_EQ(m->set_short(c.status, c.d1, c.d2, 0, 0), c.result) << std::hex << c.status;
        EXPECT_EQ(bytes_of(*m), c.result == midi_ok ? c.expected : before) << std::hex << c.status;
    }
}

TEST(MidiMessagePool, MessagesAreAtLeastEightBytesAndStartZeroed)
{
    auto pool = create_pool(4, 3);
    EXPECT_EQ(pool->message_size(), 8);
    EXPECT_EQ(pool->message_count(), 4);
    auto m = take(pool);
    EXPECT_EQ(m->capacity(), 8);
    EXPECT_EQ(m->size(), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m->data()[i], 0);
    EXPECT_EQ(m->pool(), pool);
}

TEST(MidiMessagePool, ExhaustedPoolRefusesAndReturnsTheLastFreedMessageFirst)
{
    auto pool = create_pool(64, 256);
    std::vector<midi_msg_ptr> held;
    for (int i = 0; i < 64; ++i) held.push_back(take(pool));
    EXPECT_EQ(pool->in_use(), 64);

    midi_msg_ptr untouched;
    EXPECT_EQ(pool->allocate(untouched), midi_err_pool_empty);
    EXPECT_EQ(untouched, nullptr);

    // The returned message comes back cleared, and it is the one handed out next.
    midi_msg_t* returned = held[17].get();
    ASSERT_EQ(returned->set_note_on(1, 2, 3, 0, 0), midi_ok);
    midi_msg_ptr copy = held[17];
    held[17].reset();
    EXPECT_EQ(pool->in_use(), 64) << "a second holder keeps it out";
    copy.reset();
    EXPECT_EQ(pool->in_use(), 63);
    auto again = take(pool);
    EXPECT_EQ(again.get(), returned);
    EXPECT_EQ(again->size(), 0);
    EXPECT_EQ(again->kind(), midi_kind_short);
    EXPECT_EQ(again->data()[0], 0x91) << "clearing keeps the bytes";
}

TEST(MidiMessagePool, HandsOutInReverseOrderOfCreation)
{
    auto pool = create_pool(3, 8);
    auto a = take(pool), b = take(pool), c = take(pool);
    midi_msg_t* first_in = c.get();
    a.reset();
    b.reset();
    c.reset();
    // Returned a, b, c: c comes out first.
    EXPECT_EQ(take(pool).get(), first_in);
}

TEST(MidiMessagePool, HeldMessagesOutliveThePoolHandle)
{
    auto pool = create_pool(2, 16);
    auto m = take(pool);
    std::weak_ptr<midi_msg_pool_t> watch = pool;
    pool.reset();
    EXPECT_FALSE(watch.expired()) << "a held message keeps its pool";
    ASSERT_EQ(m->set_note_on(0, 1, 2, 0, 0), midi_ok);
    m.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(MidiMessagePool, DriverHoldKeepsTheMessageOutUntilReleased)
{
    auto pool = create_pool(1, 16);
    auto m = take(pool);
    m->set_driver_ref(m);
    midi_msg_t* raw = m.get();
    m.reset();
    EXPECT_EQ(pool->free_count(), 0);
    raw->release_driver_ref();
    EXPECT_EQ(pool->free_count(), 1);
}

}  // namespace
