#pragma once
// Object layouts shared by the drawing layer's sources. Not for callers.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace gdi {

struct Object {
  explicit Object(DWORD t) : type(t) {}
  virtual ~Object() = default;
  DWORD type;
  bool stock = false;
  std::atomic<int> selectedCount{0};  // DCs holding it selected (stock objects are shared by all threads)
};

// Live-object registry: lets every entry point reject stale or foreign handles.
void Register(Object* obj);
void Unregister(Object* obj);
// The object behind a handle when it is live and of the type (0 = any type).
Object* Lookup(HGDIOBJ handle, DWORD type = 0);

template <class T>
T* As(HGDIOBJ handle, DWORD type) {
  return static_cast<T*>(Lookup(handle, type));
}

// Region: horizontal bands, top to bottom, each with sorted disjoint spans [x0, x1).
struct Span {
  int x0, x1;
  bool operator==(const Span&) const = default;
};
struct Band {
  int top, bottom;
  std::vector<Span> spans;
};
struct RegionData {
  std::vector<Band> bands;

  static RegionData FromRect(int l, int t, int r, int b);
  bool Empty() const { return bands.empty(); }
  RECT Box() const;
  int Type() const;  // NULLREGION / SIMPLEREGION / COMPLEXREGION
  bool Contains(int x, int y) const;
  void Offset(int dx, int dy);
  void Coalesce();
  // Every rectangle of the region inside clip (calls fn(RECT)).
  template <class Fn>
  void ForEachRectIn(const RECT& clip, Fn&& fn) const {
    for (const Band& b : bands) {
      if (b.bottom <= clip.top) continue;
      if (b.top >= clip.bottom) break;
      const int t = std::max(b.top, int(clip.top));
      const int bt = std::min(b.bottom, int(clip.bottom));
      for (const Span& s : b.spans) {
        const int l = std::max(s.x0, int(clip.left));
        const int r = std::min(s.x1, int(clip.right));
        if (l < r) fn(RECT{l, t, r, bt});
      }
    }
  }
};
RegionData Combine(const RegionData& a, const RegionData& b, int mode);
// Spans [x0, x1) of the ellipse inscribed in (l, t, r, b) on row y, sampled at pixel centres; false when empty.
bool EllipseRow(int l, int t, int r, int b, int y, int& x0, int& x1);

}  // namespace gdi

struct HRGN__ : gdi::Object {
  HRGN__() : Object(OBJ_REGION) {}
  gdi::RegionData data;
};

// Pixel layouts a DIB section can have.
enum class PixKind { Pal1, Pal4, Pal8, Rgb555, Rgb565, Bgr24, Bgra32 };

struct HBITMAP__ : gdi::Object {
  HBITMAP__() : Object(OBJ_BITMAP) {}
  ~HBITMAP__() override;
  int width = 0;
  int height = 0;
  int bitCount = 32;
  PixKind kind = PixKind::Bgra32;
  int stride = 0;
  bool topDown = false;
  bool monochrome = false;  // made by CreateBitmap with 1 bit
  uint8_t* bits = nullptr;
  bool ownsBits = true;  // false over caller memory (CreateDIBSection's section)
  std::array<RGBQUAD, 256> palette{};
  int paletteSize = 0;

  uint8_t* Row(int y) const { return bits + size_t(topDown ? y : height - 1 - y) * size_t(stride); }
  // Pixel as 0xAARRGGBB (little-endian BGRA); palette entries come with alpha 0.
  uint32_t Read(int x, int y) const;
  // The stored value as is (palette index, packed 16-bit, or BGRA).
  uint32_t ReadStored(int x, int y) const;
  bool Paletted() const { return bitCount <= 8; }
  // Stored value for a colour (palette index, packed 16-bit, or BGRA).
  uint32_t Encode(uint32_t bgra) const;
  void WriteEncoded(int x, int y, uint32_t value);
  void Write(int x, int y, uint32_t bgra) { WriteEncoded(x, y, Encode(bgra)); }
  // Fills [x0, x1) of row y with a stored value.
  void FillSpan(int y, int x0, int x1, uint32_t value);
};

struct HPEN__ : gdi::Object {
  HPEN__() : Object(OBJ_PEN) {}
  LOGPEN log;
};

struct HBRUSH__ : gdi::Object {
  HBRUSH__() : Object(OBJ_BRUSH) {}
  LOGBRUSH log;
};

namespace gdi {
struct FontFace;  // FreeType face at one size (Text.cpp)
}

struct HFONT__ : gdi::Object {
  HFONT__() : Object(OBJ_FONT) {}
  LOGFONT log;
  std::shared_ptr<gdi::FontFace> face;  // resolved on first use
};

namespace gdi {

struct DCState {
  HBITMAP bitmap = nullptr;
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HFONT font = nullptr;
  POINT origin;
  POINT brushOrigin;
  POINT pos;
  bool hasClip = false;
  RegionData clip;  // device units
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0;
  int bkMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  int polyFillMode = ALTERNATE;
};

}  // namespace gdi

struct HDC__ : gdi::Object {
  HDC__() : Object(OBJ_MEMDC) {}
  ~HDC__() override;
  gdi::DCState st;
  std::vector<gdi::DCState> saved;
  HBITMAP defaultBitmap = nullptr;  // the 1 x 1 monochrome bitmap of a new memory DC
  // Bitmap bounds intersected with the clip region, device units; rebuilt on change.
  gdi::RegionData visible;
  void UpdateVisible();
  // Surface DCs (window layer): device (0, 0) lies at surfaceOrigin of a bitmap shared with other
  // DCs, and drawing stays inside surfaceVisible (bitmap coordinates) when hasSurfaceVisible.
  bool surface = false;
  POINT surfaceOrigin;
  bool hasSurfaceVisible = false;
  gdi::RegionData surfaceVisible;
  // Logical -> device units (clip regions are kept in these).
  POINT ToDevice(int x, int y) const { return POINT{x + st.origin.x, y + st.origin.y}; }
  // Logical -> bitmap coordinates (where pixels are).
  POINT ToSurface(int x, int y) const {
    return POINT{x + st.origin.x + surfaceOrigin.x, y + st.origin.y + surfaceOrigin.y};
  }
  RECT ToSurface(const RECT& r) const {
    const POINT a = ToSurface(r.left, r.top), b = ToSurface(r.right, r.bottom);
    return RECT{a.x, a.y, b.x, b.y};
  }
};

namespace gdi {

inline uint32_t ColorToBgra(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
inline COLORREF BgraToColor(uint32_t p) { return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)); }

// Fills device-unit rectangle r (clipped to the visible region) with a colour; alpha written 0.
void FillDeviceRect(HDC dc, const RECT& r, COLORREF color);
// Fills one device-unit span of row y, clipped.
void FillDeviceSpan(HDC dc, int y, int x0, int x1, COLORREF color);
// The colour a brush paints, or false for a null brush.
bool BrushColor(HDC dc, HBRUSH brush, COLORREF& color);
bool PenColor(HDC dc, COLORREF& color, int& width);
// round(x / 255) for x in [0, 255 * 255].
inline uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

}  // namespace gdi
