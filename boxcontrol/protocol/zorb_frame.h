// The interface box's frame: one 108-byte system-exclusive message whose body
// is a row of ASCII fields separated by vertical bars, tagged MSCP.
//
//   offset  0  F0            system-exclusive start
//           1  MSCP          tag
//           6  version       2 hex digits, written as "01"
//           9  source        2 hex digits
//          12  target        2 hex digits
//          15  type          two letters: RQ RS CH CF ER AL
//          18  sequence      8 hex digits
//          27  command       8 hex digits
//          36  length        2 hex digits, 0 to 64
//          39  payload       64 bytes, the first `length` used, the rest 00
//         103  00 00 00 00
//         107  F7            system-exclusive end
//   (a bar at offsets 5, 8, 11, 14, 17, 26, 35 and 38)
//
// Hex digits are upper case only. Stateless functions over caller-owned
// memory; none allocates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvelan::boxcontrol {

inline constexpr int kZorbFrameSize = 108;
inline constexpr int kZorbMaxPayload = 64;
inline constexpr int kZorbPayloadOffset = 39;

enum ZorbFrameType : std::uint8_t {
    zorb_no_type = 0,
    zorb_request = 1,       // RQ
    zorb_response = 2,      // RS
    zorb_change = 3,        // CH
    zorb_confirm = 4,       // CF
    zorb_error = 5,         // ER
    zorb_alert = 6,         // AL
};

// Builds a frame into the caller's 108 bytes: 0; -1 when len is above 64
// (frame untouched); -3 when type is 0 or above 6 (frame cleared and holding
// only its first 15 bytes, not a usable frame). A null payload with a
// non-zero len leaves the payload field zero.
int zorb_frame_build(std::uint8_t* frame, std::uint8_t source, std::uint8_t target, ZorbFrameType type,
                     std::uint32_t seq, std::uint32_t cmd, const char* payload, std::uint8_t len);

// Quick check of a received byte string: 0, or -1 shorter than 8 bytes, -2 no
// F0, -3 no MSCP tag, -4 no bar after the tag, -5 version not hex, -6 last
// byte not F7.
int zorb_frame_check_header(const std::uint8_t* data, std::size_t size);

// Full check of the fields (does not repeat the quick check): 0, or -1 to
// -17 for the first field that fails, in frame order (see zorb_frame.cpp).
int zorb_frame_check(const std::uint8_t* data, std::size_t size);

// Field readers, for a frame that passed both checks.
ZorbFrameType zorb_frame_type(const std::uint8_t* frame);  // zorb_no_type for unknown letters
std::uint32_t zorb_frame_seq(const std::uint8_t* frame);
std::uint32_t zorb_frame_cmd(const std::uint8_t* frame);
std::uint8_t zorb_frame_length(const std::uint8_t* frame);
// With dest null: the payload field inside the frame. Otherwise copies
// `length` bytes to dest (not terminated) and returns dest.
const std::uint8_t* zorb_frame_payload(const std::uint8_t* frame, std::uint8_t* dest);

// Reads an answer's payload as one hexadecimal number: leading spaces are
// skipped and digits are read up to the first non-digit, never beyond the
// length field. 0 with *value set; -1 when there is no digit, -2 when the
// number does not fit 32 bits (value untouched).
int zorb_frame_payload_number(const std::uint8_t* frame, std::uint32_t* value);

// Hex conversions (upper-case digits only). The multi-digit readers do not
// validate; use them on checked fields or after hex_digits_valid.
std::uint8_t hex_digit_value(std::uint8_t c);  // 0..15, or 0xFF for any other character
bool hex_digits_valid(const std::uint8_t* p, std::size_t n);
std::uint8_t hex_to_byte(const std::uint8_t* p);
std::uint32_t hex_to_u32(const std::uint8_t* p);
void byte_to_hex(std::uint8_t* dst, std::uint8_t b);
void u32_to_hex(std::uint8_t* dst, std::uint32_t v);

}  // namespace orvelan::boxcontrol
