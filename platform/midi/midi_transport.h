// Backend-neutral MIDI transport: named input and output endpoints that
// carry raw MIDI bytes. The port classes of the box control (with their
// status codes, pool messages and parser) stand on this; backends are the
// in-process virtual bus and the ALSA sequencer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvelan::platform::midi {

// Receives the bytes that arrive at an input endpoint, in order, possibly
// cut anywhere. Called on the transport's delivery thread (or, with
// synchronous delivery, on the sender's); calls for one connection never
// overlap.
class midi_byte_receiver {
public:
    virtual void receive(const std::uint8_t* bytes, std::size_t n) = 0;

protected:
    ~midi_byte_receiver() = default;
};

class midi_input_connection {
public:
    // Closes: returns only after the last call to the receiver has finished.
    virtual ~midi_input_connection() = default;
    // Bytes reach the receiver from now on; false when the transport refuses.
    virtual bool start() = 0;
    // Bytes arriving from now on are discarded; returns only after the last
    // call to the receiver has finished.
    virtual void stop() = 0;
};

// Called once the transport has finished with the bytes of a send (perhaps
// before send returns, perhaps on another thread).
using send_done_fn = void (*)(void* context);

enum class send_status { sent, not_ready, refused };

class midi_output_connection {
public:
    virtual ~midi_output_connection() = default;
    // The bytes must stay valid until done(context) is called, which happens
    // exactly once when the result is sent, and never otherwise.
    virtual send_status send(const std::uint8_t* bytes, std::size_t n, send_done_fn done, void* context) = 0;
};

class midi_transport {
public:
    virtual ~midi_transport() = default;
    // The endpoints as they stand now; an index below refers to these lists.
    virtual std::vector<std::string> input_names() = 0;
    virtual std::vector<std::string> output_names() = 0;
    // Null when there is no such endpoint or the transport refuses.
    virtual std::unique_ptr<midi_input_connection> open_input(std::size_t index, midi_byte_receiver& receiver) = 0;
    virtual std::unique_ptr<midi_output_connection> open_output(std::size_t index) = 0;
};

}  // namespace orvelan::platform::midi
