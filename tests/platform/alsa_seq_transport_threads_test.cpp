// The ALSA sequencer transport. The byte/event conversion and the alias need
// no sequencer; the port tests run only where /dev/snd/seq can be opened
// and otherwise skip.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "midi/alsa_seq_transport.h"

namespace {

using namespace orvelan::platform::midi;
using Bytes = std::vector<std::uint8_t>;

TEST(AlsaSeqTransport, AliasNamesThePortAsTheHostExpects)
{
    const std::vector<alsa_port_alias> aliases = {{"Box MIDI 1", "TCAT Dice EVM Platform"}};
    EXPECT_EQ(alsa_shown_name("Box MIDI 1", aliases), "TCAT Dice EVM Platform");
    EXPECT_EQ(alsa_shown_name("Box MIDI 2", aliases), "Box MIDI 2");
    EXPECT_EQ(alsa_shown_name("box midi 1", aliases), "box midi 1") << "names match exactly";
}

TEST(AlsaSeqTransport, CodecRoundTripsMessagesCutAnywhere)
{
    Bytes stream = {0x90, 0x3C, 0x40, 0xB1, 0x07, 0x7F, 0xC2, 0x05, 0xE0, 0x00, 0x40, 0xF8, 0xF2, 0x01, 0x02};
    Bytes sysex(300, 0x11);  // longer than the codec's buffer
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    stream.insert(stream.end(), sysex.begin(), sysex.end());
    std::mt19937 rng(5);
    for (int round = 0; round < 50; ++round) {
        alsa_midi_codec codec(256);
        ASSERT_TRUE(codec.valid());
        Bytes back, piece;
        int events = 0;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 40, stream.size() - at);
            ASSERT_TRUE(codec.encode(stream.data() + at, n, [&](snd_seq_event_t& event) {
                ++events;
                codec.decode(event, piece);
                back.insert(back.end(), piece.begin(), piece.end());
                return true;
            }));
            at += n;
        }
        ASSERT_EQ(back, stream) << "round " << round;
        EXPECT_GE(events, 8) << "the long message comes as more than one event";
    }
}

struct Collector : midi_byte_receiver {
    std::mutex mutex;
    std::condition_variable arrived;
    Bytes bytes;
    void receive(const std::uint8_t* p, std::size_t n) override
    {
        std::lock_guard lock(mutex);
        bytes.insert(bytes.end(), p, p + n);
        arrived.notify_all();
    }
    bool wait_for(std::size_t n)
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(2), [&] { return bytes.size() >= n; });
    }
};

// Needs a sequencer with a port that echoes what it is sent, such as the
// dummy client of snd-seq-dummy ("Midi Through Port-0").
TEST(AlsaSeqTransport, SendsAndReceivesThroughAThroughPort)
{
    if (!alsa_seq_transport::available()) GTEST_SKIP() << "no /dev/snd/seq";
    alsa_seq_transport transport(std::vector<alsa_port_alias>{{"Midi Through Port-0", "through"}});
    const auto outputs = transport.output_names();
    const auto inputs = transport.input_names();
    const auto out_at = std::find(outputs.begin(), outputs.end(), "through");
    const auto in_at = std::find(inputs.begin(), inputs.end(), "through");
    if (out_at == outputs.end() || in_at == inputs.end()) GTEST_SKIP() << "no through port (snd-seq-dummy)";

    Collector collector;
    auto in = transport.open_input(static_cast<std::size_t>(in_at - inputs.begin()), collector);
    auto out = transport.open_output(static_cast<std::size_t>(out_at - outputs.begin()));
    ASSERT_TRUE(in && out);
    ASSERT_TRUE(in->start());
    Bytes frame(108, 0x41);
    frame.front() = 0xF0;
    frame.back() = 0xF7;
    int done = 0;
    EXPECT_EQ(out->send(frame.data(), frame.size(), [](void* d) { ++*static_cast<int*>(d); }, &done),
              send_status::sent);
    EXPECT_EQ(done, 1);
    ASSERT_TRUE(collector.wait_for(frame.size()));
    EXPECT_EQ(collector.bytes, frame);
    in->stop();
}

}  // namespace
