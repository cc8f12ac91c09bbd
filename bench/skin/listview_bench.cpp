// A skinned report list view of 10,000 rows: scrolling it by pages as its
// skinned bar does (the scroll message, the bar repainted, the rows painted),
// and repainting it whole with its skinned header. Each step should fit in
// one frame at 60 Hz (16.7 ms).

#include <benchmark/benchmark.h>

#include <string>

#include "bench/skin/SkinBench.h"
#include "platform/win/ListViews.h"
#include "skin/controls/acListViewWnd.h"
#include "skin/core/sSkinIndexes.h"

namespace {

constexpr int kRows = 10000;

struct Bench {
  TacSkinRecords skin;
  std::unique_ptr<TForm> form;
  HWND list = nullptr;
  TacHandlerPtr<TacListViewWnd> handler;

  Bench() {
    StartWindowLayer();
    skin.CommonSkinData.Active = true;
    const std::pair<const char*, TColor> sections[] = {
        {"EDIT", 0xF0F0F0},        {"COLHEADER", 0xD0C0B0},   {"SCROLLBAR1V", 0x00A000}, {"SCROLLBAR2V", 0x0000A0},
        {"SCROLLBAR1H", 0x00A000}, {"SCROLLBAR2H", 0x0000A0}, {"SCROLLBTNTOP", 0xA00000}, {"SCROLLBTNBOTTOM", 0xA000A0},
        {"SCROLLBTNLEFT", 0xA00000}, {"SCROLLBTNRIGHT", 0xA000A0}, {"SCROLLSLIDERV", 0x00A0A0},
        {"SCROLLSLIDERH", 0x00A0A0}};
    for (const auto& [name, color] : sections) {
      auto& g = skin.gd[size_t(skin.AddNewSection(name, -1, 3, 0, color, 0x202020))];
      g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    }
    InitConstantIndexes(skin, false);
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 800, 600);
    form->Show();
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 800, 600,
                           form->Handle(), nullptr, nullptr, nullptr);
    for (int c = 0; c < 5; ++c) {
      std::string t = "Column " + std::to_string(c);
      LVCOLUMNW col;
      col.mask = LVCF_TEXT | LVCF_WIDTH;
      col.cx = 150;
      col.pszText = t.data();
      SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(c), LPARAM(&col));
    }
    for (int i = 0; i < kRows; ++i) {
      std::string t = "clip_" + std::to_string(i) + ".mkv";
      LVITEMW it;
      it.mask = LVIF_TEXT;
      it.iItem = i;
      it.pszText = t.data();
      const int at = int(SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&it)));
      for (int s = 1; s < 5; ++s) {
        std::string v = std::to_string(i * 7 + s) + " kB";
        LVITEMW sub;
        sub.iSubItem = s;
        sub.pszText = v.data();
        SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(at), LPARAM(&sub));
      }
    }
    handler = CreateWndHandler<TacListViewWnd>(list, nullptr, &skin, TacSkinParams(), true);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  ~Bench() {
    ReleaseWndHandler(list, true, false, handler);
    DestroyWindow(list);
    form.reset();
  }
};

void ScrollByPages(benchmark::State& state) {
  Bench b;
  const int page = int(SendMessageW(b.list, LVM_GETCOUNTPERPAGE, 0, 0));
  for (auto _ : state) {
    const bool atEnd = SendMessageW(b.list, LVM_GETTOPINDEX, 0, 0) + page >= kRows;
    SendScrollMessage(b.list, WM_VSCROLL, atEnd ? SB_TOP : SB_PAGEDOWN, 0);
    UpdateScrolls(b.handler.get(), true);
    UpdateWindow(b.list);
  }
  state.counters["rows_per_page"] = page;
}

void RepaintWhole(benchmark::State& state) {
  Bench b;
  SendMessageW(b.list, LVM_ENSUREVISIBLE, kRows / 2, 0);
  for (auto _ : state)
    RedrawWindow(b.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

BENCHMARK(ScrollByPages)->Unit(benchmark::kMillisecond);
BENCHMARK(RepaintWhole)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
