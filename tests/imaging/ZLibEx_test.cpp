#include <gtest/gtest.h>
#include <zlib.h>

#include "imaging/acZLibEx.h"

namespace {

std::vector<uint8_t> Compress(const std::string& text) {
  uLongf size = compressBound(uLong(text.size()));
  std::vector<uint8_t> out(size);
  compress(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()));
  out.resize(size);
  return out;
}

std::string Sample(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7919 % 1000) + "\n";
  s.resize(n);
  return s;
}

void Put(TMemoryStream& s, const void* data, size_t n) { s.WriteBuffer(data, int64_t(n)); }

std::string ReadAll(TStream& s) {
  std::string out;
  char buf[1000];
  for (int64_t n; (n = s.Read(buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
  return out;
}

}  // namespace

// An archive entry: other data before and after the compressed bytes.
TEST(ZDecompressionStream, ReadsEntryAndLeavesSourceBehindIt) {
  const std::string text = Sample(300000);  // more than the input buffer holds
  const auto packed = Compress(text);
  TMemoryStream archive;
  Put(archive, "HEAD", 4);
  Put(archive, packed.data(), packed.size());
  Put(archive, "NEXT", 4);
  archive.SetPosition(4);
  {
    TZDecompressionStream z(archive);
    int progress = 0;
    z.OnProgress = [&](TObject*) { ++progress; };
    EXPECT_EQ(z.Read(nullptr, 0), 0);
    EXPECT_EQ(ReadAll(z), text);
    EXPECT_GE(progress, 1);
    EXPECT_EQ(archive.Position(), int64_t(4 + packed.size()));
    EXPECT_EQ(z.Read(nullptr, 0), 0);
  }
  char next[4];
  archive.ReadBuffer(next, 4);
  EXPECT_EQ(std::string(next, 4), "NEXT");
}

TEST(ZDecompressionStream, SeeksForwardToEndAndBackToItsOwnStart) {
  const std::string text = Sample(50000);
  const auto packed = Compress(text);
  TMemoryStream archive;
  Put(archive, "HEAD", 4);
  Put(archive, packed.data(), packed.size());
  archive.SetPosition(4);
  TZDecompressionStream z(archive);
  EXPECT_EQ(z.Seek(0, soEnd), int64_t(text.size()));
  // Rewinding starts over where this stream's data began, not at the archive's start.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  char buf[10];
  z.ReadBuffer(buf, 10);
  EXPECT_EQ(std::string(buf, 10), text.substr(0, 10));
  EXPECT_EQ(z.Seek(20000, soBeginning), 20000);
  z.ReadBuffer(buf, 10);
  EXPECT_EQ(std::string(buf, 10), text.substr(20000, 10));
  EXPECT_EQ(z.Seek(5, soCurrent), 20015);
  for (auto [offset, origin] : {std::pair{int64_t(5), soBeginning}, {int64_t(-1), soCurrent}, {int64_t(1), soEnd}}) {
    try {
      z.Seek(offset, origin);
      ADD_FAILURE() << "seek allowed";
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.Message, "Invalid ZStream operation!");
      EXPECT_EQ(e.ErrorCode(), 0);
    }
  }
  EXPECT_THROW(z.Seek(int64_t(text.size()) + 1, soBeginning), EReadError);
  EXPECT_THROW(z.Write("x", 1), EZDecompressionError);
}

TEST(ZDecompressionStream, CorruptEmptyAndRawData) {
  auto packed = Compress(Sample(5000));
  packed[10] ^= 0xFF;
  packed[11] ^= 0x55;
  TMemoryStream bad;
  Put(bad, packed.data(), packed.size());
  bad.SetPosition(0);
  TZDecompressionStream z(bad);
  try {
    ReadAll(z);
    ADD_FAILURE() << "corrupt data read";
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message, "data error");
    EXPECT_EQ(e.ErrorCode(), -3);
  }

  TMemoryStream empty;
  TZDecompressionStream e(empty);
  char c;
  EXPECT_EQ(e.Read(&c, 1), 0);

  // Raw deflate through the window-bits form.
  const std::string text = Sample(2000);
  z_stream d{};
  deflateInit2(&d, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> raw(4096);
  d.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  d.avail_in = uInt(text.size());
  d.next_out = raw.data();
  d.avail_out = uInt(raw.size());
  deflate(&d, Z_FINISH);
  raw.resize(d.total_out);
  deflateEnd(&d);
  TMemoryStream rs;
  Put(rs, raw.data(), raw.size());
  rs.SetPosition(0);
  TZDecompressionStream r(rs, -15);
  EXPECT_EQ(ReadAll(r), text);
  EXPECT_THROW(TZDecompressionStream(rs, 3), EZDecompressionError);
}

TEST(ZLibError, TextsByCode) {
  EXPECT_EQ(EZLibError(2, "").Message, "need dictionary");
  EXPECT_EQ(EZLibError(-6, "").Message, "incompatible version");
  EXPECT_EQ(EZLibError(-7, "").Message, "");
  EXPECT_EQ(EZLibError(zeBufferError, "").ErrorCode(), -5);
  EXPECT_EQ(EZLibError(zeBufferError, "").Message, "buffer error");
}
