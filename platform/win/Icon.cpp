// Icons (colour and mask, or colour with alpha) and cursors.

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "platform/win/ControlsInternal.h"

struct HICON__ {
  int width = 0;
  int height = 0;
  ICONINFO info;     // the icon's own copies of the bitmaps
  HBITMAP premul = nullptr;  // 32-bit premultiplied picture, what drawing blends
};

struct HCURSOR__ {
  int shape = 0;  // a standard cursor id, 32512 (the arrow) for custom ones
  HICON icon = nullptr;
};

namespace win {

Pixels32 NewPixels32(int width, int height) {
  Pixels32 p;
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  p.bitmap = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!p.bitmap) return p;
  p.bits = static_cast<uint8_t*>(bits);
  p.width = width;
  p.height = height;
  memset(p.bits, 0, size_t(width) * size_t(height) * 4);
  return p;
}

Pixels32 Copy32(HBITMAP src, int sx, int sy, int width, int height) {
  Pixels32 p = NewPixels32(width, height);
  if (!p.bitmap) return p;
  HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
  HGDIOBJ a = SelectObject(from, src), b = SelectObject(to, p.bitmap);
  BitBlt(to, 0, 0, width, height, from, sx, sy, SRCCOPY);
  SelectObject(from, a);
  SelectObject(to, b);
  DeleteDC(from);
  DeleteDC(to);
  return p;
}

}  // namespace win

namespace {

using win::Copy32;
using Pixels = win::Pixels32;

std::unordered_set<HICON>& Icons() {
  static auto* s = new std::unordered_set<HICON>();
  return *s;
}

HBITMAP Duplicate(HBITMAP src) {
  if (!src) return nullptr;
  BITMAP bm;
  if (!GetObject(src, sizeof(bm), &bm)) return nullptr;
  HBITMAP copy = bm.bmBitsPixel == 1 ? CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr)
                                     : CreateCompatibleBitmap(nullptr, bm.bmWidth, bm.bmHeight);
  HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
  HGDIOBJ a = SelectObject(from, src), b = SelectObject(to, copy);
  BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
  SelectObject(from, a);
  SelectObject(to, b);
  DeleteDC(from);
  DeleteDC(to);
  return copy;
}

bool Live(HICON icon) { return icon && Icons().count(icon); }

}  // namespace

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info || !info->hbmMask) return nullptr;
  BITMAP mask;
  if (!GetObject(info->hbmMask, sizeof(mask), &mask)) return nullptr;
  BITMAP color{};
  if (info->hbmColor && !GetObject(info->hbmColor, sizeof(color), &color)) return nullptr;
  const int width = mask.bmWidth;
  const int height = info->hbmColor ? color.bmHeight : mask.bmHeight / 2;
  if (width <= 0 || height <= 0) return nullptr;
  Pixels m = Copy32(info->hbmMask, 0, 0, width, height);
  // Without a colour bitmap the mask's lower half is the picture.
  Pixels c = info->hbmColor ? Copy32(info->hbmColor, 0, 0, width, height) : Copy32(info->hbmMask, 0, height, width, height);
  if (!m.bitmap || !c.bitmap) {
    if (m.bitmap) DeleteObject(m.bitmap);
    if (c.bitmap) DeleteObject(c.bitmap);
    return nullptr;
  }
  bool alpha = false;
  if (info->hbmColor && color.bmBitsPixel == 32)
    for (int y = 0; y < height && !alpha; ++y)
      for (int x = 0; x < width && !alpha; ++x) alpha = c.Row(y)[x * 4 + 3] != 0;
  for (int y = 0; y < height; ++y) {
    uint8_t* cp = c.Row(y);
    const uint8_t* mp = m.Row(y);
    for (int x = 0; x < width; ++x, cp += 4) {
      const uint8_t a = alpha ? cp[3] : (mp[x * 4] ? 0 : 255);
      for (int k = 0; k < 3; ++k) cp[k] = uint8_t((cp[k] * a + 127) / 255);
      cp[3] = a;
    }
  }
  DeleteObject(m.bitmap);
  auto* icon = new HICON__;
  icon->width = width;
  icon->height = height;
  icon->info = *info;
  icon->info.hbmMask = Duplicate(info->hbmMask);
  icon->info.hbmColor = Duplicate(info->hbmColor);
  icon->premul = c.bitmap;
  Icons().insert(icon);
  return icon;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  if (!Live(icon) || !info) return FALSE;
  *info = icon->info;
  info->hbmMask = Duplicate(icon->info.hbmMask);
  info->hbmColor = Duplicate(icon->info.hbmColor);
  return TRUE;
}

HICON CopyIcon(HICON icon) { return Live(icon) ? CreateIconIndirect(&icon->info) : nullptr; }

BOOL DestroyIcon(HICON icon) {
  if (!Live(icon)) return FALSE;
  Icons().erase(icon);
  DeleteObject(icon->premul);
  if (icon->info.hbmMask) DeleteObject(icon->info.hbmMask);
  if (icon->info.hbmColor) DeleteObject(icon->info.hbmColor);
  delete icon;
  return TRUE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH flickerFree, UINT flags) {
  if (!Live(icon) || !dc) return FALSE;
  if (width == 0) width = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : icon->width;
  if (height == 0) height = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : icon->height;
  if ((flags & DI_NORMAL) == 0) flags |= DI_NORMAL;
  HDC src = CreateCompatibleDC(nullptr);
  HDC target = dc;
  int tx = x, ty = y;
  HBITMAP buffer = nullptr;
  HGDIOBJ oldBuffer = nullptr;
  if (flickerFree) {
    target = CreateCompatibleDC(nullptr);
    buffer = CreateCompatibleBitmap(nullptr, width, height);
    oldBuffer = SelectObject(target, buffer);
    RECT all{0, 0, width, height};
    FillRect(target, &all, flickerFree);
    tx = ty = 0;
  }
  HGDIOBJ old = nullptr;
  if ((flags & DI_NORMAL) == DI_NORMAL) {
    old = SelectObject(src, icon->premul);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(target, tx, ty, width, height, src, 0, 0, icon->width, icon->height, bf);
  } else if (flags & DI_MASK) {
    old = SelectObject(src, icon->info.hbmMask);
    StretchBlt(target, tx, ty, width, height, src, 0, 0, icon->width, icon->height, SRCCOPY);
  } else {
    old = SelectObject(src, icon->info.hbmColor ? icon->info.hbmColor : icon->premul);
    StretchBlt(target, tx, ty, width, height, src, 0, 0, icon->width, icon->height, SRCCOPY);
  }
  SelectObject(src, old);
  DeleteDC(src);
  if (flickerFree) {
    BitBlt(dc, x, y, width, height, target, 0, 0, SRCCOPY);
    SelectObject(target, oldBuffer);
    DeleteDC(target);
    DeleteObject(buffer);
  }
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

// ---- Cursors ----

namespace {
HCURSOR current = nullptr;
}

HCURSOR LoadCursorW(HINSTANCE instance, const char* name) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (instance || id >= 0x10000) return nullptr;
  static const int known[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                              32644, 32645, 32646, 32648, 32649, 32650, 32651};
  static HCURSOR__ cursors[std::size(known)];
  for (size_t i = 0; i < std::size(known); ++i) {
    if (uintptr_t(known[i]) != id) continue;
    cursors[i].shape = known[i];
    return &cursors[i];
  }
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = current;
  current = cursor;
  WindowBackend().SetCursorShape(cursor ? cursor->shape : 0);
  return old;
}

HCURSOR GetCursor() { return current; }

HCURSOR CreateCursorFromIcon(HICON icon, DWORD, DWORD) {
  if (!Live(icon)) return nullptr;
  return new HCURSOR__{32512, CopyIcon(icon)};
}

BOOL DestroyCursor(HCURSOR cursor) {
  if (!cursor || !cursor->icon) return FALSE;  // the standard cursors are shared
  if (current == cursor) current = nullptr;
  DestroyIcon(cursor->icon);
  delete cursor;
  return TRUE;
}

BOOL MessageBeep(UINT) { return TRUE; }
