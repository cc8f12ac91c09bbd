#include "db/support/DAZStreams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "db/support/DAZExcept.h"

namespace {

std::vector<uint8_t> Bytes(int n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

bool FileExists(const String& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0;
}

TEST(TABSMemoryStream, CapacityGrowsByDoubling) {
  TABSMemoryStream s;
  const auto data = Bytes(30);
  struct Step {
    int write;  // bytes written at the end, or -1 to set the size below
    int setSize;
    int size, capacity;
  } steps[] = {
      {10, 0, 10, 10}, {1, 0, 11, 22}, {11, 0, 22, 22}, {-1, 5, 5, 22}, {-1, 0, 0, 0},
  };
  for (const auto& st : steps) {
    if (st.write >= 0) {
      ASSERT_EQ(s.Write(data.data(), st.write), st.write);
    } else {
      s.SetSize(st.setSize);
    }
    EXPECT_EQ(s.Size(), st.size);
    EXPECT_EQ(s.AllocatedBufferSize(), st.capacity);
  }
  EXPECT_EQ(s.Buffer(), nullptr);
  TABSMemoryStream reserved(nullptr, 1048576);
  uint8_t* before = reserved.Buffer();
  std::vector<uint8_t> big(1048576, 3);
  ASSERT_EQ(reserved.Write(big.data(), static_cast<int64_t>(big.size())), 1048576);
  EXPECT_EQ(reserved.Buffer(), before);
}

TEST(TABSMemoryStream, GapsReadAsZeroAndNegativePositionsAreRefused) {
  TABSMemoryStream s;
  const auto data = Bytes(10, 9);
  s.Write(data.data(), 10);
  s.SetSize(2);
  s.SetPosition(100);
  uint8_t one = 0xEE;
  s.Write(&one, 1);
  EXPECT_EQ(s.Size(), 101);
  for (int i = 2; i < 100; ++i) EXPECT_EQ(s.Buffer()[i], 0) << i;
  EXPECT_EQ(s.Seek(-1, soBeginning), 101);
  EXPECT_THROW(SetStreamPositionChecked(s, 777, -5), EABSException);
  SetStreamPositionChecked(s, 777, 500);  // past the end is a valid position
  uint8_t buf[4];
  EXPECT_EQ(s.Read(buf, 4), 0);
}

TEST(TABSStream, CopiesRestorePositionsAndReportProgress) {
  TABSMemoryStream source, target;
  const auto data = Bytes(250000);
  source.Write(data.data(), static_cast<int64_t>(data.size()));
  source.SetPosition(7);
  target.Write("xy", 2);
  std::vector<double> progress;
  source.OnProgress = [&](TObject*, double p) { progress.push_back(p); };
  source.SaveToStream(target);
  EXPECT_EQ(source.Position(), 7);
  EXPECT_EQ(target.Position(), 2);
  EXPECT_EQ(target.Size(), 250002);
  EXPECT_EQ(std::vector<uint8_t>(target.Buffer() + 2, target.Buffer() + 250002), data);
  EXPECT_EQ(progress.size(), 5u);  // 0, three blocks, 100
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);

  TABSMemoryStream empty;
  progress.clear();
  empty.OnProgress = [&](TObject*, double p) { progress.push_back(p); };
  empty.SaveToStream(target);
  EXPECT_EQ(progress, (std::vector<double>{0, 100}));

  TABSMemoryStream part;
  part.LoadFromStreamWithPosition(source, 1000, 5);
  ASSERT_EQ(part.Size(), 5);
  EXPECT_EQ(part.Buffer()[0], data[1000]);
  // A source shorter than asked is a short read.
  try {
    part.LoadFromStreamWithPosition(source, 249999, 10);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 10148);
  }
  part.SetBlockSize(0);
  EXPECT_THROW(part.SaveToStream(target), EABSException);
}

TEST(TABSTemporaryStream, SpillsPastTheLimitAndLeavesNoFile) {
  std::vector<uint8_t> data(1048577);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
  String spilledName;
  {
    TABSTemporaryStream s;
    ASSERT_EQ(s.Write(data.data(), 1048000), 1048000);
    ASSERT_EQ(s.Write(data.data() + 1048000, 576), 576);
    EXPECT_TRUE(s.InMemory());  // exactly at the limit stays in memory
    ASSERT_EQ(s.Write(data.data() + 1048576, 1), 1);
    EXPECT_FALSE(s.InMemory());
    EXPECT_EQ(s.Size(), 1048577);
    spilledName = s.FileName();
    EXPECT_FALSE(spilledName.empty());
    s.SetPosition(0);
    std::vector<uint8_t> back(data.size());
    ReadFromStreamChecked(back.data(), static_cast<int64_t>(back.size()), s, 1);
    EXPECT_EQ(back, data);
  }
  EXPECT_FALSE(FileExists(spilledName));

  TABSTemporaryStream inMemory(true);
  inMemory.Write(data.data(), static_cast<int64_t>(data.size()));
  EXPECT_TRUE(inMemory.InMemory());
  EXPECT_TRUE(inMemory.FileName().empty());
}

TEST(StreamChecked, ShortReadsAndWritesAreReported) {
  TABSMemoryStream s;
  s.Write("abc", 3);
  s.SetPosition(1);
  char buf[8];
  try {
    ReadFromStreamChecked(buf, 5, s, 4242);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 4242);
    EXPECT_EQ(e.Message,
              "Cannot read from stream. Position = 1, Stream size = 3, Block size = 5, Bytes Read = 2 - "
              "Native error:  4242");
  }
  const String name = GetTemporaryFileName();
  {
    TABSFileStream readOnly(name, fmOpenRead, false);
    try {
      WriteToStreamChecked("abc", 3, readOnly, 10182);
      FAIL();
    } catch (const EABSException& e) {
      EXPECT_EQ(e.NativeError, 10182);
      EXPECT_NE(e.Message.find("Bytes Write = 0"), String::npos);
    }
  }
  ::unlink(name.c_str());
  try {
    TABSFileStream missing(name, fmOpenRead, false);
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 10105);
  }
}

TEST(TABSFileStream, SaveAndLoadFiles) {
  const String name = GetTemporaryFileName();
  TABSMemoryStream s;
  const auto data = Bytes(300000);
  s.Write(data.data(), static_cast<int64_t>(data.size()));
  s.SaveToFile(name);
  TABSMemoryStream back;
  back.LoadFromFile(name);
  ASSERT_EQ(back.Size(), 300000);
  EXPECT_EQ(std::vector<uint8_t>(back.Buffer(), back.Buffer() + 300000), data);
  {
    TABSFileStream f(name, fmOpenReadWrite, false);
    f.SetPosition(200);
    f.SetSize(100);
    EXPECT_EQ(f.Size(), 100);
    EXPECT_EQ(f.Position(), 100);
  }
  ::unlink(name.c_str());
}

}  // namespace
