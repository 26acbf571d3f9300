// Multichannel buffers: owned storage, reformatting, and borrowing channels
// by sharing and mapping, with every result code; borrowed channels outlive
// their lender's reformat and destruction (AddressSanitizer watches).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "framework/audio_buffer.h"

namespace {

vxAudioInterface realFormat(int channels, int frames, float rate = 48000.0f) {
    return vxAudioInterface::timeDomain(channels, rate, frames);
}

vxAudioInterface complexFormat(int channels, int frames) {
    vxAudioInterface format = realFormat(channels, frames);
    format.setReal(false);
    return format;
}

// A buffer that owns zeroed storage of the format.
std::unique_ptr<vxAudioBuffer> owner(const vxAudioInterface& format) {
    auto buffer = std::make_unique<vxAudioBuffer>(format);
    EXPECT_EQ(buffer->allocateStorage(), vxOK);
    return buffer;
}

// Channel c of the buffer holds c * 1000 + i at sample i.
void fillCounting(vxAudioBuffer& buffer, int floats) {
    for (int c = 0; c < buffer.channelCount(); ++c)
        for (int i = 0; i < floats; ++i) buffer.channelData(c)[i] = static_cast<float>(c * 1000 + i);
}

bool allZero(const float* samples, int floats) {
    for (int i = 0; i < floats; ++i)
        if (samples[i] != 0.0f) return false;
    return true;
}

TEST(AudioBuffer, StartsValidWithNullChannelsAndNoStorage) {
    vxAudioBuffer buffer(realFormat(4, 64));
    ASSERT_TRUE(buffer.isValid());
    EXPECT_FALSE(buffer.ownsStorage());
    EXPECT_EQ(buffer.channelCount(), 4);
    ASSERT_NE(buffer.channelArray(), nullptr);
    for (int c = -1; c <= 4; ++c) EXPECT_EQ(buffer.channelData(c), nullptr) << c;
    ASSERT_NE(buffer.format(), nullptr);
    EXPECT_TRUE(buffer.format()->isCompatible(realFormat(4, 64)));
}

TEST(AudioBuffer, OwnedStorageIsZeroedAlignedAndSizedForTheSampleKind) {
    for (const bool real : {true, false}) {
        SCOPED_TRACE(real ? "real" : "complex");
        const int floats = real ? 100 : 200;
        vxAudioBuffer buffer(real ? realFormat(3, 100) : complexFormat(3, 100));
        ASSERT_EQ(buffer.allocateStorage(), vxOK);
        EXPECT_TRUE(buffer.ownsStorage());
        for (int c = 0; c < 3; ++c) {
            float* samples = buffer.channelData(c);
            ASSERT_NE(samples, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(samples) % 32, 0u);
            EXPECT_EQ(buffer.channelArray()[c], samples);
            EXPECT_TRUE(allZero(samples, floats));
        }
        EXPECT_NE(buffer.channelData(0), buffer.channelData(1));

        // clear covers every float of every channel (AddressSanitizer checks
        // it stays inside).
        fillCounting(buffer, floats);
        buffer.clear();
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(allZero(buffer.channelData(c), floats));
    }
}

TEST(AudioBuffer, StorageTooLargeToAllocateLeavesAValidBufferWithoutStorage) {
    vxAudioBuffer buffer(realFormat(2, 1 << 29));  // 2 GiB a channel
    EXPECT_EQ(buffer.allocateStorage(), vxErrReformatMemory);
    EXPECT_TRUE(buffer.isValid());
    EXPECT_FALSE(buffer.ownsStorage());
    EXPECT_EQ(buffer.channelData(0), nullptr);
    EXPECT_EQ(buffer.channelData(1), nullptr);
}

TEST(AudioBuffer, EmptyFormatsOwnNothingButSucceed) {
    for (const auto& format : {realFormat(0, 64), realFormat(2, 0)}) {
        vxAudioBuffer buffer(format);
        EXPECT_EQ(buffer.allocateStorage(), vxOK);
        EXPECT_TRUE(buffer.ownsStorage());
        EXPECT_EQ(buffer.channelData(0), nullptr);
        buffer.clear();
    }
}

TEST(AudioBuffer, FreeStorageLetsGoOfOwnedChannels) {
    auto buffer = owner(realFormat(2, 16));
    buffer->freeStorage();
    EXPECT_FALSE(buffer->ownsStorage());
    EXPECT_EQ(buffer->channelData(0), nullptr);
    EXPECT_EQ(buffer->allocateStorage(), vxOK);
    EXPECT_NE(buffer->channelData(1), nullptr);
}

TEST(AudioBuffer, ReformatOfAnOwnerAllocatesFreshStorageForTheNewFormat) {
    auto buffer = owner(realFormat(2, 16));
    fillCounting(*buffer, 16);
    ASSERT_EQ(buffer->reformat(complexFormat(5, 32)), vxOK);
    EXPECT_TRUE(buffer->isValid());
    EXPECT_TRUE(buffer->ownsStorage());
    EXPECT_EQ(buffer->channelCount(), 5);
    EXPECT_FALSE(buffer->format()->isReal());
    for (int c = 0; c < 5; ++c) {
        ASSERT_NE(buffer->channelData(c), nullptr);
        EXPECT_TRUE(allZero(buffer->channelData(c), 64));
    }
}

TEST(AudioBuffer, ReformatOfABorrowerDropsItsChannels) {
    auto lender = owner(realFormat(2, 16));
    vxAudioBuffer borrower(realFormat(2, 16));
    ASSERT_EQ(borrower.shareChannels(*lender), vxOK);
    for (const int channels : {2, 3}) {
        ASSERT_EQ(borrower.reformat(realFormat(channels, 16)), vxOK);
        EXPECT_FALSE(borrower.ownsStorage());
        for (int c = 0; c < channels; ++c) EXPECT_EQ(borrower.channelData(c), nullptr);
        ASSERT_EQ(borrower.reformat(realFormat(2, 16)), vxOK);
        ASSERT_EQ(borrower.shareChannels(*lender), vxOK);
    }
}

TEST(AudioBuffer, AnInvalidBufferRefusesWorkAndIsRebuiltByReformat) {
    vxAudioBuffer invalid(realFormat(-1, 16));
    auto valid = owner(realFormat(2, 16));
    vxAudioBuffer borrower(realFormat(2, 16));
    EXPECT_FALSE(invalid.isValid());
    EXPECT_EQ(invalid.format(), nullptr);
    EXPECT_EQ(invalid.channelData(0), nullptr);
    EXPECT_EQ(invalid.allocateStorage(), vxErrBufferInvalid);
    EXPECT_EQ(invalid.shareChannels(*valid), vxErrBufferInvalid);
    EXPECT_EQ(invalid.mapChannels(*valid, 1, 0, 0), vxErrBufferInvalid);
    EXPECT_EQ(borrower.shareChannels(invalid), vxErrBufferInvalid);
    EXPECT_EQ(borrower.mapChannels(invalid, 1, 0, 0), vxErrBufferInvalid);
    invalid.clear();
    invalid.freeStorage();

    ASSERT_EQ(invalid.reformat(realFormat(2, 16)), vxOK);
    EXPECT_TRUE(invalid.isValid());
    EXPECT_EQ(invalid.shareChannels(*valid), vxOK);
    EXPECT_EQ(invalid.channelData(1), valid->channelData(1));

    // A reformat to an impossible format fails and leaves it not valid.
    EXPECT_EQ(invalid.reformat(realFormat(-3, 16)), vxErrReformatMemory);
    EXPECT_FALSE(invalid.isValid());
}

struct BorrowCase {
    std::string name;
    vxAudioInterface lender;
    vxAudioInterface borrower;
    bool borrowerOwns;
    vxResult share;
};

class Sharing : public testing::TestWithParam<BorrowCase> {};

TEST_P(Sharing, TakesEveryChannelOfAnEqualShape) {
    const BorrowCase& c = GetParam();
    auto lender = owner(c.lender);
    vxAudioBuffer borrower(c.borrower);
    if (c.borrowerOwns) {
        ASSERT_EQ(borrower.allocateStorage(), vxOK);
    }
    float* before = borrower.channelData(0);
    ASSERT_EQ(borrower.shareChannels(*lender), c.share);
    if (c.share != vxOK) {
        EXPECT_EQ(borrower.channelData(0), before) << "a refused share changes nothing";
        return;
    }
    for (int ch = 0; ch < c.borrower.channels(); ++ch) EXPECT_EQ(borrower.channelData(ch), lender->channelData(ch));
}

vxAudioInterface frequencyFormat(int channels, int fftSize) {
    vxAudioInterface format = realFormat(channels, 0);
    format.setDomain(vxAudioInterface::kFrequencyDomain);
    format.setFftSize(fftSize);
    return format;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Sharing,
    testing::Values(BorrowCase{"equal", realFormat(4, 64), realFormat(4, 64), false, vxOK},
                    // Domain and rate are not compared: only the memory shape matters.
                    BorrowCase{"otherRate", realFormat(4, 64), realFormat(4, 64, 44100.0f), false, vxOK},
                    BorrowCase{"otherDomainSameFrames", realFormat(4, 65), frequencyFormat(4, 128), false, vxOK},
                    BorrowCase{"channels", realFormat(4, 64), realFormat(3, 64), false, vxErrFormat},
                    BorrowCase{"frames", realFormat(4, 64), realFormat(4, 32), false, vxErrFormat},
                    BorrowCase{"sampleKind", realFormat(4, 64), complexFormat(4, 64), false, vxErrFormat},
                    BorrowCase{"borrowerOwnsStorage", realFormat(4, 64), realFormat(4, 64), true, vxErrFormat}),
    [](const testing::TestParamInfo<BorrowCase>& info) { return info.param.name; });

struct MapCase {
    std::string name;
    int borrowerChannels;
    int count, srcOffset, dstOffset;
    vxResult result;
};

class Mapping : public testing::TestWithParam<MapCase> {};

// From a 32-channel lender of 64 frames.
TEST_P(Mapping, TakesARangeInsideBothBuffers) {
    const MapCase& c = GetParam();
    auto lender = owner(realFormat(32, 64));
    vxAudioBuffer borrower(realFormat(c.borrowerChannels, 64));
    ASSERT_EQ(borrower.mapChannels(*lender, c.count, c.srcOffset, c.dstOffset), c.result);
    for (int ch = 0; ch < c.borrowerChannels; ++ch) {
        const bool mapped = c.result == vxOK && ch >= c.dstOffset && ch < c.dstOffset + c.count;
        EXPECT_EQ(borrower.channelData(ch), mapped ? lender->channelData(c.srcOffset + ch - c.dstOffset) : nullptr)
            << "channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Mapping,
    testing::Values(MapCase{"all", 32, 32, 0, 0, vxOK}, MapCase{"middle", 8, 3, 29, 5, vxOK},
                    MapCase{"nothing", 4, 0, 32, 4, vxOK},
                    MapCase{"pastTheSourceEnd", 32, 2, 31, 0, vxErrChannelRange},
                    MapCase{"pastTheDestinationEnd", 4, 2, 0, 3, vxErrChannelRange},
                    MapCase{"negativeCount", 4, -1, 0, 0, vxErrChannelRange},
                    MapCase{"negativeSource", 4, 1, -1, 0, vxErrChannelRange},
                    MapCase{"negativeDestination", 4, 1, 0, -1, vxErrChannelRange},
                    MapCase{"overflowingRange", 4, 2147483647, 0, 2, vxErrChannelRange}),
    [](const testing::TestParamInfo<MapCase>& info) { return info.param.name; });

TEST(AudioBuffer, MappingRefusesOtherShapesAndOwners) {
    auto lender = owner(realFormat(32, 64));
    vxAudioBuffer otherFrames(realFormat(2, 32));
    vxAudioBuffer complex(complexFormat(2, 64));
    auto owning = owner(realFormat(2, 64));
    EXPECT_EQ(otherFrames.mapChannels(*lender, 1, 0, 0), vxErrFormat);
    EXPECT_EQ(complex.mapChannels(*lender, 1, 0, 0), vxErrFormat);
    EXPECT_EQ(owning->mapChannels(*lender, 1, 0, 0), vxErrFormat);
    // A different channel count is fine for a mapping.
    vxAudioBuffer wider(realFormat(40, 64));
    EXPECT_EQ(wider.mapChannels(*lender, 32, 0, 8), vxOK);
}

TEST(AudioBuffer, BorrowedChannelsAreTheLendersSamples) {
    auto lender = owner(realFormat(4, 8));
    vxAudioBuffer shared(realFormat(4, 8));
    vxAudioBuffer mapped(realFormat(3, 8));
    ASSERT_EQ(shared.shareChannels(*lender), vxOK);
    // One source channel into several destinations.
    for (int dst = 0; dst < 3; ++dst) ASSERT_EQ(mapped.mapChannels(*lender, 1, 2, dst), vxOK);

    shared.channelData(2)[5] = 7.0f;
    EXPECT_EQ(lender->channelData(2)[5], 7.0f);
    for (int dst = 0; dst < 3; ++dst) EXPECT_EQ(mapped.channelData(dst)[5], 7.0f);
    mapped.channelData(1)[0] = -1.0f;
    EXPECT_EQ(shared.channelData(2)[0], -1.0f);

    // Clearing a borrower clears the lender's samples.
    shared.clear();
    EXPECT_EQ(lender->channelData(2)[5], 0.0f);
    // Freeing storage is the owner's business: a borrower keeps its channels.
    shared.freeStorage();
    EXPECT_EQ(shared.channelData(2), lender->channelData(2));
}

TEST(AudioBuffer, BorrowedChannelsSurviveTheLendersReformatAndDestruction) {
    auto lender = owner(realFormat(4, 8));
    fillCounting(*lender, 8);
    vxAudioBuffer shared(realFormat(4, 8));
    vxAudioBuffer mapped(realFormat(2, 8));
    vxAudioBuffer secondHand(realFormat(4, 8));  // shares the sharer
    ASSERT_EQ(shared.shareChannels(*lender), vxOK);
    ASSERT_EQ(mapped.mapChannels(*lender, 2, 2, 0), vxOK);
    ASSERT_EQ(secondHand.shareChannels(shared), vxOK);
    float* const lent = lender->channelData(3);

    ASSERT_EQ(lender->reformat(realFormat(4, 8)), vxOK);
    EXPECT_NE(lender->channelData(3), nullptr);
    // The borrowers still hold the lent samples, no longer the lender's.
    EXPECT_EQ(shared.channelData(3), lent);
    lender->channelData(3)[1] = 99.0f;
    EXPECT_EQ(shared.channelData(3)[1], 3001.0f);
    ASSERT_EQ(shared.shareChannels(*lender), vxOK);
    EXPECT_EQ(shared.channelData(3)[1], 99.0f) << "sharing again joins the new storage";

    lender.reset();
    // Every channel still readable and writable where it was lent.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(mapped.channelData(c)[i], static_cast<float>((c + 2) * 1000 + i));
            EXPECT_EQ(secondHand.channelData(c + 2)[i], mapped.channelData(c)[i]);
        }
    mapped.clear();
    EXPECT_EQ(secondHand.channelData(3)[7], 0.0f);
    EXPECT_EQ(shared.channelData(3)[1], 99.0f);
}

TEST(AudioBuffer, SharingWithItselfKeepsItsChannels) {
    auto lender = owner(realFormat(2, 8));
    vxAudioBuffer borrower(realFormat(2, 8));
    ASSERT_EQ(borrower.shareChannels(*lender), vxOK);
    float* const lent = borrower.channelData(1);
    lender.reset();
    ASSERT_EQ(borrower.shareChannels(borrower), vxOK);
    ASSERT_EQ(borrower.mapChannels(borrower, 1, 1, 1), vxOK);
    EXPECT_EQ(borrower.channelData(1), lent);
    lent[7] = 1.0f;  // still alive
}

}  // namespace
