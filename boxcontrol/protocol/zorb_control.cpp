#include "protocol/zorb_control.h"

#include <algorithm>
#include <cstdio>

#include "protocol/zorb_calibration.h"

namespace orvelan::boxcontrol {

using namespace orvelan::midi;

namespace {

constexpr int kPoolMessages = 64;
constexpr int kPoolMessageSize = 256;
constexpr int kMaxIdlePasses = 10;

// Page 0 in hex characters: the header, then the data.
constexpr int kHeaderChars = 2 * kCalibrationHeaderBytes;
constexpr int kFormatAt = 2 * kCalibrationFormatByte;
constexpr int kLengthAt = 2 * kCalibrationLengthByte;
constexpr float kMaxCalibrationDb = 16.0f;

constexpr std::uint32_t kSet4F706Value = 0x1FE;  // the value sent with 0x4F706

int read_hex_byte(const char* p) { return hex_to_byte(reinterpret_cast<const std::uint8_t*>(p)); }

bool all_hex(const std::uint8_t* p, int n) { return hex_digits_valid(p, static_cast<std::size_t>(n)); }

}  // namespace

CZorbControl::CZorbControl(std::shared_ptr<platform::midi::midi_transport> transport, Callbacks callbacks,
                           std::chrono::milliseconds idlePeriod)
    : transport_(std::move(transport)), callbacks_(std::move(callbacks)), idlePeriod_(idlePeriod),
      pool_(create_pool(kPoolMessages, kPoolMessageSize)), parser_(create_parser(pool_))
{
    parsed_.reserve(kPoolMessages);
    received_.reserve(kPoolMessages);
}

CZorbControl::~CZorbControl()
{
    {
        std::lock_guard lock(stopMutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    closeDevices();
}

void CZorbControl::startControl()
{
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

bool CZorbControl::stopRequested()
{
    std::lock_guard lock(stopMutex_);
    return stop_;
}

// ---- ports ------------------------------------------------------------------------

namespace {

// Index of the last port named as the box, or -1.
template <class Port>
int find_box(const std::vector<std::shared_ptr<Port>>& ports)
{
    int found = -1;
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i]->name() == kBoxPortName) found = static_cast<int>(i);
    return found;
}

}  // namespace

int CZorbControl::openDevices()
{
    std::vector<midi_output_dev_ptr> outputs;
    enumerate_output_devices(transport_, outputs);
    const int outAt = find_box(outputs);
    if (outAt < 0) return 1;
    midi_output_dev_ptr output;
    create_output_device(transport_, static_cast<std::size_t>(outAt), output);
    if (output->open() != port_ok) return 2;
    if (output->start() != port_ok) {
        output->close();
        return 3;
    }

    // Without a usable input nothing will answer: the output goes too.
    auto dropOutput = [&output](int result) {
        output->stop();
        output->close();
        return result;
    };
    std::vector<midi_input_dev_ptr> inputs;
    enumerate_input_devices(transport_, inputs);
    const int inAt = find_box(inputs);
    if (inAt < 0) return dropOutput(4);
    midi_input_dev_ptr input;
    create_input_device(transport_, static_cast<std::size_t>(inAt), input);
    if (input->open(pool_) != port_ok) return dropOutput(5);
    if (input->start() != port_ok) {
        input->close();
        return dropOutput(6);
    }
    input_ = std::move(input);
    std::lock_guard lock(sendMutex_);
    output_ = std::move(output);
    return 0;
}

int CZorbControl::closeDevices()
{
    if (input_) {
        parsed_.clear();
        received_.clear();
        input_->stop();
        input_->close();
        input_.reset();
    }
    std::lock_guard lock(sendMutex_);
    if (output_) {
        output_->stop();
        output_->close();
        output_.reset();
    }
    return 0;
}

// ---- sending ----------------------------------------------------------------------

int CZorbControl::sendMessage(std::uint32_t cmd, std::uint8_t target, ZorbFrameType type, const std::string& payload)
{
    const std::uint32_t seq = ++sequence_;
    std::uint8_t frame[kZorbFrameSize];
    if (zorb_frame_build(frame, 0, target, type, seq, cmd, payload.data(), static_cast<std::uint8_t>(payload.size())) !=
        0)
        return zorb_frame_does_not_fit;
    midi_msg_ptr message;
    if (pool_->allocate(message) != midi_ok) return zorb_no_free_message;
    if (message->set_long(frame, kZorbFrameSize, 0, 0) != midi_ok) return zorb_frame_does_not_fit;
    if (!output_ || output_->send(message) != port_ok) return zorb_send_refused;
    pending_.push_back({seq, cmd});
    return zorb_ok;
}

int CZorbControl::sendRequest(std::uint32_t cmd, std::uint8_t target)
{
    std::lock_guard lock(sendMutex_);
    return sendMessage(cmd, target, zorb_request, {});
}

int CZorbControl::sendValue(std::uint32_t cmd, std::uint8_t target, std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    std::lock_guard lock(sendMutex_);
    return sendMessage(cmd, target, zorb_change, text);
}

int CZorbControl::sendBytes(std::uint32_t cmd, std::uint8_t target, const std::vector<int>& values)
{
    if (values.size() > static_cast<std::size_t>(kCapsuleCount)) return zorb_too_many_values;
    std::string payload;
    for (int v : values) {
        char text[5];
        std::snprintf(text, sizeof text, "%.2X", static_cast<unsigned>(v) & 0xFFFFu);
        payload += text;
    }
    std::lock_guard lock(sendMutex_);
    return sendMessage(cmd, target, zorb_change, payload);
}

int CZorbControl::gainToCode(float gainDb)
{
    float x = gainDb;
    if (x < -97.0f) x = -97.5f;
    if (x > 30.0f) x = 30.0f;
    return static_cast<int>((x + 97.5f) * 2.0f + 0.5f);
}

int CZorbControl::setPreampGain(float gainDb, bool applyCalibration)
{
    std::lock_guard gainLock(gainMutex_);
    std::vector<int> codes;
    codes.reserve(kCapsuleCount);
    std::vector<float> values;
    {
        std::lock_guard lock(publishedMutex_);
        if (applyCalibration && publishedValid_ && publishedValues_.size() >= kCapsuleCount) values = publishedValues_;
    }
    if (!values.empty()) {
        // The box takes each pair of capsules in swapped order.
        for (int i = 0; i < kCapsuleCount; i += 2) {
            codes.push_back(gainToCode(gainDb + values[i + 1]));
            codes.push_back(gainToCode(gainDb + values[i]));
        }
    } else {
        codes.assign(kCapsuleCount, gainToCode(gainDb));
    }
    return sendBytes(zorb_cmd_preamp_gain, kBoxSettingsTarget, codes);
}

int CZorbControl::getCalibration(float* dest, int n) const
{
    std::lock_guard lock(publishedMutex_);
    if (!publishedValid_) return 1;
    const int count = std::min(n, static_cast<int>(publishedValues_.size()));
    std::copy_n(publishedValues_.begin(), std::max(count, 0), dest);
    return 0;
}

// ---- the thread -------------------------------------------------------------------

void CZorbControl::giveUpOnBox()
{
    {
        std::lock_guard lock(sendMutex_);
        pending_.clear();
    }
    idlePasses_ = 0;
    // A calibration read under way stays open: a late page still continues it.
    if (boxGivenUp_) return;
    boxGivenUp_ = true;
    connectionState_ = 0;
    answer30001_ = 0;
    answer10004_ = 0;
    answer11000_ = -2;
    statusKnown_ = true;
    if (callbacks_.connectionProblems) callbacks_.connectionProblems();
}

void CZorbControl::updateStatusKnown()
{
    if (!statusKnown_ && answer30001_ != -1 && answer11000_ != -1) statusKnown_ = true;
}

void CZorbControl::run()
{
    if (openDevices() != 0) {
        connectionState_ = 0;
        if (callbacks_.connectionProblems) callbacks_.connectionProblems();
        return;
    }
    connectionState_ = 1;
    // A question that could not be sent will never be answered.
    if (sendRequest(zorb_cmd_query_10004, kBoxQueryTarget) != zorb_ok ||
        sendRequest(zorb_cmd_query_30001, kBoxQueryTarget) != zorb_ok)
        giveUpOnBox();

    while (!stopRequested()) {
        input_->read(received_);
        // Only an answer shows the box is there: anything else that comes
        // (stray messages; an interface's clocks and active sensing never get
        // past the port) still leaves the pass idle, and an idle pass always waits, so the time-out stays
        // some ten idle periods however busy the port is.
        const bool answered = takeReceived();
        if (!answered) {
            std::unique_lock lock(stopMutex_);
            wake_.wait_for(lock, idlePeriod_, [this] { return stop_; });
        }

        bool waiting;
        {
            std::lock_guard lock(sendMutex_);
            waiting = !pending_.empty();
        }
        if (!waiting || answered) {
            idlePasses_ = 0;
        } else if (++idlePasses_ > kMaxIdlePasses) {
            giveUpOnBox();
        }
    }
}

bool CZorbControl::takeReceived()
{
    // The port's messages and the parser's share one pool: each received
    // message goes back before its bytes are parsed again, and each parsed
    // one once it is handled, so a burst that nearly fills the pool still
    // leaves room for the frames among it.
    bool answered = false;
    std::uint8_t bytes[kPoolMessageSize];
    for (auto& m : received_) {
        const int n = std::min(m->size(), kPoolMessageSize);
        std::copy_n(m->data(), n, bytes);
        m.reset();
        parser_->parse(bytes, n, parsed_);
        for (auto& frame : parsed_) {
            const auto size = static_cast<std::size_t>(frame->size());
            if (zorb_frame_check_header(frame->data(), size) == 0 && zorb_frame_check(frame->data(), size) == 0 &&
                handleFrame(frame->data()))
                answered = true;
            frame.reset();
        }
        parsed_.clear();
    }
    received_.clear();
    return answered;
}

bool CZorbControl::handleFrame(const std::uint8_t* frame)
{
    const std::uint32_t cmd = zorb_frame_cmd(frame);
    handleMessage(cmd, frame);
    // Only the number and the command together answer a request: a frame that
    // carries a request's number under another command leaves it pending.
    const std::uint32_t seq = zorb_frame_seq(frame);
    std::lock_guard lock(sendMutex_);
    const auto at = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const PendingRequest& p) { return p.seq == seq && p.cmd == cmd; });
    if (at == pending_.end()) return false;
    pending_.erase(at);
    return true;
}

void CZorbControl::handleMessage(std::uint32_t cmd, const std::uint8_t* frame)
{
    // An answer without a readable number counts as a refusal, never as a value.
    std::uint32_t value = 0;
    const bool readable = zorb_frame_payload_number(frame, &value) == 0;
    if ((cmd & 0xFFFF0000u) == zorb_cmd_calibration) {
        handleCalibrationPage(static_cast<int>(cmd & 0xFFFFu), zorb_frame_payload(frame, nullptr),
                              zorb_frame_length(frame));
    } else if (cmd == zorb_cmd_query_10004) {
        if (readable && value != 0) {
            answer10004_ = 1;
            if (sendRequest(zorb_cmd_query_11000, kBoxQueryTarget) != zorb_ok) answer11000_ = -2;
        } else {
            answer10004_ = 0;
            answer11000_ = 0;
        }
        if (callbacks_.msgConfirmed) callbacks_.msgConfirmed(zorb_cmd_query_10004, answer10004_);
    } else if (cmd == zorb_cmd_query_11000) {
        answer11000_ = readable && value >= 1 && value <= 3 ? static_cast<int>(value) : -2;
        if (callbacks_.msgConfirmed) callbacks_.msgConfirmed(zorb_cmd_query_11000, answer11000_);
    } else if (cmd == zorb_cmd_query_30001) {
        if (readable && value != 0) {
            answer30001_ = 1;
            sendValue(zorb_cmd_set_4f706, kBoxSettingsTarget, kSet4F706Value);
            calibration_.pageOffset = 0;
            calibration_.reading = sendRequest(zorb_cmd_calibration, kBoxSettingsTarget) == zorb_ok;
            sendBytes(zorb_cmd_gain_offsets, kBoxSettingsTarget, std::vector<int>(kCapsuleCount, 0));
            if (callbacks_.msgConfirmed) callbacks_.msgConfirmed(zorb_cmd_query_30001, 1);
            if (!calibration_.reading) finishCalibration(false);
        } else {
            answer30001_ = 0;
            if (callbacks_.msgConfirmed) callbacks_.msgConfirmed(zorb_cmd_query_30001, 0);
        }
    }
    updateStatusKnown();
}

void CZorbControl::handleCalibrationPage(int offset, const std::uint8_t* payload, int len)
{
    CalibrationRecord& c = calibration_;
    // Only the page asked for counts: a repeated or unrequested page is ignored.
    if (!c.reading || offset != c.pageOffset) return;
    c.reading = false;
    if (len == 0 || !all_hex(payload, len)) return finishCalibration(false);
    const auto* text = reinterpret_cast<const char*>(payload);
    if (offset == 0) {
        if (len < kHeaderChars) return finishCalibration(false);
        c.valid = false;
        c.received = 0;
        c.format = read_hex_byte(text + kFormatAt);
        if (c.format != kCalibrationFormat) return finishCalibration(false);
        c.length = read_hex_byte(text + kLengthAt) - kCalibrationLengthBias;
        if (c.length < 0) return finishCalibration(false);
        c.hexText.assign(2 * static_cast<std::size_t>(c.length), '0');
        const int chars = std::min(len - kHeaderChars, 2 * c.length) / 2 * 2;
        c.hexText.replace(0, static_cast<std::size_t>(chars), text + kHeaderChars, static_cast<std::size_t>(chars));
        c.received = chars / 2;
    } else {
        const int n = std::min(len / 2, c.length - c.received);
        c.hexText.replace(2 * static_cast<std::size_t>(c.received), 2 * static_cast<std::size_t>(n), text,
                          2 * static_cast<std::size_t>(n));
        c.received += n;
    }
    if (c.received < c.length)
        requestNextPage();
    else
        finishCalibration(parseCalibration() == 0);
}

void CZorbControl::requestNextPage()
{
    CalibrationRecord& c = calibration_;
    c.pageOffset += kCalibrationPageBytes;
    // A page beyond the block would mean the box is not sending data.
    if (c.pageOffset >= kCalibrationHeaderBytes + c.length) return finishCalibration(false);
    c.reading = sendRequest(zorb_cmd_calibration + static_cast<std::uint32_t>(c.pageOffset), kBoxSettingsTarget) ==
                zorb_ok;
    if (!c.reading) finishCalibration(false);
}

void CZorbControl::finishCalibration(bool decoded)
{
    calibration_.reading = false;
    {
        std::lock_guard lock(publishedMutex_);
        publishedValid_ = decoded;
        publishedValues_ = decoded ? calibration_.values : std::vector<float>{};
    }
    if (callbacks_.msgConfirmed) callbacks_.msgConfirmed(zorb_cmd_calibration, decoded ? 1 : 0);
}

int CZorbControl::parseCalibration()
{
    CalibrationRecord& c = calibration_;
    c.valid = false;
    c.values.clear();  // a second read replaces the first
    if (c.format == kCalibrationFormat && c.length != kCalibrationDataBytes) return 1;
    if (c.hexText.size() < 2 || read_hex_byte(c.hexText.data()) != kCalibrationVersion) return 1;
    for (std::size_t at = 2; at + 4 <= c.hexText.size(); at += 4) {
        const int value = (read_hex_byte(c.hexText.data() + at) << 8) | read_hex_byte(c.hexText.data() + at + 2);
        c.values.push_back(std::clamp(static_cast<float>(value) * kCalibrationDbPerUnit, 0.0f, kMaxCalibrationDb));
    }
    c.valid = true;
    return 0;
}

}  // namespace orvelan::boxcontrol
