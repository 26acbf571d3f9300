#include "midi/alsa_seq_transport.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

namespace orvelan::platform::midi {

namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

// A sequencer client of our own with one port, or nothing when opening fails.
struct seq_client {
    snd_seq_t* seq = nullptr;
    int port = -1;

    seq_client(const std::string& client_name, int mode, const char* port_name, unsigned caps)
    {
        if (snd_seq_open(&seq, "default", mode, 0) < 0) {
            seq = nullptr;
            return;
        }
        snd_seq_set_client_name(seq, client_name.c_str());
        port = snd_seq_create_simple_port(seq, port_name, caps,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port < 0) close();
    }
    ~seq_client() { close(); }
    seq_client(const seq_client&) = delete;
    seq_client& operator=(const seq_client&) = delete;

    bool ok() const { return seq != nullptr; }
    void close()
    {
        if (seq) snd_seq_close(seq);
        seq = nullptr;
    }
};

class alsa_input_connection : public midi_input_connection {
public:
    alsa_input_connection(const std::string& client_name, snd_seq_addr_t source, midi_byte_receiver& receiver)
        : client_(client_name, SND_SEQ_OPEN_INPUT, "in", kWritable), receiver_(receiver)
    {
        if (!client_.ok() || !codec_.valid()) return;
        if (snd_seq_connect_from(client_.seq, client_.port, source.client, source.port) < 0) return;
        snd_seq_nonblock(client_.seq, 1);
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_ < 0) return;
        reader_ = std::thread([this] { read_loop(); });
    }

    ~alsa_input_connection() override
    {
        if (reader_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
            reader_.join();
        }
        if (wake_ >= 0) ::close(wake_);
    }

    bool ready() const { return reader_.joinable(); }

    bool start() override
    {
        std::lock_guard lock(delivering_);
        started_ = true;
        return true;
    }

    void stop() override
    {
        std::lock_guard wait_for_delivery(delivering_);
        started_ = false;
    }

private:
    void read_loop()
    {
        const int count = snd_seq_poll_descriptors_count(client_.seq, POLLIN);
        std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
        snd_seq_poll_descriptors(client_.seq, fds.data() + 1, static_cast<unsigned>(count), POLLIN);
        fds[0] = {wake_, POLLIN, 0};
        std::vector<std::uint8_t> bytes;
        for (;;) {
            if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
            if (fds[0].revents & POLLIN) return;
            snd_seq_event_t* event = nullptr;
            int result;
            while ((result = snd_seq_event_input(client_.seq, &event)) >= 0 || result == -ENOSPC) {
                if (result < 0 || event == nullptr) continue;  // an overrun lost events; go on
                if (codec_.decode(*event, bytes) == 0) continue;
                std::lock_guard lock(delivering_);
                if (started_) receiver_.receive(bytes.data(), bytes.size());
            }
        }
    }

    seq_client client_;
    midi_byte_receiver& receiver_;
    alsa_midi_codec codec_;
    int wake_ = -1;
    std::mutex delivering_;  // held while the receiver runs
    bool started_ = false;   // guarded by delivering_
    std::thread reader_;
};

class alsa_output_connection : public midi_output_connection {
public:
    alsa_output_connection(const std::string& client_name, snd_seq_addr_t dest)
        : client_(client_name, SND_SEQ_OPEN_OUTPUT, "out", kReadable)
    {
        connected_ = client_.ok() && codec_.valid() &&
                     snd_seq_connect_to(client_.seq, client_.port, dest.client, dest.port) >= 0;
    }

    bool ready() const { return connected_; }

    send_status send(const std::uint8_t* bytes, std::size_t n, send_done_fn done, void* context) override
    {
        std::lock_guard lock(sending_);
        int failure = 0;
        codec_.encode(bytes, n, [&](snd_seq_event_t& event) {
            snd_seq_ev_set_source(&event, client_.port);
            snd_seq_ev_set_subs(&event);
            snd_seq_ev_set_direct(&event);
            const int r = snd_seq_event_output_direct(client_.seq, &event);
            if (r < 0) failure = r;
            return r >= 0;
        });
        if (failure == -EAGAIN) return send_status::not_ready;
        if (failure < 0) return send_status::refused;
        // The sequencer has copied the bytes.
        if (done) done(context);
        return send_status::sent;
    }

private:
    seq_client client_;
    alsa_midi_codec codec_;
    bool connected_ = false;
    std::mutex sending_;
};

}  // namespace

std::string alsa_shown_name(const std::string& linux_name, const std::vector<alsa_port_alias>& aliases)
{
    for (const auto& alias : aliases)
        if (alias.linux_name == linux_name) return alias.shown_name;
    return linux_name;
}

// ---- codec ------------------------------------------------------------------------

alsa_midi_codec::alsa_midi_codec(std::size_t buffer_size)
{
    if (snd_midi_event_new(buffer_size, &encoder_) < 0) encoder_ = nullptr;
    if (snd_midi_event_new(buffer_size, &decoder_) < 0) decoder_ = nullptr;
    if (decoder_) snd_midi_event_no_status(decoder_, 1);  // every message with its status byte
}

alsa_midi_codec::~alsa_midi_codec()
{
    if (encoder_) snd_midi_event_free(encoder_);
    if (decoder_) snd_midi_event_free(decoder_);
}

bool alsa_midi_codec::encode(const std::uint8_t* bytes, std::size_t n, const std::function<bool(snd_seq_event_t&)>& deliver)
{
    while (n > 0) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        const long used = snd_midi_event_encode(encoder_, bytes, static_cast<long>(n), &event);
        if (used <= 0) return false;
        bytes += used;
        n -= static_cast<std::size_t>(used);
        if (event.type != SND_SEQ_EVENT_NONE && !deliver(event)) return false;
    }
    return true;
}

std::size_t alsa_midi_codec::decode(const snd_seq_event_t& event, std::vector<std::uint8_t>& out)
{
    if (event.type == SND_SEQ_EVENT_SYSEX) {
        // Any length: the bytes are the event's own.
        const auto* p = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        out.assign(p, p + event.data.ext.len);
        return out.size();
    }
    out.resize(16);
    const long n = snd_midi_event_decode(decoder_, out.data(), static_cast<long>(out.size()), &event);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out.size();
}

// ---- transport -------------------------------------------------------------------

alsa_seq_transport::alsa_seq_transport(std::vector<alsa_port_alias> aliases, std::string client_name)
    : aliases_(std::move(aliases)), client_name_(std::move(client_name))
{
}

bool alsa_seq_transport::available()
{
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) return false;
    snd_seq_close(seq);
    return true;
}

std::vector<alsa_seq_transport::port_entry> alsa_seq_transport::list_ports(unsigned capabilities)
{
    std::vector<port_entry> ports;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) return ports;
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        // The system client and our own connections are not ports to open.
        if (id == SND_SEQ_CLIENT_SYSTEM || client_name_ == snd_seq_client_info_get_name(client)) continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if ((snd_seq_port_info_get_capability(port) & capabilities) != capabilities) continue;
            ports.push_back({*snd_seq_port_info_get_addr(port),
                             alsa_shown_name(snd_seq_port_info_get_name(port), aliases_)});
        }
    }
    snd_seq_close(seq);
    return ports;
}

namespace {

std::vector<std::string> names_of(const auto& ports)
{
    std::vector<std::string> names;
    for (const auto& p : ports) names.push_back(p.name);
    return names;
}

}  // namespace

std::vector<std::string> alsa_seq_transport::input_names() { return names_of(list_ports(kReadable)); }
std::vector<std::string> alsa_seq_transport::output_names() { return names_of(list_ports(kWritable)); }

std::unique_ptr<midi_input_connection> alsa_seq_transport::open_input(std::size_t index, midi_byte_receiver& receiver)
{
    const auto ports = list_ports(kReadable);
    if (index >= ports.size()) return nullptr;
    auto connection = std::make_unique<alsa_input_connection>(client_name_, ports[index].address, receiver);
    if (!connection->ready()) return nullptr;
    return connection;
}

std::unique_ptr<midi_output_connection> alsa_seq_transport::open_output(std::size_t index)
{
    const auto ports = list_ports(kWritable);
    if (index >= ports.size()) return nullptr;
    auto connection = std::make_unique<alsa_output_connection>(client_name_, ports[index].address);
    if (!connection->ready()) return nullptr;
    return connection;
}

}  // namespace orvelan::platform::midi
