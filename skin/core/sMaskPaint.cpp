#include "skin/core/sMaskPaint.h"

#include <algorithm>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"

using namespace skin_detail;

namespace {

// Channel mask blend: each colour channel by the same channel of the mask.
uint32_t ChannelMaskBlend(uint32_t dst, uint32_t pic, uint32_t m, int alpha) {
  int v[3];
  for (int k = 0; k < 3; ++k) v[k] = ((Ch(dst, k) - Ch(pic, k)) * Ch(m, k) + Ch(pic, k) * 256) >> 8;
  return Pack(v[0], v[1], v[2], alpha);
}

// The alpha rule of 32-bit targets under mask value m.
int MaskedAlpha(int a, int m) { return a == 0 ? 255 - m : (a != 255 ? std::max(a, 255 - m) : a); }

// Red-mask blend with the alpha rule of 32-bit targets.
uint32_t RedMaskBlend(uint32_t dst, uint32_t pic, int m) {
  int v[3];
  for (int k = 0; k < 3; ++k) v[k] = (Ch(dst, k) * m + Ch(pic, k) * (255 - m)) >> 8;
  return Pack(v[0], v[1], v[2], MaskedAlpha(Ch(dst, 3), m));
}

// The parent's pixel under target (x, y), when CI's bitmap holds it.
bool ParentPixel(const TCacheInfo& CI, const PixelRows& C, int x, int y, uint32_t& out) {
  const int px = CI.X + x, py = CI.Y + y;
  if (!C.Inside(px, py)) return false;
  out = C.At(px, py);
  return true;
}

uint32_t FillPixel(TColor c) { return SwapRedBlue(uint32_t(c)); }

// A piece of picture and the rows of its mask: the area, and the mask's offset below the source rows.
struct MaskedArea {
  PixelRows T, S;
  BlitArea A;
  int maskOffset = 0;
};

bool MaskedPieceArea(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& M,
                     TBitmap* Source, MaskedArea& out) {
  out.T = Rows32(Target);
  out.S = Rows32(Source);
  if (!out.T || !out.S ||
      !ClipBlit(TargetRect, SourceRect, out.T.width, out.T.height, out.S.width, out.S.height, out.A))
    return false;
  // The mask of a frame lies one frame height below its picture; it may not pass the source's last rows.
  out.maskOffset = std::min(M.Height, out.S.height - out.A.sy - out.A.h);
  return out.maskOffset >= 0 && out.A.sy + out.maskOffset >= 0;
}

TBitmap* MaskSource(const TsMaskData& M) {
  if (M.Bmp) return M.Bmp.get();
  return M.Manager ? M.Manager->MasterBitmap.get() : nullptr;
}

// Clamped state frame.
int FrameOf(const TsMaskData& M, int State) { return State >= M.ImageCount ? std::max(M.ImageCount - 1, 0) : State; }

// Scales W x H of Src from (SrcX, SrcY) into a new 32-bit bitmap of W x H, by
// resampling (Filter) or a plain stretch.
std::unique_ptr<TBitmap> ScalePiece(TBitmap* Src, int SrcX, int SrcY, int SrcW, int SrcH, int W, int H, bool Resample,
                                    uint8_t Filter) {
  auto out = NewBitmap32(W, H);
  if (Resample && W > 1 && H > 1) {
    // A one-pixel source is widened to two by repeating it, as the resampler needs two.
    const int cw = std::max(SrcW, 2), ch = std::max(SrcH, 2);
    auto piece = NewBitmap32(cw, ch);
    StretchBlt(piece->Canvas()->Handle(), 0, 0, cw, ch, Src->Canvas()->Handle(), SrcX, SrcY, SrcW, SrcH, SRCCOPY);
    ResampleBitmap32(piece.get(), out.get(), W, H, Filter);
    if (out->Width() != W || out->Height() != H) {
      out = NewBitmap32(W, H);
      StretchBlt(out->Canvas()->Handle(), 0, 0, W, H, piece->Canvas()->Handle(), 0, 0, cw, ch, SRCCOPY);
    }
  } else {
    SetStretchBltMode(out->Canvas()->Handle(), COLORONCOLOR);
    StretchBlt(out->Canvas()->Handle(), 0, 0, W, H, Src->Canvas()->Handle(), SrcX, SrcY, SrcW, SrcH, SRCCOPY);
  }
  return out;
}

// The blend of an outer effect: the picture's weight is Opacity's share of 255 - m.
uint32_t OpacityMaskBlend(uint32_t dst, uint32_t pic, int m, int Opacity) {
  const int v = ((255 - m) * Opacity) >> 8;
  int c[3];
  for (int k = 0; k < 3; ++k) c[k] = (Ch(dst, k) * (255 - v) + Ch(pic, k) * v) >> 8;
  return Pack(c[0], c[1], c[2], MaskedAlpha(Ch(dst, 3), m));
}

enum class PieceKind { Plain, Alpha32, Blended };

void StretchMaskedPieceAny(PieceKind Kind, int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source,
                           TBitmap* Target, int SrcX, int SrcY, int SrcW, int SrcH, int Opacity = 255) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  if (X < 0 || Y < 0 || W <= 0 || H <= 0 || !T || !S || T.width < 2 || T.height < 2 || SrcW <= 0 || SrcH <= 0) return;
  if (MaskOffset == 0) {
    SetStretchBltMode(Target->Canvas()->Handle(), COLORONCOLOR);
    StretchBlt(Target->Canvas()->Handle(), X, Y, W, H, Source->Canvas()->Handle(), SrcX, SrcY, SrcW, SrcH, SRCCOPY);
    return;
  }
  if (SrcX < 0 || SrcY < 0 || SrcX + SrcW > S.width || SrcY + SrcH > S.height || SrcY + MaskOffset < 0 ||
      SrcY + MaskOffset + SrcH > S.height)
    return;
  const int x1 = std::min(X + W, T.width), y1 = std::min(Y + H, T.height);
  auto put = [&](uint32_t& d, uint32_t pic, int m) {
    if (Kind == PieceKind::Plain) {
      d = ChannelMaskBlend(d, pic, Pack(m, m, m, 0), 255);
      return;
    }
    if (Kind == PieceKind::Blended) {
      // The opacity holds where the mask shows the picture fully too, as in the corners' copies.
      if (m != 255) d = OpacityMaskBlend(d, pic, m, Opacity);
      return;
    }
    if (m == 0) {
      d = pic | 0xFF000000u;
    } else if (m != 255) {
      const int l = std::min(m, Ch(d, 3));
      int v[3];
      for (int k = 0; k < 3; ++k) v[k] = (l * Ch(d, k) + Ch(pic, k) * (255 - l)) >> 8;
      d = Pack(v[0], v[1], v[2], MaskedAlpha(Ch(d, 3), m));
    }
  };
  if (Centre && SrcW == 1 && SrcH == 1) {
    const uint32_t pic = S.At(SrcX, SrcY);
    const int m = Ch(S.At(SrcX, SrcY + MaskOffset), 2);
    if (m == 255) return;
    for (int y = Y; y < y1; ++y)
      for (int x = X; x < x1; ++x) {
        if (m == 0 && Kind != PieceKind::Blended)
          T.At(x, y) = pic | 0xFF000000u;
        else
          put(T.At(x, y), pic, m);
      }
    return;
  }
  const bool resample = Centre || (W < SrcW && SrcH == H) || (SrcW == W && H < SrcH);
  auto pic = ScalePiece(Source, SrcX, SrcY, SrcW, SrcH, W, H, resample, 6);
  auto mask = ScalePiece(Source, SrcX, SrcY + MaskOffset, SrcW, SrcH, W, H, resample, Kind == PieceKind::Plain ? 6 : 2);
  const PixelRows P = Rows32(pic.get()), Mk = Rows32(mask.get());
  if (!P || !Mk) return;
  for (int y = Y; y < y1; ++y)
    for (int x = X; x < x1; ++x) {
      const uint32_t p = P.At(x - X, y - Y);
      const uint32_t m = Mk.At(x - X, y - Y);
      if (Kind == PieceKind::Plain)
        T.At(x, y) = ChannelMaskBlend(T.At(x, y), p, m, 255);
      else
        put(T.At(x, y), p, Ch(m, 2));
    }
}

// ---- Nine-part painting ----

enum class NineKind { Plain, Alpha32, Blended };

struct NinePart {
  TBitmap* bmp;
  const TCacheInfo& ci;
  const TsMaskData& m;
  TBitmap* src;
  bool cornersUseParent;
  NineKind kind;
  bool stretch;
  int opacity = 255;
  // Blended: the border strips' widths per side (left, top, right, bottom).
  TRect margins;

  // One piece copied at its size: target (x, y, w, h) from source (sx, sy).
  void Piece(int x, int y, int w, int h, int sx, int sy, bool corner) const {
    if (w <= 0 || h <= 0) return;
    const TRect tr(x, y, x + w, y + h), sr(sx, sy, sx + w, sy + h);
    if (m.MaskType == 0) {
      if (corner)
        CopyKeyedPiece(bmp, src, x, y, cornersUseParent, ci, clFuchsia, TRect(sx, sy, sx + w - 1, sy + h - 1));
      else
        BitBlt(bmp->Canvas()->Handle(), x, y, w, h, src->Canvas()->Handle(), sx, sy, SRCCOPY);
      return;
    }
    if (kind == NineKind::Alpha32)
      CopyMaskedPiece32(tr, sr, bmp, m, corner ? ci : EmptyCI, src);
    else if (kind == NineKind::Blended)
      CopyMaskedPieceBlended(tr, sr, bmp, opacity, m, corner ? ci : EmptyCI, src);
    else
      CopyMaskedPiece(tr, sr, bmp, m, corner && cornersUseParent, corner ? ci : EmptyCI, src);
  }

  void Stretched(int x, int y, int w, int h, int sx, int sy, int sw, int sh, bool centre) const {
    if (w <= 0 || h <= 0) return;
    const int offset = m.MaskType == 0 ? 0 : m.Height;
    if (kind == NineKind::Alpha32)
      StretchMaskedPiece32(x, y, w, h, centre, offset, src, bmp, sx, sy, sw, sh);
    else if (kind == NineKind::Blended)
      StretchMaskedPieceBlended(x, y, w, h, centre, offset, src, bmp, sx, sy, sw, sh, opacity);
    else
      StretchMaskedPiece(x, y, w, h, centre, offset, src, bmp, sx, sy, sw, sh);
  }

  // A strip along one axis: pieces of Size from Start to End; a size of 0 paints the span once.
  template <class Fn>
  static void Tile(int Start, int End, int Size, Fn&& place) {
    if (Size <= 0) {
      if (End > Start) place(Start, End - Start);
      return;
    }
    int p = Start;
    for (; p < End - Size; p += Size) place(p, Size);
    if (p < End) place(p, End - p);
  }

  void Paint(const TRect& R, int State) const {
    const int w = R.Width(), h = R.Height();
    int L = m.WL, Rt = m.WR, T = m.WT, B = m.WB;
    // Corners shrink by equal halves of the excess, right and bottom taking the odd pixel.
    if (w < m.WL + m.WR) {
      const int excess = m.WL + m.WR - w, half = excess / 2;
      L = std::max(m.WL - half, 0);
      Rt = std::max(m.WR - half - (excess & 1), 0);
    }
    if (h < m.WT + m.WB) {
      const int excess = m.WT + m.WB - h, half = excess / 2;
      T = std::max(m.WT - half, 0);
      B = std::max(m.WB - half - (excess & 1), 0);
    }
    const int FX = m.R.Left + FrameOf(m, State) * m.Width, FY = m.R.Top;
    const int MW = m.Width - L - Rt, MH = m.Height - T - B;
    if (MW < 0 || MH < 0) return;
    if (stretch) SetStretchBltMode(bmp->Canvas()->Handle(), COLORONCOLOR);
    const int rx = FX + L + MW, by = FY + m.Height - B;
    const int top = R.Top + T, bottom = R.Bottom - B, left = R.Left + L, right = R.Right - Rt;

    auto vertical = [&](int x, int width, int sx) {  // a left or right edge
      if (stretch) return Stretched(x, top, width, bottom - top, sx, FY + T, width, MH, false);
      Tile(top, bottom, MH, [&](int y, int n) { Piece(x, y, width, n, sx, FY + T, false); });
    };
    auto horizontal = [&](int y, int height, int sy) {  // a top or bottom edge
      if (stretch) return Stretched(left, y, right - left, height, FX + L, sy, MW, height, false);
      Tile(left, right, MW, [&](int x, int n) { Piece(x, y, n, height, FX + L, sy, false); });
    };
    // An outer effect's edges are thinner: the outermost columns and rows of each border, along R's outer side.
    const bool thin = kind == NineKind::Blended;
    const int lw = thin ? std::min(L, margins.Left) : L, rw = thin ? std::min(Rt, margins.Right) : Rt;
    const int th = thin ? std::min(T, margins.Top) : T, bh = thin ? std::min(B, margins.Bottom) : B;
    Piece(R.Left, R.Top, L, T, FX, FY, true);
    vertical(R.Left, lw, FX);
    horizontal(R.Top, th, FY);
    Piece(R.Left, R.Bottom - B, L, B, FX, by, true);
    horizontal(R.Bottom - bh, bh, FY + m.Height - bh);
    Piece(R.Right - Rt, R.Bottom - B, Rt, B, rx, by, true);
    Piece(R.Right - Rt, R.Top, Rt, T, rx, FY, true);
    vertical(R.Right - rw, rw, FX + m.Width - rw);
    if (thin || !(m.DrawMode & kMaskPaintCentre)) return;
    if (stretch) return Stretched(left, top, right - left, bottom - top, FX + L, FY + T, MW, MH, true);
    Tile(top, bottom, MH, [&](int y, int rows) {
      Tile(left, right, MW, [&](int x, int cols) { Piece(x, y, cols, rows, FX + L, FY + T, false); });
    });
  }
};

void PaintNine(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TsMaskData& M, int State,
               bool CornersUseParent, NineKind Kind, int Opacity = 255, const TRect& Margins = TRect()) {
  if ((State == 0 && (M.DrawMode & kMaskNotInNormal)) || R.Width() < 2 || R.Height() < 2 || !M.Manager ||
      !Rows32(Bmp))
    return;
  TBitmap* src = MaskSource(M);
  if (!src || src->Empty()) return;
  NinePart{Bmp, CI, M, src, CornersUseParent, Kind, (M.DrawMode & kMaskStretch) != 0, Opacity, Margins}.Paint(R,
                                                                                                              State);
}

}  // namespace

void CopyMaskedPiece(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                     bool UseParent, const TCacheInfo& CI, TBitmap* Source) {
  MaskedArea a;
  if (!MaskedPieceArea(TargetRect, SourceRect, Target, MaskData, Source, a)) return;
  const PixelRows C = CI.Ready ? Rows32(CI.Bmp) : PixelRows();
  for (int y = 0; y < a.A.h; ++y)
    for (int x = 0; x < a.A.w; ++x) {
      uint32_t& d = a.T.At(a.A.dx + x, a.A.dy + y);
      const uint32_t pic = a.S.At(a.A.sx + x, a.A.sy + y);
      const uint32_t m = a.S.At(a.A.sx + x, a.A.sy + y + a.maskOffset);
      if (CI.Ready && UseParent) {
        uint32_t parent;
        if (pic == kKeyPixel) {
          if (ParentPixel(CI, C, a.A.dx + x, a.A.dy + y, parent)) d = parent | 0xFF000000u;
        } else {
          d = ChannelMaskBlend(d, pic, m, 255);
        }
      } else if (CI.Ready) {
        d = ChannelMaskBlend(d, pic, m, 255);
      } else if (UseParent && pic == kKeyPixel) {
        d = FillPixel(CI.FillColor);
      } else if (pic != kKeyPixel) {
        d = ChannelMaskBlend(d, pic, m, Ch(d, 3));
      }
    }
}

namespace {

// The 32-bit piece copy: key pixels take the parent's pixel (or lose their
// alpha without one), the others go through Blend(dst, pic, mask red byte).
template <class BlendFn>
void CopyMaskedPieceWith(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                         const TCacheInfo& CI, TBitmap* Source, BlendFn&& Blend) {
  MaskedArea a;
  if (!MaskedPieceArea(TargetRect, SourceRect, Target, MaskData, Source, a)) return;
  const PixelRows C = CI.Ready && CI.Bmp ? Rows32(CI.Bmp) : PixelRows();
  for (int y = 0; y < a.A.h; ++y)
    for (int x = 0; x < a.A.w; ++x) {
      uint32_t& d = a.T.At(a.A.dx + x, a.A.dy + y);
      const uint32_t pic = a.S.At(a.A.sx + x, a.A.sy + y);
      if (pic == kKeyPixel) {
        uint32_t parent;
        if (C) {
          if (ParentPixel(CI, C, a.A.dx + x, a.A.dy + y, parent)) d = parent;
        } else {
          d &= 0x00FFFFFF;
        }
        continue;
      }
      d = Blend(d, pic, Ch(a.S.At(a.A.sx + x, a.A.sy + y + a.maskOffset), 2));
    }
}

}  // namespace

void CopyMaskedPiece32(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                       const TCacheInfo& CI, TBitmap* Source) {
  CopyMaskedPieceWith(TargetRect, SourceRect, Target, MaskData, CI, Source, RedMaskBlend);
}

void CopyMaskedPieceBlended(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, int Opacity,
                            const TsMaskData& MaskData, const TCacheInfo& CI, TBitmap* Source) {
  CopyMaskedPieceWith(TargetRect, SourceRect, Target, MaskData, CI, Source,
                      [Opacity](uint32_t d, uint32_t pic, int m) { return OpacityMaskBlend(d, pic, m, Opacity); });
}

void CopyMaskedTexturePiece(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target,
                            const TsMaskData& MaskData, const TCacheInfo& CI) {
  MaskedArea a;
  TBitmap* master = MaskData.Manager ? MaskData.Manager->MasterBitmap.get() : nullptr;
  if (!MaskedPieceArea(TargetRect, SourceRect, Target, MaskData, master, a)) return;
  const PixelRows C = CI.Ready ? Rows32(CI.Bmp) : PixelRows();
  for (int y = 0; y < a.A.h; ++y)
    for (int x = 0; x < a.A.w; ++x) {
      uint32_t& d = a.T.At(a.A.dx + x, a.A.dy + y);
      const uint32_t pic = a.S.At(a.A.sx + x, a.A.sy + y);
      if (pic != kKeyPixel) {
        d = ChannelMaskBlend(d, pic, a.S.At(a.A.sx + x, a.A.sy + y + a.maskOffset), Ch(d, 3));
      } else if (CI.Ready && CI.FillColor == clFuchsia) {
        uint32_t parent;
        if (ParentPixel(CI, C, a.A.dx + x, a.A.dy + y, parent)) d = parent;
      } else if (CI.Ready || CI.FillColor != clFuchsia) {
        d = FillPixel(CI.FillColor);
      }
    }
}

void CopyKeyedPiece(TBitmap* Target, TBitmap* Source, int X, int Y, bool UseParent, const TCacheInfo& CI, TColor Key,
                    const TRect& SourceRect) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  BlitArea A;
  if (!T || !S || !ClipBlitInclusive(TPoint(X, Y), SourceRect, T.width, T.height, S.width, S.height, A)) return;
  const uint32_t key = SwapRedBlue(uint32_t(Key));
  const PixelRows C = CI.Ready && CI.Bmp ? Rows32(CI.Bmp) : PixelRows();
  const bool intoParent = CI.Bmp == Target;
  const uint32_t fill = (FillPixel(CI.FillColor) & 0x00FFFFFF) | (T.At(0, 0) & 0xFF000000u);
  ForEachPair(T, S, A, [&](uint32_t& d, uint32_t s, int x, int y) {
    const bool isKey = s == key;
    if (UseParent && C) {
      uint32_t parent;
      if (intoParent) {
        if (!isKey) d = s | 0xFF000000u;
      } else if (!isKey) {
        d = s;
      } else if (ParentPixel(CI, C, x, y, parent)) {
        d = parent;
      }
    } else if (CI.Ready) {
      if (!isKey) d = s;
    } else {
      d = isKey ? fill : s;
    }
  });
}

void CopyKeyedRect(TBitmap* Target, TBitmap* Source, int X, int Y, TColor Key, const TRect& SourceRect) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  BlitArea A;
  if (!T || !S || !ClipBlitInclusive(TPoint(X, Y), SourceRect, T.width, T.height, S.width, S.height, A)) return;
  const uint32_t key = SwapRedBlue(uint32_t(Key)) & 0x00FFFFFF;
  ForEachPair(T, S, A, [key](uint32_t& d, uint32_t s, int, int) {
    if ((s & 0x00FFFFFF) != key) d = s;
  });
}

void StretchMaskedPiece(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source, TBitmap* Target,
                        int SrcX, int SrcY, int SrcW, int SrcH) {
  StretchMaskedPieceAny(PieceKind::Plain, X, Y, W, H, Centre, MaskOffset, Source, Target, SrcX, SrcY, SrcW, SrcH);
}

void StretchMaskedPiece32(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source, TBitmap* Target,
                          int SrcX, int SrcY, int SrcW, int SrcH) {
  StretchMaskedPieceAny(PieceKind::Alpha32, X, Y, W, H, Centre, MaskOffset, Source, Target, SrcX, SrcY, SrcW, SrcH);
}

void StretchMaskedPieceBlended(int X, int Y, int W, int H, bool Centre, int MaskOffset, TBitmap* Source,
                               TBitmap* Target, int SrcX, int SrcY, int SrcW, int SrcH, int Opacity) {
  StretchMaskedPieceAny(PieceKind::Blended, X, Y, W, H, Centre, MaskOffset, Source, Target, SrcX, SrcY, SrcW, SrcH,
                        Opacity);
}

void CopyMaskFrame(const TRect& TargetRect, const TRect& SourceRect, TBitmap* Target, const TsMaskData& MaskData,
                   int Mode, TBitmap* Source) {
  if (MaskData.MaskType == 0) {
    CopyKeyedRect(Target, Source, TargetRect.Left, TargetRect.Top, clFuchsia, SourceRect);
    return;
  }
  const TRect src(SourceRect.Left, SourceRect.Top, SourceRect.Right + 1, SourceRect.Bottom + 1);
  MaskedArea a;
  if (!MaskedPieceArea(TRect(TargetRect.Left, TargetRect.Top, TargetRect.Left + src.Width(),
                             TargetRect.Top + src.Height()),
                       src, Target, MaskData, Source, a))
    return;
  for (int y = 0; y < a.A.h; ++y)
    for (int x = 0; x < a.A.w; ++x) {
      const uint32_t pic = a.S.At(a.A.sx + x, a.A.sy + y);
      const uint32_t m = a.S.At(a.A.sx + x, a.A.sy + y + a.maskOffset);
      if (pic == kKeyPixel || Ch(m, 2) == 255) continue;
      uint32_t& d = a.T.At(a.A.dx + x, a.A.dy + y);
      const uint32_t weights = Mode == 1 ? m
                                         : Pack(std::min(Ch(m, 0) + 100, 255), std::min(Ch(m, 1) + 100, 255),
                                                std::min(Ch(m, 2) + 100, 255), 0);
      const int alpha = Ch(d, 3);
      d = ChannelMaskBlend(d, pic, weights, alpha + (((alpha - 255) * (Ch(m, 2) - 255)) >> 8));
    }
}

void PaintMask(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, const TsMaskData& MaskData, int State,
               bool UpdateCorners) {
  PaintNine(Bmp, R, CI, MaskData, State, UpdateCorners && MaskData.CornerType > 0, NineKind::Plain);
}

void PaintMask32(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, int State, const TsMaskData& MaskData) {
  PaintNine(Bmp, R, CI, MaskData, State, true, NineKind::Alpha32);
}

void PaintMaskBlended(TBitmap* Bmp, const TRect& R, const TCacheInfo& CI, int Opacity, const TRect& Margins, int State,
                      const TsMaskData& MaskData) {
  // Key-colour images paint as PaintMask does, their corners always over the parent.
  if (MaskData.MaskType == 0)
    PaintNine(Bmp, R, CI, MaskData, State, true, NineKind::Plain);
  else
    PaintNine(Bmp, R, CI, MaskData, State, true, NineKind::Blended, Opacity, Margins);
}

void PaintMaskFrame(TBitmap* Bmp, const TPoint& P, int State, const TCacheInfo& CI, const TsMaskData& MaskData,
                    int Mode) {
  const TsMaskData& m = MaskData;
  if (m.ImageCount <= 0) return;
  const int c = P.Y < 0 ? -P.Y : 0, d = P.X < 0 ? -P.X : 0;
  const int fx = m.Width * std::min(State, m.ImageCount - 1);
  const TRect src(m.R.Left + fx + d, m.R.Top + c, m.R.Left + fx + d + m.Width - 1, m.R.Top + c + m.Height - 1);
  const TRect target(P.X + d, P.Y + c, P.X + d + m.Width, P.Y + c + m.Height);
  if (m.Bmp) {
    if (m.Bmp->Width() < m.R.Right || m.Bmp->Height() < m.R.Bottom) return;
    CopyMaskFrame(target, src, Bmp, m, Mode, m.Bmp.get());
    return;
  }
  TBitmap* master = MaskSource(m);
  if (!m.Manager || !master) return;
  if (m.MaskType <= 0) {
    if (Mode == 1)
      CopyKeyedPiece(Bmp, master, target.Left, target.Top, true, CI, clFuchsia, src);
    else
      CopyBitmapKeyed(Bmp, target.Left, target.Top, clFuchsia, 127, src, master);
    return;
  }
  CopyMaskFrame(target, src, Bmp, m, Mode, master);
}

TPoint MaskSize(const TsMaskData& MaskData) { return TPoint(MaskData.Width, MaskData.Height); }

void GetMaskTransparentRects(std::vector<TRect>& Rects, int TargetWidth, const TsMaskData& MaskData, bool Bottom,
                             int Y) {
  const TsMaskData& m = MaskData;
  const PixelRows S = m.Manager ? Rows32(MaskSource(m)) : PixelRows();
  if (!S) return;
  const int rows = Bottom ? m.WB : m.WT;
  const int y0 = m.R.Top + (Bottom ? m.R.Height() / (m.MaskType + 1) - m.WB : 0);
  if (y0 < 0 || y0 + rows > S.height) return;
  auto runs = [&](int from, int to, int row, bool right) {
    int start = -1;
    for (int x = from; x <= to; ++x) {
      const bool key = x < to && x >= 0 && x < S.width && S.At(x, y0 + row) == kKeyPixel;
      if (key && start < 0) start = x;
      if (!key && start >= 0) {
        const int left = right ? TargetWidth - (m.Width - (start - m.R.Left)) : start - m.R.Left;
        Rects.push_back(TRect(left, Y + row, left + (x - start), Y + row + 1));
        start = -1;
      }
    }
  };
  for (int row = 0; row < rows; ++row) {
    runs(m.R.Left, m.R.Left + m.WL, row, false);
    runs(m.R.Left + m.Width - m.WR, m.R.Left + m.Width, row, true);
  }
}
