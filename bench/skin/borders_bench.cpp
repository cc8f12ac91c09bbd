// Moving a skinned 1280 x 800 form with extended borders under the program's
// own skin: each step moves the form by one pixel and lets its extended-border
// window follow, then runs every repaint the move asked for.
#include <benchmark/benchmark.h>

#include <memory>

#include "skin/core/acStartup.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "bench/skin/SkinBench.h"

namespace {

struct BorderedForm {
  TsSkinManager manager{nullptr};
  TForm form{Application};
  std::unique_ptr<TsSkinProvider> provider;

  bool Start() {
    HeadlessBackend()->SetMonitors({TMonitorDesc{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true}});
    SystemBindings.UpdateLayeredWindow = reinterpret_cast<void*>(&UpdateLayeredWindow);
    manager.SetExtendedBorders(true);
    manager.SetSkinDirectory(TARNWICK_OWN_SKIN_DIR);
    manager.SetSkinName("Tarnwick");
    if (!manager.CommonSkinData.Active) return false;
    form.SetBorderStyle(bsSizeable);
    form.SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    form.SetBounds(40, 40, 1280, 800);
    form.SetCaption("Tarnwick - converting 12 files");
    form.Show();
    SetActiveWindow(form.Handle());
    provider = std::make_unique<TsSkinProvider>(&form);
    Application->ProcessMessages();
    TacBorderForm* b = provider->BorderForm;
    return b && b->AForm && IsWindowVisible(b->AForm->Handle());
  }
  ~BorderedForm() { provider.reset(); }
};

void MoveFormWithExtendedBorders(benchmark::State& state) {
  StartWindowLayer();
  BorderedForm f;
  if (!f.Start()) {
    state.SkipWithError("the form has no extended-border window");
    return;
  }
  HWND border = f.provider->BorderForm->AForm->Handle();
  int step = 0;
  for (auto _ : state) {
    // 100 steps right and down, then back, so the form stays on the monitor.
    const int d = step++ % 200 < 100 ? 1 : -1;
    f.form.SetBounds(f.form.Left() + d, f.form.Top() + d, 1280, 800);
    Application->ProcessMessages();
  }
  RECT b{}, w{};
  GetWindowRect(border, &b);
  GetWindowRect(f.form.Handle(), &w);
  if (w.left - b.left != f.provider->BorderForm->OffsetX()) state.SkipWithError("the border window did not follow");
}
BENCHMARK(MoveFormWithExtendedBorders)->Unit(benchmark::kMicrosecond)->Iterations(100)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
