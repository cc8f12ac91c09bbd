// The preview window: painting from workers through the main thread, the
// caption, closing by the user, and freeing the window on the main thread.

#include "media/Previewer.h"

#include "media/FFUtils.h"

#include "tests/platform_win/WinTestUtil.h"

namespace {

constexpr int64_t kNoTimestamp = INT64_MIN;

std::unique_ptr<TBitmap> Frame(int w, int h, TColor color) {
  auto b = std::make_unique<TBitmap>(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

String Caption(TPreviewer& p) {
  char text[64] = {};
  GetWindowTextW(p.Form()->Handle(), text, sizeof(text));
  return text;
}

class PreviewerTest : public WindowTest {};

TEST_F(PreviewerTest, FirstFrameMakesACentredToolWindowOfTheFrameSize) {
  TPreviewer p;
  EXPECT_EQ(p.Form(), nullptr);
  auto frame = Frame(64, 48, clLime);
  EXPECT_TRUE(p.PaintFrame(frame.get(), 1, 1000000));
  ASSERT_NE(p.Form(), nullptr);
  HWND h = p.Form()->Handle();
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(p.Form()->ClientWidth(), 64);
  EXPECT_EQ(p.Form()->ClientHeight(), 48);
  EXPECT_TRUE(GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(Caption(p), DurationToText(1000000));
  POINT client{0, 0};
  ClientToScreen(h, &client);
  RECT wr;
  GetWindowRect(h, &wr);
  EXPECT_EQ(SurfacePixel(h, client.x - wr.left + 10, client.y - wr.top + 10), RGB(0, 255, 0));
  // A later repaint shows the frame again.
  InvalidateRect(h, nullptr, TRUE);
  Application->ProcessMessages();
  EXPECT_EQ(SurfacePixel(h, client.x - wr.left + 63, client.y - wr.top + 47), RGB(0, 255, 0));

  EXPECT_TRUE(p.PaintFrame(frame.get(), 2, kNoTimestamp));
  EXPECT_EQ(Caption(p), "N/A");
}

TEST_F(PreviewerTest, ClosingMakesTheNextPaintAnswerFalseWithoutANewWindow) {
  TPreviewer p;
  auto frame = Frame(80, 60, clBlue);
  ASSERT_TRUE(p.PaintFrame(frame.get(), 1, 0));
  TPreviewerForm* form = p.Form();
  HWND h = form->Handle();
  // The user presses the close button of the caption.
  RECT wr;
  GetWindowRect(h, &wr);
  const int x = wr.right - 8, y = wr.top + 10;
  ASSERT_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLOSE);
  InjectMouseButton(TMouseButton::Left, true, x, y);
  InjectMouseButton(TMouseButton::Left, false, x, y);
  Application->ProcessMessages();
  EXPECT_TRUE(p.Closed());
  EXPECT_FALSE(IsWindowVisible(h));

  const int formsBefore = Screen->FormCount();
  EXPECT_FALSE(p.PaintFrame(frame.get(), 2, 40000));
  EXPECT_EQ(p.Form(), form);
  EXPECT_EQ(Screen->FormCount(), formsBefore);
  EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(PreviewerTest, DraggingThePictureMovesTheWindow) {
  TPreviewer p;
  auto frame = Frame(80, 60, clBlue);
  ASSERT_TRUE(p.PaintFrame(frame.get(), 1, 0));
  HWND h = p.Form()->Handle();
  RECT before;
  GetWindowRect(h, &before);
  POINT inside{20, 20};
  ClientToScreen(h, &inside);
  // The move loop is modal: the drag is queued for it to meet.
  HeadlessBackend()->QueueInput([inside] { InjectMouseMove(inside.x + 25, inside.y - 15); });
  HeadlessBackend()->QueueInput([inside] { InjectMouseButton(TMouseButton::Left, false, inside.x + 25, inside.y - 15); });
  InjectMouseButton(TMouseButton::Left, true, inside.x, inside.y);
  Application->ProcessMessages();
  RECT after;
  GetWindowRect(h, &after);
  EXPECT_EQ(after.left - before.left, 25);
  EXPECT_EQ(after.top - before.top, -15);
}

TEST_F(PreviewerTest, EveryWindowCallRunsOnTheMainThreadAlsoWhenTheTaskEndsOnAWorker) {
  MessageRecorder rec;
  auto frame = Frame(32, 24, clRed);
  std::atomic<int> answers{0};
  TAnonymousThread worker([&] {
    auto p = std::make_unique<TPreviewer>();
    for (int i = 0; i < 3; ++i) answers += p->PaintFrame(frame.get(), i, i * 40000) ? 1 : 0;
    p.reset();  // the task's teardown frees its previewer on the worker
  });
  worker.WaitFor();  // serves the worker's main-thread calls meanwhile
  EXPECT_EQ(answers.load(), 3);
  ASSERT_FALSE(rec.log.empty());
  bool destroyed = false;
  for (const auto& e : rec.log) {
    EXPECT_EQ(e.thread, MainThreadID()) << MessageName(e.msg);
    destroyed |= e.msg == WM_NCDESTROY;
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen->FormCount(), 0);
}

}  // namespace
