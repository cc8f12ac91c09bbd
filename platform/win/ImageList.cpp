// Image lists: equal-sized images kept as 32-bit premultiplied pictures, so
// that masked, keyed and alpha images all draw through one blend.

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "platform/win/ControlsInternal.h"

struct _IMAGELIST {
  int cx = 16;
  int cy = 16;
  UINT flags = 0;
  COLORREF bk = CLR_NONE;
  // One premultiplied BGRA DIB per image, cx by cy, top-down.
  std::vector<win::Pixels32> images;
};

namespace {

std::unordered_set<HIMAGELIST>& Lists() {
  static auto* s = new std::unordered_set<HIMAGELIST>();
  return *s;
}

bool Live(HIMAGELIST list) { return list && Lists().count(list); }

win::Pixels32 NewImage(int cx, int cy) { return win::NewPixels32(cx, cy); }

void Free(win::Pixels32& p) {
  if (p.bitmap) DeleteObject(p.bitmap);
  p = win::Pixels32();
}

win::Pixels32 Clone(const win::Pixels32& from) {
  win::Pixels32 p = NewImage(from.width, from.height);
  if (p.bits) memcpy(p.bits, from.bits, size_t(from.width) * size_t(from.height) * 4);
  return p;
}

// How the alpha of each new pixel is decided.
struct Source {
  HBITMAP image = nullptr;
  HBITMAP mask = nullptr;        // set bits: transparent
  COLORREF key = CLR_NONE;       // this colour: transparent
};

// Cuts src into cells of the list's size and appends them (or replaces image at).
int Take(HIMAGELIST list, const Source& src, int at) {
  BITMAP bm;
  if (!src.image || !GetObject(src.image, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return -1;
  const int cells = at >= 0 ? 1 : std::max(1, int(bm.bmWidth) / list->cx);
  win::Pixels32 pic = win::Copy32(src.image, 0, 0, std::min(int(bm.bmWidth), cells * list->cx),
                                  std::min(int(bm.bmHeight), list->cy));
  if (!pic.bitmap) return -1;
  win::Pixels32 mask;
  if (src.mask && (list->flags & ILC_MASK)) mask = win::Copy32(src.mask, 0, 0, pic.width, pic.height);
  // A 32-bit picture whose alpha is all zero has none: its pixels are opaque.
  bool alpha = false;
  if (bm.bmBitsPixel == 32)
    for (int y = 0; y < pic.height && !alpha; ++y)
      for (int x = 0; x < pic.width && !alpha; ++x) alpha = pic.Row(y)[x * 4 + 3] != 0;
  const int first = at >= 0 ? at : int(list->images.size());
  for (int c = 0; c < cells; ++c) {
    win::Pixels32 img = NewImage(list->cx, list->cy);
    if (!img.bits) break;
    for (int y = 0; y < std::min(list->cy, pic.height); ++y) {
      for (int x = 0; x < list->cx && c * list->cx + x < pic.width; ++x) {
        const uint8_t* s = pic.Row(y) + (c * list->cx + x) * 4;
        uint8_t* d = img.Row(y) + x * 4;
        uint8_t a = alpha ? s[3] : 255;
        if (mask.bits && (mask.Row(y)[(c * list->cx + x) * 4] != 0)) a = 0;
        if (src.key != CLR_NONE && RGB(s[2], s[1], s[0]) == (src.key & 0xFFFFFF)) a = 0;
        for (int k = 0; k < 3; ++k) d[k] = uint8_t((s[k] * a + 127) / 255);
        d[3] = a;
      }
    }
    if (at >= 0) {
      Free(list->images[size_t(at)]);
      list->images[size_t(at)] = img;
    } else {
      list->images.push_back(img);
    }
  }
  Free(pic);
  Free(mask);
  return first;
}

COLORREF Mix(COLORREF a, COLORREF b, int percentB) {
  auto ch = [&](int sa, int sb) { return (sa * (100 - percentB) + sb * percentB) / 100; };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int) {
  if (cx <= 0 || cy <= 0 || initial < 0) return nullptr;
  auto* list = new _IMAGELIST;
  list->cx = cx;
  list->cy = cy;
  list->flags = flags;
  list->images.reserve(size_t(initial));
  Lists().insert(list);
  return list;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  if (!Live(list)) return FALSE;
  Lists().erase(list);
  for (auto& img : list->images) Free(img);
  delete list;
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list) { return Live(list) ? int(list->images.size()) : 0; }

BOOL ImageList_SetImageCount(HIMAGELIST list, UINT count) {
  if (!Live(list)) return FALSE;
  while (list->images.size() > count) {
    Free(list->images.back());
    list->images.pop_back();
  }
  while (list->images.size() < count) list->images.push_back(NewImage(list->cx, list->cy));
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  if (!Live(list)) return -1;
  return Take(list, Source{image, mask, CLR_NONE}, -1);
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor) {
  if (!Live(list)) return -1;
  return Take(list, Source{image, nullptr, maskColor}, -1);
}

BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask) {
  if (!Live(list) || index < 0 || index >= int(list->images.size())) return FALSE;
  return Take(list, Source{image, mask, CLR_NONE}, index) >= 0;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
  if (!Live(list) || index < -1 || index >= int(list->images.size())) return -1;
  win::Pixels32 img = NewImage(list->cx, list->cy);
  if (!img.bits) return -1;
  // Drawn over transparent black, the icon leaves its premultiplied pixels and alpha.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, img.bitmap);
  const BOOL ok = DrawIconEx(dc, 0, 0, icon, list->cx, list->cy, 0, nullptr, DI_NORMAL);
  SelectObject(dc, old);
  DeleteDC(dc);
  if (!ok) {
    Free(img);
    return -1;
  }
  if (index < 0) {
    list->images.push_back(img);
    return int(list->images.size()) - 1;
  }
  Free(list->images[size_t(index)]);
  list->images[size_t(index)] = img;
  return index;
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
  if (!Live(list)) return FALSE;
  if (index == -1) return ImageList_SetImageCount(list, 0);
  if (index < 0 || index >= int(list->images.size())) return FALSE;
  Free(list->images[size_t(index)]);
  list->images.erase(list->images.begin() + index);
  return TRUE;
}

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy, COLORREF bk, COLORREF fg,
                      UINT style) {
  if (!Live(list) || !dc || index < 0 || index >= int(list->images.size())) return FALSE;
  const win::Pixels32& img = list->images[size_t(index)];
  // A smaller size shows part of the image; it never stretches.
  dx = dx <= 0 ? list->cx : std::min(dx, list->cx);
  dy = dy <= 0 ? list->cy : std::min(dy, list->cy);
  if (bk == CLR_DEFAULT) bk = list->bk;
  if (style & ILD_TRANSPARENT) bk = CLR_NONE;
  win::Pixels32 work = Clone(img);
  if (!work.bits) return FALSE;
  if (style & ILD_MASK) {
    // The mask itself: black where the image shows, white where it is transparent.
    for (int py = 0; py < work.height; ++py)
      for (int px = 0; px < work.width; ++px) {
        uint8_t* p = work.Row(py) + px * 4;
        const uint8_t v = p[3] ? 0 : 255;
        p[0] = p[1] = p[2] = v;
        p[3] = 255;
      }
  } else if ((style & (ILD_BLEND25 | ILD_BLEND50)) && fg != CLR_NONE) {
    const COLORREF tint = fg == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : fg;
    const int percent = (style & ILD_BLEND50) ? 50 : 25;
    for (int py = 0; py < work.height; ++py)
      for (int px = 0; px < work.width; ++px) {
        uint8_t* p = work.Row(py) + px * 4;
        const uint8_t a = p[3];
        const COLORREF t = Mix(RGB(p[2], p[1], p[0]), RGB(GetRValue(tint) * a / 255, GetGValue(tint) * a / 255,
                                                          GetBValue(tint) * a / 255),
                               percent);
        p[0] = GetBValue(t);
        p[1] = GetGValue(t);
        p[2] = GetRValue(t);
      }
  }
  if (bk != CLR_NONE && !(style & ILD_MASK)) {
    HBRUSH b = CreateSolidBrush(bk);
    RECT r{x, y, x + dx, y + dy};
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, work.bitmap);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const BOOL ok = AlphaBlend(dc, x, y, dx, dy, src, 0, 0, dx, dy, bf);
  SelectObject(src, old);
  DeleteDC(src);
  Free(work);
  return ok;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT) {
  if (!Live(list) || index < 0 || index >= int(list->images.size())) return nullptr;
  const win::Pixels32& img = list->images[size_t(index)];
  // The icon's colour bitmap carries straight alpha; its mask marks the clear pixels.
  win::Pixels32 color = NewImage(list->cx, list->cy);
  HBITMAP mask = CreateBitmap(list->cx, list->cy, 1, 1, nullptr);
  if (!color.bits || !mask) {
    Free(color);
    if (mask) DeleteObject(mask);
    return nullptr;
  }
  HDC mdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mdc, mask);
  RECT all{0, 0, list->cx, list->cy};
  FillRect(mdc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
  for (int y = 0; y < list->cy; ++y) {
    int runStart = -1;
    for (int x = 0; x <= list->cx; ++x) {
      const bool clear = x < list->cx && img.Row(y)[x * 4 + 3] == 0;
      if (x < list->cx) {
        const uint8_t* s = img.Row(y) + x * 4;
        uint8_t* d = color.Row(y) + x * 4;
        const uint8_t a = s[3];
        for (int k = 0; k < 3; ++k) d[k] = a ? uint8_t(std::min(255, (s[k] * 255 + a / 2) / a)) : 0;
        d[3] = a;
      }
      if (clear && runStart < 0) runStart = x;
      if (!clear && runStart >= 0) {
        RECT r{runStart, y, x, y + 1};
        FillRect(mdc, &r, HBRUSH(GetStockObject(WHITE_BRUSH)));
        runStart = -1;
      }
    }
  }
  SelectObject(mdc, old);
  DeleteDC(mdc);
  ICONINFO info;
  info.hbmColor = color.bitmap;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  Free(color);
  DeleteObject(mask);
  return icon;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  if (!Live(list) || !cx || !cy) return FALSE;
  *cx = list->cx;
  *cy = list->cy;
  return TRUE;
}

BOOL ImageList_SetIconSize(HIMAGELIST list, int cx, int cy) {
  if (!Live(list) || cx <= 0 || cy <= 0) return FALSE;
  ImageList_SetImageCount(list, 0);
  list->cx = cx;
  list->cy = cy;
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color) {
  if (!Live(list)) return CLR_NONE;
  const COLORREF old = list->bk;
  list->bk = color;
  return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) { return Live(list) ? list->bk : CLR_NONE; }

HIMAGELIST ImageList_Duplicate(HIMAGELIST list) {
  if (!Live(list)) return nullptr;
  HIMAGELIST copy = ImageList_Create(list->cx, list->cy, list->flags, int(list->images.size()), 4);
  copy->bk = list->bk;
  for (const auto& img : list->images) copy->images.push_back(Clone(img));
  return copy;
}
