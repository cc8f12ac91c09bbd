// Hint windows of the alpha-hints component: measuring, the pointer corner,
// composing the picture from a template or the skin's hint section, the
// layered window that shows it, and the fade.

#include <algorithm>
#include <cmath>

#include "platform/vcl/ExtCtrls.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/controls/sHtml.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

// The pointer corner for (pointer at the top, pointer at the left).
constexpr TacMousePosition kArrowPosTable[2][2] = {{mpRightBottom, mpLeftBottom}, {mpRightTop, mpLeftTop}};

bool PointerAtBottom(TacMousePosition P) { return P == mpLeftBottom || P == mpRightBottom; }
bool PointerAtRight(TacMousePosition P) { return P == mpRightTop || P == mpRightBottom; }

bool HintSkinned() { return ActiveAlphaHints && ActiveAlphaHints->Skinned(); }

// A picture's image decoded from its stored bytes when it has none yet.
void EnsureDecoded(TacHintImage* Img) {
  if (Img && Img->Image()->Empty() && Img->ImageData()->Size() > 0) Img->StreamChanged();
}

TColor SolidColor(TColor C) { return C < 0 ? TColor(0) : C; }

UINT AlignFlag(TAlignment A) { return A == taRightJustify ? DT_RIGHT : A == taCenter ? DT_CENTER : DT_LEFT; }

// The hint's text: the window's Text, or its caption when that is empty.
String HintText(TacCustomHintWindow* W) { return W->Text.empty() ? W->Caption() : W->Text; }

void ShowNoActivate(TCustomForm* F) {
  if (F && F->HandleAllocated()) ShowWindow(F->Handle(), SW_SHOWNOACTIVATE);
}

void PlaceTopmost(TCustomForm* F, const TRect& R) {
  if (F && F->HandleAllocated())
    SetWindowPos(F->Handle(), HWND_TOPMOST, R.Left, R.Top, R.Width(), R.Height(), SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// The caption through the HTML renderer into R of Bmp.
void DrawHtml(TBitmap* Bmp, const String& Text, const TRect& R, bool AlphaMode) {
  TsHtml html;
  html.AlphaChannel = AlphaMode;
  html.Init(Bmp, Text, R, -1, -1);
  TacLinks links;
  html.HTMLText(links, false);
}

}  // namespace

TacHintImage* HintPictureFor(TacHintTemplate* T, TacMousePosition P) {
  if (!T) return nullptr;
  if (T->SingleImageUsed()) return T->ImageDefault();
  switch (P) {
    case mpLeftBottom: return T->Img_LeftBottom();
    case mpRightTop: return T->Img_RightTop();
    case mpRightBottom: return T->Img_RightBottom();
    default: return T->ImageDefault();
  }
}

TPoint HintAnchorPoint() {
  TsAlphaHints* a = ActiveAlphaHints;
  if (a && a->FHintPos.X != -1) return a->FHintPos;
  POINT p{};
  GetCursorPos(&p);
  return TPoint(p.x, p.y);
}

std::unique_ptr<TCustomForm> CreateHintWindow(const TRect& R) {
  auto f = std::make_unique<TacGlowForm>(nullptr);
  f->Tag = kNoSkinTag;
  f->SetBounds(R.Left, R.Top, R.Width(), R.Height());
  HWND w = f->Handle();
  SetWindowLongPtrW(w, GWL_EXSTYLE,
                    GetWindowLongPtrW(w, GWL_EXSTYLE) | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST);
  // Nothing shows before the first picture arrives.
  SetLayeredWindowAttributes(w, 0, 0, LWA_ALPHA);
  PlaceTopmost(f.get(), R);
  ShowNoActivate(f.get());
  return f;
}

// ---- The hint window ----

TacCustomHintWindow::TacCustomHintWindow(TComponent* AOwner) : THintWindow(AOwner) { CurrentHintWindow = this; }

TacCustomHintWindow::~TacCustomHintWindow() {
  DoDestroy();
  if (CurrentHintWindow == this) CurrentHintWindow = nullptr;
}

void TacCustomHintWindow::CreateParams(TCreateParams& Params) {
  THintWindow::CreateParams(Params);
  Params.Style &= ~DWORD(WS_BORDER);
}

bool TacCustomHintWindow::DrawsOwnShadow() const {
  if (!HintSkinned()) return true;
  const TacSkinRecords* skin = DefaultManager;
  return LayeredWindowsAvailable && skin->IsValidSkinIndex(SkinIndex) &&
         skin->gd[size_t(SkinIndex)].Props[0].Transparency == 100 && skin->IsValidImgIndex(BorderIndex);
}

TRect TacCustomHintWindow::ShadowRect() const {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a || !a->Active()) return TRect();
  if (!HintSkinned()) {
    TacHintImage* img = HintPictureFor(CurrentHintTemplate, FMousePos);
    if (!img) return TRect();
    TacBordersSizes* s = img->ShadowSizes();
    return TRect(s->Left(), s->Top(), s->Right(), s->Bottom());
  }
  if (!DrawsOwnShadow()) return TRect();
  auto side = [this](int i) { return std::max(SkinBorderWidth(i) - 1, 0); };
  return TRect(side(0), side(1), side(2), side(3));
}

int TacCustomHintWindow::SkinBorderWidth(int Side) const {
  const TacSkinRecords* skin = DefaultManager;
  if (!skin || !skin->IsValidImgIndex(BorderIndex)) return 0;
  const TsMaskData& m = skin->ma[size_t(BorderIndex)];
  const int own[4] = {m.WL, m.WT, m.WR, m.WB};
  if (own[Side] > 0) return own[Side];
  if (Side == 0 || Side == 2) return m.R.Width() / (3 * std::max<int>(m.ImageCount, 1));
  return m.R.Height() / (3 * (std::max<int>(m.MaskType, 0) + 1));
}

TRect TacCustomHintWindow::AddClientMargins(const TRect& R) const {
  if (!CurrentHintImage) return R;
  TacBordersSizes* m = CurrentHintImage->ClientMargins();
  return TRect(R.Left, R.Top, R.Left + R.Width() + m->Left() + m->Right(), R.Top + R.Height() + m->Top() + m->Bottom());
}

TRect TacCustomHintWindow::CalcHintRect(int, const String& AHint, void* AData) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return THintWindow::CalcHintRect(120, AHint, AData);
  const bool skinned = HintSkinned();
  const TacSkinRecords* skin = DefaultManager;
  if (skinned) {
    SkinIndex = skin->GetSkinIndex(a->SkinSection.empty() ? "HINT" : a->SkinSection);
    String bgSection = a->SkinSection.empty() ? "HINT" : a->SkinSection;
    if (SkinIndex < 0) {
      SkinIndex = skin->ConstData.Sections[ssEdit];
      bgSection = "EDIT";
    }
    BorderIndex = skin->GetMaskIndex(SkinIndex, "BORDERSMASK");
    BGIndex = skin->GetTextureIndex(SkinIndex, bgSection, "PATTERN");
  }
  int w = 0, h = 0;
  if (a->TmpShowData.Width != 0) {
    w = a->TmpShowData.Width;
    h = a->TmpShowData.Height;
  } else if (a->HintFrame) {
    w = a->HintFrame->Width();
    h = a->HintFrame->Height();
  } else {
    const int limit = a->MaxWidth > 0 ? a->MaxWidth : Screen->Width();
    TBitmap* work = a->FCacheBmp.get();
    if (skinned) work->Canvas()->Font()->Assign(Font());
    if (a->HTMLMode) {
      TsHtml html;
      html.Calculating = true;
      html.Init(work, AHint, TRect(0, 0, limit, 0), -1, -1);
      TacLinks links;
      const TRect r = html.HTMLText(links, true);
      w = r.Width();
      h = r.Height();
    } else {
      RECT r{0, 0, limit, 0};
      DrawText(work->Canvas()->Handle(), AHint.c_str(), -1, &r,
               DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_VCENTER | AlignFlag(a->TextAlignment));
      w = r.right - r.left;
      h = r.bottom - r.top;
    }
    if (a->OnMeasure) {
      THintInfo info;
      info.HintControl = a->CurrentHintInfo.HintControl;
      info.HintPos = a->CurrentHintInfo.HintPos;
      a->OnMeasure(AHint, info, w, h);
    }
  }
  if (skinned) {
    w += SkinBorderWidth(0) + SkinBorderWidth(2) + 2 * kHintSpacing;
    h += SkinBorderWidth(1) + SkinBorderWidth(3) + 2 * kHintSpacing;
  }
  return TRect(0, 0, w, h);
}

TacMousePosition TacCustomHintWindow::GetArrowPos(TRect& Rect, const TPoint& mPos) {
  TsAlphaHints* a = ActiveAlphaHints;
  FMousePos = a ? a->DefaultMousePosition : mpLeftTop;
  const TRect sh = ShadowRect();
  Rect = TRect(Rect.Left + sh.Left, Rect.Top + sh.Top, Rect.Right - sh.Right, Rect.Bottom - sh.Bottom);
  const int w = Rect.Width(), h = Rect.Height();
  bool top = !PointerAtBottom(FMousePos), left = !PointerAtRight(FMousePos), moved = false;
  if (!top) Rect = Bounds(Rect.Left, Rect.Top - h, w, h);
  if (!left) Rect = Bounds(Rect.Left - w, Rect.Top, w, h);
  HMONITOR mon = MonitorFromPoint(POINT{Rect.Left, Rect.Top}, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi;
  if (mon && GetMonitorInfoW(mon, &mi)) {
    const RECT& m = mi.rcMonitor;
    const bool skinned = HintSkinned();
    const bool single = CurrentHintTemplate && CurrentHintTemplate->SingleImageUsed();
    // One axis: the edge Lo of a side Size long is brought back onto the monitor's [MLo, MHi);
    // AtStart tells whether the pointer ends at the axis's start (top or left).
    auto fit = [&](int Lo, int Size, int MLo, int MHi, int Anchor, bool& AtStart) {
      if (Lo + Size > MHi) {
        Lo = skinned ? MHi - Size : single ? Anchor + MHi - (Lo + Size) : Anchor - Size;
        AtStart = false;
        moved = true;
      }
      if (Lo < MLo) {
        Lo = MLo;
        AtStart = true;
        moved = true;
      }
      return Lo;
    };
    const int y = fit(Rect.Top, h, m.top, m.bottom, mPos.Y, top);
    const int x = fit(Rect.Left, w, m.left, m.right, mPos.X, left);
    Rect = Bounds(x, y, w, h);
    if (moved) FMousePos = kArrowPosTable[top][left];
  }
  Rect = TRect(Rect.Left - sh.Left, Rect.Top - sh.Top, Rect.Right + sh.Right, Rect.Bottom + sh.Bottom);
  return FMousePos;
}

void TacCustomHintWindow::ActivateHint(TRect Rect, const String& AHint) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  a->State = hsInit;
  a->StopCheckTimer();
  a->HintShowing = true;
  FClosed = false;
  if (TCustomForm* old = a->AnimWindow.get()) {
    if (old->Width() == 0) {
      a->AnimWindow.reset();
    } else if (old->Left() != 0 || old->Top() != 0) {
      if (a->ShowTimer) {
        a->ShowTimer->SetEnabled(false);
        if (!a->NewWindow && AlphaBmp) a->OldAlphaBmp = std::move(AlphaBmp);
      }
    } else {
      a->AnimWindow.reset();
    }
  }
  a->ShowTimer.reset();
  if (a->Active())
    Text = AHint;
  else
    SetCaption(AHint);

  const TRect sh = ShadowRect();
  const TPoint mPos = a->FHintLocation.X != 0 && a->FHintLocation.Y != 0 ? a->FHintLocation : Rect.TopLeft();
  const int W = Rect.Width(), H = Rect.Height();
  Rect = Bounds(mPos.X - sh.Left, mPos.Y - sh.Top, W, H);

  // The framework's window stays invisible: layered, without a picture, click-through.
  SetBounds(Rect.Left, Rect.Top, W, H);
  HandleNeeded();
  SetWindowLongPtrW(FHandle, GWL_EXSTYLE,
                    GetWindowLongPtrW(FHandle, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT);
  SetLayeredWindowAttributes(FHandle, 0, 0, LWA_ALPHA);
  ShowWindow(FHandle, SW_SHOWNOACTIVATE);

  FMousePos = GetArrowPos(Rect, mPos);
  if (!HintSkinned() && PointerAtBottom(FMousePos) && !a->AutoAlignment()) Rect = Bounds(Rect.Left, Rect.Top - 16, Rect.Width(), Rect.Height());
  Rect = Bounds(Rect.Left, Rect.Top, W, H);

  a->FCacheBmp->SetPixelFormat(pf32bit);
  a->FCacheBmp->SetSize(W, H);
  a->NewBounds = Rect;
  if (!a->AnimWindow)
    a->AnimWindow = CreateHintWindow(Rect);
  else
    a->AnimWindow->SetBounds(a->AnimWindow->Left(), a->AnimWindow->Top(), W, H);

  if (LayeredWindowsAvailable) {
    if (a->Animated) {
      a->ShowTimer = std::make_unique<TsShowTimer>(nullptr);
      a->ShowTimer->Init(this, W, H);
    } else {
      CreateAlphaBmp(W, H);
      HWND w = a->AnimWindow->Handle();
      UpdateGlowWindow(w, AlphaBmp.get(), 255);
      ShowNoActivate(a->AnimWindow.get());
      PlaceTopmost(a->AnimWindow.get(), a->NewBounds);
      a->OldAlphaBmp = std::move(AlphaBmp);
    }
  }
  a->State = hsNormal;
  a->FHintPos.X = -1;
  a->HintTimeCtrl = a->TmpShowData.Control ? a->TmpShowData.Control : ControlAtCursor();
  a->StartHideTimer(0);
}

void TacCustomHintWindow::UpdateWnd(int w, int h) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  if (w == 0 || h == 0) {
    if (CurrentHintWindow) {
      w = CurrentHintWindow->Width();
      h = CurrentHintWindow->Height();
    } else if (a->AnimWindow) {
      w = a->AnimWindow->Width();
      h = a->AnimWindow->Height();
    }
  }
  CreateAlphaBmp(w, h);
  if (a->AnimWindow) {
    UpdateGlowWindow(a->AnimWindow->Handle(), AlphaBmp.get(), 255);
    ShowNoActivate(a->AnimWindow.get());
  }
  a->HintShowing = true;
  a->OldAlphaBmp = std::move(AlphaBmp);
}

void TacCustomHintWindow::OnCloseHint() {
  if (FClosed) return;
  FClosed = true;
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  a->KillTimer();
  a->FreeHintFrame();
  if (CurrentHintWindow == this) CurrentHintWindow = nullptr;
  if (a->OnHideHint) a->OnHideHint(a);
  a->StartCheckTimer();
}

void TacCustomHintWindow::DoDestroy() {
  OnCloseHint();
  if (TsAlphaHints* a = ActiveAlphaHints) {
    a->FreeHintFrame();
    if (AlphaBmp) a->OldAlphaBmp = std::move(AlphaBmp);
  }
  AlphaBmp.reset();
  MaskBmp.reset();
  BodyBmp.reset();
}

void TacCustomHintWindow::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    case WM_NCPAINT:
      UpdateSkinRegion();
      M.Result = 1;
      return;
    case WM_DESTROY:
      DoDestroy();
      break;
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(M)) {
        case SKC_ISSKINNED:
          M.Result = 1;
          return;
        case SKC_COMPLEXBG:
          M.LParam = 1;
          break;
        case SKC_GETBGINFO:
          if (auto* info = reinterpret_cast<TacBackgroundInfo*>(M.LParam)) {
            if (BodyBmp) {
              info->BgType = 2;
              info->Bmp = BodyBmp.get();
              info->Offset = TPoint(0, 0);
            } else {
              info->BgType = 1;
              info->Color = TColor(ColorToRGB(clWindow));
            }
          }
          return;
      }
      break;
  }
  THintWindow::WndProc(M);
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  switch (M.Msg) {
    case WM_MOVE:
    case WM_SIZE:
      if (a->State != hsInit && a->AnimWindow && HandleAllocated()) {
        RECT r{};
        GetWindowRect(FHandle, &r);
        a->AnimWindow->SetBounds(r.left, r.top, a->AnimWindow->Width(), a->AnimWindow->Height());
        a->NewBounds = Bounds(r.left, r.top, a->NewBounds.Width(), a->NewBounds.Height());
      }
      break;
    case WM_SHOWWINDOW:
      if (M.WParam == 0)
        OnCloseHint();
      else
        CurrentHintWindow = this;
      break;
  }
}

// ---- Pictures ----

void TacCustomHintWindow::PaintHintContent(TBitmap* Bitmap) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  const bool skinned = HintSkinned();
  const TacSkinRecords* skin = DefaultManager;
  TRect c(0, 0, Bitmap->Width(), Bitmap->Height());
  if (skinned) {
    c = TRect(c.Left + SkinBorderWidth(0) + kHintSpacing, c.Top + SkinBorderWidth(1) + kHintSpacing,
              c.Right - SkinBorderWidth(2) - kHintSpacing, c.Bottom - SkinBorderWidth(3) - kHintSpacing);
  } else if (CurrentHintImage) {
    TacBordersSizes* m = CurrentHintImage->ClientMargins();
    c = TRect(c.Left + m->Left(), c.Top + m->Top(), c.Right - m->Right(), c.Bottom - m->Bottom());
  }
  TCanvas* cv = Bitmap->Canvas();
  const TColor fontColor = skinned ? TColor(GetSectionFontColor(nullptr, SkinIndex, skin, 0))
                                   : SolidColor(CurrentHintTemplate ? CurrentHintTemplate->Font()->Color() : 0);
  const TacShowHintData& rec = a->TmpShowData;
  if (rec.Width != 0) {
    if (TBitmap* img = rec.Image; img && !img->Empty()) {
      const int iw = img->Width(), ih = img->Height();
      TPoint at;
      switch (rec.ImageAlignment) {
        case asLeft:
          at = TPoint(c.Left, (rec.Height - ih) / 2);
          c.Left += iw + 4;
          break;
        case asTop:
          at = TPoint((rec.Width - iw) / 2, c.Top);
          c.Top += ih + 4;
          break;
        case asRight:
          at = TPoint(rec.Width - iw, (rec.Height - ih) / 2);
          c.Right -= iw + 4;
          break;
        case asBottom:
          at = TPoint((rec.Width - iw) / 2, rec.Height - ih);
          c.Bottom -= ih + 4;
          break;
      }
      if (img->PixelFormat() == pf32bit)
        BlendBitmapOverEx(Bounds(at.X, at.Y, iw, ih), TRect(0, 0, iw, ih), Bitmap, false, 0, skin_detail::kNoColor, false, EmptyCI,
                          img);
      else
        cv->Draw(at.X, at.Y, img);
    }
    RECT r{c.Left, c.Top, c.Right, c.Top};
    DrawText(cv->Handle(), rec.Caption.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int tw = r.right - r.left, th = r.bottom - r.top;
    const TRect t = Bounds(c.Left + (c.Width() - tw) / 2, c.Top + (c.Height() - th) / 2, tw, th);
    cv->Brush()->SetStyle(bsClear);
    cv->Font()->SetColor(fontColor);
    if (a->HTMLMode)
      DrawHtml(Bitmap, rec.Caption, t, true);
    else if (skinned)
      DrawSkinTextToBitmap(Bitmap, rec.Caption, true, skin, 0, SkinIndex,
                           AlignFlag(a->TextAlignment) | DT_WORDBREAK | DT_NOCLIP | DT_EXPANDTABS | DT_VCENTER, t);
    else {
      RECT tr{t.Left, t.Top, t.Right, t.Bottom};
      DrawText(cv->Handle(), rec.Caption.c_str(), -1, &tr,
               AlignFlag(a->TextAlignment) | DT_NOPREFIX | DT_WORDBREAK | DT_VCENTER);
    }
    return;
  }
  bool defaultDraw = true;
  const String text = HintText(this);
  if (a->OnPaint) a->OnPaint(text, a->CurrentHintInfo, c, Bitmap, defaultDraw);
  if (!defaultDraw) return;
  if (TFrame* f = a->HintFrame) {
    // The frame lives in the (invisible) hint window and is painted into the picture.
    f->SetVisible(false);
    f->SetBounds(c.Left, c.Top, f->Width(), f->Height());
    f->SetParent(this);
    f->SetVisible(true);
    f->PaintTo(cv->Handle(), c.Left, c.Top);
    SetAlphaInRect(Bitmap, Bounds(c.Left, c.Top, f->Width(), f->Height()), 255, 0x1FFFFFFF);
    return;
  }
  c.Left -= 1;
  cv->Brush()->SetStyle(bsClear);
  cv->Font()->SetColor(fontColor);
  if (a->HTMLMode) {
    DrawHtml(Bitmap, text, c, true);
  } else if (skinned) {
    DrawSkinTextToBitmap(Bitmap, text, true, skin, 0, SkinIndex,
                         AlignFlag(a->TextAlignment) | DT_WORDBREAK | DT_NOCLIP | DT_EXPANDTABS, c);
  } else {
    RECT tr{c.Left, c.Top, c.Right, c.Bottom};
    DrawText(cv->Handle(), text.c_str(), -1, &tr, AlignFlag(a->TextAlignment) | DT_NOPREFIX | DT_WORDBREAK);
  }
}

// The section painted over a background of Fill (the library's transparent colour when not given).
static std::unique_ptr<TBitmap> PaintHintSection(int SkinIndex, int BGIndex, int W, int H, TColor Fill) {
  auto bmp = NewBitmap32(W, H);
  const TacSkinRecords* skin = DefaultManager;
  FillRect32(bmp.get(), TRect(0, 0, W, H), Fill, 255);
  if (skin && skin->IsValidSkinIndex(SkinIndex)) {
    TCacheInfo ci;
    MakeCacheInfo(bmp.get(), 0, 0, ci);
    PaintSkinItem(SkinIndex, ci, BGIndex, BGIndex, skin, bmp.get(), TPoint(0, 0), TRect(0, 0, W, H), 0);
  }
  return bmp;
}

std::unique_ptr<TBitmap> TacCustomHintWindow::MakeBodyBmp() {
  TsAlphaHints* a = ActiveAlphaHints;
  const int W = a->FCacheBmp->Width(), H = a->FCacheBmp->Height();
  const TacSkinRecords* skin = DefaultManager;
  std::unique_ptr<TBitmap> body;
  if (DrawsOwnShadow() && skin->IsValidImgIndex(BorderIndex)) {
    const TsMaskData& m = skin->ma[size_t(BorderIndex)];
    body = NewBitmap32(W, H);
    if (TBitmap* src = m.Bmp ? m.Bmp.get() : skin->MasterBitmap.get()) {
      const int fw = m.R.Width() / std::max<int>(m.ImageCount, 1);
      const int fh = m.MaskType > 0 ? m.R.Height() / (m.MaskType + 1) : m.R.Height();
      const TRect sides(m.WL, m.WT, m.WR, m.WB);
      const int mode = m.DrawMode & 1;
      CopyBitmapNineParts(body.get(), src, TRect(0, 0, W, H), Bounds(m.R.Left, m.R.Top, fw, fh), sides, sides,
                          TRect(mode, mode, mode, mode), true, true);
    }
    PaintHintContent(body.get());
    PremultiplyBitmap(body.get());
  } else {
    body = PaintHintSection(SkinIndex, BGIndex, W, H, clFuchsia);
    PaintHintContent(body.get());
  }
  return body;
}

std::unique_ptr<TBitmap> TacCustomHintWindow::MakeMaskBmp() {
  TsAlphaHints* a = ActiveAlphaHints;
  const int W = a->FCacheBmp->Width(), H = a->FCacheBmp->Height();
  // An unusual fill: what the section leaves uncovered keeps it.
  constexpr TColor kProbe = TColor(0xFE00FF);
  auto mask = PaintHintSection(SkinIndex, BGIndex, W, H, kProbe);
  const uint32_t probe = 0xFF000000u | SwapRedBlue(uint32_t(kProbe));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool uncovered = (GetPixel32(mask.get(), x, y) | 0xFF000000u) == probe;
      SetPixel32(mask.get(), x, y, uncovered ? 0xFFFFFFFFu : 0xFF000000u);
    }
  return mask;
}

void TacCustomHintWindow::UpdateSkinRegion() {
  if (!HintSkinned() || !ActiveAlphaHints || !HandleAllocated()) return;
  MaskBmp = MakeMaskBmp();
  SetWindowRgn(FHandle, RegionFromBitmap(MaskBmp.get(), clWhite), false);
}

void TacCustomHintWindow::CreateAlphaBmp(int Width, int Height) {
  AlphaBmp = NewBitmap32(Width, Height);
  UpdateSkinRegion();
  BodyBmp = MakeBodyBmp();
  const TacSkinRecords* skin = DefaultManager;
  const bool clearWithMask = !(skin && skin->IsValidSkinIndex(SkinIndex) &&
                               skin->gd[size_t(SkinIndex)].Props[0].Transparency == 100 && skin->IsValidImgIndex(BorderIndex));
  if (clearWithMask && MaskBmp) {
    const uint32_t key = SwapRedBlue(uint32_t(clFuchsia)) & 0xFFFFFF;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) {
        const uint32_t p = GetPixel32(BodyBmp.get(), x, y) & 0xFFFFFF;
        const bool clear = (GetPixel32(MaskBmp.get(), x, y) & 0xFFFFFF) == 0xFFFFFF || p == key;
        SetPixel32(AlphaBmp.get(), x, y, clear ? 0 : p | 0xFF000000u);
      }
  } else {
    AlphaBmp->Assign(BodyBmp.get());
  }
  BodyBmp.reset();
}

// ---- Pictures from templates ----

TRect TacPngHintWindow::CalcHintRect(int MaxWidth, const String& AHint, void* AData) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a || HintSkinned()) return TacCustomHintWindow::CalcHintRect(MaxWidth, AHint, AData);
  a->InitTemplate();
  a->FCacheBmp->Canvas()->Font()->Assign(CurrentHintTemplate->Font());
  const TRect r = TacCustomHintWindow::CalcHintRect(MaxWidth, AHint, AData);
  TRect placed = AddClientMargins(r);
  if (a->TmpShowData.Width != 0 || AData) {
    if (TControl* c = a->TmpShowData.Control) {
      a->FHintLocation = a->TmpShowData.Position;
      a->CurrentHintInfo.HintControl = c;
      a->CheckAutoHintPos();
    }
  } else {
    const TPoint anchor =
        a->FHintLocation.X != 0 && a->FHintLocation.Y != 0 ? a->FHintLocation : HintAnchorPoint();
    placed = Bounds(anchor.X, anchor.Y, placed.Width(), placed.Height());
    FMousePos = GetArrowPos(placed, anchor);
  }
  if (FMousePos != mpLeftTop) {
    TacHintImage* img = FMousePos == mpLeftBottom   ? CurrentHintTemplate->Img_LeftBottom()
                        : FMousePos == mpRightTop ? CurrentHintTemplate->Img_RightTop()
                                                  : CurrentHintTemplate->Img_RightBottom();
    EnsureDecoded(img);
    if (!img->Image()->Empty()) {
      CurrentHintImage = img;
      a->CheckAutoHintPos();
    }
  }
  return AddClientMargins(r);
}

void TacPngHintWindow::CreateAlphaBmp(int Width, int Height) {
  if (HintSkinned()) return TacCustomHintWindow::CreateAlphaBmp(Width, Height);
  if (HandleAllocated()) SetWindowRgn(FHandle, nullptr, false);
  AlphaBmp = NewBitmap32(Width, Height);
  if (CurrentHintTemplate && CurrentHintImage) {
    TacHintImage* img = CurrentHintImage;
    EnsureDecoded(img);
    if (!img->Image()->Empty()) {
      // Pictures without alpha are opaque.
      TBitmap* src = img->Image();
      std::unique_ptr<TBitmap> opaque;
      if (src->PixelFormat() != pf32bit) {
        opaque = NewBitmap32(src->Width(), src->Height());
        BitBlt(opaque->Canvas()->Handle(), 0, 0, src->Width(), src->Height(), src->Canvas()->Handle(), 0, 0, SRCCOPY);
        SetAlphaInRect(opaque.get(), TRect(0, 0, src->Width(), src->Height()), 255, 0x1FFFFFFF);
        src = opaque.get();
      }
      TacBordersSizes* b = img->BordersWidths();
      TacBorderDrawModes* m = img->BorderDrawModes();
      const TRect corners(b->Left(), b->Top(), b->Right(), b->Bottom());
      CopyBitmapNineParts(AlphaBmp.get(), src, TRect(0, 0, Width, Height), TRect(0, 0, src->Width(), src->Height()),
                          corners, corners, TRect(m->Get(1), m->Get(0), m->Get(3), m->Get(2)), m->Get(4) == dmStretch,
                          true);
    }
  }
  auto background = NewBitmapLike(AlphaBmp.get());
  background->Assign(AlphaBmp.get());
  if (CurrentHintTemplate) AlphaBmp->Canvas()->Font()->Assign(CurrentHintTemplate->Font());
  PaintHintContent(AlphaBmp.get());
  // Text keeps the picture's transparency.
  CopyBitmapChannel(AlphaBmp.get(), background.get(), 3);
  PremultiplyBitmap(AlphaBmp.get());
}

void TacPngHintWindow::DoDestroy() {
  AlphaBmp.reset();
  TacCustomHintWindow::DoDestroy();
}

// ---- The fade ----

TsShowTimer::TsShowTimer(TComponent* AOwner) : TacThreadedTimer(AOwner, false) {}

void TsShowTimer::Init(TacCustomHintWindow* HintForm, int w, int h) {
  TsAlphaHints* a = ActiveAlphaHints;
  CurrentHintForm = HintForm;
  SetInterval(kAnimStep);
  SetOnTimer([this](TObject* s) { IntOnTimer(s); });
  Step = 0;
  StepCount = 20;
  Transparency = 0;
  if (HintSkinned()) {
    const TacSkinRecords* skin = DefaultManager;
    if (skin->IsValidSkinIndex(HintForm->SkinIndex)) {
      const int t = skin->gd[size_t(HintForm->SkinIndex)].Props[0].Transparency;
      if (t != 100) Transparency = int(std::lround(t * 2.55));
    }
  }
  Transparency = std::clamp(Transparency, 0, 255);
  HintForm->CreateAlphaBmp(w, h);
  StepB = (255.0 - Transparency) / StepCount;
  SrcRect = Bounds(a->AnimWindow->Left(), a->AnimWindow->Top(), a->AnimWindow->Width(), a->AnimWindow->Height());
  dx = (a->NewBounds.Left - SrcRect.Left) / 5.0;
  if (PointerAtRight(HintForm->FMousePos)) dx = -dx;
  dy = (a->NewBounds.Top - SrcRect.Top) / 5.0;
  if (PointerAtBottom(HintForm->FMousePos)) dy = -dy;
  x = SrcRect.Left;
  y = SrcRect.Top;
  SetEnabled(true);
  if (!a->FOldHintPause) a->FOldHintPause = Application->HintPause;
  Application->HintPause = 100;
}

void TsShowTimer::IntOnTimer(TObject*) {
  TsAlphaHints* a = ActiveAlphaHints;
  TacCustomHintWindow* f = CurrentHintForm;
  if (Destroyed || !a || !a->AnimWindow || !a->AnimWindow->HandleAllocated() || !f || !f->AlphaBmp) return;
  HWND anim = a->AnimWindow->Handle();
  if (Step < StepCount && a->Blend <= 255 - Transparency - StepB) {
    ++Step;
    a->Blend += StepB;
    const uint8_t blend = uint8_t(std::lround(a->Blend));
    if (dx == 0 && dy == 0) {
      UpdateGlowWindow(anim, f->AlphaBmp.get(), blend);
      ShowWindow(anim, SW_SHOWNOACTIVATE);
      return;
    }
    x += dx;
    y += dy;
    dx = (a->NewBounds.Left - x) / 5.0;
    dy = (a->NewBounds.Top - y) / 5.0;
    if (!a->NewWindow) a->NewWindow = CreateHintWindow(SrcRect);
    if (!a->OldAlphaBmp) a->OldAlphaBmp = NewBitmap32(0, 0);
    const TPoint at(int(std::lround(x)), int(std::lround(y)));
    UpdateGlowWindow(anim, a->OldAlphaBmp.get(), uint8_t(255 - blend), &at);
    HWND fresh = a->NewWindow->Handle();
    SetWindowPos(fresh, anim, at.X, at.Y, f->AlphaBmp->Width(), f->AlphaBmp->Height(), SWP_NOACTIVATE);
    UpdateGlowWindow(fresh, f->AlphaBmp.get(), blend, &at);
    ShowWindow(fresh, SW_SHOWNOACTIVATE);
    return;
  }
  SetEnabled(false);
  if (a->NewWindow) {
    a->AnimWindow = std::move(a->NewWindow);
    anim = a->AnimWindow->Handle();
  }
  const TPoint at = a->NewBounds.TopLeft();
  UpdateGlowWindow(anim, f->AlphaBmp.get(), uint8_t(255 - Transparency), &at);
  PlaceTopmost(a->AnimWindow.get(), a->NewBounds);
  a->Blend = 0;
  a->OldAlphaBmp = std::move(f->AlphaBmp);
}
