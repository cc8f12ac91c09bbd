// Handles, bitmaps, pens, brushes, stock objects and the fixed system colours.

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "platform/gdi/GdiInternal.h"

namespace gdi {
namespace {

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::unordered_set<Object*>& Registry() {
  static auto* set = new std::unordered_set<Object*>;  // outlives static destructors of callers
  return *set;
}

}  // namespace

void Register(Object* obj) {
  std::lock_guard lock(RegistryLock());
  Registry().insert(obj);
}

void Unregister(Object* obj) {
  std::lock_guard lock(RegistryLock());
  Registry().erase(obj);
}

Object* Lookup(HGDIOBJ handle, DWORD type) {
  if (!handle) return nullptr;
  Object* obj = static_cast<Object*>(handle);
  std::lock_guard lock(RegistryLock());
  if (!Registry().count(obj)) return nullptr;
  if (type && obj->type != type && !(type == OBJ_DC && obj->type == OBJ_MEMDC)) return nullptr;
  return obj;
}

}  // namespace gdi

using namespace gdi;

// ---- Rectangles ----

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}
BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return TRUE;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx;
  r->right += dx;
  r->top -= dy;
  r->bottom += dy;
  return TRUE;
}
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *dst = RECT{};
    return FALSE;
  }
  *dst = r;
  return TRUE;
}
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    *dst = IsRectEmpty(b) ? RECT{} : *b;
  } else if (IsRectEmpty(b)) {
    *dst = *a;
  } else {
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
  }
  return !IsRectEmpty(dst);
}
BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

// ---- Bitmaps ----

HBITMAP__::~HBITMAP__() {
  if (ownsBits) std::free(bits);
}

uint32_t HBITMAP__::Read(int x, int y) const {
  const uint8_t* row = Row(y);
  auto pal = [&](unsigned i) {
    if (int(i) >= paletteSize) return 0u;
    const RGBQUAD& q = palette[i];
    return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
  };
  switch (kind) {
    case PixKind::Pal1:
      return pal((row[x >> 3] >> (7 - (x & 7))) & 1);
    case PixKind::Pal4:
      return pal((x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4));
    case PixKind::Pal8:
      return pal(row[x]);
    case PixKind::Rgb555: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    case PixKind::Rgb565: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    case PixKind::Bgr24:
      return row[3 * x] | (row[3 * x + 1] << 8) | (uint32_t(row[3 * x + 2]) << 16);
    case PixKind::Bgra32: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
  }
  return 0;
}

uint32_t HBITMAP__::ReadStored(int x, int y) const {
  const uint8_t* row = Row(y);
  switch (kind) {
    case PixKind::Pal1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case PixKind::Pal4: return (x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4);
    case PixKind::Pal8: return row[x];
    case PixKind::Rgb555:
    case PixKind::Rgb565: return row[2 * x] | (row[2 * x + 1] << 8);
    default: return Read(x, y);
  }
}

uint32_t HBITMAP__::Encode(uint32_t bgra) const {
  const int r = (bgra >> 16) & 255, g = (bgra >> 8) & 255, b = bgra & 255;
  switch (kind) {
    case PixKind::Pal1:
    case PixKind::Pal4:
    case PixKind::Pal8: {
      // Nearest palette entry; the first of equals wins.
      int best = 0, bestDist = 1 << 30;
      for (int i = 0; i < paletteSize; ++i) {
        const int dr = palette[i].rgbRed - r, dg = palette[i].rgbGreen - g, db = palette[i].rgbBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
          bestDist = d;
          best = i;
          if (d == 0) break;
        }
      }
      return uint32_t(best);
    }
    case PixKind::Rgb555:
      return uint32_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    case PixKind::Rgb565:
      return uint32_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    case PixKind::Bgr24:
    case PixKind::Bgra32:
      return bgra;
  }
  return 0;
}

void HBITMAP__::WriteEncoded(int x, int y, uint32_t v) {
  uint8_t* row = Row(y);
  switch (kind) {
    case PixKind::Pal1: {
      const uint8_t mask = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = (v & 1) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
      break;
    }
    case PixKind::Pal4:
      row[x >> 1] = (x & 1) ? ((row[x >> 1] & 0xF0) | (v & 15)) : ((row[x >> 1] & 0x0F) | ((v & 15) << 4));
      break;
    case PixKind::Pal8:
      row[x] = uint8_t(v);
      break;
    case PixKind::Rgb555:
    case PixKind::Rgb565:
      row[2 * x] = uint8_t(v);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    case PixKind::Bgr24:
      row[3 * x] = uint8_t(v);
      row[3 * x + 1] = uint8_t(v >> 8);
      row[3 * x + 2] = uint8_t(v >> 16);
      break;
    case PixKind::Bgra32:
      std::memcpy(row + 4 * x, &v, 4);
      break;
  }
}

void HBITMAP__::FillSpan(int y, int x0, int x1, uint32_t v) {
  if (x0 >= x1) return;
  uint8_t* row = Row(y);
  switch (kind) {
    case PixKind::Pal8:
      std::memset(row + x0, int(v & 255), size_t(x1 - x0));
      break;
    case PixKind::Bgra32: {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + x0;
      std::fill(p, p + (x1 - x0), v);
      break;
    }
    default:
      for (int x = x0; x < x1; ++x) WriteEncoded(x, y, v);
  }
}

namespace {

constexpr int kMaxDimension = 32767;
constexpr size_t kMaxImageBytes = size_t(1) << 31;  // image sizes are signed 32-bit in the interface

const RGBQUAD* ColorTable(const BITMAPINFO* info) {
  return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize);
}

// external: caller-owned pixel memory to lay the bitmap over, or null to allocate zeroed pixels.
HBITMAP NewBitmap(int width, int height, bool topDown, int bitCount, PixKind kind, uint8_t* external) {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return nullptr;
  const size_t stride = size_t(DibStride(width, bitCount));
  const size_t bytes = stride * size_t(height);
  if (bytes >= kMaxImageBytes) return nullptr;
  auto bmp = std::make_unique<HBITMAP__>();
  if (external) {
    bmp->bits = external;
    bmp->ownsBits = false;
  } else {
    bmp->bits = static_cast<uint8_t*>(std::aligned_alloc(64, (bytes + 63) & ~size_t(63)));
    if (!bmp->bits) return nullptr;
    std::memset(bmp->bits, 0, bytes);
  }
  bmp->width = width;
  bmp->height = height;
  bmp->topDown = topDown;
  bmp->bitCount = bitCount;
  bmp->kind = kind;
  bmp->stride = int(stride);
  Register(bmp.get());
  return bmp.release();
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bitsOut, HANDLE section, DWORD offset) {
  if (bitsOut) *bitsOut = nullptr;
  if (!info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biHeight == INT32_MIN || h.biPlanes != 1) return nullptr;
  const RGBQUAD* table = ColorTable(info);
  PixKind kind;
  switch (h.biBitCount) {
    case 1: kind = PixKind::Pal1; break;
    case 4: kind = PixKind::Pal4; break;
    case 8: kind = PixKind::Pal8; break;
    case 16: kind = PixKind::Rgb555; break;
    case 24: kind = PixKind::Bgr24; break;
    case 32: kind = PixKind::Bgra32; break;
    default: return nullptr;
  }
  if (h.biCompression == BI_BITFIELDS) {
    DWORD masks[3];
    std::memcpy(masks, table, sizeof masks);
    if (h.biBitCount == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) {
      kind = PixKind::Rgb565;
    } else if (h.biBitCount == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F) {
      kind = PixKind::Rgb555;
    } else if (!(h.biBitCount == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
      return nullptr;
    }
  } else if (h.biCompression != BI_RGB) {
    return nullptr;
  }
  HBITMAP bmp = NewBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biHeight < 0, h.biBitCount,
                          kind, section ? static_cast<uint8_t*>(section) + offset : nullptr);
  if (!bmp) return nullptr;
  if (h.biBitCount <= 8) {
    const int full = 1 << h.biBitCount;
    bmp->paletteSize = (h.biClrUsed > 0 && h.biClrUsed < DWORD(full)) ? int(h.biClrUsed) : full;
    for (int i = 0; i < bmp->paletteSize; ++i) bmp->palette[i] = table[i];
  }
  if (bitsOut) *bitsOut = bmp->bits;
  return bmp;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  return NewBitmap(width, height, false, 32, PixKind::Bgra32, nullptr);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1) return nullptr;
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // device bitmaps are given top row first
  bi.bmiHeader.biBitCount = WORD(bitCount);
  if (bitCount == 1) {
    bi.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
    bi.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
  }
  HBITMAP bmp = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  if (!bmp) return nullptr;
  bmp->monochrome = bitCount == 1;
  if (bits) {
    // Rows of device bitmaps passed in are padded to 2 bytes only.
    const int srcStride = ((width * int(bitCount) + 15) / 16) * 2;
    for (int y = 0; y < height; ++y)
      std::memcpy(bmp->Row(y), static_cast<const uint8_t*>(bits) + size_t(y) * srcStride, size_t(srcStride));
  }
  return bmp;
}

BOOL GdiFlush() { return TRUE; }

// ---- Pens and brushes ----

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return nullptr;
  auto* p = new HPEN__;
  p->log = *pen;
  Register(p);
  return p;
}

namespace {
std::atomic<TPenColorOverride> penColorOverride{nullptr};
}

void SetPenColorOverride(TPenColorOverride fn) { penColorOverride = fn; }
TPenColorOverride GetPenColorOverride() { return penColorOverride.load(); }

HPEN CreatePen(int style, int width, COLORREF color) {
  LOGPEN log;
  log.lopnStyle = UINT(style);
  log.lopnWidth.x = width;
  if (TPenColorOverride o = penColorOverride.load()) color = o(color);
  log.lopnColor = color;
  return CreatePenIndirect(&log);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return nullptr;
  auto* b = new HBRUSH__;
  b->log = *brush;
  Register(b);
  return b;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  LOGBRUSH log;
  log.lbColor = color;
  return CreateBrushIndirect(&log);
}

// ---- Stock objects ----

namespace {

struct StockObjects {
  std::array<HGDIOBJ, 20> objs{};
  StockObjects() {
    auto brush = [](UINT style, COLORREF c) {
      LOGBRUSH lb;
      lb.lbStyle = style;
      lb.lbColor = c;
      return CreateBrushIndirect(&lb);
    };
    objs[WHITE_BRUSH] = brush(BS_SOLID, RGB(255, 255, 255));
    objs[LTGRAY_BRUSH] = brush(BS_SOLID, RGB(192, 192, 192));
    objs[GRAY_BRUSH] = brush(BS_SOLID, RGB(128, 128, 128));
    objs[DKGRAY_BRUSH] = brush(BS_SOLID, RGB(64, 64, 64));
    objs[BLACK_BRUSH] = brush(BS_SOLID, RGB(0, 0, 0));
    objs[NULL_BRUSH] = brush(BS_NULL, 0);
    objs[WHITE_PEN] = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    objs[BLACK_PEN] = CreatePen(PS_SOLID, 1, 0);
    objs[NULL_PEN] = CreatePen(PS_NULL, 1, 0);
    LOGFONT lf;
    lf.lfHeight = -11;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    objs[SYSTEM_FONT] = CreateFontIndirect(&lf);
    objs[DEFAULT_GUI_FONT] = CreateFontIndirect(&lf);
    // DC_BRUSH and DC_PEN paint in the DC's own colours (SetDCBrushColor, SetDCPenColor).
    objs[DC_BRUSH] = brush(BS_SOLID, RGB(255, 255, 255));
    objs[DC_PEN] = CreatePen(PS_SOLID, 1, 0);
    for (HGDIOBJ o : objs)
      if (o) static_cast<Object*>(o)->stock = true;
  }
};

}  // namespace

HGDIOBJ GetStockObject(int index) {
  static StockObjects stock;
  if (index < 0 || index >= int(stock.objs.size())) return nullptr;
  return stock.objs[size_t(index)];
}

DWORD GetObjectType(HGDIOBJ obj) {
  Object* o = Lookup(obj);
  return o ? o->type : 0;
}

int GetObject(HGDIOBJ handle, int size, void* out) {
  Object* o = Lookup(handle);
  if (!o) return 0;
  auto give = [&](const void* data, int bytes) {
    if (!out) return bytes;
    const int n = std::min(size, bytes);
    if (n <= 0) return 0;
    std::memcpy(out, data, size_t(n));
    return n;
  };
  switch (o->type) {
    case OBJ_BITMAP: {
      auto* b = static_cast<HBITMAP__*>(o);
      DIBSECTION ds;
      ds.dsBm.bmWidth = b->width;
      ds.dsBm.bmHeight = b->height;
      ds.dsBm.bmWidthBytes = b->stride;
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = WORD(b->bitCount);
      ds.dsBm.bmBits = b->bits;
      ds.dsBmih.biWidth = b->width;
      ds.dsBmih.biHeight = b->topDown ? -b->height : b->height;
      ds.dsBmih.biBitCount = WORD(b->bitCount);
      ds.dsBmih.biSizeImage = DWORD(b->stride) * DWORD(b->height);
      ds.dsBmih.biClrUsed = DWORD(b->paletteSize);
      if (b->kind == PixKind::Rgb565) {
        ds.dsBmih.biCompression = BI_BITFIELDS;
        ds.dsBitfields[0] = 0xF800;
        ds.dsBitfields[1] = 0x07E0;
        ds.dsBitfields[2] = 0x001F;
      } else if (b->kind == PixKind::Rgb555) {
        ds.dsBitfields[0] = 0x7C00;
        ds.dsBitfields[1] = 0x03E0;
        ds.dsBitfields[2] = 0x001F;
      }
      return give(&ds, size >= int(sizeof(DIBSECTION)) ? int(sizeof(DIBSECTION)) : int(sizeof(BITMAP)));
    }
    case OBJ_PEN:
      return give(&static_cast<HPEN__*>(o)->log, sizeof(LOGPEN));
    case OBJ_BRUSH:
      return give(&static_cast<HBRUSH__*>(o)->log, sizeof(LOGBRUSH));
    case OBJ_FONT:
      return give(&static_cast<HFONT__*>(o)->log, sizeof(LOGFONT));
    default:
      return 0;
  }
}

BOOL DeleteObject(HGDIOBJ handle) {
  Object* o = Lookup(handle);
  if (!o || o->stock || o->selectedCount > 0 || o->type == OBJ_DC || o->type == OBJ_MEMDC) return FALSE;
  Unregister(o);
  delete o;
  return TRUE;
}

// ---- System colours ----

namespace {
std::atomic<TSysColorOverride> sysColorOverride{nullptr};
}

void SetSysColorOverride(TSysColorOverride fn) { sysColorOverride = fn; }
TSysColorOverride GetSysColorOverride() { return sysColorOverride.load(); }

COLORREF GetSysColor(int index) {
  if (TSysColorOverride o = sysColorOverride.load()) {
    COLORREF c = 0;
    if (o(index, &c, nullptr)) return c;
  }
  return GetSystemOwnColor(index);
}

COLORREF GetSystemOwnColor(int index) {
  static const COLORREF table[31] = {
      RGB(200, 200, 200),  // COLOR_SCROLLBAR
      RGB(0, 128, 128),    // COLOR_BACKGROUND
      RGB(0, 84, 227),     // COLOR_ACTIVECAPTION
      RGB(122, 150, 223),  // COLOR_INACTIVECAPTION
      RGB(255, 255, 255),  // COLOR_MENU
      RGB(255, 255, 255),  // COLOR_WINDOW
      RGB(0, 0, 0),        // COLOR_WINDOWFRAME
      RGB(0, 0, 0),        // COLOR_MENUTEXT
      RGB(0, 0, 0),        // COLOR_WINDOWTEXT
      RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
      RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
      RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
      RGB(128, 128, 128),  // COLOR_APPWORKSPACE
      RGB(49, 106, 197),   // COLOR_HIGHLIGHT
      RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
      RGB(236, 233, 216),  // COLOR_BTNFACE
      RGB(172, 168, 153),  // COLOR_BTNSHADOW
      RGB(172, 168, 153),  // COLOR_GRAYTEXT
      RGB(0, 0, 0),        // COLOR_BTNTEXT
      RGB(216, 228, 248),  // COLOR_INACTIVECAPTIONTEXT
      RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
      RGB(113, 111, 100),  // COLOR_3DDKSHADOW
      RGB(241, 239, 226),  // COLOR_3DLIGHT
      RGB(0, 0, 0),        // COLOR_INFOTEXT
      RGB(255, 255, 225),  // COLOR_INFOBK
      RGB(181, 181, 181),  // 25 (unused)
      RGB(0, 0, 128),      // COLOR_HOTLIGHT
      RGB(61, 149, 255),   // COLOR_GRADIENTACTIVECAPTION
      RGB(157, 185, 235),  // COLOR_GRADIENTINACTIVECAPTION
      RGB(49, 106, 197),   // COLOR_MENUHILIGHT
      RGB(236, 233, 216),  // COLOR_MENUBAR
  };
  return (index >= 0 && index < 31) ? table[index] : 0;
}
