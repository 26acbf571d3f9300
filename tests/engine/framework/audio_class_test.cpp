// The base block: configuration while running, the processing entries and
// their checks, the base copy, start/stop, the base parameter operations and
// the typed parameter copy for every type width.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/channel_set.h"
#include "framework/audio_class.h"

namespace {

// The base block as it stands, with its protected operations in reach.
class PlainBlock : public vxAudioClass {
public:
    using vxAudioClass::copyParameterValue;
    using vxAudioClass::setChannelParameterTable;
    using vxAudioClass::setClassId;
    using vxAudioClass::setParameterTable;
};

vxAudioInterface realFormat(int channels, int frames) {
    return vxAudioInterface::timeDomain(channels, 48000.0f, frames);
}

constexpr float kUntouched = -5.0f;

// Input channel c holds c * 100 + i + 1 at sample i.
ChannelSet countingInput(int channels, int floats) {
    ChannelSet in(channels, floats);
    in.fill([](int c, int i) { return static_cast<float>(c * 100 + i + 1); });
    return in;
}

TEST(AudioClass, StartsUnconfiguredAndStoppedWithoutParameters) {
    PlainBlock block;
    EXPECT_FALSE(block.isConfigured());
    EXPECT_FALSE(block.isRunning());
    EXPECT_EQ(block.classId(), 0);
    EXPECT_EQ(block.parameterTable().count, 0);
    EXPECT_EQ(block.channelParameterTable().count, 0);
    float value = 0.0f;
    EXPECT_EQ(block.setParameter(0, 0, &value, 1, vxTypeFloat32), vxErrNoParameter);
    EXPECT_EQ(block.getParameter(0, 0, &value, 1, vxTypeFloat32), vxErrNoParameter);
    EXPECT_EQ(block.setChannelParameter(0, 0, &value, 1, vxTypeFloat32), vxErrNoChannelParameter);
    EXPECT_EQ(block.getChannelParameter(0, 0, &value, 1, vxTypeFloat32), vxErrNoChannelParameter);
    block.setClassId(10100);
    EXPECT_EQ(block.classId(), 10100);
}

TEST(AudioClass, ConfigureIsRefusedWhileRunningAndKeepsTheFormats) {
    PlainBlock block;
    ASSERT_EQ(block.configure(realFormat(4, 64), realFormat(2, 64)), vxOK);
    EXPECT_TRUE(block.isConfigured());
    ASSERT_EQ(block.start(), vxOK);
    EXPECT_TRUE(block.isRunning());
    EXPECT_EQ(block.configure(realFormat(8, 32), realFormat(8, 32)), vxErrRunning);
    EXPECT_EQ(block.inputFormat().channels(), 4);
    EXPECT_EQ(block.outputFormat().channels(), 2);
    ASSERT_EQ(block.stop(), vxOK);
    EXPECT_FALSE(block.isRunning());
    ASSERT_EQ(block.configure(realFormat(8, 32), realFormat(8, 32)), vxOK);
    EXPECT_EQ(block.inputFormat().frames(), 32);
}

TEST(AudioClass, ProcessNeedsAConfigurationAndCopiesNothingWithout) {
    PlainBlock block;
    ChannelSet in = countingInput(2, 16), out(2, 16, kUntouched);
    EXPECT_EQ(block.process(in.pointers(), out.pointers(), 16), vxErrNotConfigured);
    EXPECT_EQ(block.processDefault(in.pointers(), out.pointers()), vxErrNotConfigured);
    EXPECT_EQ(out[0], std::vector<float>(16, kUntouched));
}

// The base copies the channels both sides have, in the input's sample kind.
TEST(AudioClass, BaseProcessCopiesTheChannelsBothFormatsHave) {
    struct Case {
        int inputs, outputs;
        bool real;
    };
    for (const Case c : {Case{4, 2, true}, Case{2, 4, true}, Case{3, 3, false}}) {
        SCOPED_TRACE(testing::Message() << c.inputs << " in, " << c.outputs << " out, real " << c.real);
        vxAudioInterface in = realFormat(c.inputs, 16), out = realFormat(c.outputs, 16);
        in.setReal(c.real);
        out.setReal(c.real);
        PlainBlock block;
        ASSERT_EQ(block.configure(in, out), vxOK);
        const int floats = c.real ? 16 : 32;
        ChannelSet input = countingInput(4, floats + 1), output(4, floats + 1, kUntouched);
        ASSERT_EQ(block.process(input.pointers(), output.pointers(), 10), vxOK);
        const int copiedFloats = c.real ? 10 : 20;
        for (int ch = 0; ch < 4; ++ch)
            for (int i = 0; i <= floats; ++i) {
                const bool copied = ch < std::min(c.inputs, c.outputs) && i < copiedFloats;
                ASSERT_EQ(output[ch][i], copied ? input[ch][i] : kUntouched) << "channel " << ch << " float " << i;
            }
        // The default frame count is the input format's.
        ASSERT_EQ(block.processDefault(input.pointers(), output.pointers()), vxOK);
        EXPECT_EQ(output[0][floats - 1], input[0][floats - 1]);
        EXPECT_EQ(output[0][floats], kUntouched);
    }
}

TEST(AudioClass, BaseProcessReportsFailedCopiesAfterTryingEveryChannel) {
    PlainBlock block;
    ASSERT_EQ(block.configure(realFormat(3, 8), realFormat(3, 8)), vxOK);
    ChannelSet in = countingInput(3, 8), out(3, 8, kUntouched);
    out.pointers()[1] = nullptr;
    EXPECT_EQ(block.process(in.pointers(), out.pointers(), 8), vxErrKernelBase + dspStsNullPtrErr);
    EXPECT_EQ(out[2], in[2]) << "the channels after a failure are still copied";
    EXPECT_EQ(block.process(in.pointers(), out.pointers(), 0), vxErrKernelBase + dspStsSizeErr);
    EXPECT_EQ(block.process(nullptr, out.pointers(), 8), vxErrBadArgument);
}

class BufferEntries : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(block.configure(realFormat(2, 16), realFormat(2, 16)), vxOK);
        ASSERT_EQ(in.allocateStorage(), vxOK);
        ASSERT_EQ(out.allocateStorage(), vxOK);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 16; ++i) {
                in.channelData(c)[i] = static_cast<float>(i + 1);
                out.channelData(c)[i] = kUntouched;
            }
    }
    int copiedFrames() const {
        int n = 0;
        while (n < 16 && out.channelData(1)[n] == in.channelData(1)[n]) ++n;
        return n;
    }

    PlainBlock block;
    vxAudioBuffer in{realFormat(2, 16)};
    vxAudioBuffer out{realFormat(2, 16)};
};

TEST_F(BufferEntries, ProcessTheRequestedOrTheBuffersFrames) {
    ASSERT_EQ(block.processBuffers(&in, &out, 5), vxOK);
    EXPECT_EQ(copiedFrames(), 5);
    ASSERT_EQ(block.processBuffersDefault(&in, &out), vxOK);
    EXPECT_EQ(copiedFrames(), 16);
}

TEST_F(BufferEntries, RefuseMoreFramesThanConfiguredWithoutProcessing) {
    EXPECT_EQ(block.processBuffers(&in, &out, 17), vxErrFormat);
    EXPECT_EQ(copiedFrames(), 0);
}

TEST_F(BufferEntries, RefuseBuffersOfAnotherFormatOnEitherSide) {
    vxAudioBuffer fewerChannels(realFormat(1, 16)), otherFrames(realFormat(2, 32));
    vxAudioBuffer otherRate(vxAudioInterface::timeDomain(2, 44100.0f, 16));
    for (vxAudioBuffer* other : {&fewerChannels, &otherFrames, &otherRate}) {
        ASSERT_EQ(other->allocateStorage(), vxOK);
        EXPECT_EQ(block.processBuffers(other, &out, 8), vxErrFormat);
        EXPECT_EQ(block.processBuffers(&in, other, 8), vxErrFormat);
        EXPECT_EQ(block.processBuffersDefault(other, &out), vxErrFormat);
        EXPECT_EQ(block.processBuffersDefault(&in, other), vxErrFormat);
    }
    EXPECT_EQ(copiedFrames(), 0);
}

TEST_F(BufferEntries, RefuseMissingOrInvalidBuffers) {
    vxAudioBuffer invalid(realFormat(-1, 16));
    EXPECT_EQ(block.processBuffers(nullptr, &out, 8), vxErrBufferInvalid);
    EXPECT_EQ(block.processBuffers(&in, &invalid, 8), vxErrBufferInvalid);
    EXPECT_EQ(block.processBuffersDefault(&invalid, &out), vxErrBufferInvalid);
    EXPECT_EQ(block.processBuffersDefault(&in, nullptr), vxErrBufferInvalid);
}

TEST(AudioClass, ParameterTablesWithANegativeCountAreRefused) {
    PlainBlock block;
    static constexpr vxParameterName names[] = {"gain"};
    static constexpr int counts[] = {1};
    static constexpr int types[] = {vxTypeFloat32};
    EXPECT_EQ(block.setParameterTable(names, counts, types, -1), vxErrBadArgument);
    EXPECT_EQ(block.setChannelParameterTable(names, counts, types, -1), vxErrBadArgument);
    EXPECT_EQ(block.parameterTable().count, 0);
    ASSERT_EQ(block.setParameterTable(names, counts, types, 1), vxOK);
    EXPECT_EQ(block.parameterTable().count, 1);
    EXPECT_STREQ(block.parameterTable().names[0], "gain");
    EXPECT_EQ(block.channelParameterTable().count, 0);
}

// One table entry of two elements for every type code 0..19, and strings.
class ParameterCopy : public testing::Test {
protected:
    static constexpr int kTypes = 20;
    static constexpr int kStringId = kTypes;       // 8-bit string of up to 33 characters
    static constexpr int kWideStringId = kTypes + 1;  // 16-bit string of up to 4 characters

    void SetUp() override {
        for (int type = 0; type < kTypes; ++type) {
            names[type][0] = static_cast<char>('a' + type);
            counts[type] = 2;
            types[type] = type;
        }
        counts[kStringId] = 33;
        types[kStringId] = vxTypeString;
        counts[kWideStringId] = 4;
        types[kWideStringId] = vxTypeWideString;
        ASSERT_EQ(block.setParameterTable(names, counts, types, kTypes + 2), vxOK);
        ASSERT_EQ(block.setChannelParameterTable(names, counts, types, kTypes + 2), vxOK);
        for (int i = 0; i < 64; ++i) source[i] = static_cast<std::uint8_t>(i + 1);
        destination.fill(0xEE);
    }
    // Bytes of the destination that were written, from the start.
    int bytesCopied() const {
        int n = 0;
        while (n < 64 && destination[n] == source[n]) ++n;
        return n;
    }

    PlainBlock block;
    vxParameterName names[kTypes + 2] = {};
    int counts[kTypes + 2] = {};
    int types[kTypes + 2] = {};
    std::array<std::uint8_t, 64> source{};
    std::array<std::uint8_t, 64> destination{};
};

TEST_F(ParameterCopy, CopiesTheWidthOfEveryKnownTypeAndRefusesTheRest) {
    // Bytes per element by type code; 0 for codes without a width.
    constexpr int kWidths[kTypes] = {1, 1, 2, 0, 0, 2, 4, 8, 2, 4, 8, 4, 8, 16, 4, 8, 16, 4, 8, 0};
    for (const bool channelTable : {false, true})
        for (int type = 0; type < kTypes; ++type) {
            if (type == vxTypeString || type == vxTypeWideString) continue;
            SCOPED_TRACE(testing::Message() << "type " << type << (channelTable ? " channel" : " global"));
            destination.fill(0xEE);
            const vxResult r = block.copyParameterValue(source.data(), type, destination.data(), 2, type, channelTable);
            EXPECT_EQ(r, kWidths[type] != 0 ? vxOK : vxErrUnknownType);
            EXPECT_EQ(bytesCopied(), 2 * kWidths[type]);
            EXPECT_EQ(vxParameterElementBytes(type), kWidths[type]);
        }
}

TEST_F(ParameterCopy, RefusesAnotherCountOrTypeThanTheTables) {
    struct Case {
        int id, count, type;
    };
    for (const Case c : {Case{vxTypeFloat32, 1, vxTypeFloat32}, Case{vxTypeFloat32, 3, vxTypeFloat32},
                         Case{vxTypeFloat32, 2, vxTypeInt32}, Case{vxTypeFlag, 2, vxTypeByte},
                         Case{vxTypeFloat32, -2, vxTypeFloat32}, Case{19, 2, 18},
                         // A string never lands in storage of another type.
                         Case{vxTypeFloat32, 1, vxTypeString}, Case{vxTypeFlag, 0, vxTypeString},
                         Case{kStringId, 2, vxTypeWideString}, Case{kStringId, 34, vxTypeString},
                         Case{kStringId, -1, vxTypeString}, Case{kWideStringId, 5, vxTypeWideString}}) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " count " << c.count << " type " << c.type);
        EXPECT_EQ(block.copyParameterValue(source.data(), c.id, destination.data(), c.count, c.type, false),
                  vxErrParameterMismatch);
        EXPECT_EQ(bytesCopied(), 0);
    }
}

TEST_F(ParameterCopy, StringsCopyTheirCharactersAndTheTerminator) {
    EXPECT_EQ(block.copyParameterValue(source.data(), kStringId, destination.data(), 10, vxTypeString, false), vxOK);
    EXPECT_EQ(bytesCopied(), 11);
    destination.fill(0xEE);
    EXPECT_EQ(block.copyParameterValue(source.data(), kStringId, destination.data(), 33, vxTypeString, true), vxOK);
    EXPECT_EQ(bytesCopied(), 34);
    destination.fill(0xEE);
    EXPECT_EQ(block.copyParameterValue(source.data(), kWideStringId, destination.data(), 3, vxTypeWideString, false),
              vxOK);
    EXPECT_EQ(bytesCopied(), 8);
}

TEST_F(ParameterCopy, IdsOutsideTheTableAndNullPointersAreRefused) {
    for (const int id : {-1, kTypes + 2}) {
        EXPECT_EQ(block.copyParameterValue(source.data(), id, destination.data(), 2, vxTypeFloat32, false),
                  vxErrNoParameterId);
        EXPECT_EQ(block.copyParameterValue(source.data(), id, destination.data(), 2, vxTypeFloat32, true),
                  vxErrNoChannelParameterId);
    }
    EXPECT_EQ(block.copyParameterValue(nullptr, vxTypeFloat32, destination.data(), 2, vxTypeFloat32, false),
              vxErrBadArgument);
    EXPECT_EQ(block.copyParameterValue(source.data(), vxTypeFloat32, nullptr, 2, vxTypeFloat32, true),
              vxErrBadArgument);
    EXPECT_EQ(bytesCopied(), 0);
}

// Each table is consulted on its own.
TEST(AudioClass, ParameterCopyReadsTheTableItIsAskedFor) {
    PlainBlock block;
    static constexpr vxParameterName globalNames[] = {"count"};
    static constexpr int globalCounts[] = {1}, globalTypes[] = {vxTypeInt32};
    static constexpr vxParameterName channelNames[] = {"gain"};
    static constexpr int channelCounts[] = {1}, channelTypes[] = {vxTypeFloat32};
    ASSERT_EQ(block.setParameterTable(globalNames, globalCounts, globalTypes, 1), vxOK);
    ASSERT_EQ(block.setChannelParameterTable(channelNames, channelCounts, channelTypes, 1), vxOK);
    const float gain = 0.5f;
    float copy = 0.0f;
    EXPECT_EQ(block.copyParameterValue(&gain, 0, &copy, 1, vxTypeFloat32, false), vxErrParameterMismatch);
    EXPECT_EQ(block.copyParameterValue(&gain, 0, &copy, 1, vxTypeFloat32, true), vxOK);
    EXPECT_EQ(copy, 0.5f);
}

}  // namespace
