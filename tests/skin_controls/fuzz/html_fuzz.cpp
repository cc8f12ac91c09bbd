// Any text as an HTML caption, measured and then drawn by one renderer as a
// label does; the first byte picks the area's width, hot and pressed links,
// skin colours and an alpha target. A caption never makes a pass raise or
// crash, and both passes find the same links.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/controls/sHtml.h"
#include "skin/core/AlphaBitmaps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t opt = data[0];
  const std::string caption(reinterpret_cast<const char*>(data + 1), size - 1);
  auto bmp = NewBitmap32(96, 48);
  bmp->Canvas()->Font()->SetColor(clBlack);
  TacPaletteArray palette{};
  palette[pcWebText] = 0x00FF00;
  palette[pcWebTextHot] = 0x0000FF;
  TsHtml html;
  html.AlphaChannel = opt & 1;
  if (opt & 2) html.SkinPalette = &palette;
  const int width = (opt >> 2) & 3;  // off, narrower than a glyph, a word, the bitmap
  const TRect area(2, 1, width == 0 ? 0 : width == 1 ? 3 : width == 2 ? 30 : 94, 0);
  html.Init(bmp.get(), caption, area, (opt >> 4) & 1 ? 0 : -1, (opt >> 5) & 1 ? 0 : -1);
  TacLinks measured, drawn;
  const TRect r = html.HTMLText(measured, true);
  html.Init(bmp.get(), caption, area, (opt >> 4) & 1 ? 0 : -1, (opt >> 5) & 1 ? 0 : -1);
  html.HTMLText(drawn, false);
  if (measured.size() != drawn.size() || r.Right < 0) std::abort();
  return 0;
}
