// MIDI ports: what the box control may do with an input or output port, with
// the ports' status codes, on top of any byte transport of platform/midi.
// An input port cuts what arrives into pool messages with its own parser
// (on the transport's delivery thread) and keeps them in a locked list until
// read. Real-time bytes (clocks, active sensing and the like) are dropped
// there: they mean nothing to the box, which speaks in system-exclusive
// frames, and an interface sending clocks would otherwise fill the pool
// between two reads and crowd out the box's answers; an output port sends a message's bytes and keeps the message out of
// its pool until the transport has finished with them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_transport.h"
#include "midi/midi_msg.h"
#include "midi/midi_msg_parser.h"

namespace orvelan::midi {

using platform::midi::midi_transport;

enum midi_port_result : int {
    port_ok = 0,
    port_already_open = -1,
    port_not_open = -2,
    port_open_refused = -3,
    port_already_started = -4,
    port_not_started = -5,
    port_start_refused = -6,
    port_send_refused = -7,
    port_not_ready = -8,
};

class midi_input_dev_t {
public:
    midi_input_dev_t() = default;
    midi_input_dev_t(const midi_input_dev_t&) = delete;
    midi_input_dev_t& operator=(const midi_input_dev_t&) = delete;
    virtual ~midi_input_dev_t() = default;

    virtual const std::string& name() const = 0;
    virtual int open(midi_msg_pool_ptr pool) = 0;
    virtual int close() = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    // Appends every message received so far, in arrival order, and forgets them.
    virtual int read(std::vector<midi_msg_ptr>& out) = 0;
};

class midi_output_dev_t {
public:
    midi_output_dev_t() = default;
    midi_output_dev_t(const midi_output_dev_t&) = delete;
    midi_output_dev_t& operator=(const midi_output_dev_t&) = delete;
    virtual ~midi_output_dev_t() = default;

    virtual const std::string& name() const = 0;
    virtual int open() = 0;
    virtual int close() = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    virtual int send(const midi_msg_ptr& message) = 0;
};

using midi_input_dev_ptr = std::shared_ptr<midi_input_dev_t>;
using midi_output_dev_ptr = std::shared_ptr<midi_output_dev_t>;

// One port per endpoint the transport lists, named as listed; always 0.
int enumerate_input_devices(const std::shared_ptr<midi_transport>& transport, std::vector<midi_input_dev_ptr>& out);
int enumerate_output_devices(const std::shared_ptr<midi_transport>& transport, std::vector<midi_output_dev_ptr>& out);
// A port for the endpoint at index, with an empty name; always 0.
int create_input_device(const std::shared_ptr<midi_transport>& transport, std::size_t index, midi_input_dev_ptr& out);
int create_output_device(const std::shared_ptr<midi_transport>& transport, std::size_t index, midi_output_dev_ptr& out);

// The ports over a transport's endpoints.
class transport_midi_input_dev_t : public midi_input_dev_t, private platform::midi::midi_byte_receiver {
public:
    transport_midi_input_dev_t(std::shared_ptr<midi_transport> transport, std::size_t index, std::string name = {});
    ~transport_midi_input_dev_t() override;

    const std::string& name() const override { return name_; }
    int open(midi_msg_pool_ptr pool) override;
    int close() override;
    int start() override;
    int stop() override;
    int read(std::vector<midi_msg_ptr>& out) override;

private:
    // On the transport's delivery thread.
    void receive(const std::uint8_t* bytes, std::size_t n) override;

    std::shared_ptr<midi_transport> transport_;
    std::size_t index_;
    std::string name_;
    bool started_ = false;
    std::unique_ptr<platform::midi::midi_input_connection> connection_;
    midi_msg_pool_ptr pool_;
    midi_msg_parser_ptr parser_;         // used on the delivery thread only
    std::vector<midi_msg_ptr> parsed_;   // the parser's output, delivery thread only
    std::mutex received_mutex_;          // guards received_
    std::vector<midi_msg_ptr> received_;
};

class transport_midi_output_dev_t : public midi_output_dev_t {
public:
    transport_midi_output_dev_t(std::shared_ptr<midi_transport> transport, std::size_t index, std::string name = {});
    ~transport_midi_output_dev_t() override;

    const std::string& name() const override { return name_; }
    int open() override;
    int close() override;
    int start() override;
    int stop() override;
    int send(const midi_msg_ptr& message) override;

private:
    std::shared_ptr<midi_transport> transport_;
    std::size_t index_;
    std::string name_;
    bool started_ = false;
    std::unique_ptr<platform::midi::midi_output_connection> connection_;
};

}  // namespace orvelan::midi
