// Skinned controls' per-frame work: 1,000 alpha images of 32 x 32 drawn by
// state from an alpha image list, and one skin command broadcast over a form
// of 500 controls (half graphic, half windowed with skin records).

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/os/Threads.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Backend.h"
#include "bench/skin/SkinBench.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/ownskin/PngWrite.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"

namespace {

// Three state cells of 32 x 32 side by side, with graded alpha.
std::vector<uint8_t> StatePng(uint32_t Seed) {
  std::vector<uint32_t> px(96 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x) {
      const uint32_t a = uint32_t((x % 32) * 8 + y) & 0xFF;
      px[size_t(y * 96 + x)] = a << 24 | ((Seed * 37 + uint32_t(x / 32) * 80) & 0xFFFFFF);
    }
  return ownskin::EncodePng(96, 32, px);
}

void DrawThousandImagesByState(benchmark::State& state) {
  StartWindowLayer();
  TsAlphaImageList list;
  list.SetWidth(96);
  list.SetHeight(32);
  for (uint32_t i = 0; i < 10; ++i) {
    const auto png = StatePng(i);
    TMemoryStream s;
    s.WriteBuffer(png.data(), int64_t(png.size()));
    s.SetPosition(0);
    list.TryLoadFromPngStream(s);
  }
  auto target = NewBitmap32(320, 320);
  TacGlyphDrawInfo info;
  info.ImageList = &list;
  info.NumGlyphs = 3;
  info.DstBmp = target.get();
  for (auto _ : state) {
    for (int n = 0; n < 1000; ++n) {
      info.ImageIndex = n % 10;
      info.State = n % 3;
      const int x = (n % 10) * 32, y = (n / 10 % 10) * 32;
      info.Rect = TRect(x, y, x + 32, y + 32);
      DrawImageListItem(info);
    }
    benchmark::DoNotOptimize(target->ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(DrawThousandImagesByState)->Unit(benchmark::kMillisecond);

// A windowed control with a skin record answering commands through its procedure.
struct SkinnedPanel {
  explicit SkinnedPanel(TPanel* P, const TacSkinRecords* Skin) : panel(P), data(P, true), old(P->WindowProc) {
    P->WindowProc = [this](TMessage& m) {
      if (!HandleCommonMessage(m, &data)) old(m);
    };
    data.WndProc = P->WindowProc;
    data.FSkinManager = Skin;
    P->HandleNeeded();
    data.InitCommonProp();
  }
  ~SkinnedPanel() { panel->WindowProc = old; }
  TPanel* panel;
  TsCommonData data;
  TWndMethod old;
};

void BroadcastOverFiveHundredControls(benchmark::State& state) {
  StartWindowLayer();
  TacSkinRecords skin;
  skin.CommonSkinData.Active = true;
  skin.AddNewSection("TPANEL", -1, 3, 0, 0xE0E0E0, 0);
  TForm form(nullptr);
  form.SetBounds(0, 0, 800, 600);
  std::vector<std::unique_ptr<SkinnedPanel>> records;
  for (int i = 0; i < 500; ++i) {
    TControl* c;
    if (i % 2) {
      auto* p = new TPanel(&form);
      p->SetParent(&form);
      records.push_back(std::make_unique<SkinnedPanel>(p, &skin));
      c = p;
    } else {
      c = new TLabel(&form);
      c->SetParent(&form);
    }
    c->SetBounds((i % 25) * 32, (i / 25) * 30, 30, 28);
  }
  form.HandleNeeded();
  for (auto _ : state) {
    TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_BGCHANGED), 0);
    BroadcastToChildren(&form, m);
    benchmark::DoNotOptimize(m.Result);
  }
  state.SetItemsProcessed(state.iterations() * 500);
  records.clear();
}
BENCHMARK(BroadcastOverFiveHundredControls)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
