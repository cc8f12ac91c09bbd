// The framework's forms on the display (kept apart from Xlib's headers, whose
// Screen type would clash with the framework's Screen).

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/os/Threads.h"
#include "platform/vcl/Forms.h"
#include "platform/win/X11Backend.h"

void AskToClose(unsigned long xid);

namespace {

// A dialog's own loop serves the display: the window manager's close request
// ends it, while the same request to the disabled main window is refused.
TEST(DisplayFormsTest, AModalFormIsServedAndClosedOnTheDisplay) {
  const char* display = getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no display: run the tests through scripts/with-xvfb.sh";
  InitMainThread();
  ResetWindowLayer();
  std::string error;
  auto owned = TX11Backend::Open(nullptr, error);
  ASSERT_TRUE(owned) << error;
  TX11Backend* x = owned.get();
  SetWindowBackend(std::move(owned));
  Application->ResetForTests();
  Application->Initialize();

  TForm* main = nullptr;
  Application->CreateForm(main);
  main->SetBounds(100, 100, 300, 200);
  main->Show();
  const unsigned long mainX = x->XWindowOf(main->Handle());
  TForm dialog(nullptr);
  dialog.SetBounds(150, 150, 220, 120);
  std::atomic<unsigned long> dialogX{0};
  dialog.OnShow = [&](TObject*) { dialogX = x->XWindowOf(dialog.Handle()); };
  std::thread closer([&] {
    while (!dialogX) usleep(1000);
    AskToClose(mainX);
    AskToClose(dialogX);
  });
  const TModalResult result = dialog.ShowModal();
  closer.join();
  EXPECT_EQ(result, mrCancel);
  EXPECT_TRUE(main->Visible());
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  delete main;
  Application->ResetForTests();
  ResetWindowLayer();
  SetWindowBackend(std::make_unique<THeadlessBackend>());
}

}  // namespace
