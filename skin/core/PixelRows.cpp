#include "skin/core/PixelRows.h"

#include "skin/core/sGraphUtils.h"

namespace skin_detail {

PixelRows RowsOf(TBitmap* Bmp) {
  PixelRows r;
  void* row0 = nullptr;
  int distance = 0;
  if (!Bmp || !GetBitmapRowInfo(Bmp, row0, distance)) return r;
  r.row0 = static_cast<uint8_t*>(row0);
  r.step = distance;
  r.width = Bmp->Width();
  r.height = Bmp->Height();
  return r;
}

PixelRows Rows32(TBitmap* Bmp) {
  if (!Bmp || Bmp->PixelFormat() != pf32bit) return PixelRows();
  return RowsOf(Bmp);
}

namespace {

// One axis of ClipBlit: start positions d and s, length n, bitmap sizes dn and sn.
bool ClipAxis(int& d, int& s, int& n, int dn, int sn) {
  if (d < 0) {
    s -= d;
    n += d;
    d = 0;
  }
  if (s < 0) {
    d -= s;
    n += s;
    s = 0;
  }
  n = std::min({n, dn - d, sn - s});
  return n > 0;
}

}  // namespace

bool ClipBlit(const TRect& Target, const TRect& Source, int TargetW, int TargetH, int SourceW, int SourceH,
              BlitArea& A) {
  A.dx = Target.Left;
  A.dy = Target.Top;
  A.sx = Source.Left;
  A.sy = Source.Top;
  A.w = std::min(Target.Width(), Source.Width());
  A.h = std::min(Target.Height(), Source.Height());
  return A.w > 0 && A.h > 0 && ClipAxis(A.dx, A.sx, A.w, TargetW, SourceW) &&
         ClipAxis(A.dy, A.sy, A.h, TargetH, SourceH);
}

bool ClipBlitInclusive(const TPoint& Target, const TRect& Source, int TargetW, int TargetH, int SourceW,
                       int SourceH, BlitArea& A) {
  const TRect s(Source.Left, Source.Top, std::min(Source.Right, SourceW - 1) + 1,
                std::min(Source.Bottom, SourceH - 1) + 1);
  const TRect t(Target.X, Target.Y, Target.X + s.Width(), Target.Y + s.Height());
  return ClipBlit(t, s, TargetW, TargetH, SourceW, SourceH, A);
}

TRect ClipToBitmap(const TRect& R, int W, int H) {
  return TRect(std::max(0, R.Left), std::max(0, R.Top), std::min(W, R.Right), std::min(H, R.Bottom));
}

}  // namespace skin_detail
