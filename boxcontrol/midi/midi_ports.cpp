#include "midi/midi_ports.h"

namespace orvelan::midi {

using platform::midi::send_status;

namespace {

template <class Port, class Base>
int enumerate(const std::shared_ptr<midi_transport>& transport, const std::vector<std::string>& names,
              std::vector<std::shared_ptr<Base>>& out)
{
    for (std::size_t i = 0; i < names.size(); ++i) out.push_back(std::make_shared<Port>(transport, i, names[i]));
    return 0;
}

// The transport has finished with a message's bytes.
void drop_driver_hold(void* message) { static_cast<midi_msg_t*>(message)->release_driver_ref(); }

}  // namespace

int enumerate_input_devices(const std::shared_ptr<midi_transport>& transport, std::vector<midi_input_dev_ptr>& out)
{
    return enumerate<transport_midi_input_dev_t>(transport, transport->input_names(), out);
}

int enumerate_output_devices(const std::shared_ptr<midi_transport>& transport, std::vector<midi_output_dev_ptr>& out)
{
    return enumerate<transport_midi_output_dev_t>(transport, transport->output_names(), out);
}

int create_input_device(const std::shared_ptr<midi_transport>& transport, std::size_t index, midi_input_dev_ptr& out)
{
    out = std::make_shared<transport_midi_input_dev_t>(transport, index);
    return 0;
}

int create_output_device(const std::shared_ptr<midi_transport>& transport, std::size_t index, midi_output_dev_ptr& out)
{
    out = std::make_shared<transport_midi_output_dev_t>(transport, index);
    return 0;
}

// ---- input ------------------------------------------------------------------------

transport_midi_input_dev_t::transport_midi_input_dev_t(std::shared_ptr<midi_transport> transport, std::size_t index,
                                                       std::string name)
    : transport_(std::move(transport)), index_(index), name_(std::move(name))
{
}

transport_midi_input_dev_t::~transport_midi_input_dev_t() { close(); }

int transport_midi_input_dev_t::open(midi_msg_pool_ptr pool)
{
    if (connection_) return port_already_open;
    // Parser and lists are ready before the first byte can arrive.
    pool_ = std::move(pool);
    parser_ = create_parser(pool_, realtime_bytes::drop);
    parsed_.reserve(static_cast<std::size_t>(pool_->message_count()));
    received_.reserve(static_cast<std::size_t>(pool_->message_count()));
    connection_ = transport_->open_input(index_, *this);
    if (!connection_) return port_open_refused;
    return port_ok;
}

int transport_midi_input_dev_t::start()
{
    if (!connection_) return port_not_open;
    if (started_) return port_already_started;
    if (!connection_->start()) return port_start_refused;
    started_ = true;
    return port_ok;
}

int transport_midi_input_dev_t::stop()
{
    if (!connection_) return port_not_open;
    if (!started_) return port_not_started;
    connection_->stop();
    started_ = false;
    return port_ok;
}

int transport_midi_input_dev_t::close()
{
    if (started_) stop();
    // Closing waits for a delivery under way; after it nothing arrives.
    connection_.reset();
    std::lock_guard lock(received_mutex_);
    received_.clear();
    parsed_.clear();
    return port_ok;
}

int transport_midi_input_dev_t::read(std::vector<midi_msg_ptr>& out)
{
    if (!connection_) return port_not_open;
    if (!started_) return port_not_started;
    std::lock_guard lock(received_mutex_);
    for (auto& m : received_) out.push_back(std::move(m));
    received_.clear();
    return port_ok;
}

void transport_midi_input_dev_t::receive(const std::uint8_t* bytes, std::size_t n)
{
    parser_->parse(bytes, static_cast<int>(n), parsed_);
    if (parsed_.empty()) return;
    std::lock_guard lock(received_mutex_);
    for (auto& m : parsed_) received_.push_back(std::move(m));
    parsed_.clear();
}

// ---- output -----------------------------------------------------------------------

transport_midi_output_dev_t::transport_midi_output_dev_t(std::shared_ptr<midi_transport> transport, std::size_t index,
                                                         std::string name)
    : transport_(std::move(transport)), index_(index), name_(std::move(name))
{
}

transport_midi_output_dev_t::~transport_midi_output_dev_t() { close(); }

int transport_midi_output_dev_t::open()
{
    if (connection_) return port_already_open;
    connection_ = transport_->open_output(index_);
    return connection_ ? port_ok : port_open_refused;
}

int transport_midi_output_dev_t::start()
{
    if (!connection_) return port_not_open;
    if (started_) return port_already_started;
    started_ = true;
    return port_ok;
}

int transport_midi_output_dev_t::stop()
{
    if (!connection_) return port_not_open;
    if (!started_) return port_not_started;
    started_ = false;
    return port_ok;
}

int transport_midi_output_dev_t::close()
{
    connection_.reset();
    started_ = false;
    return port_ok;
}

int transport_midi_output_dev_t::send(const midi_msg_ptr& message)
{
    if (!connection_) return port_not_open;
    if (!started_) return port_not_started;
    // The message stays out of its pool until the transport is done with its
    // bytes, whichever thread that happens on.
    message->set_driver_ref(message);
    const send_status status =
        connection_->send(message->data(), static_cast<std::size_t>(message->size()), drop_driver_hold, message.get());
    if (status == send_status::sent) return port_ok;
    message->release_driver_ref();
    return status == send_status::not_ready ? port_not_ready : port_send_refused;
}

}  // namespace orvelan::midi
