// The search component in the calling thread: what it walks, what it reports
// and in which order, levels, folder answers, abort and failures.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/filesearch/FindFileFixture.h"

namespace {

class FindFileSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    BuildMediaTree(tree);
    log.Root = tree.Root;
    log.Bind(ff);
    ff.Criteria().Files().SetLocation(tree.Root);
    ff.Criteria().Files().SetFileName(kVideoMasks);
  }

  TTempTree tree;
  TFindFile ff{nullptr};
  TMatchLog log;
};

TEST_F(FindFileSearch, VideoMasksFindExactlyTheVideoFiles) {
  int begins = 0, finishes = 0;
  ff.OnSearchBegin = [&](TObject*) { ++begins; };
  ff.OnSearchFinish = [&](TObject*) { ++finishes; };
  ff.Execute();
  // Hidden entries stay out, symlinked folders (one loops to the root) are
  // not entered. Root reads even a locked folder.
  EXPECT_EQ(log.Set(), ExpectedVideos(geteuid() == 0));
  EXPECT_EQ(log.Paths.size(), log.Set().size());
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(finishes, 1);
  EXPECT_FALSE(ff.Busy());
  EXPECT_EQ(ff.CurrentLevel(), 0);
}

TEST_F(FindFileSearch, UnreadableFolderIsSkippedSilently) {
  // Root reads every folder: search as an unprivileged user in a child.
  const auto asNobody = [] { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); };
  const std::optional<String> found = RunInChild(asNobody, [&] {
    ff.Execute();
    return Lines(log.Set());
  });
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, Lines(ExpectedVideos(false)));
}

TEST_F(FindFileSearch, BindMountLoopIsWalkedOnce) {
  // The root mounted again inside its own subfolder looks like a plain folder.
  const auto mountLoop = [&] {
    tree.Dir("sub/again");
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(tree.Root.c_str(), (tree.Root + "sub/again").c_str(), nullptr, MS_BIND, nullptr) == 0;
  };
  const std::optional<String> found = RunInChild(mountLoop, [&] {
    ff.Execute();
    return Lines(log.Set()) + "reports " + std::to_string(log.Paths.size()) + "\n";
  });
  if (!found) GTEST_SKIP() << "cannot bind-mount here";
  const std::set<String> expected = ExpectedVideos(geteuid() == 0);
  EXPECT_EQ(*found, Lines(expected) + "reports " + std::to_string(expected.size()) + "\n");
}

TEST_F(FindFileSearch, FilesOnAReadOnlyMountAreReadOnly) {
  // "sub" mounted over itself read-only: nothing in or below it can be
  // written, whatever the modes say, while the rest of the tree can.
  const String sub = tree.Root + "sub";
  const auto mountReadOnly = [&] {
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(sub.c_str(), sub.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, sub.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  };
  const std::optional<String> found = RunInChild(mountReadOnly, [&] {
    std::set<String> readOnly;
    ff.OnFileMatch = [&](TObject*, TFileDetails& d) {
      if (d.Attributes() & faReadOnly) readOnly.insert(d.Location.substr(tree.Root.size()) + d.Name);
    };
    ff.Execute();
    return Lines(readOnly);
  });
  if (!found) GTEST_SKIP() << "cannot mount here";
  EXPECT_EQ(*found, Lines({"sub/a.ts", "sub/b.MPEG", "sub/deeper/c.vob"}));
}

TEST_F(FindFileSearch, ReportsMaskByMaskFolderBeforeSubfolders) {
  tree.File("sub/clip.avi");
  tree.File("sub/Alpha.avi");
  tree.File("sub/zeta.AVI");
  ff.Criteria().Files().SetLocation(tree.Root + "sub");
  // Repeats of a mask are dropped; a file two masks select comes twice.
  ff.Criteria().Files().SetFileName("*.avi;*.AVI;clip.*;*.vob");
  ff.Execute();
  EXPECT_EQ(log.Paths, (std::vector<String>{"sub/Alpha.avi", "sub/clip.avi", "sub/zeta.AVI", "sub/clip.avi",
                                            "sub/deeper/c.vob"}));
}

TEST_F(FindFileSearch, Levels) {
  struct Case {
    const char* location;
    uint16_t minLevel, maxLevel;
    std::set<String> expected;
  };
  const Case cases[] = {
      {"", 0, 1, {"clip.mp4", "Movie.MKV", "show.Avi"}},
      {"", 2, 0, {"sub/a.ts", "sub/b.MPEG", "sub/deeper/c.vob", "locked/f.mp4"}},
      {"", 2, 2, {"sub/a.ts", "sub/b.MPEG", "locked/f.mp4"}},
      {"3-0>", 0, 0, {"sub/deeper/c.vob"}},
      {"<", 0, 0, {"clip.mp4", "Movie.MKV", "show.Avi"}},
  };
  for (const Case& c : cases) {
    log.Paths.clear();
    ff.Criteria().Files().SetLocation(c.location + tree.Root);
    ff.Criteria().Files().SetMinLevel(c.minLevel);
    ff.Criteria().Files().SetMaxLevel(c.maxLevel);
    ff.Execute();
    std::set<String> expected = c.expected;
    if (geteuid() != 0) expected.erase("locked/f.mp4");  // out of reach without root
    EXPECT_EQ(log.Set(), expected) << c.location << " " << c.minLevel << "-" << c.maxLevel;
  }
}

TEST_F(FindFileSearch, FolderChangeAnswers) {
  struct Case {
    TFolderIgnore answer;
    std::set<String> expected;
  };
  const Case cases[] = {
      {fiNone, {"sub/a.ts", "sub/b.MPEG", "sub/deeper/c.vob"}},
      {fiJustThis, {"sub/deeper/c.vob"}},
      {fiJustSubfolders, {"sub/a.ts", "sub/b.MPEG"}},
      {fiThisAndSubfolders, {}},
  };
  for (const Case& c : cases) {
    log.Paths.clear();
    std::vector<String> folders;
    ff.OnFolderChange = [&](TObject*, const String& folder, TFolderIgnore& ignore) {
      folders.push_back(folder);
      if (folder == tree.Root + "sub/") ignore = c.answer;
    };
    ff.Criteria().Files().SetLocation(tree.Root + "sub");
    ff.Execute();
    EXPECT_EQ(log.Set(), c.expected) << c.answer;
    EXPECT_EQ(folders.front(), tree.Root + "sub/");
  }
}

TEST_F(FindFileSearch, ClearedAttributesReportFoldersAndEnterHiddenOnesButNeverLinks) {
  ff.Criteria().Attributes().Clear();
  ff.Criteria().Files().SetFileName("*");
  std::vector<String> folders;
  ff.OnFolderChange = [&](TObject*, const String& folder, TFolderIgnore&) { folders.push_back(folder.substr(tree.Root.size())); };
  ff.Execute();
  const std::set<String> got = log.Set();
  for (const char* p : {"sub", "loop", "linkdir", ".hidden.mp4", ".hiddendir/e.mp4", "sub/deeper"})
    EXPECT_TRUE(got.count(p)) << p;
  EXPECT_FALSE(got.count(".")) << "dot entries are never reported";
  EXPECT_FALSE(got.count("loop/clip.mp4"));
  EXPECT_FALSE(got.count("linkdir/a.ts"));
  const std::set<String> walked(folders.begin(), folders.end());
  EXPECT_EQ(walked, (std::set<String>{"", ".hiddendir/", "locked/", "sub/", "sub/deeper/"}));
}

TEST_F(FindFileSearch, CriteriaDecideAfterTheMasks) {
  tree.File("big.mp4", std::string(2000, 'b'));
  tree.File("words.mp4", "the quick brown fox");
  ff.Criteria().Files().SetSubfolders(false);
  ff.Criteria().Size().Min = 1000;
  ff.Execute();
  EXPECT_EQ(log.Set(), (std::set<String>{"big.mp4"}));

  log.Paths.clear();
  ff.Criteria().Size().Clear();
  ff.Criteria().Content().SetPhrase("BROWN");
  ff.Criteria().Content().Options = csoWholeWord;
  ff.Execute();
  EXPECT_EQ(log.Set(), (std::set<String>{"words.mp4"}));
}

TEST_F(FindFileSearch, DetailsDescribeTheEntry) {
  tree.File("sized.mp4", std::string(1234, 's'));
  ff.Criteria().Files().SetFileName("sized.mp4");
  std::vector<TFileDetails> got;
  ff.OnFileMatch = [&](TObject* sender, TFileDetails& d) {
    EXPECT_EQ(sender, &ff);
    got.push_back(d);
  };
  // Name-only criteria leave the entry to be described on demand; a size
  // criterion has the walk describe it. The details agree either way.
  for (const bool sized : {false, true}) {
    SCOPED_TRACE(sized ? "described by the walk" : "described on demand");
    ff.Criteria().Size().Min = sized ? 1 : 0;
    ASSERT_EQ(ff.Criteria().NeedsStatus(), sized);
    got.clear();
    ff.Execute();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Location, tree.Root);
    EXPECT_EQ(got[0].Name, "sized.mp4");
    EXPECT_EQ(got[0].Size(), 1234);
    EXPECT_TRUE(got[0].Attributes() & faArchive);
    EXPECT_NEAR(got[0].ModifiedTime(), Now(), 1.0 / 24);
    EXPECT_GT(got[0].AccessedTime(), 0);
    EXPECT_GT(got[0].CreatedTime(), 0);
  }

  // Each time in local time of its own instant, also when they differ (one in
  // winter, one in summer where the zone has summer time).
  const time_t accessed = 1577934245, modified = 1622548800;  // 2020-01-02, 2021-06-01 UTC
  const timespec times[2] = {{accessed, 0}, {modified, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (tree.Root + "sized.mp4").c_str(), times, 0), 0);
  const auto local = [](time_t t) { return FileTimeToLocalDateTime(UnixDateDelta + t / double{SecsPerDay}); };
  for (const bool sized : {false, true}) {
    ff.Criteria().Size().Min = sized ? 1 : 0;
    got.clear();
    ff.Execute();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0].AccessedTime(), local(accessed), 1e-9);
    EXPECT_NEAR(got[0].ModifiedTime(), local(modified), 1e-9);
  }
}

TEST_F(FindFileSearch, AbortFromHandlerStopsAtOnceAndStillFinishes) {
  int finishes = 0;
  ff.OnSearchFinish = [&](TObject*) { ++finishes; };
  ff.OnFileMatch = [&](TObject*, TFileDetails&) {
    log.Paths.push_back("match");
    ff.Execute();  // ignored while busy
    ff.Abort();
  };
  ff.Abort();  // idle: nothing
  EXPECT_FALSE(ff.Aborted());
  ff.Execute();
  EXPECT_EQ(log.Paths.size(), 1u);
  EXPECT_TRUE(ff.Aborted());
  EXPECT_FALSE(ff.Busy());
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(ff.CurrentLevel(), 0);
}

TEST_F(FindFileSearch, HandlerExceptionReachesCallerAfterTheSearchEnded) {
  int finishes = 0;
  ff.OnSearchFinish = [&](TObject*) { ++finishes; };
  ff.OnFileMatch = [](TObject*, TFileDetails&) { throw Exception("handler failed"); };
  EXPECT_THROW(ff.Execute(), Exception);
  EXPECT_FALSE(ff.Busy());
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(ff.CurrentLevel(), 0);
  // The next search runs normally.
  log.Bind(ff);
  ff.Execute();
  EXPECT_FALSE(log.Paths.empty());
}

TEST_F(FindFileSearch, CriteriaChangedDuringSearchDoNotAffectIt) {
  ff.OnFileMatch = [&](TObject*, TFileDetails& d) {
    log.Paths.push_back(d.Name);
    ff.Criteria().Files().SetFileName("*.nothing");
    ff.Criteria().Files().SetLocation("/nonexistent");
  };
  ff.Execute();
  EXPECT_EQ(log.Paths.size(), ExpectedVideos(geteuid() == 0).size());
}

}  // namespace
