#include "db/support/DAZCompressedBLOB.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "db/support/DAZExcept.h"
#include "tests/db_support/CompressionTestData.h"

namespace {

using namespace compression_test;

constexpr int64_t kStart = 100;  // bytes of other data before the BLOB
constexpr int32_t kMB = 1048576;

int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EABSException& e) {
    return e.NativeError;
  }
  return 0;
}

TABSBLOBDescriptor NewDescriptor(TABSCompressionAlgorithm alg, uint8_t mode, int32_t blockSize = 0) {
  TABSBLOBDescriptor d;
  d.CompressionAlgorithm = alg;
  d.CompressionMode = mode;
  d.BlockSize = blockSize;
  d.StartPosition = kStart;
  return d;
}

std::vector<uint8_t> ReadAll(TABSCompressedBLOBStream& blob) {
  std::vector<uint8_t> v(static_cast<size_t>(blob.Size()));
  blob.Seek(0, soBeginning);
  EXPECT_EQ(blob.Read(v.data(), blob.Size()), blob.Size());
  return v;
}

TABSCompressedStreamBlockHeader StoredHeader(TABSMemoryStream& s, int64_t pos) {
  return TABSCompressedStreamBlockHeader::DecodeFrom(s.Buffer() + pos);
}

// A zlib BLOB of 2,500,000 bytes in three blocks of mode 6's default size.
class ThreeBlockBLOB : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto prefix = RandomBytes(kStart, 1);
    under.Write(prefix.data(), kStart);
    data = EnglishText(2500000);
    TABSCompressedBLOBStream blob(under, NewDescriptor(acaZLIB, 6), true);
    ASSERT_EQ(blob.Write(data.data(), 2500000), 2500000);
    desc = blob.BLOBDescriptor();
    positions.assign(blob.Headers().Positions.begin(), blob.Headers().Positions.begin() + 3);
  }

  TABSMemoryStream under;
  std::vector<uint8_t> data;
  TABSBLOBDescriptor desc;
  std::vector<int64_t> positions;
};

TEST_F(ThreeBlockBLOB, LayoutOfHeadersAndDescriptor) {
  EXPECT_EQ(desc.BlockSize, kMB);
  EXPECT_EQ(desc.NumBlocks, 3);
  EXPECT_EQ(desc.UncompressedSize, 2500000);
  uint8_t bytes[32];
  desc.EncodeTo(bytes);
  const uint8_t head[] = {0x00, 0x00, 0x10, 0x00, 3, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x25, 0x26, 0x00};
  EXPECT_EQ(std::memcmp(bytes, head, sizeof head), 0);
  EXPECT_EQ(bytes[20], kStart);
  EXPECT_EQ(bytes[28], acaZLIB);
  EXPECT_EQ(bytes[29], 6);

  const int32_t sizes[] = {kMB, kMB, 402848};
  int64_t pos = kStart;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(positions[i], pos);
    const auto h = StoredHeader(under, pos);
    EXPECT_EQ(h.UncompressedSize, sizes[i]);
    EXPECT_EQ(h.OffsetToNextHeader, h.CompressedSize + 20);
    EXPECT_EQ(h.Crc32, CalcCRC32(0, data.data() + i * int64_t{kMB}, static_cast<uint32_t>(sizes[i])));
    pos += h.OffsetToNextHeader;
  }
  EXPECT_EQ(under.Size(), pos);
  EXPECT_EQ(TABSBLOBDescriptor::DecodeFrom(bytes).StartPosition, kStart);
}

TEST_F(ThreeBlockBLOB, ReadsAcrossBlocksAndAppendsInPlace) {
  TABSCompressedBLOBStream blob(under, desc, false);
  ASSERT_EQ(blob.Size(), 2500000);
  std::vector<uint8_t> part(3000);
  blob.Seek(kMB - 1000, soBeginning);
  ASSERT_EQ(blob.Read(part.data(), 3000), 3000);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin() + kMB - 1000));
  blob.Seek(0, soEnd);
  EXPECT_EQ(blob.Read(part.data(), 10), 0);

  // Appending rewrites the partial last block at its place.
  const auto more = RandomBytes(10, 4);
  ASSERT_EQ(blob.Write(more.data(), 10), 10);
  EXPECT_EQ(blob.BLOBDescriptor().NumBlocks, 3);
  EXPECT_EQ(blob.Headers().Positions[2], positions[2]);
  EXPECT_EQ(StoredHeader(under, positions[2]).UncompressedSize, 402858);
  data.insert(data.end(), more.begin(), more.end());

  // A write inside compressed data is refused and changes nothing.
  blob.Seek(0, soBeginning);
  EXPECT_EQ(CodeOf([&] { blob.Write(more.data(), 10); }), 10084);
  TABSCompressedBLOBStream reopened(under, blob.BLOBDescriptor(), false);
  EXPECT_EQ(ReadAll(reopened), data);
  EXPECT_GT(reopened.CompressionRate(), 50.0);
  EXPECT_EQ(reopened.CompressedSize(), under.Size());
}

TEST_F(ThreeBlockBLOB, DamageIsReportedByItsCode) {
  const auto h2 = StoredHeader(under, positions[1]);
  std::vector<uint8_t> buf(100);
  const struct {
    int64_t offset;  // from the second header
    int code;
  } cases[] = {
      {8, 10089},       // the stored checksum
      {20, 10087},      // the deflate stream's own header
      {20 + h2.CompressedSize / 2, 10087},
  };
  for (const auto& c : cases) {
    uint8_t* p = under.Buffer() + positions[1] + c.offset;
    *p ^= 0x5A;
    TABSCompressedBLOBStream blob(under, desc, false);
    blob.Seek(kMB + 10, soBeginning);
    EXPECT_EQ(CodeOf([&] { blob.Read(buf.data(), 100); }), c.code) << c.offset;
    *p ^= 0x5A;
  }
  // A header that would make the chain run backwards.
  uint8_t* offsetField = under.Buffer() + positions[1] + 12;
  offsetField[0] ^= 1;
  EXPECT_EQ(CodeOf([&] { TABSCompressedBLOBStream blob(under, desc, false); }), 10109);
  offsetField[0] ^= 1;
}

TEST_F(ThreeBlockBLOB, RepairOpensTheWholeBlocksOfACutChain) {
  under.SetSize(positions[2] + 10);
  EXPECT_EQ(CodeOf([&] { TABSCompressedBLOBStream blob(under, desc, false); }), 10082);
  TABSCompressedBLOBStream blob(under, desc, false, true);
  EXPECT_EQ(blob.BLOBDescriptor().NumBlocks, 2);
  EXPECT_EQ(blob.Size(), 2 * kMB);
  EXPECT_TRUE(ReadAll(blob) == std::vector<uint8_t>(data.begin(), data.begin() + 2 * kMB));
}

TEST_F(ThreeBlockBLOB, ShrinkAndGrow) {
  const int64_t fullLength = under.Size();
  {
    TABSCompressedBLOBStream blob(under, desc, false);
    blob.SetSize(2 * kMB);
    EXPECT_EQ(blob.BLOBDescriptor().NumBlocks, 2);
    EXPECT_EQ(under.Size(), fullLength);  // dropped blocks stay as unused bytes
    blob.SetSize(kMB + 5);
    EXPECT_EQ(blob.BLOBDescriptor().NumBlocks, 2);
    const auto h = StoredHeader(under, positions[1]);
    EXPECT_EQ(h.UncompressedSize, 5);
    EXPECT_EQ(under.Size(), positions[1] + 20 + h.CompressedSize);
    // Growing appends compressed zeros.
    blob.SetSize(kMB + 5 + 200000);
    desc = blob.BLOBDescriptor();
  }
  TABSCompressedBLOBStream blob(under, desc, false);
  auto expected = std::vector<uint8_t>(data.begin(), data.begin() + kMB + 5);
  expected.resize(kMB + 5 + 200000, 0);
  EXPECT_TRUE(ReadAll(blob) == expected);
}

TEST(TABSCompressedBLOBStream, RawBLOBStaysWithinItsBytes) {
  TABSMemoryStream under;
  const auto bytes = RandomBytes(kStart + 500, 2);
  under.Write(bytes.data(), kStart + 500);
  auto d = NewDescriptor(acaNone, 0);
  d.UncompressedSize = 300;  // other data follows the BLOB
  TABSCompressedBLOBStream blob(under, d, false);
  std::vector<uint8_t> buf(1000);
  blob.Seek(250, soBeginning);
  EXPECT_EQ(blob.Read(buf.data(), 1000), 50);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 50, bytes.begin() + kStart + 250));

  d.UncompressedSize = 501;
  EXPECT_EQ(CodeOf([&] { TABSCompressedBLOBStream b(under, d, false); }), 10081);
  EXPECT_EQ(CodeOf([&] { TABSCompressedBLOBStream b(under, d, false, true); }), 0);
}

// Random reads, appends, gaps, size changes and reopenings against a plain buffer.
TEST(TABSCompressedBLOBStream, RandomOperationsMatchAPlainBuffer) {
  for (auto alg : {acaNone, acaZLIB, acaBZIP, acaPPM}) {
    TABSMemoryStream under;
    under.Write(RandomBytes(kStart, 3).data(), kStart);
    auto blob = std::make_unique<TABSCompressedBLOBStream>(under, NewDescriptor(alg, 1, 997), true);
    std::vector<uint8_t> model;
    const auto source = VariedBytes(200000, 9);
    uint32_t x = 17 + alg;
    const auto rnd = [&](uint32_t n) {
      x = x * 1103515245 + 12345;
      return n == 0 ? 0 : (x >> 8) % n;
    };
    for (int step = 0; step < 300; ++step) {
      const int64_t size = static_cast<int64_t>(model.size());
      switch (rnd(6)) {
        case 0:
        case 1: {  // read anywhere, also past the end
          const int64_t pos = rnd(static_cast<uint32_t>(size + 50));
          const int64_t count = rnd(4000);
          std::vector<uint8_t> buf(static_cast<size_t>(count));
          blob->Seek(pos, soBeginning);
          const int64_t got = blob->Read(buf.data(), count);
          const int64_t want = std::clamp<int64_t>(size - pos, 0, count);
          ASSERT_EQ(got, want) << step;
          ASSERT_TRUE(std::equal(buf.begin(), buf.begin() + got, model.begin() + pos)) << step;
          break;
        }
        case 2: {  // append, sometimes after a gap
          const int64_t gap = rnd(3) == 0 ? rnd(2500) : 0;
          const int64_t count = 1 + rnd(5000);
          blob->Seek(size + gap, soBeginning);
          const size_t from = rnd(static_cast<uint32_t>(source.size() - count));
          ASSERT_EQ(blob->Write(source.data() + from, count), count) << step;
          model.resize(static_cast<size_t>(size + gap), 0);
          model.insert(model.end(), source.begin() + from, source.begin() + from + count);
          break;
        }
        case 3: {  // shrink or grow
          const int64_t newSize = rnd(3) == 0 ? size + rnd(3000) : rnd(static_cast<uint32_t>(size + 1));
          blob->SetSize(newSize);
          model.resize(static_cast<size_t>(newSize), 0);
          break;
        }
        case 4:
          if (alg != acaNone && size > 0) {
            blob->Seek(rnd(static_cast<uint32_t>(size)), soBeginning);
            ASSERT_EQ(CodeOf([&] { blob->Write("x", 1); }), 10084);
          }
          break;
        default: {  // reopen from the descriptor
          const auto d = blob->BLOBDescriptor();
          ASSERT_EQ(d.UncompressedSize, size);
          blob.reset();
          blob = std::make_unique<TABSCompressedBLOBStream>(under, d, false);
        }
      }
      ASSERT_EQ(blob->Size(), static_cast<int64_t>(model.size())) << step;
    }
    EXPECT_TRUE(ReadAll(*blob) == model) << int(alg);
  }
}

}  // namespace
