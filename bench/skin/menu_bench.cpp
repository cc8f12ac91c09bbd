// Opening a skinned popup menu of 30 items with images under the program's
// own skin: the popup window is created and taken over through the creation
// hook, every item measured, the background prepared and every item painted,
// timed until the menu loop first waits for input.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/os/Files.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "skin/controls/acHookProvider.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sSkinManager.h"
#include "bench/skin/SkinBench.h"

namespace {

void OpenSkinnedPopupOfThirtyItems(benchmark::State& state) {
  StartWindowLayer();
  InstallHookServices();
  TsSkinManager manager(nullptr);
  manager.SetSkinDirectory(TARNWICK_OWN_SKIN_DIR);
  manager.SetSkinName("Tarnwick");
  if (!manager.CommonSkinData.Active) {
    state.SkipWithError("the program's own skin did not load");
    return;
  }
  TForm form(Application);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 800, 600);
  auto* images = new TCustomImageList(&form);
  for (int i = 0; i < 8; ++i) {
    auto bmp = NewBitmap32(16, 16);
    FillRect32(bmp.get(), TRect(2, 2, 14, 14), TColor(0x204080 + i * 0x101010), 255);
    images->Add(bmp.get(), nullptr);
  }
  auto* popup = new TPopupMenu(&form);
  popup->SetImages(images);
  for (int i = 0; i < 30; ++i) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(i % 10 == 9 ? "-" : "Item number " + std::to_string(i));
    item->SetImageIndex(i % 8);
    if (i % 7 == 3) item->SetShortCut(ShortCut('A' + i % 20, TShiftState{ssCtrl}));
    popup->Items()->Add(item);
  }
  manager.SkinableMenus()->HookPopupMenu(popup, true);
  form.Show();
  Application->ProcessMessages();

  std::chrono::steady_clock::time_point start;
  double seconds = 0;
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& msg) {
    if ((msg.Msg == WM_MEASUREITEM || msg.Msg == WM_DRAWITEM) && popup->WindowMessage(msg)) return;
    if (msg.Msg == WM_ENTERIDLE) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EndMenu();
    }
    old(msg);
  };
  for (auto _ : state) {
    start = std::chrono::steady_clock::now();
    TrackPopupMenu(popup->Handle(), TPM_RETURNCMD, 100, 50, 0, form.Handle(), nullptr);
    state.SetIterationTime(seconds);
  }
  form.WindowProc = old;
}
BENCHMARK(OpenSkinnedPopupOfThirtyItems)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
