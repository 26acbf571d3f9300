// The interface box's frame: build and check round trips, each check code
// from a frame broken in that field only, the readers, and a fuzz loop.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "protocol/zorb_frame.h"

namespace {

using namespace orvelan::boxcontrol;
using Frame = std::array<std::uint8_t, kZorbFrameSize>;

Frame build(ZorbFrameType type, std::uint32_t seq, std::uint32_t cmd, const std::string& payload)
{
    Frame f{};
    EXPECT_EQ(zorb_frame_build(f.data(), 0x00, 0x0A, type, seq, cmd, payload.data(),
                               static_cast<std::uint8_t>(payload.size())),
              0);
    return f;
}

int both_checks(const std::uint8_t* data, std::size_t size)
{
    const int quick = zorb_frame_check_header(data, size);
    return quick != 0 ? quick : zorb_frame_check(data, size);
}

// One byte of a good frame changed, and the code a check gives for it.
struct ByteBreak {
    const char* name;
    int offset;
    std::uint8_t value;
    int expected;
};

void expect_codes(int (*check)(const std::uint8_t*, std::size_t), const Frame& good,
                  const std::vector<ByteBreak>& cases)
{
    for (const ByteBreak& c : cases) {
        Frame f = good;
        f[c.offset] = c.value;
        EXPECT_EQ(check(f.data(), f.size()), c.expected) << c.name;
    }
}

TEST(ZorbFrame, BuildsTheFieldsInOrder)
{
    const Frame f = build(zorb_change, 1, 0x80000, "AB");
    EXPECT_EQ(f[0], 0xF0);
    EXPECT_EQ(std::string(f.begin() + 1, f.begin() + 6), "MSCP|");
    EXPECT_EQ(std::string(f.begin() + 6, f.begin() + 41), "01|00|0A|CH|00000001|00080000|02|AB");
    for (int i = 41; i < 107; ++i) EXPECT_EQ(f[i], 0x00) << i;
    EXPECT_EQ(f[107], 0xF7);
}

TEST(ZorbFrame, EveryTypeRoundTrips)
{
    const char* letters[] = {"", "RQ", "RS", "CH", "CF", "ER", "AL"};
    for (int t = 1; t <= 6; ++t) {
        const auto type = static_cast<ZorbFrameType>(t);
        const Frame f = build(type, 0xFEDCBA98u, 0x0004F706u + t, "000001FE");
        EXPECT_EQ(std::string(f.begin() + 15, f.begin() + 17), letters[t]);
        ASSERT_EQ(both_checks(f.data(), f.size()), 0) << letters[t];
        EXPECT_EQ(zorb_frame_type(f.data()), type);
        EXPECT_EQ(zorb_frame_seq(f.data()), 0xFEDCBA98u);
        EXPECT_EQ(zorb_frame_cmd(f.data()), 0x0004F706u + t);
        EXPECT_EQ(zorb_frame_length(f.data()), 8);
        std::uint8_t payload[64];
        std::memset(payload, '#', sizeof payload);
        EXPECT_EQ(zorb_frame_payload(f.data(), payload), payload);
        EXPECT_EQ(std::string(payload, payload + 9), "000001FE#") << "copies the length only";
        EXPECT_EQ(zorb_frame_payload(f.data(), nullptr), f.data() + kZorbPayloadOffset);
    }
}

TEST(ZorbFrame, PayloadLimits)
{
    const std::string full(64, 'C');
    const Frame f = build(zorb_change, 2, 0x90000, full);
    EXPECT_EQ(std::string(f.begin() + 39, f.begin() + 103), full);
    EXPECT_EQ(f[103], 0x00);
    EXPECT_EQ(both_checks(f.data(), f.size()), 0);

    Frame untouched;
    untouched.fill(0x55);
    const std::string too_long(65, 'C');
    EXPECT_EQ(zorb_frame_build(untouched.data(), 0, 10, zorb_change, 1, 1, too_long.data(), 65), -1);
    for (auto b : untouched) EXPECT_EQ(b, 0x55);

    // An empty payload: nothing copied.
    const Frame empty = build(zorb_request, 3, 0x10004, "");
    std::uint8_t dest[4] = {9, 9, 9, 9};
    zorb_frame_payload(empty.data(), dest);
    EXPECT_EQ(dest[0], 9);
    EXPECT_EQ(zorb_frame_length(empty.data()), 0);

    // A null payload with a length leaves the field zero.
    Frame nul{};
    ASSERT_EQ(zorb_frame_build(nul.data(), 0, 10, zorb_change, 1, 1, nullptr, 4), 0);
    EXPECT_EQ(zorb_frame_length(nul.data()), 4);
    EXPECT_EQ(nul[39], 0x00);
}

TEST(ZorbFrame, BuildRefusesNoType)
{
    for (int t : {0, 7, 255}) {
        Frame f;
        f.fill(0x55);
        EXPECT_EQ(zorb_frame_build(f.data(), 0, 10, static_cast<ZorbFrameType>(t), 1, 1, "AB", 2), -3);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 15), "\xF0MSCP|01|00|0A|");
        for (int i = 15; i < kZorbFrameSize; ++i) ASSERT_EQ(f[i], 0x00) << "type " << t << " byte " << i;
        EXPECT_NE(both_checks(f.data(), f.size()), 0);
    }
}

TEST(ZorbFrame, QuickCheckCodes)
{
    const Frame good = build(zorb_response, 1, 0x10004, "1");
    const std::vector<ByteBreak> cases = {
        {"no F0", 0, 0xF1, -2},         {"tag", 3, 'c', -3},          {"bar after tag", 5, '/', -4},
        {"version lower case", 6, 'a', -5}, {"version not hex", 7, 'G', -5}, {"no F7 at the end", 107, 0xF6, -6},
    };
    expect_codes(zorb_frame_check_header, good, cases);
    EXPECT_EQ(zorb_frame_check_header(good.data(), 7), -1);
    const std::uint8_t clock = 0xF8;
    EXPECT_EQ(zorb_frame_check_header(&clock, 1), -1);
    // Any version is accepted.
    Frame v = good;
    v[6] = 'F';
    v[7] = '9';
    EXPECT_EQ(both_checks(v.data(), v.size()), 0);
}

TEST(ZorbFrame, FullCheckCodesOneBrokenFieldEach)
{
    const Frame good = build(zorb_response, 0x12345678, 0x30001, "01");
    const std::vector<ByteBreak> cases = {
        {"bar before source", 8, '-', -2},   {"source", 10, 'g', -3},
        {"bar before target", 11, 0, -4},    {"target", 12, ' ', -5},
        {"bar before type", 14, '|' + 1, -6}, {"type letters", 15, 'X', -7},
        {"type lower case", 16, 's', -7},   {"bar before seq", 17, 0, -8},
        {"seq", 25, 'a', -9},               {"bar before cmd", 26, '!', -10},
        {"cmd lower case", 30, 'b', -11},   {"bar before len", 35, 0, -12},
        {"len", 37, 'z', -13},              {"bar before payload", 38, 0, -15},
        {"byte 103", 103, 0x01, -16},      {"byte 107", 107, 0xF6, -17},
    };
    ASSERT_EQ(zorb_frame_check(good.data(), good.size()), 0);
    expect_codes(zorb_frame_check, good, cases);
    Frame len = good;
    len[36] = '4';
    len[37] = '1';  // 65
    EXPECT_EQ(zorb_frame_check(len.data(), len.size()), -14);
    len[37] = '0';  // 64
    EXPECT_EQ(zorb_frame_check(len.data(), len.size()), 0);
    EXPECT_EQ(zorb_frame_check(good.data(), 107), -1);

    // Bytes 104 to 106 and the payload beyond the length are not examined.
    Frame loose = good;
    loose[104] = loose[106] = 0x7F;
    loose[60] = 'x';
    EXPECT_EQ(both_checks(loose.data(), loose.size()), 0);
}

TEST(ZorbFrame, LongerStringsCheckTheirLastByteAndByte107)
{
    const Frame good = build(zorb_response, 1, 1, "");
    std::vector<std::uint8_t> s(good.begin(), good.end());
    s.resize(120, 0x00);
    EXPECT_EQ(zorb_frame_check(s.data(), s.size()), 0) << "the full check looks at byte 107";
    EXPECT_EQ(zorb_frame_check_header(s.data(), s.size()), -6) << "the quick check at the last byte";
    s.back() = 0xF7;
    EXPECT_EQ(both_checks(s.data(), s.size()), 0);
}

TEST(ZorbFrame, PayloadNumberStopsAtTheLength)
{
    struct Case {
        std::string payload;
        int result;
        std::uint32_t value;
    };
    const std::vector<Case> cases = {
        {"1", 0, 1},       {"  0000001F", 0, 0x1F}, {"2G", 0, 2},   {"FFFFFFFF", 0, 0xFFFFFFFFu},
        {"", -1, 0},       {"   ", -1, 0},          {"G1", -1, 0},  {"a", -1, 0},
        {"100000000", -2, 0},
    };
    for (const Case& c : cases) {
        const Frame f = build(zorb_response, 1, 0x30001, c.payload);
        std::uint32_t value = 0xDEAD;
        EXPECT_EQ(zorb_frame_payload_number(f.data(), &value), c.result) << '"' << c.payload << '"';
        EXPECT_EQ(value, c.result == 0 ? c.value : 0xDEAD) << '"' << c.payload << '"';
    }
    // Digits beyond the stated length are not read.
    Frame f = build(zorb_response, 1, 0x30001, "1");
    f[40] = '2';
    std::uint32_t value = 0;
    ASSERT_EQ(zorb_frame_payload_number(f.data(), &value), 0);
    EXPECT_EQ(value, 1u);
}

TEST(ZorbFrame, HexConversions)
{
    std::uint8_t buf[8];
    u32_to_hex(buf, 0x0ABC1230u);
    EXPECT_EQ(std::string(buf, buf + 8), "0ABC1230");
    EXPECT_EQ(hex_to_u32(buf), 0x0ABC1230u);
    byte_to_hex(buf, 0xE5);
    EXPECT_EQ(std::string(buf, buf + 2), "E5");
    EXPECT_EQ(hex_to_byte(buf), 0xE5);
    for (int c = 0; c < 256; ++c) {
        const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        EXPECT_EQ(hex_digit_value(static_cast<std::uint8_t>(c)) != 0xFF, digit) << c;
    }
}

TEST(ZorbFrame, RandomBytesNeverPassAsAnotherFrame)
{
    std::mt19937 rng(777);
    const Frame good = build(zorb_confirm, 42, 0x90000, "EBEB");
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> data;
        if (round % 2 == 0) {
            // Random bytes of random length.
            data.resize(rng() % 130);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        } else {
            // A good frame with a few bytes changed.
            data.assign(good.begin(), good.end());
            for (int k = 1 + rng() % 3; k > 0; --k) data[rng() % data.size()] = static_cast<std::uint8_t>(rng());
        }
        if (both_checks(data.data(), data.size()) != 0) continue;
        // Whatever passes reads back fields that the builder would write again.
        ASSERT_GE(data.size(), 108u);
        const auto length = zorb_frame_length(data.data());
        ASSERT_LE(length, kZorbMaxPayload);
        ASSERT_NE(zorb_frame_type(data.data()), zorb_no_type);
        Frame rebuilt{};
        ASSERT_EQ(zorb_frame_build(rebuilt.data(), hex_to_byte(&data[9]), hex_to_byte(&data[12]),
                                   zorb_frame_type(data.data()), zorb_frame_seq(data.data()),
                                   zorb_frame_cmd(data.data()), reinterpret_cast<const char*>(&data[39]), length),
                  0);
        ASSERT_EQ(std::memcmp(rebuilt.data() + 8, data.data() + 8, 39 + length - 8), 0);
    }
}

}  // namespace
