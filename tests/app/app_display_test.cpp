// The program on a real X server (Xvfb through scripts/with-xvfb.sh): it
// starts as main() starts it, shows its main window, takes a folder dropped
// on the task list by an XDND source, converts its video files after a click
// on Start, writes the closing banner, and leaves screenshots of its main
// window and its options dialog in the build folder for people to look at.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/ConverterFrm.h"
#include "app/OptionFrm.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"
#include "platform/os/Threads.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/X11Backend.h"
#include "tests/app/AppDisplay.h"
#include "tests/app/XClient.h"

namespace {

TEST(AppDisplayTest, AFolderDroppedOnTheListConvertsToTheBanner) {
  if (GetEnvironmentVariable("DISPLAY").empty()) GTEST_SKIP() << "no X display (run under scripts/with-xvfb.sh)";
  const String root = GetTempDir() + "tarnwick-e2e-" + IntToStr(getpid()) + "/";
  ASSERT_TRUE(ForceDirectories(root + "videos/more"));
  ASSERT_TRUE(ForceDirectories(root + "data"));
  SetEnvironmentVariable("XDG_DATA_HOME", root + "data");
  InitMainThread();
  WriteClip(root + "videos/first.avi", "testsrc=size=160x120:rate=25:duration=1");
  WriteClip(root + "videos/more/second.mkv", "testsrc=size=176x144:rate=25:duration=1");
  TFileStream(root + "videos/notes.txt", fmCreate);

  StartTarnwick();
  TfrmConverter* form = frmConverter;
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return form->Showing(); }, 5000));
  auto* backend = dynamic_cast<TX11Backend*>(&WindowBackend());
  ASSERT_NE(backend, nullptr);
  Application->ProcessMessages();
  backend->Flush();
  const unsigned long xid = backend->XWindowOf(form->Handle());
  ASSERT_NE(xid, 0u);

  // The title reaches the server; the window keeps its minimum size.
  const TXWindowFacts facts = XWindowFacts(xid);
  EXPECT_EQ(facts.Title, "Tarnwick");
  EXPECT_TRUE(facts.HasMinSize);
  EXPECT_EQ(facts.MinWidth, 778);
  EXPECT_EQ(facts.MinHeight, 496);
  EXPECT_EQ(form->Constraints()->MinWidth(), 778);
  EXPECT_EQ(form->Constraints()->MinHeight(), 496);
  EXPECT_GE(form->Width(), 778);
  EXPECT_GE(form->Height(), 496);

  // Every options dialog is answered with OK as soon as it runs; the first
  // one is kept as a picture too.
  std::atomic<bool> answering{true};
  static bool dialogShot = false;
  std::thread answer([&] {
    while (answering) {
      QueueInMainThread([] {
        TfrmOption* dialog = frmConverter ? frmConverter->OptionDialog() : nullptr;
        if (!dialog || !dialog->Modal()) return;
        if (!dialogShot) {
          dialogShot = true;
          Application->ProcessMessages();
          TBitmap shot;
          GetWindowSurfaceBitmap(dialog->Handle(), shot);
          shot.SaveToFile(GetCurrentDir() + "/tarnwick-options-dialog.bmp");
        }
        dialog->SetModalResult(mrOk);
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  });

  // The folder, dropped over the middle of the task list.
  TControl& list = *dynamic_cast<TControl*>(form->FindComponent("lvFiles"));
  const TPoint at = list.ClientToScreen(TPoint(list.Width() / 2, list.Height() / 2));
  TXDropResult drop;
  std::thread source([&] { drop = XDropPaths(xid, at.X, at.Y, root + "videos"); });
  const bool added = PumpUntil([&] { return form->Core().RowCount() == 2; }, 60000);
  source.join();
  answering = false;
  answer.join();
  ASSERT_TRUE(added) << form->Core().LogStore().Text();
  EXPECT_TRUE(drop.Finished);
  EXPECT_TRUE(drop.Accepted);

  // A click on Start, through the server.
  TControl& start = *dynamic_cast<TControl*>(form->FindComponent("btnStart"));
  const TPoint click = start.ClientToScreen(TPoint(start.Width() / 2, start.Height() / 2));
  XClick(click.X, click.Y);
  const bool banner = PumpUntil(
      [&] { return form->Core().LogStore().Text().find("All Tasks Finished") != String::npos; }, 120000);
  EXPECT_TRUE(banner) << form->Core().LogStore().Text();
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(form->Core().Row(row).SubItems[rcProgress], "100%");
    EXPECT_TRUE(FileExists(form->Core().OutFileList()[row]));
  }

  // For people to look at: the window as it is now.
  Application->ProcessMessages();
  TBitmap shot;
  GetWindowSurfaceBitmap(form->Handle(), shot);
  shot.SaveToFile(GetCurrentDir() + "/tarnwick-main-window.bmp");
  EXPECT_GT(shot.Width(), 700);

  form->Close();
  FinishTarnwick();
  std::filesystem::remove_all(root);
}

}  // namespace
