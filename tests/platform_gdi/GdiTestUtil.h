#pragma once
// A memory DC with a bitmap of a chosen depth, for pixel tests.

#include <cstring>

#include "platform/gdi/Gdi.h"

struct Surface {
  Surface(int w, int h, int bitCount = 32, bool topDown = false) : width(w), height(h) {
    BITMAPINFO256 bi;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = topDown ? -h : h;
    bi.bmiHeader.biBitCount = WORD(bitCount);
    if (bitCount <= 8) {
      // Grey ramp palette.
      const int n = 1 << bitCount;
      for (int i = 0; i < n; ++i) {
        const BYTE v = BYTE(i * 255 / (n - 1));
        bi.bmiColors[i] = RGBQUAD{v, v, v, 0};
      }
    }
    bmp = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bmp);
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // 32-bit pixels only: (x, y) counted from the top row.
  uint32_t& At(int x, int y) {
    const int stride = DibStride(width, 32);
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + size_t(height - 1 - y) * stride)[x];
  }
  void Fill(uint32_t v) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) At(x, y) = v;
  }

  int width, height;
  void* bits = nullptr;
  HBITMAP bmp = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
};
