#include "imaging/dxCoreGraphics.h"

#include <cstring>

TColor dxAlphaColorToColor(TdxAlphaColor Color) {
  uint8_t alpha;
  return dxAlphaColorToColor(Color, alpha);
}

TColor dxAlphaColorToColor(TdxAlphaColor Color, uint8_t& Alpha) {
  Alpha = uint8_t(Color >> 24);
  if (Color == dxacNone) return clNone;
  if (Color == dxacDefault) return clDefault;
  return TColor(((Color >> 16) & 0xFF) | (Color & 0xFF00) | ((Color & 0xFF) << 16));
}

int GetBitmapBitsPerPixel(TBitmap* Bitmap) {
  switch (Bitmap->PixelFormat()) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

bool GetBitmapBits(TBitmap* Bitmap, uint32_t* Colors, bool TopDownDIB) {
  if (!Bitmap || Bitmap->Empty() || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) return false;
  const int w = Bitmap->Width(), h = Bitmap->Height();
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = TopDownDIB ? -h : h;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib);
  const bool ok = BitBlt(dc, 0, 0, w, h, Bitmap->Canvas()->Handle(), 0, 0, SRCCOPY) != FALSE;
  SelectObject(dc, old);
  DeleteDC(dc);
  if (ok) std::memcpy(Colors, bits, size_t(w) * size_t(h) * 4);
  DeleteObject(dib);
  return ok;
}

bool GetBitmapBits(TBitmap* Bitmap, TRGBColors& Colors, bool TopDownDIB) {
  if (!Bitmap || Bitmap->Empty()) return false;
  Colors.assign(size_t(Bitmap->Width()) * size_t(Bitmap->Height()), 0);
  return GetBitmapBits(Bitmap, Colors.data(), TopDownDIB);
}
