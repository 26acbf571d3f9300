// What every backend's createBuffers shares: the channel-list check and the
// layout of the buffer halves.
#include "audio/driver_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvelan::audio {
namespace {

BufferInfo entry(bool isInput, int channel) {
  BufferInfo info;
  info.isInput = isInput ? 1 : 0;
  info.channelNum = channel;
  return info;
}

TEST(DriverSupport, ChannelListNamesEachExistingChannelOnce) {
  struct Case {
    const char* what;
    std::vector<BufferInfo> list;
    bool valid;
  };
  // A device with 4 inputs and 2 outputs.
  const std::vector<Case> cases = {
      {"empty", {}, true},
      {"every channel", {entry(true, 0), entry(true, 3), entry(false, 0), entry(false, 1)}, true},
      {"the same number in both directions", {entry(true, 1), entry(false, 1)}, true},
      {"input past the last", {entry(true, 4)}, false},
      {"output past the last, though inputs go that far", {entry(false, 2)}, false},
      {"negative channel", {entry(false, -1)}, false},
      {"an input twice, not adjacent", {entry(true, 2), entry(false, 0), entry(true, 2)}, false},
      {"an output twice", {entry(false, 1), entry(false, 1)}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(channelListValid(c.list.data(), long(c.list.size()), 4, 2), c.valid) << c.what;
  }
  // Any non-zero isInput means an input.
  BufferInfo odd = entry(true, 3);
  odd.isInput = 7;
  EXPECT_TRUE(channelListValid(&odd, 1, 4, 2));
}

TEST(DriverSupport, HalvesAreZeroedDistinctAndInListOrder) {
  std::vector<BufferInfo> list = {entry(false, 1), entry(true, 0), entry(true, 2)};
  std::vector<std::uint8_t> storage(5, 0xAB);  // old contents must not survive
  const std::size_t half = 12;
  layOutBufferHalves(storage, list.data(), long(list.size()), half);

  ASSERT_EQ(storage.size(), half * 2 * list.size());
  for (std::uint8_t byte : storage) ASSERT_EQ(byte, 0);
  for (std::size_t i = 0; i < list.size(); ++i)
    for (int h = 0; h < 2; ++h)
      EXPECT_EQ(list[i].buffers[h], storage.data() + (i * 2 + std::size_t(h)) * half) << "entry " << i << " half " << h;

  std::vector<float> floats;
  layOutBufferHalves(floats, list.data(), 1, 4);
  EXPECT_EQ(floats.size(), 8u);
  EXPECT_EQ(list[0].buffers[1], floats.data() + 4);
}

}  // namespace
}  // namespace orvelan::audio
