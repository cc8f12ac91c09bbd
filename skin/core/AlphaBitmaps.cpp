#include "skin/core/AlphaBitmaps.h"

#include <cmath>
#include <cstring>

#include "platform/vcl/Controls.h"
#include "platform/win/Controls.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"

using namespace skin_detail;

std::unique_ptr<TBitmap> NewBitmap32(int Width, int Height) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetHandleType(bmDIB);
  try {
    bmp->SetWidth(Width);
    bmp->SetHeight(Height);
  } catch (const Exception&) {
    bmp->SetSize(0, 0);
  }
  return bmp;
}

std::unique_ptr<TBitmap> NewBitmap32ForRect(const TRect& R) {
  return NewBitmap32(RectWidthEx(R, true), RectHeightEx(R, true));
}

std::unique_ptr<TBitmap> NewBitmap32ForSize(const TSize& Size) { return NewBitmap32(Size.cx, Size.cy); }

std::unique_ptr<TBitmap> NewBitmap32Like(const TBitmap* Bmp) { return NewBitmap32(Bmp->Width(), Bmp->Height()); }

std::unique_ptr<TBitmap> NewBitmap32ForForm(const TControl* Form) {
  return Form ? NewBitmap32(Form->Width(), Form->Height()) : NewBitmap32(0, 0);
}

std::unique_ptr<TBitmap> NewBitmapLike(const TBitmap* Bmp) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetWidth(Bmp->Width());
  bmp->SetHeight(Bmp->Height());
  bmp->SetPixelFormat(Bmp->PixelFormat());
  return bmp;
}

namespace {

// Address of the four bytes at column X of Row, or nullptr when they would leave the row.
uint8_t* Pixel32Address(TBitmap* Bmp, int X, int Row) {
  const PixelRows rows = RowsOf(Bmp);
  if (!rows || Row < 0 || Row >= rows.height || X < 0) return nullptr;
  BITMAP bm;
  if (!GetObject(Bmp->Handle(), sizeof bm, &bm) || int64_t(X) * 4 + 4 > bm.bmWidthBytes) return nullptr;
  return rows.Bytes(Row) + size_t(X) * 4;
}

}  // namespace

uint32_t GetPixel32(TBitmap* Bmp, int X, int Row) {
  uint32_t v = 0;
  if (const uint8_t* p = Pixel32Address(Bmp, X, Row)) std::memcpy(&v, p, 4);
  return v;
}

void SetPixel32(TBitmap* Bmp, int X, int Row, uint32_t Value) { SetPixel32Row(Bmp, X, Row, Value); }

void* SetPixel32Row(TBitmap* Bmp, int X, int Row, uint32_t Value) {
  uint8_t* p = Pixel32Address(Bmp, X, Row);
  if (!p) return nullptr;
  std::memcpy(p, &Value, 4);
  return p - size_t(X) * 4;
}

void SwapBytes32Array(uint32_t* P, int Count) {
  for (int i = 0; i < Count; ++i) P[i] = SwapBytes32(P[i]);
}

void InitBlendFunction(BLENDFUNCTION& BF, uint8_t Alpha) {
  BF.BlendOp = AC_SRC_OVER;
  BF.BlendFlags = 0;
  BF.SourceConstantAlpha = Alpha;
  BF.AlphaFormat = AC_SRC_ALPHA;
}

void ClearWhitePixels32(TBitmap* Bmp) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [](uint32_t& p, int, int) {
    if (p == 0x00FFFFFF) p = 0;
  });
}

void PremultiplyBitmap(TBitmap* Bmp) {
  if (Bmp) PremultiplyRect(Bmp, TRect(0, 0, Bmp->Width(), Bmp->Height()));
}

void PremultiplyRect(TBitmap* Bmp, const TRect& R, bool Composed) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  ForEachPixel(P, ClipToBitmap(R, P.width, P.height), [Composed](uint32_t& p, int, int) {
    if (p == 0x00FFFFFF) {
      p = 0;
      return;
    }
    const int a = Ch(p, 3);
    int c[3] = {Ch(p, 0) * a >> 8, Ch(p, 1) * a >> 8, Ch(p, 2) * a >> 8};
    // Without composition near-white is held below 245, so that it never turns into the white key.
    if (!Composed && Ch(p, 0) > 244 && Ch(p, 1) > 244 && Ch(p, 2) > 244)
      for (int& v : c) v = std::min(244, v);
    p = Pack(c[0], c[1], c[2], a);
  });
}

void SetAlphaInRect(TBitmap* Bmp, const TRect& R, uint8_t Alpha, int32_t Key) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  const TRect r(R.Left, R.Top, R.Left + RectWidthEx(R, true), R.Top + RectHeightEx(R, true));
  const bool keyed = Key != kNoColor;
  ForEachPixel(P, ClipToBitmap(r, P.width, P.height), [&](uint32_t& p, int, int) {
    if (!keyed || p != uint32_t(Key)) p = (p & 0x00FFFFFF) | (uint32_t(Alpha) << 24);
  });
}

void FillRect32(TBitmap* Bmp, const TRect& R, TColor Color, uint8_t Alpha) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  const TRect r = ClipToBitmap(R, P.width, P.height);
  if (r.IsEmpty()) return;
  const uint32_t v = (SwapRedBlue(uint32_t(Color)) & 0x00FFFFFF) | (uint32_t(Alpha) << 24);
  for (int y = r.Top; y < r.Bottom; ++y) FillLongs(P.Row(y) + r.Left, r.Width(), v);
}

void TintRect32(TBitmap* Bmp, const TRect& R, TColor Color, uint8_t Alpha, uint8_t Percent) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  const uint32_t c = SwapRedBlue(uint32_t(Color));
  ForEachPixel(P, ClipToBitmap(R, P.width, P.height), [&](uint32_t& p, int, int) {
    int v[3];
    // C++ division truncates toward zero, as the signed rule wants.
    for (int k = 0; k < 3; ++k) v[k] = Ch(p, k) - Percent * (Ch(p, k) - Ch(c, k)) / 100;
    p = Pack(v[0], v[1], v[2], Alpha);
  });
}

void BlendRectWithColor(TBitmap* Bmp, const TRect& R, uint8_t Weight, TColor Color) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  const uint32_t c = SwapRedBlue(ColorToRGB(Color));
  const TRect r(std::max(0, R.Left), std::max(0, R.Top), std::min(R.Right, P.width - 1) + 1,
                std::min(R.Bottom, P.height - 1) + 1);
  ForEachPixel(P, r, [&](uint32_t& p, int, int) {
    int v[3];
    for (int k = 0; k < 3; ++k) v[k] = (Ch(p, k) * Weight + Ch(c, k) * (255 - Weight)) >> 8;
    p = Pack(v[0], v[1], v[2], Ch(p, 3));
  });
}

TColor MixColors(TColor Color1, TColor Color2, uint8_t K) {
  const uint32_t a = uint32_t(Color1), b = uint32_t(Color2);
  int v[3];
  for (int k = 0; k < 3; ++k) v[k] = (Ch(a, k) * K + Ch(b, k) * (255 - K)) >> 8;
  return TColor((a & 0xFF000000u) | (Pack(v[0], v[1], v[2], 0)));
}

void MakeKeyedBitmap32(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty() || Bmp->PixelFormat() == pf32bit) return;
  Bmp->SetPixelFormat(pf32bit);
  const PixelRows P = Rows32(Bmp);
  if (!P) return;
  ForEachPixel(P, TRect(0, 0, P.width, P.height), [](uint32_t& px, int, int) {
    px = (px & 0x00FFFFFF) == kKeyPixel ? kKeyPixel : (px | 0xFF000000u);
  });
}

namespace {

// An icon from Bmp's 32-bit pixels and a 1-bit mask: set where Transparent(pixel).
template <class Fn>
HICON IconWithMask(TBitmap* Bmp, Fn&& Transparent) {
  const PixelRows P = Rows32(Bmp);
  if (!P) return nullptr;
  // Built as bytes 255 / 0 and then reduced to one bit: 255 becomes the set (transparent) bit.
  TBitmap mask;
  mask.SetPixelFormat(pf8bit);
  mask.SetSize(P.width, P.height);
  for (int y = 0; y < P.height; ++y) {
    auto* row = static_cast<uint8_t*>(mask.ScanLine(y));
    for (int x = 0; x < P.width; ++x) row[x] = Transparent(P.At(x, y)) ? 255 : 0;
  }
  mask.SetPixelFormat(pf1bit);
  // A colour image with alpha is drawn by its alpha alone, so the masked pixels
  // also get alpha 0 in the icon's copy (an all-zero alpha keeps the mask in charge).
  TBitmap color;
  CopyBitmapFrom(&color, Bmp);
  const PixelRows C = Rows32(&color);
  if (!C) return nullptr;
  ForEachPixel(C, TRect(0, 0, C.width, C.height), [&](uint32_t& px, int x, int y) {
    if (Transparent(P.At(x, y))) px &= 0x00FFFFFF;
  });
  ICONINFO info;
  info.fIcon = TRUE;
  info.hbmColor = color.Handle();
  info.hbmMask = mask.Handle();
  return CreateIconIndirect(&info);
}

}  // namespace

HICON CreateIconFromBitmap(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty()) return nullptr;
  // Four bytes read from a narrower row would take a neighbour's byte as alpha:
  // other formats compare colours only, after the conversion.
  const bool was32 = Bmp->PixelFormat() == pf32bit;
  Bmp->SetPixelFormat(pf32bit);
  const uint32_t mask = was32 ? 0xFFFFFFFFu : 0x00FFFFFFu;
  const uint32_t key = GetPixel32(Bmp, 0, 0) & mask;
  return IconWithMask(Bmp, [key, mask](uint32_t px) { return (px & mask) == key; });
}

HICON CreateAlphaIcon(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty()) return nullptr;
  MakeKeyedBitmap32(Bmp);
  return IconWithMask(Bmp, [](uint32_t px) { return (px >> 24) == 0; });
}

std::unique_ptr<TBitmap> BitmapFromMaskedHalves(TBitmap* Source, const TRect& R) {
  const int w = RectWidthEx(R, true), h = RectHeightEx(R, true) / 2;
  const PixelRows S = Rows32(Source);
  if (w == 0 || h == 0 || !S) return nullptr;
  auto result = NewBitmap32(w, h);
  const PixelRows D = Rows32(result.get());
  if (!D) return result;
  BitBlt(result->Canvas()->Handle(), 0, 0, w, h, Source->Canvas()->Handle(), R.Left, R.Top, SRCCOPY);
  // The mask half may reach past the source: only its rows inside give alpha.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int mx = R.Left + x, my = R.Top + h + y;
      if (!S.Inside(mx, my)) continue;
      uint32_t& p = D.At(x, y);
      p = (p & 0x00FFFFFF) | (uint32_t(255 - Ch(S.At(mx, my), 2)) << 24);
    }
  return result;
}

void ApplyDisabledKind(TBitmap* Bmp, TacDisabledKind Kind, TColor ParentColor, const TPoint& Offset,
                       const TCacheInfo& ParentCache) {
  if (!Rows32(Bmp)) return;
  if (Kind.Contains(dkGrayed)) {
    if (DisabledSaturation == -100)
      GrayscaleBitmap(Bmp);
    else
      ApplyPixelFilter(Bmp, SaturationProc, DisabledSaturation * 255 / 100, clFuchsia);
  }
  if (!Kind.Contains(dkBlended)) return;
  TRect r(0, 0, Bmp->Width(), Bmp->Height());
  r = TRect(r.Left + ParentCache.X + Offset.X, r.Top + ParentCache.Y + Offset.Y, r.Right + ParentCache.X + Offset.X,
            r.Bottom + ParentCache.Y + Offset.Y);
  if (ParentCache.Ready) {
    CopyBitmapKeyed(Bmp, 0, 0, clFuchsia, DefDisabledBlend, r, ParentCache.Bmp);
    return;
  }
  const TColor fill = ParentCache.FillColor == clFuchsia ? ParentColor : ParentCache.FillColor;
  BlendRectWithColor(Bmp, TRect(0, 0, Bmp->Width(), Bmp->Height()), DefDisabledBlend, fill);
}

namespace {

// At most this many characters are drawn at once, as the text painters cap them.
constexpr size_t kMaxDrawnChars = 5460;

size_t CappedLength(const String& Text) {
  size_t chars = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars++ == kMaxDrawnChars) return i;
  }
  return Text.size();
}

}  // namespace

void DrawTextToBitmap32(TBitmap* Bmp, const String& Text, bool AlphaMode, bool, TColor TextColor, UINT DrawTextFlags,
                        const TRect& R) {
  const PixelRows P = Rows32(Bmp);
  if (!P || Text.empty()) return;
  auto scratch = NewBitmap32ForRect(R);
  const PixelRows S = Rows32(scratch.get());
  if (!S) return;
  ForEachPixel(S, TRect(0, 0, S.width, S.height), [](uint32_t& p, int, int) { p = 0x00FFFFFF; });
  TCanvas* canvas = scratch->Canvas();
  canvas->SetFont(Bmp->Canvas()->Font());
  HDC dc = canvas->Handle();
  SelectObject(dc, canvas->Font()->Handle());
  SetTextColor(dc, 0);
  SetBkColor(dc, 0xFFFFFF);
  RECT rc{0, 0, S.width, S.height};
  DrawText(dc, Text.data(), int(CappedLength(Text)), &rc, DrawTextFlags);

  const uint32_t tc = SwapRedBlue(uint32_t(TextColor));
  for (int y = R.Top < 0 ? -R.Top : 0; y <= std::min(S.height - 1, P.height - R.Top - 1); ++y)
    for (int x = R.Left < 0 ? -R.Left : 0; x <= std::min(S.width - 1, P.width - R.Left - 1); ++x) {
      const uint32_t s = S.At(x, y);
      if (s == 0x00FFFFFF || s == 0xFFFFFFFF) continue;  // untouched background
      uint32_t& d = P.At(R.Left + x, R.Top + y);
      int a = Ch(d, 3), c[3];
      if (!AlphaMode) {
        for (int k = 0; k < 3; ++k) c[k] = ((Ch(d, k) - Ch(tc, k)) * Ch(s, k) + Ch(tc, k) * 256) >> 8;
        d = Pack(c[0], c[1], c[2], 255);
        continue;
      }
      if (s == 0) {
        a = std::max(a, 254);
        for (int k = 0; k < 3; ++k) c[k] = (Ch(d, k) + 255 * Ch(tc, k)) * a >> 16;
      } else {
        const int L = int(std::nearbyint(0.299 * Ch(s, 2) + 0.587 * Ch(s, 1) + 0.114 * Ch(s, 0)));
        a = std::max(a, 255 - L);
        for (int k = 0; k < 3; ++k) c[k] = ((Ch(d, k) - Ch(tc, k)) * L + Ch(tc, k) * 256) * a >> 16;
      }
      d = Pack(c[0], c[1], c[2], a);
    }
}
