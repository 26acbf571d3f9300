// MIDI messages taken from a fixed pool of pre-allocated messages.
//
// Every message, short or long, travels in a midi_msg_t held through a
// std::shared_ptr; when the last holder lets go, the message goes back to
// its pool by itself, whatever thread that happens on. Once the pool exists
// nothing is allocated per message: the shared pointer's control block lives
// in storage that each message carries (see midi_msg_pool_t::allocate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

namespace orvelan::midi {

// Results of the message layer (0 success).
enum midi_result : int {
    midi_ok = 0,
    midi_err_long_too_big = -9,     // set_sysex / set_long: more bytes than the message holds
    midi_err_not_sysex = -10,       // set_sysex: does not start with F0 and end with F7
    midi_err_bytes_too_big = -11,   // set_bytes: more bytes than the message holds
    midi_err_pool_empty = -12,      // allocate: every message is held
    midi_err_bad_short = -16,       // set_short: no such short message, or a data byte of 0x80 or more
};

enum midi_msg_kind : std::uint8_t {
    midi_kind_short = 0,
    midi_kind_long = 1,  // system exclusive or raw bytes
};

class midi_msg_pool_t;

class midi_msg_t {
public:
    midi_msg_t(const midi_msg_t&) = delete;
    midi_msg_t& operator=(const midi_msg_t&) = delete;

    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    int size() const { return size_; }
    int capacity() const { return capacity_; }
    midi_msg_kind kind() const { return kind_; }
    std::uint32_t user1() const { return user1_; }
    std::uint32_t user2() const { return user2_; }

    // Size 0 and kind short; the bytes stay.
    int clear();
    // The owning pool, or null once the pool has gone.
    std::shared_ptr<midi_msg_pool_t> pool() const { return pool_.lock(); }

    // Channel messages: the channel goes into the status byte's low nibble,
    // data bytes are masked to 7 bits. All return 0.
    int set_note_off(int channel, int key, int velocity, std::uint32_t user1, std::uint32_t user2);
    int set_note_on(int channel, int key, int velocity, std::uint32_t user1, std::uint32_t user2);
    int set_poly_pressure(int channel, int key, int pressure, std::uint32_t user1, std::uint32_t user2);
    int set_control_change(int channel, int controller, int value, std::uint32_t user1, std::uint32_t user2);
    int set_program_change(int channel, int program, std::uint32_t user1, std::uint32_t user2);
    int set_channel_pressure(int channel, int pressure, std::uint32_t user1, std::uint32_t user2);
    int set_pitch_bend(int channel, int low7, int high7, std::uint32_t user1, std::uint32_t user2);
    // System common and real-time messages. All return 0.
    int set_quarter_frame(int value, std::uint32_t user1, std::uint32_t user2);
    int set_song_position(int low7, int high7, std::uint32_t user1, std::uint32_t user2);
    int set_song_select(int song, std::uint32_t user1, std::uint32_t user2);
    int set_tune_request(std::uint32_t user1, std::uint32_t user2);
    int set_timing_clock(std::uint32_t user1, std::uint32_t user2);
    int set_undefined_f9(std::uint32_t user1, std::uint32_t user2);
    int set_start(std::uint32_t user1, std::uint32_t user2);
    int set_continue(std::uint32_t user1, std::uint32_t user2);
    int set_stop(std::uint32_t user1, std::uint32_t user2);
    int set_active_sensing(std::uint32_t user1, std::uint32_t user2);
    int set_system_reset(std::uint32_t user1, std::uint32_t user2);

    // A complete system-exclusive message (F0 ... F7) as a long message.
    int set_sysex(const std::uint8_t* bytes, int n, std::uint32_t user1, std::uint32_t user2);
    // Any bytes as a long message.
    int set_long(const std::uint8_t* bytes, int n, std::uint32_t user1, std::uint32_t user2);
    // Any bytes with the given kind.
    int set_bytes(const std::uint8_t* bytes, int n, midi_msg_kind kind, std::uint32_t user1, std::uint32_t user2);
    // A short message of the length MIDI 1.0 gives the status; data bytes are
    // checked, not masked, and a refused message keeps its size and bytes.
    int set_short(int status, int data1, int data2, std::uint32_t user1, std::uint32_t user2);

    // The output port holds a message here while a transport still reads its
    // bytes, so that it cannot return to the pool under the transport.
    void set_driver_ref(std::shared_ptr<midi_msg_t> self) { driver_hold_ = std::move(self); }
    // Drops that hold (which may return the message to its pool).
    void release_driver_ref();

private:
    friend class midi_msg_pool_t;
    friend std::shared_ptr<midi_msg_pool_t> create_pool(int count, int size);
    template <class T> friend class message_slot_allocator;
    // Room for one shared-pointer control block, so that handing a message
    // out allocates nothing.
    static constexpr std::size_t kControlBlockBytes = 96;

    midi_msg_t(int capacity, std::weak_ptr<midi_msg_pool_t> pool);
    int set_fixed(midi_msg_kind kind, std::initializer_list<int> bytes, std::uint32_t user1, std::uint32_t user2);
    int copy_in(const std::uint8_t* bytes, int n, midi_msg_kind kind, std::uint32_t user1, std::uint32_t user2);

    midi_msg_kind kind_ = midi_kind_short;
    int size_ = 0;
    int capacity_;
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t user1_ = 0;
    std::uint32_t user2_ = 0;
    std::weak_ptr<midi_msg_pool_t> pool_;
    std::shared_ptr<midi_msg_t> driver_hold_;
    alignas(std::max_align_t) std::byte control_block_[kControlBlockBytes];
};

using midi_msg_ptr = std::shared_ptr<midi_msg_t>;

// A fixed set of messages handed out last in, first out. allocate and the
// return of a message may run on any thread.
class midi_msg_pool_t : public std::enable_shared_from_this<midi_msg_pool_t> {
public:
    midi_msg_pool_t(const midi_msg_pool_t&) = delete;
    midi_msg_pool_t& operator=(const midi_msg_pool_t&) = delete;
    virtual ~midi_msg_pool_t();

    // Takes the most recently returned message: 0, or -12 with out untouched
    // when every message is held.
    int allocate(midi_msg_ptr& out);

    int message_size() const { return message_size_; }
    int message_count() const { return static_cast<int>(messages_.size()); }
    int in_use() const;
    int free_count() const;

private:
    friend std::shared_ptr<midi_msg_pool_t> create_pool(int count, int size);
    template <class T> friend class message_slot_allocator;

    midi_msg_pool_t(int message_size) : message_size_(message_size) {}
    // The message is empty again and back on the free stack.
    void release(midi_msg_t* message);

    int message_size_;
    std::vector<std::unique_ptr<midi_msg_t>> messages_;
    mutable std::mutex mutex_;  // guards in_use_ and free_
    int in_use_ = 0;
    std::vector<midi_msg_t*> free_;
};

using midi_msg_pool_ptr = std::shared_ptr<midi_msg_pool_t>;

// count messages of size bytes each (a size below 8 becomes 8), all free.
midi_msg_pool_ptr create_pool(int count, int size);

}  // namespace orvelan::midi
