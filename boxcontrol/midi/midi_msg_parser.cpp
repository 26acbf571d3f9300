#include "midi/midi_msg_parser.h"

namespace orvelan::midi {

namespace {

bool is_status(std::uint8_t b) { return b >= 0x80; }

// Channel voice messages with two data bytes, and song position.
bool takes_two_data_bytes(std::uint8_t status)
{
    const int high = status & 0xF0;
    return high == 0x80 || high == 0x90 || high == 0xA0 || high == 0xB0 || high == 0xE0 || status == 0xF2;
}

// Program change, channel pressure, quarter frame and song select.
bool takes_one_data_byte(std::uint8_t status)
{
    const int high = status & 0xF0;
    return high == 0xC0 || high == 0xD0 || status == 0xF1 || status == 0xF3;
}

}  // namespace

midi_msg_parser_t::midi_msg_parser_t(midi_msg_pool_ptr pool, realtime_bytes realtime)
    : pool_(std::move(pool)), realtime_(realtime), capacity_(pool_->message_size()),
      buffer_(static_cast<std::size_t>(capacity_), 0)
{
}

midi_msg_parser_t::~midi_msg_parser_t() = default;

midi_msg_parser_ptr create_parser(midi_msg_pool_ptr pool, realtime_bytes realtime)
{
    return std::make_shared<midi_msg_parser_t>(std::move(pool), realtime);
}

int midi_msg_parser_t::parse(const std::uint8_t* bytes, int n, std::vector<midi_msg_ptr>& out)
{
    for (int i = 0; i < n; ++i) process(bytes[i], out);
    return 0;
}

void midi_msg_parser_t::process(std::uint8_t b, std::vector<midi_msg_ptr>& out)
{
    // Real-time bytes may appear anywhere and leave the message being
    // collected untouched.
    if (b >= 0xF8) {
        if (b != 0xFD && realtime_ == realtime_bytes::deliver) emit_realtime(b, out);
        return;
    }
    switch (state_) {
    case idle:
        if (is_status(b))
            on_status_in_idle(b, out);
        else
            on_data_in_idle(b, out);
        return;
    case two_data_bytes_to_go:
        if (is_status(b)) {
            state_ = idle;  // the unfinished message is dropped
            on_status_in_idle(b, out);
            return;
        }
        buffer_[count_++] = b;
        state_ = one_data_byte_to_go;
        return;
    case one_data_byte_to_go:
        if (is_status(b)) {
            state_ = idle;
            on_status_in_idle(b, out);
            return;
        }
        buffer_[count_++] = b;
        emit_short(out);
        state_ = idle;
        return;
    case in_sysex:
        on_sysex_byte(b, out);
        return;
    }
}

void midi_msg_parser_t::begin(std::uint8_t status, state_t next)
{
    buffer_[0] = status;
    count_ = 1;
    state_ = next;
}

void midi_msg_parser_t::on_status_in_idle(std::uint8_t b, std::vector<midi_msg_ptr>& out)
{
    if (b == 0xF7) return;  // an end of system exclusive with nothing open
    if (b == 0xF0) {
        begin(b, in_sysex);
    } else if (takes_two_data_bytes(b)) {
        begin(b, two_data_bytes_to_go);
    } else if (takes_one_data_byte(b)) {
        begin(b, one_data_byte_to_go);
    } else {
        // F4 and F5 are undefined; F6 is a complete tune request.
        count_ = 0;
        state_ = idle;
        if (b == 0xF6) {
            midi_msg_ptr m;
            if (pool_->allocate(m) == midi_ok) {
                m->set_tune_request(0, 0);
                out.push_back(std::move(m));
            }
        }
    }
    running_status_ = b;
}

void midi_msg_parser_t::on_data_in_idle(std::uint8_t b, std::vector<midi_msg_ptr>& out)
{
    const std::uint8_t r = running_status_;
    if (r == 0xF0)
        begin(r, in_sysex);  // a new system-exclusive message begins
    else if (takes_two_data_bytes(r))
        begin(r, two_data_bytes_to_go);
    else if (takes_one_data_byte(r))
        begin(r, one_data_byte_to_go);
    else
        return;  // F4, F5, F6: nothing to continue
    process(b, out);
}

void midi_msg_parser_t::on_sysex_byte(std::uint8_t b, std::vector<midi_msg_ptr>& out)
{
    if (!is_status(b)) {
        buffer_[count_++] = b;
        if (count_ == capacity_) {
            // Longer than a message: this piece goes out as it stands.
            emit_sysex(out);
            count_ = 0;
        }
        return;
    }
    // Any status byte ends the message; one other than F7 is replaced by the
    // F7 and lost.
    buffer_[count_++] = 0xF7;
    emit_sysex(out);
    count_ = 0;
    state_ = idle;
}

void midi_msg_parser_t::emit_sysex(std::vector<midi_msg_ptr>& out)
{
    midi_msg_ptr m;
    if (pool_->allocate(m) != midi_ok) return;
    // A piece of a longer message lacks its F0 or its F7: it goes out as
    // plain long bytes.
    if (m->set_sysex(buffer_.data(), count_, 0, 0) != midi_ok) m->set_long(buffer_.data(), count_, 0, 0);
    out.push_back(std::move(m));
}

void midi_msg_parser_t::emit_short(std::vector<midi_msg_ptr>& out)
{
    midi_msg_ptr m;
    if (pool_->allocate(m) != midi_ok) return;
    const std::uint8_t status = buffer_[0];
    const int channel = status & 0x0F;
    const int d1 = buffer_[1];
    const int d2 = count_ > 2 ? buffer_[2] : 0;
    switch (status & 0xF0) {
    case 0x80: m->set_note_off(channel, d1, d2, 0, 0); break;
    case 0x90: m->set_note_on(channel, d1, d2, 0, 0); break;
    case 0xA0: m->set_poly_pressure(channel, d1, d2, 0, 0); break;
    case 0xB0: m->set_control_change(channel, d1, d2, 0, 0); break;
    case 0xC0: m->set_program_change(channel, d1, 0, 0); break;
    case 0xD0: m->set_channel_pressure(channel, d1, 0, 0); break;
    case 0xE0: m->set_pitch_bend(channel, d1, d2, 0, 0); break;
    default:
        if (status == 0xF1)
            m->set_quarter_frame(d1, 0, 0);
        else if (status == 0xF2)
            m->set_song_position(d1, d2, 0, 0);
        else
            m->set_song_select(d1, 0, 0);
        break;
    }
    out.push_back(std::move(m));
}

void midi_msg_parser_t::emit_realtime(std::uint8_t b, std::vector<midi_msg_ptr>& out)
{
    midi_msg_ptr m;
    if (pool_->allocate(m) != midi_ok) return;
    switch (b) {
    case 0xF8: m->set_timing_clock(0, 0); break;
    case 0xF9: m->set_undefined_f9(0, 0); break;
    case 0xFA: m->set_start(0, 0); break;
    case 0xFB: m->set_continue(0, 0); break;
    case 0xFC: m->set_stop(0, 0); break;
    case 0xFE: m->set_active_sensing(0, 0); break;
    default: m->set_system_reset(0, 0); break;
    }
    out.push_back(std::move(m));
}

}  // namespace orvelan::midi
