// Cuts a stream of raw MIDI bytes into complete messages taken from a pool.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "midi/midi_msg.h"

namespace orvelan::midi {

// What the parser does with real-time bytes (F8 to FF, but FD).
enum class realtime_bytes {
    deliver,  // each comes out at once as a one-byte message
    drop,     // each is passed over and takes no pool message
};

// Keeps its state between calls, so a message may arrive split across any
// number of chunks. Channel and system common messages honour running
// status; real-time bytes come out at once, even inside another message, or
// are dropped, and either way leave the message around them whole; a
// system-exclusive message longer than a pool message comes out in pieces.
// A message for which the pool has no room is lost, nothing else. One
// thread at a time.
class midi_msg_parser_t {
public:
    explicit midi_msg_parser_t(midi_msg_pool_ptr pool, realtime_bytes realtime = realtime_bytes::deliver);
    midi_msg_parser_t(const midi_msg_parser_t&) = delete;
    midi_msg_parser_t& operator=(const midi_msg_parser_t&) = delete;
    virtual ~midi_msg_parser_t();

    // Appends every message completed by the n bytes to out; always 0.
    int parse(const std::uint8_t* bytes, int n, std::vector<midi_msg_ptr>& out);

private:
    enum state_t { idle = 0, one_data_byte_to_go = 1, two_data_bytes_to_go = 2, in_sysex = 3 };

    void process(std::uint8_t b, std::vector<midi_msg_ptr>& out);
    void on_status_in_idle(std::uint8_t b, std::vector<midi_msg_ptr>& out);
    void on_data_in_idle(std::uint8_t b, std::vector<midi_msg_ptr>& out);
    void on_sysex_byte(std::uint8_t b, std::vector<midi_msg_ptr>& out);
    void begin(std::uint8_t status, state_t next);
    void emit_short(std::vector<midi_msg_ptr>& out);
    void emit_realtime(std::uint8_t b, std::vector<midi_msg_ptr>& out);
    void emit_sysex(std::vector<midi_msg_ptr>& out);

    midi_msg_pool_ptr pool_;
    realtime_bytes realtime_;
    state_t state_ = idle;
    std::uint8_t running_status_ = 0xF6;  // data bytes before any status byte are ignored
    int count_ = 0;
    int capacity_;
    std::vector<std::uint8_t> buffer_;
};

using midi_msg_parser_ptr = std::shared_ptr<midi_msg_parser_t>;

midi_msg_parser_ptr create_parser(midi_msg_pool_ptr pool, realtime_bytes realtime = realtime_bytes::deliver);

}  // namespace orvelan::midi
