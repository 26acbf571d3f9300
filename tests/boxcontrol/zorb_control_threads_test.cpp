// The interface-box control thread against the box simulator on the virtual
// bus: the whole session, the calibration read, the preamplifier command,
// silence and late replies, and every misbehaviour of the box.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "sim/box_simulator.h"
#include "protocol/zorb_control.h"

namespace {

using namespace orvelan::boxcontrol;
using orvelan::platform::midi::send_status;
using orvelan::platform::midi::virtual_delivery;
using orvelan::platform::midi::virtual_midi_bus;
using Fault = BoxSimulator::Fault;
using namespace std::chrono_literals;

template <class Predicate>
bool eventually(Predicate p, std::chrono::milliseconds limit = 5000ms)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!p()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::array<std::uint16_t, 32> test_values()
{
    std::array<std::uint16_t, 32> v{};
    for (int i = 0; i < 32; ++i) v[i] = static_cast<std::uint16_t>(0x0100 * i);
    v[0] = 0x1000;  // 1.0 dB
    v[1] = 0xFFFF;  // 15.999756 dB
    return v;
}

class ZorbControlSession : public ::testing::Test {
protected:
    using Confirmation = std::pair<int, int>;

    std::unique_ptr<CZorbControl> make_control(std::chrono::milliseconds idle = 20ms,
                                               std::shared_ptr<virtual_midi_bus> on = nullptr)
    {
        CZorbControl::Callbacks callbacks;
        callbacks.msgConfirmed = [this](int cmd, int value) {
            std::lock_guard lock(mutex);
            confirmations.emplace_back(cmd, value);
        };
        callbacks.connectionProblems = [this] { ++problems; };
        return std::make_unique<CZorbControl>(on ? on : bus, callbacks, idle);
    }

    void start(std::chrono::milliseconds idle = 20ms)
    {
        control = make_control(idle);
        control->startControl();
    }

    bool confirmed(int cmd, int value)
    {
        std::lock_guard lock(mutex);
        return std::find(confirmations.begin(), confirmations.end(), Confirmation{cmd, value}) != confirmations.end();
    }

    std::vector<Confirmation> confirmations_seen()
    {
        std::lock_guard lock(mutex);
        return confirmations;
    }

    // The time-out took the box as silent and reported it, and after `more`
    // it still has been reported once only.
    void expect_given_up_once(std::chrono::milliseconds more)
    {
        ASSERT_TRUE(eventually([&] { return problems == 1; }));
        EXPECT_EQ(control->connectionState(), 0);
        EXPECT_EQ(control->answer10004(), 0);
        EXPECT_EQ(control->answer30001(), 0);
        EXPECT_EQ(control->answer11000(), -2);
        EXPECT_TRUE(control->statusKnown());
        std::this_thread::sleep_for(more);
        EXPECT_EQ(problems, 1) << "nothing pending any more: no second report";
    }

    int count_commands(std::uint32_t mask, std::uint32_t value)
    {
        const auto ids = box.commandIds();
        return static_cast<int>(std::count_if(ids.begin(), ids.end(), [&](auto id) { return (id & mask) == value; }));
    }

    std::shared_ptr<virtual_midi_bus> bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
    BoxSimulator box{*bus, kBoxPortName};
    std::mutex mutex;
    std::vector<Confirmation> confirmations;
    std::atomic<int> problems{0};
    std::unique_ptr<CZorbControl> control;
};

TEST_F(ZorbControlSession, FullSessionReadsTheCalibrationAndSetsTheGain)
{
    box.setCalibration(test_values());
    start();
    ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }));
    EXPECT_EQ(control->connectionState(), 1);
    EXPECT_EQ(control->answer10004(), 1);
    EXPECT_EQ(control->answer30001(), 1);
    EXPECT_EQ(control->answer11000(), 3);
    EXPECT_TRUE(control->statusKnown());
    EXPECT_EQ(confirmations_seen(),
              (std::vector<Confirmation>{{0x10004, 1}, {0x30001, 1}, {0x11000, 3}, {0x80000, 1}}));

    const auto commands = box.commands();
    ASSERT_EQ(commands.size(), 8u);
    const std::uint32_t order[] = {0x10004, 0x30001, 0x11000, 0x4F706, 0x80000, 0x90001, 0x80020, 0x80040};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].cmd, order[i]) << i;
        EXPECT_EQ(commands[i].seq, i + 1) << "sequence numbers count from 1";
    }
    EXPECT_EQ(commands[0].target, 1);
    EXPECT_EQ(commands[0].type, zorb_request);
    EXPECT_EQ(commands[3].type, zorb_change);
    EXPECT_EQ(commands[3].target, 10);
    EXPECT_EQ(commands[3].payload, "000001FE");
    EXPECT_EQ(commands[5].payload, std::string(64, '0'));

    float values[33];
    values[32] = -1.0f;
    ASSERT_EQ(control->getCalibration(values, 33), 0);
    EXPECT_FLOAT_EQ(values[0], 1.0f);
    EXPECT_NEAR(values[1], 15.999756f, 1e-6);
    for (int i = 2; i < 32; ++i) EXPECT_FLOAT_EQ(values[i], i / 16.0f) << i;
    EXPECT_EQ(values[32], -1.0f) << "32 values, no more";

    EXPECT_EQ(control->setPreampGain(20.0f, false), zorb_ok);
    ASSERT_TRUE(eventually([&] { return box.commands().size() == 9; }));
    const auto gain = box.commands().back();
    EXPECT_EQ(gain.cmd, 0x90000u);
    EXPECT_EQ(gain.type, zorb_change);
    EXPECT_EQ(gain.target, 10);
    std::string expected;
    for (int i = 0; i < 32; ++i) expected += "EB";
    EXPECT_EQ(gain.payload, expected);

    // With the calibration applied each pair of capsules goes in swapped order.
    EXPECT_EQ(control->setPreampGain(0.0f, true), zorb_ok);
    ASSERT_TRUE(eventually([&] { return box.commands().size() == 10; }));
    const std::string calibrated = box.commands().back().payload;
    char pair[5];
    std::snprintf(pair, sizeof pair, "%02X%02X", CZorbControl::gainToCode(15.999756f), CZorbControl::gainToCode(1.0f));
    EXPECT_EQ(calibrated.substr(0, 4), pair);

    // Every request was answered: no timeout however long the box stays quiet.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(problems, 0);
}

TEST(ZorbControl, GainCodes)
{
    const std::pair<float, int> cases[] = {{-97.2f, 0}, {-97.0f, 1}, {-200.0f, 0}, {-10.0f, 175}, {0.0f, 195},
                                           {10.0f, 215}, {20.0f, 235}, {30.0f, 255}, {31.0f, 255}, {0.4f, 196}};
    for (const auto& [db, code] : cases) EXPECT_EQ(CZorbControl::gainToCode(db), code) << db;
}

TEST_F(ZorbControlSession, WithoutTheBoxPortTheThreadEndsAtOnce)
{
    auto elsewhere = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
    BoxSimulator other(*elsewhere, "Another Interface");
    BoxSimulator almost(*elsewhere, "TCAT Dice EVM Platform 2");
    control = make_control(20ms, elsewhere);
    control->startControl();
    ASSERT_TRUE(eventually([&] { return problems == 1; }));
    EXPECT_EQ(control->connectionState(), 0);
    EXPECT_FALSE(control->statusKnown());
    EXPECT_TRUE(other.commands().empty());
    EXPECT_TRUE(almost.commands().empty());
    control.reset();

    // The box is there but its port cannot be opened.
    box.endpoint().set_options({.refuse_open = true});
    start();
    ASSERT_TRUE(eventually([&] { return problems == 2; }));
    EXPECT_EQ(control->connectionState(), 0);
    EXPECT_TRUE(box.commands().empty());
}

TEST_F(ZorbControlSession, ABoxAnsweringZeroIsLeftAlone)
{
    box.setAnswer(0x10004, "0");
    box.setAnswer(0x30001, "0");
    start();
    ASSERT_TRUE(eventually([&] { return control->statusKnown(); }));
    EXPECT_EQ(control->answer10004(), 0);
    EXPECT_EQ(control->answer30001(), 0);
    EXPECT_EQ(control->answer11000(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(box.commandIds(), (std::vector<std::uint32_t>{0x10004, 0x30001}));
    EXPECT_EQ(problems, 0);
    float value;
    EXPECT_EQ(control->getCalibration(&value, 1), 1);
}

TEST_F(ZorbControlSession, UnexpectedAnswersTo11000AreStoredAsMinusTwo)
{
    for (const char* answer : {"4", "0", "", "Z"}) {
        box.setAnswer(0x11000, answer);
        confirmations.clear();
        start();
        ASSERT_TRUE(eventually([&] { return confirmed(0x11000, -2); })) << '"' << answer << '"';
        EXPECT_EQ(control->answer11000(), -2);
        control.reset();
    }
}

TEST_F(ZorbControlSession, SilenceGivesUpOnceAndALateReplyIsStillHandled)
{
    box.setFault(Fault::holdReplies);
    start();
    expect_given_up_once(100ms);
    ASSERT_FALSE(HasFatalFailure());

    box.setFault(Fault::none);
    box.releaseHeldReplies();
    ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }));
    EXPECT_EQ(control->answer10004(), 1);
    EXPECT_EQ(control->answer30001(), 1);
    EXPECT_EQ(control->answer11000(), 3);
}

TEST_F(ZorbControlSession, AFailedFirstSendTakesTheSilentBoxPath)
{
    box.endpoint().set_options({.host_send_result = send_status::refused});
    start();
    ASSERT_TRUE(eventually([&] { return control->statusKnown(); }));
    EXPECT_EQ(control->connectionState(), 0);
    EXPECT_EQ(control->answer11000(), -2);
    EXPECT_EQ(problems, 1);
}

TEST_F(ZorbControlSession, NoiseAndCutUpRepliesDoNotStallTheSession)
{
    box.endpoint().set_options({.split_size = 7, .inject_realtime = 0xF8});
    const std::vector<std::uint8_t> noise = {0xFE, 0x90, 0x3C, 0x40, 0xF0, 0x01, 0xF7, 0xB0, 0x07};
    box.endpoint().transmit(noise);
    start();
    box.endpoint().transmit(noise);
    ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }));
    EXPECT_EQ(problems, 0);
}

TEST_F(ZorbControlSession, FramesThatFailTheChecksAreDroppedAndTheBoxCountsAsSilent)
{
    for (Fault fault : {Fault::badTag, Fault::lowerCaseHex, Fault::lengthAbove64, Fault::byte103NotZero, Fault::silent}) {
        box.setFault(fault);
        problems = 0;
        start();
        ASSERT_TRUE(eventually([&] { return problems == 1; })) << static_cast<int>(fault);
        EXPECT_EQ(control->answer10004(), 0);
        EXPECT_EQ(control->answer11000(), -2);
        EXPECT_TRUE(control->statusKnown());
        control.reset();
    }
}

TEST_F(ZorbControlSession, ABadCalibrationBlockIsReportedAndNeverDecoded)
{
    const Fault faults[] = {Fault::wrongFormat, Fault::wrongVersion, Fault::wrongLength,
                            Fault::shortHeader, Fault::nonHexPage,   Fault::emptyPages};
    for (Fault fault : faults) {
        box.setFault(fault);
        confirmations.clear();
        const int before = count_commands(0xFFFF0000u, 0x80000);
        start();
        ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 0); })) << static_cast<int>(fault);
        std::this_thread::sleep_for(30ms);
        float value;
        EXPECT_EQ(control->getCalibration(&value, 1), 1) << static_cast<int>(fault);
        EXPECT_LE(count_commands(0xFFFF0000u, 0x80000) - before, 3) << "no pages beyond the block";
        EXPECT_EQ(count_commands(0xFFFFFFFFu, 0x90000), 0) << "never a request that is a gain command";
        EXPECT_FALSE(confirmed(0x80000, 1));
        control.reset();
    }
}

TEST_F(ZorbControlSession, RepeatedPagesAndASecondReadKeepExactly32Values)
{
    box.setCalibration(test_values());
    box.setFault(Fault::duplicatePages);
    start();
    ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }));
    std::this_thread::sleep_for(30ms);
    float values[64];
    std::fill(std::begin(values), std::end(values), -1.0f);
    ASSERT_EQ(control->getCalibration(values, 64), 0);
    EXPECT_FLOAT_EQ(values[0], 1.0f);
    EXPECT_FLOAT_EQ(values[31], 31 / 16.0f);
    EXPECT_EQ(values[32], -1.0f);
    EXPECT_EQ(count_commands(0xFFFF0000u, 0x80000), 3) << "a repeated page asks for nothing";

    // The box announces its state again: the calibration is read afresh.
    box.setFault(Fault::none);
    auto changed = test_values();
    changed[0] = 0x2000;
    box.setCalibration(changed);
    box.sendUnsolicited(0x30001, "1");
    ASSERT_TRUE(eventually([&] {
        const auto seen = confirmations_seen();
        return std::count(seen.begin(), seen.end(), Confirmation{0x80000, 1}) == 2;
    }));
    ASSERT_EQ(control->getCalibration(values, 64), 0);
    EXPECT_FLOAT_EQ(values[0], 2.0f);
    EXPECT_EQ(values[32], -1.0f) << "the second read replaced the first";
}

// Whatever else arrives, only answers to what was asked keep the box from
// counting as silent: traffic faster than the idle period must not hold the
// time-out off, and the time-out is reported once.
TEST_F(ZorbControlSession, TrafficThatAnswersNothingStillTimesOut)
{
    std::vector<std::uint8_t> unsolicited(kZorbFrameSize);
    zorb_frame_build(unsolicited.data(), 1, 0, zorb_alert, 0, 0x20000, "1", 1);
    const std::pair<const char*, std::vector<std::uint8_t>> noises[] = {
        {"active sensing", {0xFE}},
        {"timing clocks", {0xF8, 0xF8, 0xF8}},
        {"channel messages and a foreign sysex", {0x90, 0x3C, 0x40, 0xF0, 0x01, 0xF7, 0xB0, 0x07, 0x7F}},
        {"a frame nobody asked for", unsolicited},
    };
    box.setFault(Fault::silent);
    for (const auto& [what, noise] : noises) {
        SCOPED_TRACE(what);
        problems = 0;
        box.startNoise(noise, 3ms);
        start(15ms);
        expect_given_up_once(300ms);  // 20 idle periods more of the same traffic
        ASSERT_FALSE(HasFatalFailure());
        control.reset();
        box.stopNoise();
    }
    EXPECT_TRUE(confirmations_seen().empty());
}

TEST_F(ZorbControlSession, AReplyUnderAnotherCommandIdAnswersNothing)
{
    box.setFault(Fault::wrongCommand);
    start();
    expect_given_up_once(200ms);
    EXPECT_EQ(box.commandIds(), (std::vector<std::uint32_t>{0x10004, 0x30001}));
    EXPECT_TRUE(confirmations_seen().empty());
}

// Timing clocks in bursts of 30 before the answers, with real-time bytes
// inside every frame as well: the start-up answers alone put 62 messages'
// worth of bytes into the input port at once, and clocks before every answer
// (the three settings answers come together) some 93, beyond the whole
// 64-message pool if each real-time byte took a message.
TEST_F(ZorbControlSession, ClockBurstsBeforeTheAnswersLoseNothing)
{
    struct Case {
        const char* what;
        int answers;            // answers that come behind a burst
        std::uint8_t inside;    // real-time byte after each frame's first byte; 0 none
    };
    const Case cases[] = {
        {"the start-up answers", 2, 0},
        {"every answer, the calibration pages too", 1000, 0},
        {"every answer, with active sensing inside each frame", 1000, 0xFE},
    };
    box.setCalibration(test_values());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        confirmations.clear();
        problems = 0;
        box.setClockBursts(30, c.answers);
        box.endpoint().set_options({.split_size = 5, .inject_realtime = c.inside});
        start();
        ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }));
        EXPECT_EQ(confirmations_seen(),
                  (std::vector<Confirmation>{{0x10004, 1}, {0x30001, 1}, {0x11000, 3}, {0x80000, 1}}));
        float values[32];
        ASSERT_EQ(control->getCalibration(values, 32), 0);
        EXPECT_FLOAT_EQ(values[0], 1.0f);
        EXPECT_NEAR(values[1], 15.999756f, 1e-6);
        for (int i = 2; i < 32; ++i) EXPECT_FLOAT_EQ(values[i], i / 16.0f) << i;
        EXPECT_EQ(problems, 0);
        control.reset();
    }
}

// Every answer comes 16 idle periods after its question: the start-up times
// out first, then each late answer is handled as it comes, the calibration
// read goes on page by page across the time-outs, and the box is reported
// once.
TEST_F(ZorbControlSession, ABoxSlowerThanTheTimeOutStillDeliversItsCalibration)
{
    constexpr auto idle = 10ms;
    box.setCalibration(test_values());
    box.setReplyDelay(16 * idle);
    start(idle);
    ASSERT_TRUE(eventually([&] { return problems == 1; }));
    EXPECT_TRUE(control->statusKnown());
    ASSERT_TRUE(eventually([&] { return confirmed(0x80000, 1); }, 10s));
    EXPECT_EQ(confirmations_seen(),
              (std::vector<Confirmation>{{0x10004, 1}, {0x30001, 1}, {0x11000, 3}, {0x80000, 1}}));
    EXPECT_EQ(control->answer10004(), 1);
    EXPECT_EQ(control->answer30001(), 1);
    EXPECT_EQ(control->answer11000(), 3);
    float values[32];
    ASSERT_EQ(control->getCalibration(values, 32), 0);
    EXPECT_FLOAT_EQ(values[0], 1.0f);
    EXPECT_NEAR(values[1], 15.999756f, 1e-6);
    for (int i = 2; i < 32; ++i) EXPECT_FLOAT_EQ(values[i], i / 16.0f) << i;
    EXPECT_EQ(count_commands(0xFFFF0000u, 0x80000), 3);
    EXPECT_EQ(problems, 1);
}

TEST_F(ZorbControlSession, StopsWithinItsWakeUpTime)
{
    control = make_control(60s);  // idle sleeps far longer than the test may take
    control->startControl();
    // The start-up questions go out before the first sleep.
    ASSERT_TRUE(eventually([&] { return box.commands().size() >= 2; }));
    std::this_thread::sleep_for(20ms);
    const auto before = std::chrono::steady_clock::now();
    control.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 30s) << "the stop request wakes the thread";
}

}  // namespace
