#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/platform_gdi/GdiTestUtil.h"

namespace {

// Worker threads draw on bitmaps of their own (video hooks do); the shared parts
// (handle registry, stock objects, font and glyph caches) must hold up.
TEST(Threads, ThreadsDrawingOnTheirOwnBitmaps) {
  std::vector<std::vector<uint8_t>> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &results] {
      for (int round = 0; round < 20; ++round) {
        Surface s(64, 24), overlay(64, 24);
        overlay.Fill(0x80404040);
        LOGFONT lf;
        lf.lfHeight = -12 - (round % 3);
        std::strcpy(lf.lfFaceName, "DejaVu Sans");
        HFONT font = CreateFontIndirect(&lf);
        HGDIOBJ old = SelectObject(s.dc, font);
        SetTextColor(s.dc, RGB(255, 255, 255));
        SetBkMode(s.dc, TRANSPARENT);
        RECT r{0, 0, 64, 24};
        DrawText(s.dc, "Frame 0042", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        AlphaBlend(s.dc, 0, 0, 64, 24, overlay.dc, 0, 0, 64, 24, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
        SelectObject(s.dc, old);
        DeleteObject(font);
        if (round == 18) {
          const auto* p = static_cast<const uint8_t*>(s.bits);
          results[size_t(t)].assign(p, p + 64 * 24 * 4);
        }
      }
    });
  for (auto& th : threads) th.join();
  // Same drawing, same pixels, whichever thread drew it.
  for (int t = 1; t < 4; ++t) EXPECT_EQ(results[size_t(t)], results[0]);
}

}  // namespace
