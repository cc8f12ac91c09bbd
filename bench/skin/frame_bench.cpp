// The frame of a skinned form under the program's own skin: a sizeable
// 1280 x 800 form with a menu line and four title buttons (help, minimise,
// maximise, close). PaintAll paints the whole frame into the form's image
// after a change; the WM_NCPAINT copy puts the already painted frame on the
// window, as every activation, caption change and resize step does.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/vcl/Menus.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "bench/skin/SkinBench.h"

namespace {

// The form, its menu and its provider under a loaded "Tarnwick", shown and active.
struct SkinnedFrame {
  TsSkinManager manager{nullptr};
  TForm form{Application};
  std::unique_ptr<TsSkinProvider> provider;

  bool Start() {
    HeadlessBackend()->SetMonitors({TMonitorDesc{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true}});
    manager.SetSkinDirectory(TARNWICK_OWN_SKIN_DIR);
    manager.SetSkinName("Tarnwick");
    if (!manager.CommonSkinData.Active) return false;
    form.SetBorderStyle(bsSizeable);
    form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
    form.SetBounds(40, 40, 1280, 800);
    form.SetCaption("Tarnwick - converting 12 files");
    auto* menu = new TMainMenu(&form);
    for (const char* caption : {"&File", "&Edit", "&Tasks", "&Options", "&Help"}) {
      auto* item = new TMenuItem(&form);
      item->SetCaption(caption);
      menu->Items()->Add(item);
    }
    form.SetMenu(menu);
    form.Show();
    SetActiveWindow(form.Handle());
    provider = std::make_unique<TsSkinProvider>(&form);
    Application->ProcessMessages();
    if (!provider->SkinData()->Skinned()) return false;
    // Every title button placed, and a menu line under the caption.
    for (TsCaptionButton* b : {&provider->ButtonHelp, &provider->ButtonMin, &provider->ButtonMax, &provider->ButtonClose})
      if (b->cpRect.Width() <= 0) return false;
    return GetMenu(form.Handle()) != nullptr;
  }
  ~SkinnedFrame() { provider.reset(); }
};

void PaintAllOfLargeSizeableForm(benchmark::State& state) {
  StartWindowLayer();
  SkinnedFrame f;
  if (!f.Start()) {
    state.SkipWithError("the skinned form is not as measured (skin, title buttons or menu line missing)");
    return;
  }
  for (auto _ : state) {
    f.provider->SetBGChanged(true);
    f.provider->PaintAll();
  }
}
BENCHMARK(PaintAllOfLargeSizeableForm)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void NcPaintCopyOfLargeSizeableForm(benchmark::State& state) {
  StartWindowLayer();
  SkinnedFrame f;
  if (!f.Start()) {
    state.SkipWithError("the skinned form is not as measured (skin, title buttons or menu line missing)");
    return;
  }
  HWND h = f.form.Handle();
  for (auto _ : state) SendMessageW(h, WM_NCPAINT, 1, 0);
}
BENCHMARK(NcPaintCopyOfLargeSizeableForm)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
