// The search component with a search thread: where events run and in which
// order, abort, destruction during a search and failures.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/filesearch/FindFileFixture.h"

namespace {

// Serves the dispatcher until done() or about ten seconds have passed.
template <typename Pred>
bool PumpUntil(Pred done) {
  for (int i = 0; i < 1000 && !done(); ++i) CheckSynchronize(10);
  return done();
}

class FindFileThread : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    BuildMediaTree(tree);
    log.Root = tree.Root;
    ff = std::make_unique<TFindFile>(nullptr);
    ff->Threaded = true;
    ff->Criteria().Files().SetLocation(tree.Root);
    ff->Criteria().Files().SetFileName(kVideoMasks);
  }

  TTempTree tree;
  std::unique_ptr<TFindFile> ff;
  TMatchLog log;
};

TEST_F(FindFileThread, MatchesInTheSearchThreadThenFinishOnTheMainThread) {
  std::vector<String> order;  // begin, matches, finish: written in turn, never at once
  std::atomic<bool> matchOnMain{false};
  ff->OnSearchBegin = [&](TObject*) { order.push_back(IsMainThread() ? "begin@main" : "begin@other"); };
  ff->OnFileMatch = [&](TObject*, TFileDetails& d) {
    if (IsMainThread()) matchOnMain = true;
    order.push_back("match");
    log.Paths.push_back((d.Location + d.Name).substr(tree.Root.size()));
  };
  ff->OnSearchFinish = [&](TObject*) { order.push_back(IsMainThread() ? "finish@main" : "finish@other"); };

  ff->Execute();
  // Busy until the main thread has handled the end notice.
  EXPECT_TRUE(ff->Busy());
  ff->Execute();  // ignored while busy
  ASSERT_TRUE(PumpUntil([&] { return !ff->Busy(); }));

  EXPECT_FALSE(matchOnMain);
  EXPECT_EQ(log.Set(), ExpectedVideos(geteuid() == 0));
  ASSERT_EQ(order.size(), log.Paths.size() + 2);
  EXPECT_EQ(order.front(), "begin@main");
  EXPECT_EQ(order.back(), "finish@main");

  // The same search in the calling thread reports the same files in the same order.
  TMatchLog inlineLog{tree.Root, {}};
  inlineLog.Bind(*ff);
  ff->Threaded = false;
  ff->Execute();
  EXPECT_EQ(inlineLog.Paths, log.Paths);
}

TEST_F(FindFileThread, AbortEndsTheSearchPromptly) {
  for (int i = 0; i < 200; ++i) tree.File("many/f" + std::to_string(i) + ".mp4");
  std::atomic<int> matches{0};
  TEvent aborted;
  int finishes = 0;
  ff->OnFileMatch = [&](TObject*, TFileDetails&) {
    ++matches;
    aborted.WaitFor(5000);  // hold the walk until the main thread has aborted
  };
  ff->OnSearchFinish = [&](TObject*) { ++finishes; };
  ff->Execute();
  ASSERT_TRUE(PumpUntil([&] { return matches.load() > 0; }));
  ff->Abort();
  aborted.SetEvent();
  ASSERT_TRUE(PumpUntil([&] { return !ff->Busy(); }));
  EXPECT_EQ(matches.load(), 1);
  EXPECT_TRUE(ff->Aborted());
  EXPECT_EQ(finishes, 1);
}

TEST_F(FindFileThread, DestroyingDuringASearchWaitsForItsThread) {
  for (int i = 0; i < 200; ++i) tree.File("many/f" + std::to_string(i) + ".mp4");
  std::atomic<int> matches{0};
  int finishes = 0;
  ff->OnFileMatch = [&](TObject*, TFileDetails&) {
    ++matches;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  ff->OnSearchFinish = [&](TObject*) { ++finishes; };
  ff->Execute();
  ASSERT_TRUE(PumpUntil([&] { return matches.load() > 0; }));
  ff.reset();
  const int after = matches.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  CheckSynchronize(10);  // a stale end notice finds no component
  EXPECT_EQ(matches.load(), after);
  EXPECT_LT(after, 200);
  EXPECT_EQ(finishes, 0);
}

TEST_F(FindFileThread, DestroyingTheOwnerDuringASearchIsClean) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* owned = new TFindFile(owner.get());
  owned->Threaded = true;
  owned->Criteria().Files().SetLocation(tree.Root);
  std::atomic<int> matches{0};
  owned->OnFileMatch = [&](TObject*, TFileDetails&) {
    ++matches;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  owned->Execute();
  ASSERT_TRUE(PumpUntil([&] { return matches.load() > 0; }));
  owner.reset();
  CheckSynchronize(10);
}

TEST_F(FindFileThread, FailureOfTheSearchThreadIsRaisedOnTheMainThreadAfterFinish) {
  int finishes = 0;
  ff->OnSearchFinish = [&](TObject*) { ++finishes; };
  ff->OnFileMatch = [](TObject*, TFileDetails&) { throw Exception("handler failed"); };
  ff->Execute();
  bool raised = false;
  for (int i = 0; i < 1000 && ff->Busy(); ++i) {
    try {
      CheckSynchronize(10);
    } catch (const Exception& e) {
      raised = true;
      EXPECT_EQ(e.Message, "handler failed");
    }
  }
  EXPECT_TRUE(raised);
  EXPECT_FALSE(ff->Busy());
  EXPECT_EQ(finishes, 1);
}

}  // namespace
