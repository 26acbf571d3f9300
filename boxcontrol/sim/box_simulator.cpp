#include "sim/box_simulator.h"

#include <algorithm>

#include "protocol/zorb_calibration.h"

namespace orvelan::boxcontrol {

namespace {

std::string hex_of(const std::uint8_t* p, int n)
{
    std::string s(2 * static_cast<std::size_t>(n), '0');
    for (int i = 0; i < n; ++i) byte_to_hex(reinterpret_cast<std::uint8_t*>(&s[2 * i]), p[i]);
    return s;
}

}  // namespace

BoxSimulator::BoxSimulator(platform::midi::virtual_midi_bus& bus, const std::string& name)
    : bus_(bus), pool_(midi::create_pool(16, 256)), parser_(midi::create_parser(pool_))
{
    memory_[kCalibrationFormatByte] = kCalibrationFormat;
    memory_[kCalibrationLengthByte] = kCalibrationDataBytes + kCalibrationLengthBias;
    memory_[kCalibrationHeaderBytes] = kCalibrationVersion;
    setCalibration({});
    endpoint_ = bus_.add_device(name, this);
    later_ = std::thread([this] { sendLater(); });
}

BoxSimulator::~BoxSimulator()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    laterChanged_.notify_all();
    later_.join();
    bus_.remove_device(endpoint_);
}

void BoxSimulator::setAnswer(std::uint32_t cmd, const std::string& payload)
{
    std::lock_guard lock(mutex_);
    if (cmd == 0x10004) answer10004_ = payload;
    if (cmd == 0x11000) answer11000_ = payload;
    if (cmd == 0x30001) answer30001_ = payload;
}

void BoxSimulator::setCalibration(const std::array<std::uint16_t, 32>& values)
{
    std::lock_guard lock(mutex_);
    for (int i = 0; i < 32; ++i) {
        memory_[kCalibrationHeaderBytes + 1 + 2 * i] = static_cast<std::uint8_t>(values[i] >> 8);
        memory_[kCalibrationHeaderBytes + 2 + 2 * i] = static_cast<std::uint8_t>(values[i]);
    }
}

void BoxSimulator::setFault(Fault fault)
{
    std::lock_guard lock(mutex_);
    fault_ = fault;
}

void BoxSimulator::releaseHeldReplies()
{
    std::vector<std::vector<std::uint8_t>> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    for (const auto& frame : held) endpoint_->transmit(frame);
}

void BoxSimulator::setReplyDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(mutex_);
    replyDelay_ = delay;
}

void BoxSimulator::setClockBursts(int clocks, int answers)
{
    std::lock_guard lock(mutex_);
    burstClocks_ = clocks;
    burstAnswers_ = answers;
}

void BoxSimulator::startNoise(std::vector<std::uint8_t> bytes, std::chrono::milliseconds period)
{
    {
        std::lock_guard lock(mutex_);
        noise_ = std::move(bytes);
        noisePeriod_ = std::max(period, std::chrono::milliseconds(1));
        nextNoise_ = std::chrono::steady_clock::now();
    }
    laterChanged_.notify_all();
}

void BoxSimulator::stopNoise()
{
    std::lock_guard lock(mutex_);
    noise_.clear();
}

void BoxSimulator::sendLater()
{
    using clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        const auto now = clock::now();
        std::vector<std::vector<std::uint8_t>> out;
        while (!due_.empty() && due_.begin()->first <= now) {
            out.push_back(std::move(due_.begin()->second));
            due_.erase(due_.begin());
        }
        if (!noise_.empty() && nextNoise_ <= now) {
            out.push_back(noise_);
            nextNoise_ = std::max(nextNoise_ + noisePeriod_, now);
        }
        if (!out.empty()) {
            lock.unlock();
            for (const auto& bytes : out) endpoint_->transmit(bytes);
            lock.lock();
            continue;
        }
        auto wake = clock::time_point::max();
        if (!due_.empty()) wake = due_.begin()->first;
        if (!noise_.empty()) wake = std::min(wake, nextNoise_);
        if (wake == clock::time_point::max())
            laterChanged_.wait(lock);
        else
            laterChanged_.wait_until(lock, wake);
    }
}

void BoxSimulator::sendUnsolicited(std::uint32_t cmd, const std::string& payload)
{
    reply({zorb_request, 0, cmd, 1, {}}, zorb_response, payload);
}

std::vector<BoxSimulator::Command> BoxSimulator::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::uint32_t> BoxSimulator::commandIds() const
{
    std::vector<std::uint32_t> ids;
    for (const auto& c : commands()) ids.push_back(c.cmd);
    return ids;
}

void BoxSimulator::receive(const std::uint8_t* bytes, std::size_t n)
{
    std::vector<midi::midi_msg_ptr> messages;
    parser_->parse(bytes, static_cast<int>(n), messages);
    for (const auto& m : messages) {
        const auto size = static_cast<std::size_t>(m->size());
        if (zorb_frame_check_header(m->data(), size) != 0 || zorb_frame_check(m->data(), size) != 0) continue;
        const std::uint8_t* payload = zorb_frame_payload(m->data(), nullptr);
        Command c{zorb_frame_type(m->data()), zorb_frame_seq(m->data()), zorb_frame_cmd(m->data()),
                  hex_to_byte(m->data() + 12), std::string(payload, payload + zorb_frame_length(m->data()))};
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(c);
        }
        answer(c);
    }
}

std::string BoxSimulator::page(const std::array<std::uint8_t, kMemoryBytes>& memory, int offset)
{
    const int n = std::max(0, std::min(kCalibrationPageBytes, kMemoryBytes - offset));
    return n == 0 ? std::string() : hex_of(memory.data() + offset, n);
}

void BoxSimulator::answer(const Command& request)
{
    Fault fault;
    {
        std::lock_guard lock(mutex_);
        fault = fault_;
    }
    if (fault == Fault::silent) return;
    if ((request.cmd & 0xFFFF0000u) == 0x80000) {
        const int offset = static_cast<int>(request.cmd & 0xFFFF);
        std::array<std::uint8_t, kMemoryBytes> memory;
        {
            std::lock_guard lock(mutex_);
            memory = memory_;
        }
        if (fault == Fault::wrongFormat) memory[kCalibrationFormatByte] = 2;
        if (fault == Fault::wrongVersion) memory[kCalibrationHeaderBytes] = 2;
        if (fault == Fault::wrongLength) memory[kCalibrationLengthByte] = 40 + kCalibrationLengthBias;
        std::string text = page(memory, offset);
        if (fault == Fault::shortHeader && offset == 0) text.resize(20);
        if (fault == Fault::nonHexPage && offset == kCalibrationPageBytes) text[5] = 'g';
        if (fault == Fault::emptyPages && offset != 0) text.clear();
        reply(request, zorb_response, text);
        if (fault == Fault::duplicatePages) reply(request, zorb_response, text);
        return;
    }
    std::string text;
    {
        std::lock_guard lock(mutex_);
        if (request.cmd == 0x10004) text = answer10004_;
        if (request.cmd == 0x11000) text = answer11000_;
        if (request.cmd == 0x30001) text = answer30001_;
    }
    reply(request, request.type == zorb_request ? zorb_response : zorb_confirm, text);
}

void BoxSimulator::reply(const Command& request, ZorbFrameType type, const std::string& payload)
{
    std::vector<std::uint8_t> frame(kZorbFrameSize);
    std::unique_lock lock(mutex_);
    const std::uint32_t cmd = fault_ == Fault::wrongCommand ? request.cmd ^ kWrongCommandBits : request.cmd;
    zorb_frame_build(frame.data(), request.target, 0, type, request.seq, cmd, payload.data(),
                     static_cast<std::uint8_t>(payload.size()));
    switch (fault_) {
    case Fault::badTag: frame[4] = 'Q'; break;
    case Fault::lowerCaseHex: frame[27] = 'a'; break;  // in the command field
    case Fault::lengthAbove64:
        frame[36] = '4';
        frame[37] = '1';
        break;
    case Fault::byte103NotZero: frame[103] = 0x01; break;
    case Fault::holdReplies: held_.push_back(std::move(frame)); return;
    default: break;
    }
    if (burstAnswers_ > 0) {
        --burstAnswers_;
        frame.insert(frame.begin(), static_cast<std::size_t>(burstClocks_), std::uint8_t{0xF8});
    }
    if (replyDelay_.count() > 0) {
        due_.emplace(std::chrono::steady_clock::now() + replyDelay_, std::move(frame));
        lock.unlock();
        laterChanged_.notify_all();
        return;
    }
    lock.unlock();
    endpoint_->transmit(frame);
}

}  // namespace orvelan::boxcontrol
