#include "midi/virtual_midi_bus.h"

#include <algorithm>

namespace orvelan::platform::midi {

// One host input connected to an endpoint. The connection and the bus share
// it, so a delivery under way keeps it alive while the connection closes.
struct virtual_input_link {
    explicit virtual_input_link(midi_byte_receiver& r) : receiver(r) {}
    midi_byte_receiver& receiver;
    std::mutex delivering;  // held while the receiver runs
    bool started = false;   // guarded by delivering
    bool closed = false;    // guarded by delivering
};

namespace {

// Calls deliver_piece for each piece of the message as the options cut it.
template <class Fn>
void for_each_piece(const std::vector<std::uint8_t>& message, const virtual_delivery_options& options,
                    Fn deliver_piece)
{
    std::vector<std::uint8_t> bytes = message;
    if (options.inject_realtime != 0 && !bytes.empty()) bytes.insert(bytes.begin() + 1, options.inject_realtime);
    const std::size_t piece = options.split_size == 0 ? bytes.size() : options.split_size;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        deliver_piece(bytes.data() + at, std::min(piece, bytes.size() - at));
}

}  // namespace

class virtual_input_connection : public midi_input_connection {
public:
    virtual_input_connection(virtual_midi_bus& bus, std::shared_ptr<virtual_midi_endpoint> endpoint,
                             std::shared_ptr<virtual_input_link> link)
        : bus_(bus), endpoint_(std::move(endpoint)), link_(std::move(link)) {}

    ~virtual_input_connection() override
    {
        {
            std::lock_guard lock(bus_.mutex_);
            auto& inputs = endpoint_->inputs_;
            inputs.erase(std::remove(inputs.begin(), inputs.end(), link_), inputs.end());
        }
        std::lock_guard wait_for_delivery(link_->delivering);
        link_->closed = true;
    }

    bool start() override
    {
        {
            std::lock_guard lock(bus_.mutex_);
            if (endpoint_->options_.refuse_start) return false;
        }
        std::lock_guard lock(link_->delivering);
        link_->started = true;
        return true;
    }

    void stop() override
    {
        std::lock_guard wait_for_delivery(link_->delivering);
        link_->started = false;
    }

private:
    virtual_midi_bus& bus_;
    std::shared_ptr<virtual_midi_endpoint> endpoint_;
    std::shared_ptr<virtual_input_link> link_;
};

class virtual_output_connection : public midi_output_connection {
public:
    virtual_output_connection(virtual_midi_bus& bus, std::shared_ptr<virtual_midi_endpoint> endpoint)
        : bus_(bus), endpoint_(std::move(endpoint)) {}

    send_status send(const std::uint8_t* bytes, std::size_t n, send_done_fn done, void* context) override
    {
        send_status result;
        {
            std::lock_guard lock(bus_.mutex_);
            result = endpoint_->options_.host_send_result;
        }
        if (result != send_status::sent) return result;
        bus_.post({endpoint_, virtual_midi_bus::direction::to_device, std::vector<std::uint8_t>(bytes, bytes + n),
                   done, context});
        return send_status::sent;
    }

private:
    virtual_midi_bus& bus_;
    std::shared_ptr<virtual_midi_endpoint> endpoint_;
};

// ---- endpoint ---------------------------------------------------------------

void virtual_midi_endpoint::transmit(const std::uint8_t* bytes, std::size_t n)
{
    bus_.post({shared_from_this(), virtual_midi_bus::direction::to_host, std::vector<std::uint8_t>(bytes, bytes + n),
               nullptr, nullptr});
}

void virtual_midi_endpoint::set_options(const virtual_delivery_options& options)
{
    std::lock_guard lock(bus_.mutex_);
    options_ = options;
}

virtual_delivery_options virtual_midi_endpoint::options() const
{
    std::lock_guard lock(bus_.mutex_);
    return options_;
}

void virtual_midi_endpoint::drop_next(int n)
{
    std::lock_guard lock(bus_.mutex_);
    drop_next_ = n;
}

int virtual_midi_endpoint::dropped() const
{
    std::lock_guard lock(bus_.mutex_);
    return dropped_;
}

// ---- bus ----------------------------------------------------------------------

virtual_midi_bus::virtual_midi_bus(virtual_delivery mode) : mode_(mode)
{
    if (mode_ == virtual_delivery::threaded) thread_ = std::thread([this] { delivery_loop(); });
}

virtual_midi_bus::~virtual_midi_bus()
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        queue_changed_.notify_all();
        thread_.join();
    }
}

std::shared_ptr<virtual_midi_endpoint> virtual_midi_bus::add_device(std::string name, midi_byte_receiver* to_device)
{
    std::shared_ptr<virtual_midi_endpoint> device(new virtual_midi_endpoint(*this, std::move(name), to_device));
    std::lock_guard lock(mutex_);
    devices_.push_back(device);
    return device;
}

void virtual_midi_bus::remove_device(const std::shared_ptr<virtual_midi_endpoint>& device)
{
    {
        std::lock_guard lock(mutex_);
        devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
    }
    std::lock_guard wait_for_delivery(device->device_mutex_);
    device->to_device_ = nullptr;
}

std::vector<std::string> virtual_midi_bus::input_names()
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& d : devices_) names.push_back(d->name());
    return names;
}

std::vector<std::string> virtual_midi_bus::output_names() { return input_names(); }

std::shared_ptr<virtual_midi_endpoint> virtual_midi_bus::endpoint_at(std::size_t index)
{
    std::lock_guard lock(mutex_);
    if (index >= devices_.size() || devices_[index]->options_.refuse_open) return nullptr;
    return devices_[index];
}

std::unique_ptr<midi_input_connection> virtual_midi_bus::open_input(std::size_t index, midi_byte_receiver& receiver)
{
    auto endpoint = endpoint_at(index);
    if (!endpoint) return nullptr;
    auto link = std::make_shared<virtual_input_link>(receiver);
    {
        std::lock_guard lock(mutex_);
        endpoint->inputs_.push_back(link);
    }
    return std::make_unique<virtual_input_connection>(*this, std::move(endpoint), std::move(link));
}

std::unique_ptr<midi_output_connection> virtual_midi_bus::open_output(std::size_t index)
{
    auto endpoint = endpoint_at(index);
    if (!endpoint) return nullptr;
    return std::make_unique<virtual_output_connection>(*this, std::move(endpoint));
}

void virtual_midi_bus::post(transfer t)
{
    {
        std::unique_lock lock(mutex_);
        if (t.endpoint->drop_next_ > 0) {
            --t.endpoint->drop_next_;
            ++t.endpoint->dropped_;
            lock.unlock();
            if (t.done) t.done(t.context);
            return;
        }
        if (mode_ == virtual_delivery::threaded) {
            queue_.push_back(std::move(t));
            lock.unlock();
            queue_changed_.notify_all();
            return;
        }
    }
    deliver(t);
}

void virtual_midi_bus::deliver(const transfer& t)
{
    virtual_delivery_options options;
    std::vector<std::shared_ptr<virtual_input_link>> inputs;
    {
        std::lock_guard lock(mutex_);
        options = t.endpoint->options_;
        if (t.dir == direction::to_host) inputs = t.endpoint->inputs_;
    }
    if (t.dir == direction::to_device) {
        std::lock_guard lock(t.endpoint->device_mutex_);
        if (auto* device = t.endpoint->to_device_)
            for_each_piece(t.bytes, options, [device](const std::uint8_t* p, std::size_t n) { device->receive(p, n); });
    } else {
        for (const auto& link : inputs) {
            std::lock_guard lock(link->delivering);
            if (link->closed || !link->started) continue;
            for_each_piece(t.bytes, options, [&link](const std::uint8_t* p, std::size_t n) { link->receiver.receive(p, n); });
        }
    }
    if (t.done) t.done(t.context);
}

void virtual_midi_bus::delivery_loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        queue_changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (queue_.empty()) return;  // quitting with nothing left
        transfer t = std::move(queue_.front());
        queue_.pop_front();
        delivering_ = true;
        lock.unlock();
        deliver(t);
        lock.lock();
        delivering_ = false;
        queue_changed_.notify_all();
    }
}

void virtual_midi_bus::flush()
{
    std::unique_lock lock(mutex_);
    queue_changed_.wait(lock, [this] { return mode_ != virtual_delivery::threaded || (queue_.empty() && !delivering_); });
}

}  // namespace orvelan::platform::midi
