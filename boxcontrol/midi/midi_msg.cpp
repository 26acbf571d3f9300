#include "midi/midi_msg.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvelan::midi {

namespace {

constexpr int kMinMessageSize = 8;

std::uint8_t status_with_channel(int status, int channel) { return static_cast<std::uint8_t>(status | (channel & 0x0F)); }

}  // namespace

// Places a shared pointer's control block in the storage of the message it
// controls, and puts the message back on its pool's free stack when the
// block is freed. Freeing the block is the very last step of releasing a
// shared pointer, so the message and its storage are only handed out again
// once nothing touches them any more. The allocator also keeps the pool
// alive while a message is out.
template <class T>
class message_slot_allocator {
public:
    using value_type = T;

    message_slot_allocator(midi_msg_t* message, std::shared_ptr<midi_msg_pool_t> pool)
        : message_(message), pool_(std::move(pool)) {}
    template <class U>
    message_slot_allocator(const message_slot_allocator<U>& other) : message_(other.message_), pool_(other.pool_) {}

    T* allocate(std::size_t n)
    {
        static_assert(sizeof(T) <= midi_msg_t::kControlBlockBytes, "control block does not fit the message");
        static_assert(alignof(T) <= alignof(std::max_align_t));
        if (n != 1) throw std::bad_alloc();
        return reinterpret_cast<T*>(message_->control_block_);
    }
    void deallocate(T*, std::size_t) { pool_->release(message_); }

    template <class U>
    bool operator==(const message_slot_allocator<U>& other) const { return message_ == other.message_; }

private:
    template <class U> friend class message_slot_allocator;
    midi_msg_t* message_;
    std::shared_ptr<midi_msg_pool_t> pool_;
};

// ---- midi_msg_t -----------------------------------------------------------

midi_msg_t::midi_msg_t(int capacity, std::weak_ptr<midi_msg_pool_t> pool)
    : capacity_(capacity), data_(new std::uint8_t[capacity]()), pool_(std::move(pool))
{
}

int midi_msg_t::clear()
{
    size_ = 0;
    kind_ = midi_kind_short;
    return midi_ok;
}

void midi_msg_t::release_driver_ref()
{
    // Moved out first: dropping the last reference returns this message to
    // its pool, after which no member may be touched.
    std::shared_ptr<midi_msg_t> hold = std::move(driver_hold_);
}

int midi_msg_t::set_fixed(midi_msg_kind kind, std::initializer_list<int> bytes, std::uint32_t user1,
                          std::uint32_t user2)
{
    int i = 0;
    for (int b : bytes) data_[i++] = static_cast<std::uint8_t>(b);
    size_ = i;
    kind_ = kind;
    user1_ = user1;
    user2_ = user2;
    return midi_ok;
}

int midi_msg_t::set_note_off(int channel, int key, int velocity, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0x80, channel), key & 0x7F, velocity & 0x7F}, u1, u2);
}
int midi_msg_t::set_note_on(int channel, int key, int velocity, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0x90, channel), key & 0x7F, velocity & 0x7F}, u1, u2);
}
int midi_msg_t::set_poly_pressure(int channel, int key, int pressure, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0xA0, channel), key & 0x7F, pressure & 0x7F}, u1, u2);
}
int midi_msg_t::set_control_change(int channel, int controller, int value, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0xB0, channel), controller & 0x7F, value & 0x7F}, u1, u2);
}
int midi_msg_t::set_program_change(int channel, int program, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0xC0, channel), program & 0x7F}, u1, u2);
}
int midi_msg_t::set_channel_pressure(int channel, int pressure, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0xD0, channel), pressure & 0x7F}, u1, u2);
}
int midi_msg_t::set_pitch_bend(int channel, int low7, int high7, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {status_with_channel(0xE0, channel), low7 & 0x7F, high7 & 0x7F}, u1, u2);
}
int midi_msg_t::set_quarter_frame(int value, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {0xF1, value & 0x7F}, u1, u2);
}
int midi_msg_t::set_song_position(int low7, int high7, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {0xF2, low7 & 0x7F, high7 & 0x7F}, u1, u2);
}
int midi_msg_t::set_song_select(int song, std::uint32_t u1, std::uint32_t u2)
{
    return set_fixed(midi_kind_short, {0xF3, song & 0x7F}, u1, u2);
}
int midi_msg_t::set_tune_request(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xF6}, u1, u2); }
int midi_msg_t::set_timing_clock(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xF8}, u1, u2); }
int midi_msg_t::set_undefined_f9(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xF9}, u1, u2); }
int midi_msg_t::set_start(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xFA}, u1, u2); }
int midi_msg_t::set_continue(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xFB}, u1, u2); }
int midi_msg_t::set_stop(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xFC}, u1, u2); }
int midi_msg_t::set_active_sensing(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xFE}, u1, u2); }
int midi_msg_t::set_system_reset(std::uint32_t u1, std::uint32_t u2) { return set_fixed(midi_kind_short, {0xFF}, u1, u2); }

int midi_msg_t::copy_in(const std::uint8_t* bytes, int n, midi_msg_kind kind, std::uint32_t u1, std::uint32_t u2)
{
    if (n > 0) std::memcpy(data_.get(), bytes, static_cast<std::size_t>(n));
    size_ = n;
    kind_ = kind;
    user1_ = u1;
    user2_ = u2;
    return midi_ok;
}

// A negative count is refused like an oversized one: there is nothing that
// could be copied.
int midi_msg_t::set_sysex(const std::uint8_t* bytes, int n, std::uint32_t u1, std::uint32_t u2)
{
    if (n < 0 || n > capacity_) return midi_err_long_too_big;
    if (n < 1 || bytes[0] != 0xF0 || bytes[n - 1] != 0xF7) return midi_err_not_sysex;
    return copy_in(bytes, n, midi_kind_long, u1, u2);
}

int midi_msg_t::set_long(const std::uint8_t* bytes, int n, std::uint32_t u1, std::uint32_t u2)
{
    if (n < 0 || n > capacity_) return midi_err_long_too_big;
    return copy_in(bytes, n, midi_kind_long, u1, u2);
}

int midi_msg_t::set_bytes(const std::uint8_t* bytes, int n, midi_msg_kind kind, std::uint32_t u1, std::uint32_t u2)
{
    if (n < 0 || n > capacity_) return midi_err_bytes_too_big;
    return copy_in(bytes, n, kind, u1, u2);
}

int midi_msg_t::set_short(int status, int data1, int data2, std::uint32_t u1, std::uint32_t u2)
{
    if (status < 0x80 || status > 0xFF) return midi_err_bad_short;
    const int high = status & 0xF0;
    int length;
    if (high == 0xC0 || high == 0xD0 || status == 0xF1 || status == 0xF3) {
        length = 2;
    } else if (high < 0xF0 || status == 0xF2) {
        length = 3;
    } else if (status == 0xF6 || (status >= 0xF8 && status != 0xFD)) {
        length = 1;
    } else {
        return midi_err_bad_short;  // F0, F4, F5, F7, FD
    }
    if (length >= 2 && (data1 < 0 || data1 >= 0x80)) return midi_err_bad_short;
    if (length == 3 && (data2 < 0 || data2 >= 0x80)) return midi_err_bad_short;
    switch (length) {
    case 1: return set_fixed(midi_kind_short, {status}, u1, u2);
    case 2: return set_fixed(midi_kind_short, {status, data1}, u1, u2);
    default: return set_fixed(midi_kind_short, {status, data1, data2}, u1, u2);
    }
}

// ---- midi_msg_pool_t ------------------------------------------------------

midi_msg_pool_t::~midi_msg_pool_t() = default;

int midi_msg_pool_t::allocate(midi_msg_ptr& out)
{
    midi_msg_t* message;
    {
        std::lock_guard lock(mutex_);
        if (free_.empty()) return midi_err_pool_empty;
        message = free_.back();
        free_.pop_back();
        ++in_use_;
    }
    // The deleter does nothing: the message is cleared and returned when its
    // control block is freed (message_slot_allocator::deallocate).
    out = midi_msg_ptr(message, [](midi_msg_t*) {},
                       message_slot_allocator<midi_msg_t>(message, shared_from_this()));
    return midi_ok;
}

void midi_msg_pool_t::release(midi_msg_t* message)
{
    message->clear();
    std::lock_guard lock(mutex_);
    free_.push_back(message);
    --in_use_;
}

int midi_msg_pool_t::in_use() const
{
    std::lock_guard lock(mutex_);
    return in_use_;
}

int midi_msg_pool_t::free_count() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(free_.size());
}

midi_msg_pool_ptr create_pool(int count, int size)
{
    const int message_size = std::max(size, kMinMessageSize);
    midi_msg_pool_ptr pool(new midi_msg_pool_t(message_size));
    count = std::max(count, 0);
    pool->messages_.reserve(static_cast<std::size_t>(count));
    pool->free_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        pool->messages_.emplace_back(new midi_msg_t(message_size, pool));
        pool->free_.push_back(pool->messages_.back().get());
    }
    return pool;
}

}  // namespace orvelan::midi
