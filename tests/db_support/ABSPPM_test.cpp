#include "db/support/ABSPPM.h"

#include <gtest/gtest.h>

#include "db/support/DAZCompression.h"
#include "tests/db_support/CompressionTestData.h"

namespace {

using namespace compression_test;

std::vector<uint8_t> Compress(const std::vector<uint8_t>& in, int level) {
  std::vector<uint8_t> out;
  int32_t size = 0;
  PPMCompressBuf(in.data(), static_cast<int32_t>(in.size()), out, size, level);
  EXPECT_EQ(size, static_cast<int32_t>(out.size()));
  return out;
}

std::vector<uint8_t> Decompress(const std::vector<uint8_t>& in, int32_t expected) {
  std::vector<uint8_t> out;
  int32_t size = expected;
  PPMDecompressBuf(in.data(), static_cast<int32_t>(in.size()), out, size);
  EXPECT_EQ(size, static_cast<int32_t>(out.size()));
  return out;
}

String ErrorOf(const std::vector<uint8_t>& in, int32_t expected) {
  try {
    Decompress(in, expected);
  } catch (const Exception& e) {
    return e.Message;
  }
  return "";
}

TEST(PPM, HeaderNamesOrderMemoryAndVariant) {
  const struct {
    int level;
    uint8_t header[4];
  } cases[] = {
      {6, {0x87, 0x61, 0x00, 0x00}},   // order 8, 25 MB
      {0, {0x11, 0x60, 0x00, 0x00}},   // below the range: level 1
      {1, {0x11, 0x60, 0x00, 0x00}},   // order 2, 2 MB
      {12, {0x3F, 0x66, 0x00, 0x00}},  // above the range: level 9
  };
  const auto text = EnglishText(100);
  for (const auto& c : cases) {
    const auto out = Compress(text, c.level);
    ASSERT_GE(out.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4), std::vector<uint8_t>(c.header, c.header + 4))
        << "level " << c.level;
  }
}

TEST(PPM, RoundTripsAtEveryLevel) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> runs;
  for (int i = 0; i < 40; ++i) runs.insert(runs.end(), 1000 + i * 37, static_cast<uint8_t>(i * 11));
  const std::vector<std::vector<uint8_t>> corpus = {
      {'x'}, all, EnglishText(30000), RandomBytes(30000, 7), std::vector<uint8_t>(60000, 0), runs,
  };
  for (int level = 1; level <= 9; ++level) {
    for (size_t i = 0; i < corpus.size(); ++i) {
      const auto packed = Compress(corpus[i], level);
      EXPECT_EQ(Decompress(packed, static_cast<int32_t>(corpus[i].size())), corpus[i]) << "level " << level << " input " << i;
    }
  }
  // Text shrinks, noise grows only a little.
  EXPECT_LT(Compress(EnglishText(30000), 6).size(), 30000u / 3);
  EXPECT_LT(Compress(RandomBytes(30000, 7), 6).size(), 30000u + 30000 / 20 + 50);
}

TEST(PPM, ModelRestartsWhenItsMemoryRunsOut) {
  auto input = EnglishText(500000);
  const auto varied = VariedBytes(1500000, 3);
  input.insert(input.end(), varied.begin(), varied.end());
  const auto packed = Compress(input, 1);
  const int restarts = PPMLastModelRestarts();
  EXPECT_GT(restarts, 0);
  EXPECT_EQ(Decompress(packed, static_cast<int32_t>(input.size())), input);
  EXPECT_EQ(PPMLastModelRestarts(), restarts);  // the decoder restarts at the same symbols
}

// Any change of the model or the coder changes these streams: stored pages
// and BLOBs would no longer decode.
TEST(PPM, GoldenStreams) {
  const std::vector<uint8_t> shortText = {'a', 'b', 'r', 'a', 'c', 'a', 'd', 'a', 'b', 'r', 'a', ' ',
                                          'a', 'b', 'r', 'a', 'c', 'a', 'd', 'a', 'b', 'r', 'a'};
  EXPECT_EQ(Compress(shortText, 6), (std::vector<uint8_t>{0x87, 0x61, 0x00, 0x00, 0xB4, 0x1C, 0x9A, 0xFB, 0x0E, 0x53,
                                                           0x81, 0x46, 0xD0, 0x94, 0x4F, 0x55, 0x94, 0x0F, 0x00}));
  const auto varied = VariedBytes(300000, 11);
  const struct {
    int level;
    size_t size;
    uint32_t crc;
  } cases[] = {{1, 101831, 4134657888u}, {6, 85933, 37078243u}, {9, 82803, 1787009028u}};
  for (const auto& c : cases) {
    const auto packed = Compress(varied, c.level);
    EXPECT_EQ(packed.size(), c.size) << "level " << c.level;
    EXPECT_EQ(CalcCRC32(0, packed.data(), static_cast<uint32_t>(packed.size())), c.crc) << "level " << c.level;
  }
}

TEST(PPM, DecoderChecksItsArgumentsAndBounds) {
  const auto text = EnglishText(5000);
  const auto packed = Compress(text, 3);
  EXPECT_EQ(ErrorOf(packed, 0), "PPM DecpmpressBuf: OutSize must be set");
  // A larger size gives the real length; a smaller one is refused, not overrun.
  EXPECT_EQ(Decompress(packed, 100000), text);
  EXPECT_EQ(ErrorOf(packed, 4999), "PPM Decompression error");
  auto foreign = packed;
  foreign[1] = 0x71;  // variant 7
  EXPECT_EQ(ErrorOf(foreign, 5000), "PPM Decompression error");
  EXPECT_EQ(ErrorOf({0x11, 0x60}, 5000), "PPM Decompression error");
  // An empty input still codes its end, and decodes to nothing.
  EXPECT_EQ(ErrorOf(Compress({}, 1), 10), "PPM Decompression error");
}

TEST(PPM, CorruptStreamsFailCleanly) {
  const auto text = EnglishText(20000);
  const auto packed = Compress(text, 2);
  uint32_t x = 99;
  for (int round = 0; round < 300; ++round) {
    auto broken = packed;
    x = x * 1103515245 + 12345;
    if (round % 3 == 0) {
      broken.resize(4 + (x >> 8) % (packed.size() - 4));
    } else {
      for (int k = 0; k < 1 + round % 4; ++k) {
        x = x * 1103515245 + 12345;
        broken[4 + (x >> 8) % (packed.size() - 4)] ^= static_cast<uint8_t>(1 + (x >> 24) % 255);
      }
    }
    std::vector<uint8_t> out;
    int32_t size = static_cast<int32_t>(text.size());
    try {
      PPMDecompressBuf(broken.data(), static_cast<int32_t>(broken.size()), out, size);
      EXPECT_LE(size, static_cast<int32_t>(text.size()));
    } catch (const Exception&) {
      EXPECT_EQ(size, 0);
    }
  }
}

}  // namespace
