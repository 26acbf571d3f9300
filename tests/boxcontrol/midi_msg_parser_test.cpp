// The byte-stream parser: running status, real-time bytes inside other
// messages, system exclusive in pieces and split at every byte boundary, an
// exhausted pool, and a bounded fuzz loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "midi/midi_msg_parser.h"
#include "protocol/zorb_frame.h"

namespace {

using namespace orvelan::midi;
using Bytes = std::vector<std::uint8_t>;

struct Parsed {
    Bytes bytes;
    midi_msg_kind kind;
    bool operator==(const Parsed&) const = default;
};

std::vector<Parsed> run(midi_msg_parser_t& parser, const Bytes& in, std::vector<midi_msg_ptr>& out)
{
    parser.parse(in.data(), static_cast<int>(in.size()), out);
    std::vector<Parsed> result;
    for (const auto& m : out) result.push_back({Bytes(m->data(), m->data() + m->size()), m->kind()});
    return result;
}

std::vector<Parsed> parse_all(const Bytes& in, int message_size = 256)
{
    auto pool = create_pool(64, message_size);
    auto parser = create_parser(pool);
    std::vector<midi_msg_ptr> out;
    return run(*parser, in, out);
}

std::string describe(const Bytes& in)
{
    std::string s;
    char buf[4];
    for (auto b : in) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

void PrintTo(const Parsed& p, std::ostream* os)
{
    *os << (p.kind == midi_kind_long ? "long " : "short ") << describe(p.bytes);
}

Parsed short_msg(Bytes b) { return {std::move(b), midi_kind_short}; }
Parsed long_msg(Bytes b) { return {std::move(b), midi_kind_long}; }

Bytes valid_frame()
{
    Bytes frame(orvelan::boxcontrol::kZorbFrameSize);
    orvelan::boxcontrol::zorb_frame_build(frame.data(), 0, 10, orvelan::boxcontrol::zorb_response, 1, 0x10004,
                                           "01", 2);
    return frame;
}

TEST(MidiParser, CutsStreamsIntoMessages)
{
    struct Case {
        const char* name;
        Bytes in;
        std::vector<Parsed> expected;
    };
    const std::vector<Case> cases = {
        {"running status note on", {0x90, 0x3C, 0x40, 0x3E, 0x40, 0x3F, 0x00},
         {short_msg({0x90, 0x3C, 0x40}), short_msg({0x90, 0x3E, 0x40}), short_msg({0x90, 0x3F, 0x00})}},
        {"running poly pressure", {0xA0, 0x3C, 0x10, 0x3D, 0x11},
         {short_msg({0xA0, 0x3C, 0x10}), short_msg({0xA0, 0x3D, 0x11})}},
        {"running channel pressure", {0xD2, 0x50, 0x51}, {short_msg({0xD2, 0x50}), short_msg({0xD2, 0x51})}},
        {"every channel message", {0x81, 1, 2, 0xB2, 7, 127, 0xC3, 5, 0xE4, 0, 64},
         {short_msg({0x81, 1, 2}), short_msg({0xB2, 7, 127}), short_msg({0xC3, 5}), short_msg({0xE4, 0, 64})}},
        {"clock inside a note", {0x90, 0x3C, 0xF8, 0x40}, {short_msg({0xF8}), short_msg({0x90, 0x3C, 0x40})}},
        {"every real-time byte", {0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFE, 0xFF},
         {short_msg({0xF8}), short_msg({0xF9}), short_msg({0xFA}), short_msg({0xFB}), short_msg({0xFC}),
          short_msg({0xFE}), short_msg({0xFF})}},
        {"sysex", {0xF0, 0x01, 0x02, 0xF7}, {long_msg({0xF0, 0x01, 0x02, 0xF7})}},
        {"real time inside sysex", {0xF0, 0x01, 0xFE, 0x02, 0xF7},
         {short_msg({0xFE}), long_msg({0xF0, 0x01, 0x02, 0xF7})}},
        {"status ends sysex and is lost, then sysex runs on", {0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40},
         {long_msg({0xF0, 0x01, 0x02, 0xF7})}},
        {"data before any status", {0x40, 0x50}, {}},
        {"quarter frames", {0xF1, 0x20, 0x30}, {short_msg({0xF1, 0x20}), short_msg({0xF1, 0x30})}},
        {"song position and select", {0xF2, 0x01, 0x02, 0x03, 0x04, 0xF3, 0x05},
         {short_msg({0xF2, 0x01, 0x02}), short_msg({0xF2, 0x03, 0x04}), short_msg({0xF3, 0x05})}},
        {"unfinished note dropped", {0x90, 0x3C, 0xB0, 0x07, 0x7F}, {short_msg({0xB0, 0x07, 0x7F})}},
        {"FD ignored everywhere", {0xFD, 0x90, 0xFD, 0x3C, 0xFD, 0x40, 0xF0, 0xFD, 0x01, 0xF7},
         {short_msg({0x90, 0x3C, 0x40}), long_msg({0xF0, 0x01, 0xF7})}},
        {"F7 in idle ignored, running status kept", {0x90, 1, 2, 0xF7, 3, 4},
         {short_msg({0x90, 1, 2}), short_msg({0x90, 3, 4})}},
        {"tune request ends running status", {0x90, 1, 2, 0xF6, 3, 4}, {short_msg({0x90, 1, 2}), short_msg({0xF6})}},
        {"undefined F4 and F5", {0xF4, 1, 0xF5, 2, 0x90, 1, 2}, {short_msg({0x90, 1, 2})}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_all(c.in), c.expected) << c.name;

    // After an interrupted system-exclusive message the running status is F0:
    // following data bytes begin a new one.
    auto pool = create_pool(8, 256);
    auto parser = create_parser(pool);
    std::vector<midi_msg_ptr> out;
    run(*parser, {0xF0, 0x01, 0x02, 0x90}, out);
    out.clear();
    EXPECT_EQ(run(*parser, {0x3C, 0x40, 0xF7}, out), (std::vector<Parsed>{long_msg({0xF0, 0x3C, 0x40, 0xF7})}));
}

TEST(MidiParser, AFrameSplitAtEveryBoundaryComesOutWhole)
{
    Bytes stream = {0x90, 0x3C, 0x40};
    const Bytes frame = valid_frame();
    stream.insert(stream.end(), frame.begin(), frame.end());
    stream.push_back(0x3E);  // running status was replaced by F0: this starts a sysex
    const auto whole = parse_all(stream);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_EQ(whole[1], long_msg(frame));

    for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
        for (std::size_t cut2 : {cut1, (cut1 + stream.size()) / 2}) {
            auto pool = create_pool(8, 256);
            auto parser = create_parser(pool);
            std::vector<midi_msg_ptr> out;
            parser->parse(stream.data(), static_cast<int>(cut1), out);
            parser->parse(stream.data() + cut1, static_cast<int>(cut2 - cut1), out);
            parser->parse(stream.data() + cut2, static_cast<int>(stream.size() - cut2), out);
            std::vector<Parsed> got;
            for (const auto& m : out) got.push_back({Bytes(m->data(), m->data() + m->size()), m->kind()});
            ASSERT_EQ(got, whole) << "cut at " << cut1 << " and " << cut2;
        }
    }
}

TEST(MidiParser, SysexLongerThanAMessageComesOutInPieces)
{
    Bytes sysex(300, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    const auto got = parse_all(sysex, 256);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], long_msg(Bytes(sysex.begin(), sysex.begin() + 256)));
    EXPECT_EQ(got[1], long_msg(Bytes(sysex.begin() + 256, sysex.end())));
    EXPECT_EQ(got[1].bytes.size(), 44u);

    // Exactly one message long before its F7: the F7 alone is the last piece.
    Bytes exact(257, 0x22);
    exact.front() = 0xF0;
    exact.back() = 0xF7;
    const auto pieces = parse_all(exact, 256);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1], long_msg({0xF7}));
}

TEST(MidiParser, ExhaustedPoolLosesOnlyTheMessagesWithoutRoom)
{
    auto pool = create_pool(2, 16);
    auto parser = create_parser(pool);
    std::vector<midi_msg_ptr> out;
    const auto got = run(*parser, {0x90, 1, 2, 3, 4, 0xF8, 5, 6, 0xF0, 7, 0xF7}, out);
    EXPECT_EQ(got, (std::vector<Parsed>{short_msg({0x90, 1, 2}), short_msg({0x90, 3, 4})}));
    // Once messages are back, parsing goes on where the stream is.
    out.clear();
    EXPECT_EQ(run(*parser, {0x90, 7, 8}, out), (std::vector<Parsed>{short_msg({0x90, 7, 8})}));
}

// Dropping real-time bytes changes nothing else: any stream, real-time bytes
// scattered through it (inside notes and sysex too), gives exactly the
// messages that emitting them gives, less the real-time ones, and a pool too
// small for the real-time messages is never touched by them.
TEST(MidiParser, DroppedRealTimeBytesLeaveEveryOtherMessageAsItWas)
{
    const auto is_realtime = [](const Parsed& p) {
        return p.kind == midi_kind_short && p.bytes.size() == 1 && p.bytes[0] >= 0xF8;
    };
    std::mt19937 rng(2024);
    const std::uint8_t realtime[] = {0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
    for (int round = 0; round < 300; ++round) {
        Bytes stream(rng() % 60);
        for (auto& b : stream) {
            const auto r = rng() % 4;
            b = static_cast<std::uint8_t>(r == 0 ? realtime[rng() % 8] : r == 1 ? 0x80 | rng() : rng() & 0x7F);
        }
        std::vector<Parsed> expected = parse_all(stream);
        std::erase_if(expected, is_realtime);

        // Room for every other message, but not for the real-time ones.
        auto pool = create_pool(std::max<int>(static_cast<int>(expected.size()), 1), 256);
        auto parser = create_parser(pool, realtime_bytes::drop);
        std::vector<midi_msg_ptr> out;
        EXPECT_EQ(run(*parser, stream, out), expected) << describe(stream);
    }
    // A frame with every real-time byte inside it comes out whole and alone.
    const Bytes frame = valid_frame();
    Bytes noisy = frame;
    for (std::size_t i = 0; i < 8; ++i) noisy.insert(noisy.begin() + 1 + 13 * static_cast<std::ptrdiff_t>(i), realtime[i]);
    auto pool = create_pool(1, 256);
    auto parser = create_parser(pool, realtime_bytes::drop);
    std::vector<midi_msg_ptr> out;
    EXPECT_EQ(run(*parser, noisy, out), (std::vector<Parsed>{long_msg(frame)}));
}

TEST(MidiParser, RandomStreamsGiveWellFormedMessages)
{
    std::mt19937 rng(12345);
    auto pool = create_pool(64, 16);  // small messages: long data comes out in pieces
    auto parser = create_parser(pool);
    std::vector<midi_msg_ptr> out;
    out.reserve(64);
    for (int round = 0; round < 4000; ++round) {
        Bytes chunk(rng() % 40);
        for (auto& b : chunk) b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0x80 | rng() : rng() & 0x7F);
        parser->parse(chunk.data(), static_cast<int>(chunk.size()), out);
        for (const auto& m : out) {
            ASSERT_GE(m->size(), 1);
            ASSERT_LE(m->size(), 16);
            if (m->kind() == midi_kind_short) {
                ASSERT_GE(m->data()[0], 0x80) << describe(chunk);
                ASSERT_LE(m->size(), 3);
                for (int i = 1; i < m->size(); ++i) ASSERT_LT(m->data()[i], 0x80) << describe(chunk);
            } else {
                for (int i = 1; i + 1 < m->size(); ++i) ASSERT_LT(m->data()[i], 0x80) << describe(chunk);
            }
        }
        out.clear();
    }
    EXPECT_EQ(pool->in_use(), 0);
}

}  // namespace
