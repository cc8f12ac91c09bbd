// A skin change as the application makes it: SkinName set on the default
// manager over a shown form of 200 windowed controls with skin records,
// timed until the last of them has repainted. The two skins are copies of
// the program's own skin folder, so each change loads a whole skin.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/os/Files.h"
#include "platform/os/Threads.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Backend.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

namespace {

struct SkinnedPanel {
  explicit SkinnedPanel(TPanel* P) : panel(P), data(P, true), old(P->WindowProc) {
    P->WindowProc = [this](TMessage& m) {
      if (m.Msg == WM_PAINT) ++paints;
      if (!HandleCommonMessage(m, &data)) old(m);
    };
    data.WndProc = P->WindowProc;
    P->HandleNeeded();
    data.InitCommonProp();
    data.SetSkinSection("PANEL");
  }
  ~SkinnedPanel() { panel->WindowProc = old; }
  TPanel* panel;
  TsCommonData data;
  TWndMethod old;
  int paints = 0;
};

void SkinChangeOverTwoHundredControls(benchmark::State& state) {
  InitMainThread();
  SetWindowBackend(std::make_unique<THeadlessBackend>());
  Application->Initialize();
  const std::filesystem::path dir = std::filesystem::path(GetTempDir()) / "tarnwick-skinmanager-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (const char* name : {"One", "Two"})
    std::filesystem::copy(TARNWICK_OWN_SKIN_DIR "/Tarnwick", dir / name, std::filesystem::copy_options::recursive);

  TsSkinManager manager(nullptr);
  manager.SetSkinDirectory(dir.string());
  manager.SetSkinName("One");
  if (!manager.CommonSkinData.Active) {
    state.SkipWithError("the program's own skin did not load");
    return;
  }
  TForm form(Application);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 800, 600);
  std::vector<std::unique_ptr<SkinnedPanel>> panels;
  for (int i = 0; i < 200; ++i) {
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds((i % 20) * 40, (i / 20) * 58, 38, 56);
    panels.push_back(std::make_unique<SkinnedPanel>(p));
  }
  form.Show();
  Application->ProcessMessages();
  UpdateWindow(form.Handle());

  bool second = true;
  int64_t repainted = 0;
  for (auto _ : state) {
    for (auto& p : panels) p->paints = 0;
    manager.SetSkinName(second ? "Two" : "One");
    second = !second;
    RedrawWindow(form.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
    for (auto& p : panels) repainted += p->paints > 0;
  }
  state.counters["controls_repainted_per_change"] =
      benchmark::Counter(double(repainted) / double(std::max<int64_t>(state.iterations(), 1)));
  panels.clear();
  std::filesystem::remove_all(dir);
}
BENCHMARK(SkinChangeOverTwoHundredControls)->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace

BENCHMARK_MAIN();
