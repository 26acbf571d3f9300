// MIDI transport over the ALSA sequencer, for real ports. Each connection
// opens its own sequencer client with one port subscribed to the chosen
// port; an input connection runs a reader thread that turns events back
// into MIDI bytes. A configurable alias lists a port under another name, so
// the box is found under the name the host looks for.
#pragma once

#include <alsa/asoundlib.h>

#include <functional>
#include <string>
#include <vector>

#include "midi/midi_transport.h"

namespace orvelan::platform::midi {

struct alsa_port_alias {
    std::string linux_name;  // the sequencer port's name
    std::string shown_name;  // the name the port is listed under
};

// The alias's shown name when linux_name matches one, linux_name otherwise.
std::string alsa_shown_name(const std::string& linux_name, const std::vector<alsa_port_alias>& aliases);

// MIDI bytes to sequencer events and back, keeping state across calls so a
// message may be cut anywhere. A system-exclusive message longer than the
// buffer comes out as several events.
class alsa_midi_codec {
public:
    explicit alsa_midi_codec(std::size_t buffer_size = 256);
    ~alsa_midi_codec();
    alsa_midi_codec(const alsa_midi_codec&) = delete;
    alsa_midi_codec& operator=(const alsa_midi_codec&) = delete;

    bool valid() const { return encoder_ != nullptr && decoder_ != nullptr; }
    // Calls deliver for every event the bytes complete; false when deliver fails
    // (its result is returned through that) or the bytes cannot be encoded.
    bool encode(const std::uint8_t* bytes, std::size_t n, const std::function<bool(snd_seq_event_t&)>& deliver);
    // The bytes of one event (status byte always written); 0 for events that
    // carry no MIDI bytes.
    std::size_t decode(const snd_seq_event_t& event, std::vector<std::uint8_t>& out);

private:
    snd_midi_event_t* encoder_ = nullptr;
    snd_midi_event_t* decoder_ = nullptr;
};

class alsa_seq_transport : public midi_transport {
public:
    explicit alsa_seq_transport(std::vector<alsa_port_alias> aliases = {}, std::string client_name = "Orvelan");
    // True when the sequencer device exists and a client can be opened.
    static bool available();

    std::vector<std::string> input_names() override;
    std::vector<std::string> output_names() override;
    std::unique_ptr<midi_input_connection> open_input(std::size_t index, midi_byte_receiver& receiver) override;
    std::unique_ptr<midi_output_connection> open_output(std::size_t index) override;

private:
    struct port_entry {
        snd_seq_addr_t address;
        std::string name;
    };
    // Ports of other clients with the given capabilities, in sequencer order.
    std::vector<port_entry> list_ports(unsigned capabilities);

    std::vector<alsa_port_alias> aliases_;
    std::string client_name_;
};

}  // namespace orvelan::platform::midi
