// One show animation of an 800 x 600 skinned form (300 ms: 25 steps, 26
// frames), fading and growing, and the skin-change cross-fade of a 1280 x 800
// form. The frame waits run on the headless backend's
// virtual clock, so the time measured is the work of the animation alone:
// the picture of the form, every frame pushed into the layered window and the
// form shown behind it. On a display each frame also lasts at least 12 ms.

#include <benchmark/benchmark.h>

#include <memory>

#include "platform/os/Threads.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Backend.h"
#include "bench/skin/SkinBench.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sVclUtils.h"

namespace {

// A form whose painted image is what it prints.
struct BenchProvider : TObject, TacAnimatedForm {
  TForm* form;
  TsCommonData data{nullptr, true};
  explicit BenchProvider(TForm* f) : form(f) {}
  TCustomForm* AnimForm() override { return form; }
  TsCommonData* AnimSkinData() override { return &data; }
  bool PaintAll() override {
    data.FCacheBmp = NewBitmap32(form->Width(), form->Height());
    form->PaintTo(data.FCacheBmp->Canvas()->Handle(), 0, 0);
    return true;
  }
};

void ShowAnimation800x600(benchmark::State& state) {
  StartWindowLayer();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetColor(clTeal);
  form.SetBounds(50, 50, 800, 600);
  for (int i = 0; i < 12; ++i) {
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds(20 + (i % 4) * 190, 20 + (i / 4) * 190, 170, 170);
  }
  BenchProvider provider(&form);
  const auto mode = TacAnimType(state.range(0));
  for (auto _ : state) {
    AnimShowForm(&provider, 300, 255, mode);
    state.PauseTiming();
    ShowWindow(form.Handle(), SW_HIDE);
    Application->ProcessMessages();
    state.ResumeTiming();
  }
  state.SetLabel(mode == atFading ? "fading" : "growing");
}
BENCHMARK(ShowAnimation800x600)->Arg(atFading)->Arg(atAero)->Unit(benchmark::kMillisecond);

// The skin-change cross-fade of a 1280 x 800 skinned form: one frame (the
// form's new picture pushed into the layered window above it at the next
// opacity), and the whole fade of 120 ms (10 steps, 11 frames) with the new
// picture made first and the form redrawn after.
void SkinChangeCrossFade1280x800(benchmark::State& state) {
  StartWindowLayer();
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetColor(clTeal);
  form.SetBounds(20, 20, 1280, 800);
  for (int i = 0; i < 24; ++i) {
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds(20 + (i % 6) * 210, 20 + (i / 6) * 190, 190, 170);
  }
  BenchProvider provider(&form);
  TWndMethod old = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_GETPROVIDER) {
      m.Result = LRESULT(static_cast<TObject*>(&provider));
      return;
    }
    old(m);
  };
  form.Show();
  Application->ProcessMessages();
  const bool wholeFade = state.range(0) != 0;
  TacGlowForm window(nullptr);
  provider.PaintAll();
  HWND ww = window.Handle();
  window.SetBounds(20, 20, 1280, 800);
  uint8_t alpha = 0;
  for (auto _ : state) {
    if (wholeFade) {
      AnimChangeSkin(&form, 120, 255, false);
    } else {
      UpdateGlowWindow(ww, provider.data.FCacheBmp.get(), alpha);
      alpha = uint8_t(alpha + 26);
    }
  }
  state.SetLabel(wholeFade ? "whole fade, 11 frames" : "one frame");
  form.WindowProc = old;
}
BENCHMARK(SkinChangeCrossFade1280x800)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
