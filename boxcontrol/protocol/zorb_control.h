// The thread that talks to the microphone interface box: it finds the box's
// MIDI ports, asks its start-up questions, reads the 32 capsule calibration
// values page by page, sets the preamplifier gain on request and reports
// each handled answer (msgConfirmed) and a missing or silent box
// (connectionProblems). Nothing here links Qt: the application hands in
// callbacks, which run on the control thread, and bridges them to signals.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_msg.h"
#include "midi/midi_msg_parser.h"
#include "midi/midi_ports.h"
#include "protocol/zorb_frame.h"

namespace orvelan::boxcontrol {

// The name of the box's MIDI ports.
inline constexpr char kBoxPortName[] = "TCAT Dice EVM Platform";

// Commands the control thread uses.
enum ZorbCommand : std::uint32_t {
    zorb_cmd_query_10004 = 0x10004,     // first start-up question
    zorb_cmd_query_11000 = 0x11000,     // asked when 0x10004 is answered non-zero
    zorb_cmd_query_30001 = 0x30001,     // second start-up question
    zorb_cmd_set_4f706 = 0x4F706,       // sent with 0x1FE when 0x30001 is answered non-zero
    zorb_cmd_calibration = 0x80000,     // + byte offset of the page
    zorb_cmd_gain_offsets = 0x90001,    // 32 zeros after 0x30001 is answered non-zero
    zorb_cmd_preamp_gain = 0x90000,     // 32 gain codes
};

inline constexpr std::uint8_t kBoxQueryTarget = 1;
inline constexpr std::uint8_t kBoxSettingsTarget = 10;
inline constexpr int kCapsuleCount = 32;

// Results of the internal operations, as the application sees them through
// setPreampGain and in tests.
enum ZorbResult : int {
    zorb_ok = 0,
    zorb_no_free_message = 7,
    zorb_frame_does_not_fit = 8,
    zorb_send_refused = 9,
    zorb_too_many_values = 11,
};

// The box's calibration block, as read.
struct CalibrationRecord {
    bool valid = false;
    int format = -1;
    int length = 0;          // bytes of calibration data
    int pageOffset = 0;      // offset of the page last requested
    int received = 0;        // bytes of calibration data stored so far
    bool reading = false;    // a page has been requested and not yet handled
    std::string hexText;     // 2 x length upper-case hex characters
    std::vector<float> values;  // dB per capsule, in capsule order
};

class CZorbControl {
public:
    struct Callbacks {
        std::function<void(int cmd, int value)> msgConfirmed;
        std::function<void()> connectionProblems;
    };

    // transport: where the box's ports are looked for. idlePeriod: how long
    // the thread sleeps after a pass that brought no answer (the box counts
    // as silent after more than 10 such passes with requests pending).
    CZorbControl(std::shared_ptr<platform::midi::midi_transport> transport, Callbacks callbacks,
                 std::chrono::milliseconds idlePeriod = std::chrono::milliseconds(200));
    ~CZorbControl();
    CZorbControl(const CZorbControl&) = delete;
    CZorbControl& operator=(const CZorbControl&) = delete;

    // Starts the thread (once).
    void startControl();

    // Sends the preamplifier gain of all 32 channels to the box; the result of
    // the send (ZorbResult). Any thread.
    int setPreampGain(float gainDb, bool applyCalibration);
    // 1 when no valid calibration has been read; otherwise copies the first
    // min(n, 32) values (dB) and returns 0. Any thread.
    int getCalibration(float* dest, int n) const;

    // Status words, written by the control thread, read from any thread.
    // -1 not known yet, 1 ports open, 0 opening failed or the box is silent.
    int connectionState() const { return connectionState_.load(); }
    int answer30001() const { return answer30001_.load(); }
    int answer10004() const { return answer10004_.load(); }
    // 1, 2 or 3 as answered; -2 another answer or silence; 0 when 0x10004 was answered 0.
    int answer11000() const { return answer11000_.load(); }
    bool statusKnown() const { return statusKnown_.load(); }

    // The box's preamplifier code (0.5 dB steps from -97.5 dB) for a gain in dB.
    static int gainToCode(float gainDb);

private:
    void run();
    int openDevices();
    int closeDevices();
    // The caller holds sendMutex_.
    int sendMessage(std::uint32_t cmd, std::uint8_t target, ZorbFrameType type, const std::string& payload);
    int sendRequest(std::uint32_t cmd, std::uint8_t target);
    int sendValue(std::uint32_t cmd, std::uint8_t target, std::uint32_t value);
    int sendBytes(std::uint32_t cmd, std::uint8_t target, const std::vector<int>& values);
    // Parses what the input port delivered and handles the box's frames;
    // true when one of them answered a pending request.
    bool takeReceived();
    // True when the frame answered a pending request.
    bool handleFrame(const std::uint8_t* frame);
    void handleMessage(std::uint32_t cmd, const std::uint8_t* frame);
    void handleCalibrationPage(int offset, const std::uint8_t* payload, int len);
    void requestNextPage();
    void finishCalibration(bool decoded);
    int parseCalibration();
    // Requests went unanswered too long: nothing is pending any more. The
    // first time the box is taken as silent: answers 0/0/-2, status known,
    // connectionProblems. A box that was given up on and then answers late
    // keeps its late answers, and is not reported again.
    void giveUpOnBox();
    void updateStatusKnown();
    bool stopRequested();

    std::shared_ptr<platform::midi::midi_transport> transport_;
    Callbacks callbacks_;
    const std::chrono::milliseconds idlePeriod_;

    CalibrationRecord calibration_;  // control thread only
    mutable std::mutex publishedMutex_;
    std::vector<float> publishedValues_;  // a copy of the values once valid, guarded by publishedMutex_
    bool publishedValid_ = false;         // guarded by publishedMutex_

    std::atomic<int> connectionState_{-1};
    std::atomic<int> answer30001_{-1};
    std::atomic<int> answer10004_{-1};
    std::atomic<int> answer11000_{-1};
    std::atomic<bool> statusKnown_{false};

    std::mutex sendMutex_;  // serialises sending, the sequence number and the pending list
    std::mutex gainMutex_;  // serialises setPreampGain; taken before sendMutex_
    int idlePasses_ = 0;
    std::mutex stopMutex_;
    std::condition_variable wake_;
    bool stop_ = false;  // guarded by stopMutex_
    bool boxGivenUp_ = false;  // control thread only
    std::uint32_t sequence_ = 0;
    // A request is answered by a frame with its sequence number and command.
    struct PendingRequest {
        std::uint32_t seq;
        std::uint32_t cmd;
    };
    std::vector<PendingRequest> pending_;

    midi::midi_msg_pool_ptr pool_;
    midi::midi_msg_parser_ptr parser_;
    std::vector<midi::midi_msg_ptr> parsed_;
    std::vector<midi::midi_msg_ptr> received_;
    midi::midi_input_dev_ptr input_;
    midi::midi_output_dev_ptr output_;
    std::thread thread_;
};

}  // namespace orvelan::boxcontrol
