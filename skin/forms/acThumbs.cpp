// Taskbar thumbnails and live previews of skinned forms.

#include "skin/forms/acThumbs.h"

#include <cmath>
#include <memory>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"

namespace {

constexpr uint8_t kTriangleFilter = 1;

// The picture both answers start from, and whether it is the painted frame
// (which lacks the form's child controls) rather than the minimise snapshot.
TBitmap* FormPicture(TsSkinProvider* sp, bool& IsCache) {
  IsCache = false;
  if (MinimizedFormImage)
    if (TBitmap* saved = MinimizedFormImage(sp)) return saved;
  IsCache = true;
  return sp->SkinData() ? sp->SkinData()->FCacheBmp.get() : nullptr;
}

bool Empty(TBitmap* B) { return !B || B->Width() == 0 || B->Height() == 0; }

// Holds FS_THUMBDRAWING while an answer is made, so the extended borders of a
// hidden or minimised form are not dropped meanwhile.
class ThumbDrawing {
 public:
  explicit ThumbDrawing(TsSkinProvider* sp) : sp_(sp) { sp_->SetFormState(sp_->FormState() | FS_THUMBDRAWING); }
  ~ThumbDrawing() { sp_->SetFormState(sp_->FormState() & ~unsigned(FS_THUMBDRAWING)); }

 private:
  TsSkinProvider* sp_;
};

void RestoreBorders(TsSkinProvider* sp) {
  if (sp->BorderForm) sp->BorderForm->UpdateExBordersPos(false, 255);
}

}  // namespace

TSize FitIconicSize(int W, int H, int MaxWidth, int MaxHeight) {
  if (W <= 0 || H <= 0 || MaxWidth <= 0 || MaxHeight <= 0) return TSize{0, 0};
  const double want = double(MaxWidth) / MaxHeight, have = double(W) / H;
  // std::nearbyint rounds halves to even under the default rounding mode.
  if (want > have) return TSize{int(std::nearbyint(double(MaxHeight) * W / H)), MaxHeight};
  return TSize{MaxWidth, int(std::nearbyint(double(MaxWidth) * H / W))};
}

std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider) {
  TCustomForm* f = Provider ? Provider->Form : nullptr;
  if (!f || !f->HandleAllocated()) return nullptr;
  auto b = NewBitmap32(f->Width(), f->Height());
  PaintControlToBitmap(b.get(), f, 0, 0, Provider, false);
  return b;
}

bool SetIconicThumbnail(HWND Wnd, TsSkinProvider* Provider, int MaxWidth, int MaxHeight) {
  if (!Provider || MaxWidth == 0 || MaxHeight == 0 || !IconicEntryPoints.SetIconicThumbnail) return false;
  bool isCache = false;
  TBitmap* p = FormPicture(Provider, isCache);
  if (Empty(p)) return false;
  const TSize fit = FitIconicSize(p->Width(), p->Height(), MaxWidth, MaxHeight);
  if (fit.cx == 0 || fit.cy == 0) return false;
  ThumbDrawing drawing(Provider);
  auto thumb = NewBitmap32(fit.cx, fit.cy);
  ResampleBitmap32(p, thumb.get(), fit.cx, fit.cy, kTriangleFilter);
  if (IconicEntryPoints.SetIconicThumbnail(Wnd, thumb->Handle(), 0) != kDwmOK) return false;
  if (isCache) {
    // The painted frame first, then the whole form with its controls.
    if (auto f = MakeFormImage(Provider)) {
      ResampleBitmap32(f.get(), thumb.get(), fit.cx, fit.cy, kTriangleFilter);
      IconicEntryPoints.SetIconicThumbnail(Wnd, thumb->Handle(), 0);
    }
    RestoreBorders(Provider);
  }
  return true;
}

bool SetIconicLivePreview(HWND Wnd, TsSkinProvider* Provider) {
  if (!Provider || !IconicEntryPoints.SetIconicLivePreviewBitmap) return false;
  bool isCache = false;
  TBitmap* p = FormPicture(Provider, isCache);
  if (Empty(p)) return false;
  ThumbDrawing drawing(Provider);
  const POINT offset{0, 0};
  TacDwmResult answer = -1;
  if (isCache) {
    auto f = MakeFormImage(Provider);
    if (f) answer = IconicEntryPoints.SetIconicLivePreviewBitmap(Wnd, f->Handle(), &offset, kDwmSitDisplayFrame);
    RestoreBorders(Provider);
  } else {
    answer = IconicEntryPoints.SetIconicLivePreviewBitmap(Wnd, p->Handle(), &offset, kDwmSitDisplayFrame);
  }
  return answer == kDwmOK;
}

void InvalidateIconic(HWND Wnd) {
  if (IconicEntryPoints.InvalidateIconicBitmaps) IconicEntryPoints.InvalidateIconicBitmaps(Wnd);
}
