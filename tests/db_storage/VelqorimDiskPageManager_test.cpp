// The disk page manager: files made, closed and opened again with their
// pages, plain and enciphered with every cipher; damaged and foreign files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "db/storage/VelqorimDiskPageManager.h"
#include "db/support/DAZExcept.h"
#include "tests/db_storage/NativeError.h"
#include "tests/db_storage/ScratchDatabase.h"
#include "platform/os/Files.h"

namespace {

TABSPassword Password(const char* Text, TABSCryptoAlgorithm Algorithm = craRijndael_128) {
  TABSPassword p;
  p.Password = Text;
  p.CryptoAlgorithm = Algorithm;
  return p;
}

// Writes three pages of text and commits them; returns their numbers.
std::vector<int32_t> WritePages(TVelqorimDiskPageManager& Pm) {
  std::vector<int32_t> numbers;
  for (int i = 0; i < 3; ++i) {
    TVelqorimPage* p = Pm.AddPage(0, ptTableRecord);
    std::snprintf(reinterpret_cast<char*>(p->PageData()), 64, "secret page %d", i);
    numbers.push_back(p->PageNo);
    Pm.PutPage(p);
  }
  Pm.ApplyChanges(0);
  return numbers;
}

int Open(TVelqorimDiskPageManager& Pm, const String& Name, const TABSPassword& P, bool& RepairNeeded,
         bool ReadOnly = false) {
  bool multiUser = false;
  return NativeErrorOf([&] { Pm.OpenDatabase(Name, P, ReadOnly, RepairNeeded, false, multiUser); });
}

bool Contains(const std::vector<uint8_t>& Bytes, const char* Text) {
  return std::search(Bytes.begin(), Bytes.end(), Text, Text + std::strlen(Text)) != Bytes.end();
}

TEST(VelqorimDiskPageManager, PlainFileRoundTrip) {
  TScratchFile file;
  std::vector<int32_t> numbers;
  {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(file.Name, TABSPassword{}, 1024, 8);
    EXPECT_EQ(file.Bytes().size(), 380u);
    numbers = WritePages(pm);
    EXPECT_EQ(numbers, (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(pm.GetNextObjectID(), 1);
    EXPECT_EQ(pm.GetNextObjectID(), 2);
  }
  TVelqorimDiskPageManager pm;
  bool repair = true;
  ASSERT_EQ(Open(pm, file.Name, TABSPassword{}, repair), 0);
  EXPECT_FALSE(repair);
  EXPECT_EQ(int32_t{pm.DBHeader().State}, 1);
  EXPECT_EQ(NativeErrorOf([&] { pm.GetPage(0, numbers[0], ptTableIndex); }), 20153);  // read with its type checked
  for (int i = 0; i < 3; ++i) {
    TVelqorimPage* p = pm.GetPage(0, numbers[i], 255);
    EXPECT_STREQ(reinterpret_cast<char*>(p->PageData()), ("secret page " + std::to_string(i)).c_str());
    pm.PutPage(p);
  }
  EXPECT_EQ(NativeErrorOf([&] { pm.GetPage(0, 1, ptTableRecord); }), 30434);  // a map page
  EXPECT_TRUE(Contains(file.Bytes(), "secret page 1"));
  EXPECT_EQ(pm.GetNextObjectID(), 3);
}

TEST(VelqorimDiskPageManager, EveryCipherRoundTripsAndChecksItsPages) {
  for (int a = craRijndael_128; a <= craSquare; ++a) {
    SCOPED_TRACE(a);
    const auto algorithm = static_cast<TABSCryptoAlgorithm>(a);
    TScratchFile file;
    std::vector<int32_t> numbers;
    {
      TVelqorimDiskPageManager pm;
      pm.CreateAndOpenDatabase(file.Name, Password("pass word", algorithm), 1024, 8);
      numbers = WritePages(pm);
    }
    EXPECT_FALSE(Contains(file.Bytes(), "secret page"));
    bool repair = false;
    {
      TVelqorimDiskPageManager wrong;
      EXPECT_EQ(Open(wrong, file.Name, Password("pass words", algorithm), repair), 30445);
      TVelqorimDiskPageManager none;
      EXPECT_EQ(Open(none, file.Name, TABSPassword{}, repair), 30445);
    }
    {
      // The file decides the algorithm.
      TVelqorimDiskPageManager pm;
      ASSERT_EQ(Open(pm, file.Name, Password("pass word", craBlowfish), repair), 0);
      TVelqorimPage* p = pm.GetPage(0, numbers[2], ptTableRecord);
      EXPECT_STREQ(reinterpret_cast<char*>(p->PageData()), "secret page 2");
      pm.PutPage(p);
    }
    // One flipped byte of an enciphered page is caught by its CRC.
    std::vector<uint8_t> bytes = file.Bytes();
    bytes[380 + numbers[1] * 1024 + 40 + 100] ^= 0x20;
    file.Put(bytes);
    TVelqorimDiskPageManager pm;
    ASSERT_EQ(Open(pm, file.Name, Password("pass word"), repair), 0);
    EXPECT_EQ(NativeErrorOf([&] { pm.GetPage(0, numbers[1], ptTableRecord); }), 30446);
  }
}

TEST(VelqorimDiskPageManager, DamagedAndForeignFiles) {
  TScratchFile file;
  {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(file.Name, TABSPassword{}, 1024, 8);
    WritePages(pm);
  }
  const std::vector<uint8_t> good = file.Bytes();
  struct Case {
    const char* Name;
    std::function<void(std::vector<uint8_t>&)> Damage;
    int Expected;
  };
  const Case cases[] = {
      {"truncated", [](std::vector<uint8_t>& b) { b.resize(b.size() - 700); }, 20237},
      {"no signature", [](std::vector<uint8_t>& b) { b[3] = 'x'; }, 10470},
      {"page size zero", [](std::vector<uint8_t>& b) { b[26] = b[27] = 0; }, 20237},
      {"header size", [](std::vector<uint8_t>& b) { b[16] = 90; }, 20237},
      {"crypto header size", [](std::vector<uint8_t>& b) { b[76] = 1; }, 20237},
      // A decoy: bytes that only begin with the signature, ahead of nothing else.
      {"decoy", [](std::vector<uint8_t>& b) { b.assign(VelqorimSignature, VelqorimSignature + 16); b.resize(500, 7); },
       20237},
      {"empty", [](std::vector<uint8_t>& b) { b.clear(); }, 10464},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bytes = good;
    c.Damage(bytes);
    file.Put(bytes);
    TVelqorimDiskPageManager pm;
    bool repair = false;
    EXPECT_EQ(Open(pm, file.Name, TABSPassword{}, repair), c.Expected);
  }
  // A commit that never finished asks for repair.
  std::vector<uint8_t> bytes = good;
  bytes[42] = VelqorimCommitWriting;
  file.Put(bytes);
  TVelqorimDiskPageManager pm;
  bool repair = false;
  ASSERT_EQ(Open(pm, file.Name, TABSPassword{}, repair), 0);
  EXPECT_TRUE(repair);
}

TEST(VelqorimDiskPageManager, ReadOnlyObjectIdsCountWithoutWriting) {
  TScratchFile file;
  {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(file.Name, TABSPassword{}, 1024, 8);
    pm.GetNextObjectID();
  }
  const std::vector<uint8_t> before = file.Bytes();
  TVelqorimDiskPageManager pm;
  bool repair = false;
  ASSERT_EQ(Open(pm, file.Name, TABSPassword{}, repair, true), 0);
  EXPECT_EQ(pm.GetNextObjectID(), 2);
  EXPECT_EQ(pm.GetNextObjectID(), 3);
  EXPECT_EQ(file.Bytes(), before);
}

// A process that dies at any write of a session (page allocation and its
// commit) leaves a file that opens, with the earlier commit whole: a page the
// session changed reads as before or after it, whole; a commit that did not
// finish says so (RepairNeeded) unless nothing of it reached the file.
TEST(VelqorimDiskPageManager, DeathAtEveryWriteOfACommit) {
  for (const char* secret : {"", "pass word"}) {
    SCOPED_TRACE(secret);
    TScratchFile file;
    std::vector<int32_t> numbers;
    {
      TVelqorimDiskPageManager pm;
      pm.CreateAndOpenDatabase(file.Name, Password(secret), 1024, 8);
      numbers = WritePages(pm);
    }
    const std::vector<uint8_t> base = file.Bytes();
    bool finished = false;
    int saved = 0, repairs = 0;
    for (int n = 0; !finished && n < 200; ++n) {
      SCOPED_TRACE(n);
      file.Put(base);
      FaultyDbFile* faulty = nullptr;
      SetDbFileFactory([&] {
        auto f = std::make_unique<FaultyDbFile>();
        f->WritesUntilDeath = n;
        faulty = f.get();
        return f;
      });
      int32_t added = -1;
      try {
        TVelqorimDiskPageManager pm;
        bool repair = false;
        ASSERT_EQ(Open(pm, file.Name, Password(secret), repair), 0);
        TVelqorimPage* p = pm.GetPage(0, numbers[0], ptTableRecord);
        std::strcpy(reinterpret_cast<char*>(p->PageData()), "changed page 0");
        p->IsDirty = true;
        pm.PutPage(p);
        p = pm.AddPage(0, ptTableRecord);
        added = p->PageNo;
        std::strcpy(reinterpret_cast<char*>(p->PageData()), "new page");
        pm.PutPage(p);
        pm.RemovePage(0, numbers[2]);
        pm.ApplyChanges(0);
        finished = !faulty->Dead();
      } catch (const EABSException&) {
        // The process is gone here.
      }
      SetDbFileFactory(nullptr);
      TVelqorimDiskPageManager pm;
      bool repair = false;
      ASSERT_EQ(Open(pm, file.Name, Password(secret), repair), 0);
      auto text = [&](int32_t No) {
        TVelqorimPage* p = pm.GetPage(0, No, 255);
        String t = reinterpret_cast<char*>(p->PageData());
        pm.PutPage(p);
        return t;
      };
      const String first = text(numbers[0]);
      EXPECT_TRUE(first == "secret page 0" || first == "changed page 0") << first;
      EXPECT_EQ(text(numbers[1]), "secret page 1");  // untouched by the session
      const bool applied = int32_t{pm.DBHeader().State} == 2;
      if (!repair && !applied) {
        EXPECT_EQ(first, "secret page 0");  // nothing of it reached the file
      }
      if (applied) {
        EXPECT_FALSE(repair);
        EXPECT_EQ(first, "changed page 0");
        EXPECT_EQ(text(added), "new page");
      }
      repairs += repair;
      saved += !repair;
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(repairs, 0);
    std::printf("death sweep (%s): %d points, %d open clean, %d ask for repair\n",
                *secret ? "enciphered" : "plain", saved + repairs, saved, repairs);
  }
}

// A multi-user reader checks a cached page against the file before use; a
// check or re-read that moves too few bytes must never leave the old bytes.
TEST(VelqorimDiskPageManager, MultiUserReReadThatFallsShortRaises) {
  TScratchFile file;
  std::vector<int32_t> numbers;
  {
    TVelqorimDiskPageManager pm;
    pm.CreateAndOpenDatabase(file.Name, TABSPassword{}, 1024, 8);
    numbers = WritePages(pm);
  }
  auto openMultiUser = [&](TVelqorimDiskPageManager& Pm) {
    bool readOnly = false, repair = false, multiUser = true;
    Pm.OpenDatabase(file.Name, TABSPassword{}, readOnly, repair, false, multiUser);
    ASSERT_TRUE(multiUser);
  };
  FaultyDbFile* faulty = nullptr;
  SetDbFileFactory([&] {
    auto f = std::make_unique<FaultyDbFile>();
    faulty = f.get();
    return f;
  });
  TVelqorimDiskPageManager reader;
  openMultiUser(reader);
  SetDbFileFactory(nullptr);
  auto text = [&](int32_t No) {
    TVelqorimPage* p = reader.GetPage(0, No, ptTableRecord);
    String t = reinterpret_cast<char*>(p->PageData());
    reader.PutPage(p);
    return t;
  };
  ASSERT_EQ(text(numbers[0]), "secret page 0");
  int generation = 0;
  auto changeElsewhere = [&] {
    TVelqorimDiskPageManager writer;
    openMultiUser(writer);
    TVelqorimPage* p = writer.GetPage(0, numbers[0], ptTableRecord);
    std::snprintf(reinterpret_cast<char*>(p->PageData()), 64, "changed %d", ++generation);
    p->IsDirty = true;
    writer.PutPage(p);
    writer.ApplyChanges(0);
  };
  // Stamp and page both short: an error, and the next use reads it whole.
  changeElsewhere();
  faulty->ShortReadsLeft = 100;  // the file layer's own retry falls short too
  EXPECT_EQ(NativeErrorOf([&] { text(numbers[0]); }), 20299);
  faulty->ShortReadsLeft = 0;
  EXPECT_EQ(text(numbers[0]), "changed 1");
  // Only the stamp short: the page is read again rather than trusted.
  changeElsewhere();
  faulty->ShortReadsLeft = 2;
  EXPECT_EQ(text(numbers[0]), "changed 2");
}

}  // namespace
