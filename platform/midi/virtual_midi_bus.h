// An in-process MIDI transport for tests and for running without hardware.
// Devices join the bus under a name; the host then sees an input and an
// output endpoint of that name. Bytes the host sends reach the device's
// receiver; bytes the device emits reach every started host input on it.
// Delivery runs on the sender's thread (synchronous) or on the bus's own
// thread (threaded); on demand messages are split into pieces, get a
// real-time byte injected, are dropped, or opening and sending are refused.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_transport.h"

namespace orvelan::platform::midi {

struct virtual_delivery_options {
    std::size_t split_size = 0;         // deliver in pieces of at most this many bytes; 0 whole
    std::uint8_t inject_realtime = 0;   // this real-time byte goes after the first byte of each message; 0 none
    bool refuse_open = false;           // opening either endpoint fails
    bool refuse_start = false;          // starting an input fails
    send_status host_send_result = send_status::sent;  // anything else: the host's sends fail so
};

enum class virtual_delivery { synchronous, threaded };

class virtual_midi_bus;
struct virtual_input_link;

class virtual_midi_endpoint : public std::enable_shared_from_this<virtual_midi_endpoint> {
public:
    const std::string& name() const { return name_; }
    // Sends bytes to every started host input on this endpoint.
    void transmit(const std::uint8_t* bytes, std::size_t n);
    void transmit(const std::vector<std::uint8_t>& bytes) { transmit(bytes.data(), bytes.size()); }
    void set_options(const virtual_delivery_options& options);
    virtual_delivery_options options() const;
    // The next n messages, in either direction, are lost in transit.
    void drop_next(int n);
    int dropped() const;

private:
    friend class virtual_midi_bus;
    friend class virtual_input_connection;
    friend class virtual_output_connection;
    virtual_midi_endpoint(virtual_midi_bus& bus, std::string name, midi_byte_receiver* to_device)
        : bus_(bus), name_(std::move(name)), to_device_(to_device) {}

    virtual_midi_bus& bus_;
    const std::string name_;
    // Guarded by the bus's mutex.
    virtual_delivery_options options_;
    int drop_next_ = 0;
    int dropped_ = 0;
    std::vector<std::shared_ptr<virtual_input_link>> inputs_;
    // Held while the device's receiver runs; cleared when the device leaves.
    std::mutex device_mutex_;
    midi_byte_receiver* to_device_;
};

// The bus outlives every connection opened on it.
class virtual_midi_bus : public midi_transport {
public:
    explicit virtual_midi_bus(virtual_delivery mode = virtual_delivery::synchronous);
    ~virtual_midi_bus() override;
    virtual_midi_bus(const virtual_midi_bus&) = delete;
    virtual_midi_bus& operator=(const virtual_midi_bus&) = delete;

    // to_device (may be null) receives what the host sends to this device
    // until the device is removed.
    std::shared_ptr<virtual_midi_endpoint> add_device(std::string name, midi_byte_receiver* to_device);
    // After this returns the device's receiver is no longer called.
    void remove_device(const std::shared_ptr<virtual_midi_endpoint>& device);
    // Threaded delivery: waits until everything sent so far has been delivered.
    void flush();

    std::vector<std::string> input_names() override;
    std::vector<std::string> output_names() override;
    std::unique_ptr<midi_input_connection> open_input(std::size_t index, midi_byte_receiver& receiver) override;
    std::unique_ptr<midi_output_connection> open_output(std::size_t index) override;

private:
    friend class virtual_midi_endpoint;
    friend class virtual_input_connection;
    friend class virtual_output_connection;

    enum class direction { to_device, to_host };
    struct transfer {
        std::shared_ptr<virtual_midi_endpoint> endpoint;
        direction dir;
        std::vector<std::uint8_t> bytes;
        send_done_fn done;
        void* context;
    };

    std::shared_ptr<virtual_midi_endpoint> endpoint_at(std::size_t index);
    // Applies the endpoint's drop counter, then delivers now or queues.
    void post(transfer t);
    void deliver(const transfer& t);
    void delivery_loop();

    const virtual_delivery mode_;
    std::mutex mutex_;  // guards the device list, every endpoint's options and inputs, and the queue
    std::vector<std::shared_ptr<virtual_midi_endpoint>> devices_;
    std::condition_variable queue_changed_;
    std::deque<transfer> queue_;
    bool delivering_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace orvelan::platform::midi
