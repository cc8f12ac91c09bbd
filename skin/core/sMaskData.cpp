#include "skin/core/sMaskData.h"

#include "platform/vcl/Controls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acgpUtils.h"

using namespace skin_detail;

void CopyBitmapChannel(TBitmap* Target, TBitmap* Source, int Channel) {
  const PixelRows T = Rows32(Target), S = Rows32(Source);
  if (!T || !S || Channel < 0 || Channel > 3) return;
  const int w = std::min(T.width, S.width), h = std::min(T.height, S.height);
  for (int y = 0; y < h; ++y) {
    uint8_t* d = T.Bytes(y) + Channel;
    const uint8_t* s = S.Bytes(y) + Channel;
    for (int x = 0; x < w; ++x) d[4 * x] = s[4 * x];
  }
}

void TransferChannel8(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBytes) {
  const PixelRows P = Rows32(Bmp32);
  const PixelRows B = Bmp8 && Bmp8->PixelFormat() == pf8bit ? RowsOf(Bmp8) : PixelRows();
  if (!P || !B || Channel < 0 || Channel > 3) return;
  const int w = std::min(P.width, B.width), h = std::min(P.height, B.height);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = P.Bytes(y) + Channel;
    uint8_t* b = B.Bytes(y);
    for (int x = 0; x < w; ++x) {
      if (ToBytes)
        b[x] = p[4 * x];
      else
        p[4 * x] = b[x];
    }
  }
}

namespace {

// Pieces of pw x ph from (sx, sy) laid over the area column by column, the last
// ones cut to what remains.
void TileArea(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int pw, int ph) {
  if (pw <= 0 || ph <= 0) return;
  for (int cx = 0; cx < w; cx += pw)
    for (int cy = 0; cy < h; cy += ph)
      BitBlt(dst, x + cx, y + cy, std::min(pw, w - cx), std::min(ph, h - cy), src, sx, sy, SRCCOPY);
}

// An edge strip: tiled (mode 0) or stretched over the span.
void PaintEdge(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, int mode) {
  if (w <= 0 || h <= 0) return;
  if (mode == 1)
    StretchBlt(dst, x, y, w, h, src, sx, sy, sw, sh, SRCCOPY);
  else
    TileArea(dst, x, y, w, h, src, sx, sy, sw, sh);
}

}  // namespace

void CopyBitmapNineParts(TBitmap* Target, TBitmap* Source, const TRect& TargetRect, const TRect& SourceRect,
                         const TRect& Outer, const TRect& Inner, const TRect& EdgeModes, bool StretchCentre,
                         bool FillCentre) {
  if (!Target || !Source || Target->Empty() || Source->Empty()) return;
  HDC dst = Target->Canvas()->Handle();
  HDC src = Source->Canvas()->Handle();
  SetStretchBltMode(dst, COLORONCOLOR);
  const TRect& T = TargetRect;
  const TRect& S = SourceRect;
  const int l = std::min(Inner.Left, Outer.Left), t = std::min(Inner.Top, Outer.Top);
  const int r = std::min(Inner.Right, Outer.Right), b = std::min(Inner.Bottom, Outer.Bottom);
  const int OL = Outer.Left, OT = Outer.Top, OR = Outer.Right, OB = Outer.Bottom;

  // Corners, with a narrower piece where the inner width is below the outer one.
  BitBlt(dst, T.Left, T.Top, OL, t, src, S.Left, S.Top, SRCCOPY);
  if (t != OT) BitBlt(dst, T.Left, T.Top + t, l, OT - t, src, S.Left, S.Top + t, SRCCOPY);
  BitBlt(dst, T.Left, T.Bottom - b, OL, b, src, S.Left, S.Bottom - b, SRCCOPY);
  if (b != OB) BitBlt(dst, T.Left, T.Bottom - OB, l, OB - b, src, S.Left, S.Bottom - OB, SRCCOPY);
  BitBlt(dst, T.Right - OR, T.Top, OR, t, src, S.Right - OR, S.Top, SRCCOPY);
  if (t != OT) BitBlt(dst, T.Right - r, T.Top + t, r, OT - t, src, S.Right - r, S.Top + t, SRCCOPY);
  BitBlt(dst, T.Right - OR, T.Bottom - b, OR, b, src, S.Right - OR, S.Bottom - b, SRCCOPY);
  if (b != OB) BitBlt(dst, T.Right - r, T.Bottom - OB, r, OB - b, src, S.Right - r, S.Bottom - OB, SRCCOPY);

  const int cx = std::max(0, S.Width() - OL - OR), cy = std::max(0, S.Height() - OT - OB);
  const int spanW = T.Width() - OL - OR, spanH = T.Height() - OT - OB;
  if (cy != 0) PaintEdge(dst, T.Left, T.Top + OT, l, spanH, src, S.Left, S.Top + OT, l, cy, EdgeModes.Left);
  if (cx != 0) PaintEdge(dst, T.Left + OL, T.Top, spanW, t, src, S.Left + OL, S.Top, cx, t, EdgeModes.Top);
  if (cy != 0)
    PaintEdge(dst, T.Right - r, T.Top + OT, r, spanH, src, S.Right - r, S.Top + OT, r, cy, EdgeModes.Right);
  if (cx != 0)
    PaintEdge(dst, T.Left + OL, T.Bottom - b, spanW, b, src, S.Left + OL, S.Bottom - b, cx, b, EdgeModes.Bottom);

  if (!FillCentre || spanW <= 0 || spanH <= 0) return;
  if (StretchCentre)
    StretchBlt(dst, T.Left + OL, T.Top + OT, spanW, spanH, src, S.Left + OL, S.Top + OT, cx, cy, SRCCOPY);
  else if (cx != 0 && cy != 0)
    TileArea(dst, T.Left + OL, T.Top + OT, spanW, spanH, src, S.Left + OL, S.Top + OT, cx, cy);
}

void CopyBorderStrips(HDC TargetDC, int X, int Y, int W, int H, HDC SourceDC, int SourceX, int SourceY,
                      int BorderWidth) {
  const int B = BorderWidth;
  BitBlt(TargetDC, X, Y, B, H, SourceDC, SourceX, SourceY, SRCCOPY);
  BitBlt(TargetDC, X + B, Y, W, B, SourceDC, SourceX + B, SourceY, SRCCOPY);
  BitBlt(TargetDC, X + W - B, Y + B, W, H, SourceDC, SourceX + W - B, SourceY + B, SRCCOPY);
  BitBlt(TargetDC, X + B, Y + H - B, W - B, H, SourceDC, SourceX + B, SourceY + H - B, SRCCOPY);
}

void PaintSolidRect(HDC DC, const TRect& R, TColor Color) {
  const int saved = SaveDC(DC);
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color));
  const RECT r = R;
  FillRect(DC, &r, brush);
  RestoreDC(DC, saved);
  DeleteObject(brush);
}

void ExcludeControlsFromClip(HDC DC, TWinControl* Control, int X, int Y) {
  if (!Control) return;
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* c = Control->Controls(i);
    if (!c->Visible() || dynamic_cast<TGraphicControl*>(c)) continue;
    ExcludeClipRect(DC, X + c->Left(), Y + c->Top(), X + c->Left() + c->Width(), Y + c->Top() + c->Height());
  }
}

HRGN RegionFromBitmap(TBitmap* Bmp, TColor Key) {
  if (!Bmp) return nullptr;
  HRGN rgn = CreateRectRgn(0, 0, Bmp->Width(), Bmp->Height());
  const PixelRows P = Rows32(Bmp);
  if (!P) return rgn;
  const uint32_t key = uint32_t(Key) & 0x00FFFFFF;
  for (int y = 0; y < P.height; ++y) {
    const uint32_t* row = P.Row(y);
    for (int x = 0; x < P.width;) {
      if (row[x] != key) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < P.width && row[x] == key) ++x;
      HRGN run = CreateRectRgn(start, y, x, y + 1);
      CombineRgn(rgn, rgn, run, RGN_DIFF);
      DeleteObject(run);
    }
  }
  return rgn;
}

std::unique_ptr<TBitmap> RotateBitmap32(TBitmap* Bmp, int Angle) {
  const PixelRows S = Rows32(Bmp);
  if (!Bmp || Bmp->PixelFormat() != pf32bit) return nullptr;
  const int W = Bmp->Width(), H = Bmp->Height();
  const bool quarter = Angle == 90 || Angle == 270;
  auto result = std::make_unique<TBitmap>();
  result->SetPixelFormat(pf32bit);
  result->SetSize(quarter ? H : W, quarter ? W : H);
  const PixelRows D = Rows32(result.get());
  if (!S || !D) return result;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int nx = x, ny = y;
      switch (Angle) {
        case 90: nx = D.width - 1 - y, ny = x; break;
        case 180: nx = W - 1 - x, ny = H - 1 - y; break;
        case 270: nx = y, ny = W - 1 - x; break;
        default: break;
      }
      D.At(nx, ny) = S.At(x, y);
    }
  return result;
}

std::unique_ptr<TBitmap> MakeArrowShape(int Size, int Width, int Style, uint32_t FillColor, TColor LineColor,
                                        int TargetWidth) {
  const bool outlined = Style == 1 || Style == 3, half = Style == 2 || Style == 3, odd = TargetWidth % 2 != 0;
  const int hw = Width / 2, m = std::max(1, hw);
  int h = half ? Size - Size / 2 : Size, w = 2 * Size + (odd ? 1 : 0);
  if (outlined) {
    h += m + Width;
    w += Width;
  } else if (odd) {
    h += 1;
  }
  const int par = w % 2;
  auto bmp = NewBitmap32(w, h);
  const PixelRows P = Rows32(bmp.get());
  if (!P) return bmp;
  ForEachPixel(P, TRect(0, 0, w, h), [](uint32_t& p, int, int) { p = 0x00FFFFFF; });
  TPoint p1, p2, p3, p4;
  if (outlined) {
    p1 = TPoint(m, m);
    p2 = TPoint(m + Size, h - Width);
    p3 = TPoint(p2.X + par - hw, p2.Y);
    p4 = TPoint(p3.X + Size, p1.Y);
  } else {
    p1 = TPoint(0, 0);
    p2 = TPoint(w / 2 + par - 1, h - 1);
    p3 = TPoint(p2.X - par + 1, p2.Y);
    p4 = TPoint(w / 2 + p3.X + par - 1, p1.Y);
  }
  TCanvas* canvas = bmp->Canvas();
  if (FillColor != uint32_t(kNoColor)) {
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetColor(clBlack);
    canvas->Polygon({p1, p2, p3, p4});
    // Ink darkness becomes the fill colour's coverage.
    ForEachPixel(P, TRect(0, 0, w, h), [FillColor](uint32_t& p, int, int) {
      const int sum = Ch(p, 0) + Ch(p, 1) + Ch(p, 2);
      p = sum == 765 ? 0x00FFFFFF : (FillColor & 0x00FFFFFF) | (uint32_t(255 - sum / 3) << 24);
    });
  }
  if (Width >= 1) {
    HDC dc = canvas->Handle();
    DrawLineSmooth(dc, LineColor, float(p1.X), float(p1.Y), float(p2.X), float(p2.Y), float(Width));
    DrawLineSmooth(dc, LineColor, float(p3.X), float(p3.Y), float(p4.X), float(p4.Y), float(Width));
  }
  return bmp;
}
