#include "protocol/zorb_frame.h"

#include <cstring>

namespace orvelan::boxcontrol {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t kBar = 0x7C;
constexpr std::uint8_t kSysexStart = 0xF0;
constexpr std::uint8_t kSysexEnd = 0xF7;
constexpr char kTag[] = "MSCP";
constexpr int kHeaderMinSize = 8;

// Field offsets.
constexpr int kTagAt = 1;
constexpr int kVersionAt = 6;
constexpr int kSourceAt = 9;
constexpr int kTargetAt = 12;
constexpr int kTypeAt = 15;
constexpr int kSeqAt = 18;
constexpr int kCmdAt = 27;
constexpr int kLengthAt = 36;
constexpr int kTrailerAt = 103;
constexpr int kEndAt = 107;

// Letters of types 1 to 6.
constexpr char kTypeLetters[7][3] = {"", "RQ", "RS", "CH", "CF", "ER", "AL"};

ZorbFrameType type_of_letters(const std::uint8_t* p)
{
    for (int t = zorb_request; t <= zorb_alert; ++t)
        if (p[0] == kTypeLetters[t][0] && p[1] == kTypeLetters[t][1]) return static_cast<ZorbFrameType>(t);
    return zorb_no_type;
}

std::uint8_t* put(std::uint8_t* p, const char* text, std::size_t n)
{
    std::memcpy(p, text, n);
    return p + n;
}

}  // namespace

std::uint8_t hex_digit_value(std::uint8_t c)
{
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0xFF;
}

bool hex_digits_valid(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (hex_digit_value(p[i]) == 0xFF) return false;
    return true;
}

std::uint8_t hex_to_byte(const std::uint8_t* p)
{
    return static_cast<std::uint8_t>((hex_digit_value(p[0]) << 4) | hex_digit_value(p[1]));
}

std::uint32_t hex_to_u32(const std::uint8_t* p)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 4) | hex_digit_value(p[i]);
    return v;
}

void byte_to_hex(std::uint8_t* dst, std::uint8_t b)
{
    dst[0] = static_cast<std::uint8_t>(kHexDigits[b >> 4]);
    dst[1] = static_cast<std::uint8_t>(kHexDigits[b & 0x0F]);
}

void u32_to_hex(std::uint8_t* dst, std::uint32_t v)
{
    for (int i = 7; i >= 0; --i, v >>= 4) dst[i] = static_cast<std::uint8_t>(kHexDigits[v & 0x0F]);
}

int zorb_frame_build(std::uint8_t* frame, std::uint8_t source, std::uint8_t target, ZorbFrameType type,
                     std::uint32_t seq, std::uint32_t cmd, const char* payload, std::uint8_t len)
{
    if (len > kZorbMaxPayload) return -1;
    std::memset(frame, 0, kZorbFrameSize);
    std::uint8_t* p = frame;
    *p++ = kSysexStart;
    p = put(p, kTag, 4);
    *p++ = kBar;
    p = put(p, "01", 2);
    *p++ = kBar;
    byte_to_hex(p, source);
    p += 2;
    *p++ = kBar;
    byte_to_hex(p, target);
    p += 2;
    *p++ = kBar;
    if (type == zorb_no_type || type > zorb_alert) return -3;
    p = put(p, kTypeLetters[type], 2);
    *p++ = kBar;
    u32_to_hex(p, seq);
    p += 8;
    *p++ = kBar;
    u32_to_hex(p, cmd);
    p += 8;
    *p++ = kBar;
    byte_to_hex(p, len);
    p += 2;
    *p++ = kBar;
    if (len != 0 && payload != nullptr) std::memcpy(p, payload, len);
    // Bytes 103 to 106 stay zero from the clearing above.
    frame[kEndAt] = kSysexEnd;
    return 0;
}

int zorb_frame_check_header(const std::uint8_t* data, std::size_t size)
{
    if (size < kHeaderMinSize) return -1;
    if (data[0] != kSysexStart) return -2;
    if (std::memcmp(data + kTagAt, kTag, 4) != 0) return -3;
    if (data[5] != kBar) return -4;
    if (!hex_digits_valid(data + kVersionAt, 2)) return -5;
    if (data[size - 1] != kSysexEnd) return -6;
    return 0;
}

int zorb_frame_check(const std::uint8_t* data, std::size_t size)
{
    if (size < static_cast<std::size_t>(kZorbFrameSize)) return -1;
    if (data[kSourceAt - 1] != kBar) return -2;
    if (!hex_digits_valid(data + kSourceAt, 2)) return -3;
    if (data[kTargetAt - 1] != kBar) return -4;
    if (!hex_digits_valid(data + kTargetAt, 2)) return -5;
    if (data[kTypeAt - 1] != kBar) return -6;
    if (type_of_letters(data + kTypeAt) == zorb_no_type) return -7;
    if (data[kSeqAt - 1] != kBar) return -8;
    if (!hex_digits_valid(data + kSeqAt, 8)) return -9;
    if (data[kCmdAt - 1] != kBar) return -10;
    if (!hex_digits_valid(data + kCmdAt, 8)) return -11;
    if (data[kLengthAt - 1] != kBar) return -12;
    if (!hex_digits_valid(data + kLengthAt, 2)) return -13;
    if (hex_to_byte(data + kLengthAt) > kZorbMaxPayload) return -14;
    if (data[kZorbPayloadOffset - 1] != kBar) return -15;
    if (data[kTrailerAt] != 0x00) return -16;
    if (data[kEndAt] != kSysexEnd) return -17;
    return 0;
}

ZorbFrameType zorb_frame_type(const std::uint8_t* frame) { return type_of_letters(frame + kTypeAt); }
std::uint32_t zorb_frame_seq(const std::uint8_t* frame) { return hex_to_u32(frame + kSeqAt); }
std::uint32_t zorb_frame_cmd(const std::uint8_t* frame) { return hex_to_u32(frame + kCmdAt); }
std::uint8_t zorb_frame_length(const std::uint8_t* frame) { return hex_to_byte(frame + kLengthAt); }

const std::uint8_t* zorb_frame_payload(const std::uint8_t* frame, std::uint8_t* dest)
{
    const std::uint8_t* payload = frame + kZorbPayloadOffset;
    if (dest == nullptr) return payload;
    std::memcpy(dest, payload, zorb_frame_length(frame));
    return dest;
}

int zorb_frame_payload_number(const std::uint8_t* frame, std::uint32_t* value)
{
    const std::uint8_t* p = frame + kZorbPayloadOffset;
    const int length = zorb_frame_length(frame);
    int i = 0;
    while (i < length && p[i] == ' ') ++i;
    std::uint32_t v = 0;
    int digits = 0;
    for (; i < length && hex_digit_value(p[i]) != 0xFF; ++i, ++digits) {
        if (v > 0x0FFFFFFFu) return -2;
        v = (v << 4) | hex_digit_value(p[i]);
    }
    if (digits == 0) return -1;
    *value = v;
    return 0;
}

}  // namespace orvelan::boxcontrol
