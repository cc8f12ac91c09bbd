// The preview window of running tasks, switched on and off from the main
// thread while the workers paint into it (headless window layer).

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/vcl/Forms.h"
#include "platform/win/Backend.h"
#include "tests/media_transcode/TranscodeTestSupport.h"

namespace {

class PreviewTest : public TranscodeTest {
 protected:
  void SetUp() override {
    TranscodeTest::SetUp();
    ResetWindowLayer();
    SetWindowBackend(std::make_unique<THeadlessBackend>());
    Application->ResetForTests();
    Application->Initialize();
  }
  void TearDown() override {
    ResetWindowLayer();
    Application->ResetForTests();
    TranscodeTest::TearDown();
  }
};

}  // namespace

TEST_F(PreviewTest, SwitchingThePreviewWhileTwoTasksPaintNeverBlocks) {
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (!done.load()) {
      if (std::chrono::steady_clock::now() > end) {
        std::fprintf(stderr, "watchdog: the preview test hangs\n");
        std::abort();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  std::vector<std::unique_ptr<TTask>> tasks;
  for (const char* name : {"a.mkv", "b.mkv"}) {
    tasks.push_back(std::make_unique<TTask>());
    TTask& t = *tasks.back();
    ASSERT_GE(t.AddInput("-re -f lavfi", VideoSource(2, 25, "160x120")), 0);
    ASSERT_GE(t.SetOutput("-c:v mpeg4", Path(name)), 0);
    t.FPreviewInterval = 0;
    t.ChangePostHooks({phPreview});
    t.StartConvert(true);
  }
  int toggles = 0;
  while (!(tasks[0]->Terminated() && tasks[1]->Terminated())) {
    const TPostHooks hooks = toggles++ % 2 ? TPostHooks{phPreview} : TPostHooks{};
    for (auto& t : tasks) t->ChangePostHooks(hooks);
    for (int i = 0; i < 3; ++i) CheckSynchronize(1);
  }
  for (auto& t : tasks) EXPECT_TRUE(t->Finished()) << t->FatalMessage();
  EXPECT_GT(toggles, 20);
  tasks.clear();
  done.store(true);
  watchdog.join();
}
