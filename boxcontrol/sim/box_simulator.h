// A stand-in for the interface box on the virtual MIDI bus, under the box's
// port name: it answers the control thread's questions, serves an 84-byte
// calibration memory page by page, confirms settings, records every command
// it receives, and misbehaves on demand: wrong answers, late answers, bursts
// of timing clocks before answers, and a steady stream of other MIDI traffic
// of the kind an interface in the box's place may send.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/virtual_midi_bus.h"
#include "midi/midi_msg_parser.h"
#include "protocol/zorb_frame.h"

namespace orvelan::boxcontrol {

class BoxSimulator : private platform::midi::midi_byte_receiver {
public:
    // Everything the box answers or serves wrongly, one at a time.
    enum class Fault {
        none,
        silent,             // no answer at all
        holdReplies,        // answers are kept until releaseHeldReplies
        badTag,             // answers tagged other than MSCP
        lowerCaseHex,       // the command field of answers in lower case
        lengthAbove64,      // length field 65
        byte103NotZero,
        wrongFormat,        // calibration header format 2
        wrongVersion,       // calibration data version 2
        wrongLength,        // calibration header length other than 65 + 3
        shortHeader,        // page 0 shorter than its header
        nonHexPage,         // a calibration page with a character that is not hex
        duplicatePages,     // every calibration page sent twice
        emptyPages,         // calibration pages after the first carry no data
        wrongCommand,       // answers carry the request's sequence number under another command id
    };

    struct Command {
        ZorbFrameType type;
        std::uint32_t seq;
        std::uint32_t cmd;
        std::uint8_t target;
        std::string payload;
    };

    BoxSimulator(platform::midi::virtual_midi_bus& bus, const std::string& name);
    ~BoxSimulator();

    // Answers to the start-up questions, as payload text ("1", "0", "3", ...).
    void setAnswer(std::uint32_t cmd, const std::string& payload);
    // The 32 calibration values in units of 1/4096 dB.
    void setCalibration(const std::array<std::uint16_t, 32>& values);
    void setFault(Fault fault);
    void releaseHeldReplies();
    // Every answer goes out this long after its request came (0: at once).
    void setReplyDelay(std::chrono::milliseconds delay);
    // Each of the next `answers` answers comes right after `clocks` timing clocks.
    void setClockBursts(int clocks, int answers);
    // Sends the bytes every period, whatever else happens, until stopNoise.
    void startNoise(std::vector<std::uint8_t> bytes, std::chrono::milliseconds period);
    void stopNoise();
    // An answer nobody asked for, with sequence number 0.
    void sendUnsolicited(std::uint32_t cmd, const std::string& payload);

    std::vector<Command> commands() const;
    std::vector<std::uint32_t> commandIds() const;
    platform::midi::virtual_midi_endpoint& endpoint() { return *endpoint_; }

    static constexpr int kMemoryBytes = 84;  // header and data of the calibration block
    // What Fault::wrongCommand flips in the command id of an answer.
    static constexpr std::uint32_t kWrongCommandBits = 0x00F00000;

private:
    void receive(const std::uint8_t* bytes, std::size_t n) override;
    void answer(const Command& request);
    void reply(const Command& request, ZorbFrameType type, const std::string& payload);
    static std::string page(const std::array<std::uint8_t, kMemoryBytes>& memory, int offset);
    // Sends what is due, late answers and noise, on a thread of its own.
    void sendLater();

    platform::midi::virtual_midi_bus& bus_;
    std::shared_ptr<platform::midi::virtual_midi_endpoint> endpoint_;
    midi::midi_msg_pool_ptr pool_;
    midi::midi_msg_parser_ptr parser_;  // on the bus's delivery thread only

    mutable std::mutex mutex_;  // guards everything below
    Fault fault_ = Fault::none;
    std::string answer10004_ = "1", answer11000_ = "3", answer30001_ = "1";
    std::array<std::uint8_t, kMemoryBytes> memory_{};
    std::vector<Command> commands_;
    std::vector<std::vector<std::uint8_t>> held_;
    std::chrono::milliseconds replyDelay_{0};
    int burstClocks_ = 0;
    int burstAnswers_ = 0;
    std::multimap<std::chrono::steady_clock::time_point, std::vector<std::uint8_t>> due_;  // late answers
    std::vector<std::uint8_t> noise_;  // empty: none
    std::chrono::milliseconds noisePeriod_{0};
    std::chrono::steady_clock::time_point nextNoise_;
    bool quit_ = false;
    std::condition_variable laterChanged_;
    std::thread later_;  // last: it starts once everything above is ready
};

}  // namespace orvelan::boxcontrol
