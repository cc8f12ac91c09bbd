// The window region of a skinned form: the frame's rectangle without the
// pixels the skin's border mask marks transparent at its corners.

#include "skin/core/sMaskPaint.h"
#include "skin/forms/sSkinProvider.h"

void TsSkinProvider::UpdateRgnRects() {
  Rects.clear();
  const TacSkinRecords* s = Skin();
  if (!s) return;
  const int W = CaptionWidth();
  const int H = Form->Height();
  const int b = FCommonData->BorderIndex;
  if (s->IsValidImgIndex(b)) {
    const TsMaskData& m = s->ma[size_t(b)];
    GetMaskTransparentRects(Rects, W, m, false, 0);
    GetMaskTransparentRects(Rects, W, m, true, H - m.WB);
  }
  if (s->IsValidSkinIndex(FTitleSkinIndex)) {
    const int t = s->GetMaskIndex(FTitleSkinIndex, "BORDERSMASK");
    if (s->IsValidImgIndex(t)) GetMaskTransparentRects(Rects, W, s->ma[size_t(t)], false, 0);
  }
}

HRGN TsSkinProvider::MakeRgn(int X, int Y) {
  HRGN r = CreateRectRgn(X, Y, X + CaptionWidth(), Y + Form->Height());
  for (const TRect& p : Rects) {
    HRGN piece = CreateRectRgn(X + p.Left, Y + p.Top, X + p.Right, Y + p.Bottom);
    CombineRgn(r, r, piece, RGN_DIFF);
    DeleteObject(piece);
  }
  return r;
}

void TsSkinProvider::UpdateRgn(bool Repaint, bool SetOnly) {
  if (!FDrawNonClientArea || !Form->HandleAllocated() || InMenu) return;
  HWND h = Form->Handle();
  if (!HaveBorder(this) && !IsSizeable(h) && !IsIconic(h)) return;
  if (!FirstInitialized && SendMessageW(h, 0xBC4D, 0x41A2, 0) == 0x41A2) return;
  // A docked form (a parent and dock dragging) gets no region; forms do not dock here.
  RgnChanging = true;
  HRGN rgn;
  const bool constrained = Form->Constraints()->MaxWidth() > 0 || Form->Constraints()->MaxHeight() > 0;
  if (BorderForm) {
    const int a = SysBorderWidth(h, BorderForm, false);
    int top = a + SysCaptionHeight(Form);
    TsSkinManager* m = Manager();
    if (m && m->SysFontScale > 0 && m->Options.ScaleMode() == smOldMode) --top;
    rgn = CreateRectRgn(a, top, Form->Width() - a, Form->Height() - a);
  } else if (!IsZoomed(h) || constrained || Form->FormStyle() == fsMDIChild) {
    rgn = MakeRgn(0, 0);
  } else {
    const int a = SysBorderWidth(h, nullptr, false);
    rgn = CreateRectRgn(a, a, Form->Width() - a, Form->Height() - a);
  }
  RgnChanged = false;
  if (SetOnly) {
    SetWindowRgn(h, rgn, Repaint);
  } else {
    SetWindowRgn(h, rgn, TRUE);
    if (Repaint) {
      RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
      ProcessMessage(WM_NCPAINT);
    }
  }
  RgnChanging = false;
}
