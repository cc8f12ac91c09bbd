// Title buttons of a skinned form: painting them into the painted image by
// state, repainting one alone on screen from the saved background under the
// buttons, the hint of a user button, and the hit codes of the title, the
// sizing edges, the menu line and the size grip.

#include <algorithm>
#include <utility>

#include "skin/core/GeneralUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acGlow.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskPaint.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {

bool Iconic(TCustomForm* F) { return F->HandleAllocated() && IsIconic(F->Handle()); }
bool Zoomed(TCustomForm* F) { return F->HandleAllocated() && IsZoomed(F->Handle()); }

const TsMaskData* GlyphMask(const TacSkinRecords* S, TacTitleGlyph Glyph) {
  if (!S || Glyph >= tgNone) return nullptr;
  const int i = S->ConstData.TitleGlyphs[Glyph];
  return S->IsValidImgIndex(i) ? &S->ma[size_t(i)] : nullptr;
}

}  // namespace

void DrawTitleGlyph(TBitmap* Image, TBitmap* Glyph, const TRect& R, int W, int H, bool Pressed) {
  if (!Glyph || Glyph->Empty() || Glyph->Width() == 0) return;
  const int x = R.Left + (W - Glyph->Width()) / 2 + (Pressed ? 1 : 0);
  const int y = R.Top + (H - Glyph->Height()) / 2 + (Pressed ? 1 : 0);
  const int w = Glyph->Width(), h = Glyph->Height();
  if (Glyph->PixelFormat() == pf32bit) {
    BlendBitmapOver(TRect(x, y, x + w, y + h), TRect(0, 0, w, h), Image, false, EmptyCI, Glyph);
    return;
  }
  // Another format: copied through a 32-bit copy, its key pixels left out.
  auto copy = NewBitmap32(w, h);
  BitBlt(copy->Canvas()->Handle(), 0, 0, w, h, Glyph->Canvas()->Handle(), 0, 0, SRCCOPY);
  const uint32_t key = SwapRedBlue(uint32_t(ColorToRGB(Glyph->TransparentColor()))) & 0xFFFFFF;
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const uint32_t p = GetPixel32(copy.get(), col, row) & 0xFFFFFF;
      if (p != key && x + col >= 0 && x + col < Image->Width())
        SetPixel32(Image, x + col, y + row, p | 0xFF000000u);
    }
}

// ---- Painting into the image ----

void TsSkinProvider::PaintTitleButton(TsCaptionButton& Button, bool Enabled) {
  const TsMaskData* m = GlyphMask(Skin(), Button.cpGlyphType);
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!m || !img || Button.cpRect.Width() <= 0) return;
  const bool dimmed = !(FormActive && Enabled && Form->Enabled());
  // A running animation draws its own frames over frame 0.
  const bool plain = Button.cpState == 0 || Button.cpTimer;
  const int state = Button.cpTimer ? 0 : std::max(0, Button.cpState);
  PaintMaskFrame(img, Button.cpRect.TopLeft(), state, SelfCacheInfo(img), *m, plain && dimmed ? 2 : 1);
}

void TsSkinProvider::PaintTitleButtons(int W) {
  if (!HaveBorder(this)) return;
  TBitmap* img = FCommonData->FCacheBmp.get();
  RestoreButtonsBackground(W);
  if (SystemMenu && Form->BorderIcons().Contains(biSystemMenu)) {
    PaintTitleButton(ButtonClose, SystemMenu->VisibleClose() && SystemMenu->EnabledClose());
    if (SystemMenu->VisibleMax()) PaintTitleButton(ButtonMax, SystemMenu->EnabledMax());
    if (SystemMenu->VisibleMin()) PaintTitleButton(ButtonMin, SystemMenu->EnabledMin());
    if (Form->BorderIcons().Contains(biHelp)) PaintTitleButton(ButtonHelp, true);
  }
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    if (!b->Visible()) continue;
    PaintTitleButton(b->Data, b->Enabled());
    b->Data.cpHitCode = unsigned(HTUDBTN + i);
    DrawTitleGlyph(img, b->Glyph(), b->Data.cpRect, UserButtonWidth(b), TitleBtnHeight(), false);
  }
  PaintTitleBarItems(this, W);

  // The buttons of a maximized MDI child in the MDI form's menu line.
  if (img && MDIChildMaximizedWithMenu(this) && ChildProvider && ChildProvider->SystemMenu) {
    const TacSkinRecords* s = Skin();
    const TsMaskData* close = GlyphMask(s, tgSmallClose);
    const int w = close ? close->Width : 16, h = close ? close->Height : 16;
    const TRect sh = ShadowSize();
    HWND wnd = Form->Handle();
    const int y = SysBorderWidthNoEx(wnd, BorderForm, true) + CaptionHeight(true) + sh.Top + (MenuHeight() - h) / 2 +
                  (LinesCount() - 1) * MenuHeight();
    const int sysBW = SysBorderWidth(wnd, BorderForm, true);
    TsSystemMenu* child = ChildProvider->SystemMenu;
    auto draw = [&](TsCaptionButton& B, const TsMaskData* M, bool Enabled) {
      if (M) PaintMaskFrame(img, B.cpRect.TopLeft(), std::max(0, B.cpState), SelfCacheInfo(img), *M, Enabled ? 1 : 2);
    };
    if (const TsMaskData* m = GlyphMask(s, MDIMin.cpGlyphType)) {
      MDIMin.cpRect = Bounds(W - sysBW - 3 * w - sh.Right - 3, y, w, h);
      draw(MDIMin, m, FormActive && child->EnabledMin());
    }
    MDIMax.cpRect = Bounds(W - sysBW - 2 * w - sh.Right - 2, y, w, h);
    draw(MDIMax, GlyphMask(s, ChildProvider->Form->WindowState() == wsMaximized ? tgSmallNormal : MDIMax.cpGlyphType),
         FormActive && child->EnabledRestore());
    if (const TsMaskData* m = GlyphMask(s, MDIClose.cpGlyphType)) {
      MDIClose.cpRect = Bounds(W - sysBW - w - sh.Right - 1, y, w, h);
      draw(MDIClose, m, FormActive);
    }
  }
}

// TempBmp holds the image's strip under the buttons, its right edge one pixel
// left of the image's right edge.
void TsSkinProvider::SaveButtonsBackground(int W, bool Full) {
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!img || !TempBmp) return;
  HWND h = Form->Handle();
  const TRect sh = ShadowSize();
  const int w = SysBorderWidth(h, BorderForm, true) + ButtonsWidth() + sh.Right + 10;
  const int ht = SysBorderWidth(h, BorderForm, false) + SysBorderWidthNoEx(h, BorderForm, true) + CaptionHeight(true) +
                 MenuHeight() + sh.Top;
  TempBmp->SetPixelFormat(img->PixelFormat());
  TempBmp->SetSize(std::max(0, w), std::max(0, ht));
  const int rows = Full ? ht : SysBorderWidthNoEx(h, BorderForm, true) + CaptionHeight(true);
  BitBlt(TempBmp->Canvas()->Handle(), 0, 0, w, rows, img->Canvas()->Handle(), W - w - 1, 0, SRCCOPY);
}

void TsSkinProvider::RestoreButtonsBackground(int W) {
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!img || !TempBmp || TempBmp->Width() == 0) return;
  BitBlt(img->Canvas()->Handle(), W - TempBmp->Width() - 1, 0, TempBmp->Width(), TempBmp->Height(),
         TempBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---- Repainting one button on screen ----

void TsSkinProvider::RepaintButton(int HitCode) {
  TsCaptionButton* B = nullptr;
  TsTitleButton* user = nullptr;
  switch (HitCode) {
    case HTMINBUTTON: B = &ButtonMin; break;
    case HTMAXBUTTON: B = &ButtonMax; break;
    case HTCLOSE: B = &ButtonClose; break;
    case HTHELP: B = &ButtonHelp; break;
    case HTMDICLOSE:
      if (!MDIChildMaximizedWithMenu(this)) return;
      B = &MDIClose;
      break;
    case HTMDIMAX: B = &MDIMax; break;
    case HTMDIMIN: B = &MDIMin; break;
    default:
      if (HitCode >= HTUDBTN && HitCode < HTUDBTN + FTitleButtons->Count()) {
        user = FTitleButtons->Items(HitCode - HTUDBTN);
        if (!user->Visible()) return;
        B = &user->Data;
      }
      if (TacTitleBarItem* item = TitleBarItemOf(this, HitCode)) {
        // Items fade through their own layered window.
        if (!item->Visible()) return;
        TsSkinManager* sm = Manager();
        const int steps = sm && sm->Effects.AllowAnimation ? 10 : 1;
        AnimateTitleItem(item, steps, item->State() != 0, BorderForm ? BorderForm->AForm : nullptr);
        return;
      }
  }
  TBitmap* img = FCommonData->FCacheBmp.get();
  const TacSkinRecords* s = Skin();
  if (!B || !img || !s || !Form->HandleAllocated() || B->cpRect.Width() <= 0) return;
  // Buttons of a top-level form fade between their looks while the manager lets them glow.
  TsSkinManager* sm = Manager();
  const bool animated = (HitCode < HTMDICLOSE || HitCode > HTMDIMIN) && ((sm && sm->Effects.AllowGlowing) || BorderForm) &&
                        FormState() == 0 && !Form->Parent() && Form->FormStyle() != fsMDIChild;
  if (animated) {
    const int steps = sm && sm->Effects.AllowAnimation ? 10 : 1;
    switch (B->cpState) {
      case 1: AnimateCaptionButton(B, 1, steps, true, this); return;
      case 2: AnimateCaptionButton(B, 2, 1, true, this); return;
      default: AnimateCaptionButton(B, 0, steps, false, this); return;
    }
  }

  // The background first, from the strip saved under the buttons.
  if (B->cpRect.Left > FIconRect.Right && TempBmp && TempBmp->Width() > 0) {
    const int tx = TempBmp->Width() + B->cpRect.Left - CaptionWidth() + 1;
    BitBlt(img->Canvas()->Handle(), B->cpRect.Left, B->cpRect.Top, B->cpRect.Width(), B->cpRect.Height(),
           TempBmp->Canvas()->Handle(), tx, B->cpRect.Top, SRCCOPY);
  }

  // The glyph for the code and the window state.
  TacTitleGlyph glyph = B->cpGlyphType;
  bool disabled = false;
  TsSystemMenu* child = ChildProvider ? ChildProvider->SystemMenu : nullptr;
  if (HitCode == HTMAXBUTTON && Zoomed(Form)) {
    glyph = tgNormal;
  } else if (HitCode == HTMDIMAX) {
    glyph = ChildProvider && ChildProvider->Form->WindowState() == wsMaximized ? tgSmallNormal : tgSmallMax;
    disabled = !(child && child->EnabledRestore());
  } else if (HitCode == HTMDIMIN) {
    if (!(child && child->EnabledMin())) glyph = tgNone;
  } else if (Iconic(Form)) {
    if (HitCode == HTMINBUTTON) {
      glyph = tgNormal;
    } else if (HitCode == HTMAXBUTTON) {
      glyph = tgMax;
      disabled = !(SystemMenu && SystemMenu->EnabledMax());
    }
  }
  if (const TsMaskData* m = GlyphMask(s, glyph)) {
    const int state = std::max(0, B->cpState);
    if (!user) {
      const bool faded = (disabled || state == 0) && (disabled || !FormActive);
      PaintMaskFrame(img, B->cpRect.TopLeft(), state, SelfCacheInfo(img), *m, faded ? 2 : 1);
    } else if (user->UseSkinData()) {
      PaintMaskFrame(img, B->cpRect.TopLeft(), state, SelfCacheInfo(img), *m, state == 0 && !FormActive ? 2 : 1);
    }
  }
  if (user)
    DrawTitleGlyph(img, user->Glyph(), B->cpRect, B->cpRect.Width(), B->cpRect.Height(), B->cpState == 2);

  // Out to the window (the image and the window share coordinates without extended borders).
  HDC dc = GetWindowDC(Form->Handle());
  BitBlt(dc, B->cpRect.Left, B->cpRect.Top, B->cpRect.Width(), B->cpRect.Height(), img->Canvas()->Handle(),
         B->cpRect.Left, B->cpRect.Top, SRCCOPY);
  ReleaseDC(Form->Handle(), dc);

  // A hot system button glows while the manager allows it.
  if (HitCode == HTMINBUTTON || HitCode == HTMAXBUTTON || HitCode == HTCLOSE) {
    const bool glows = B->cpState == 1 && B->cpGlyphType < tgHelp && sm && sm->Effects.AllowGlowing &&
                       !Form->Parent() && Form->FormStyle() != fsMDIChild &&
                       !s->ConstData.TitleGlows[B->cpGlyphType].empty() &&
                       s->ConstData.TitleGlows[B->cpGlyphType][0] >= 0;
    if (glows) {
      if (B->cpGlowID < 0) {
        RECT wr;
        GetWindowRect(Form->Handle(), &wr);
        const TRect& c = B->cpRect;
        const TRect r(c.Left + wr.left, c.Top + wr.top, c.Right + wr.left, c.Bottom + wr.top);
        B->cpGlowID = ShowGlowByMasks(r, s->ConstData.TitleGlows[B->cpGlyphType],
                                      s->ConstData.GlowMargins[B->cpGlyphType], 255, Form->Handle(),
                                      FCommonData.get());
      }
    } else {
      HideGlow(B->cpGlowID, false);
    }
  }
}

// ---- Hints of user buttons ----

void TsSkinProvider::ShowButtonHint(TsTitleButton* Btn) {
  if (!Btn || Btn->Hint().empty() || Btn->HintWnd || !HintWindowClass) return;
  POINT p;
  GetCursorPos(&p);
  // The window is kept whatever its class, so that it goes when the button stops being hot.
  THintWindow* w = HintWindowClass(nullptr);
  const TRect size = w->CalcHintRect(800, Btn->Hint(), nullptr);
  TRect work;
  GetWorkAreaAtPoint(TPoint(p.x, p.y), work);
  // Below right of the pointer, moved back inside the work area.
  const int x = std::max(work.Left, std::min<int>(p.x + 8, work.Right - size.Width()));
  const int y = std::max(work.Top, std::min<int>(p.y + 16, work.Bottom - size.Height()));
  w->ActivateHint(Bounds(x, y, size.Width(), size.Height()), Btn->Hint());
  Btn->HintWnd = w;
}

void TsSkinProvider::HideButtonHint(TsTitleButton* Btn) {
  if (Btn) delete std::exchange(Btn->HintWnd, nullptr);
}

// ---- Hit codes ----

int TsSkinProvider::TitleElementAt(const TPoint& P) {
  if (BorderForm) return 0;
  if (!SystemMenu) PrepareForm();
  if (!SystemMenu) return 0;
  int n = 0;
  auto hit = [&](const TsCaptionButton& B) { return B.cpRect.Contains(P); };
  if (Form->BorderIcons().Contains(biSystemMenu)) {
    if (++n, hit(ButtonClose)) return n;
    if (SystemMenu->VisibleMax() && (++n, hit(ButtonMax))) return n;
    if (SystemMenu->VisibleMin() && (++n, hit(ButtonMin))) return n;
    if (Form->BorderIcons().Contains(biHelp) && (++n, hit(ButtonHelp))) return n;
  }
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    ++n;
    if (b->Visible() && hit(b->Data)) return n;
  }
  // Spacers and information fields answer as what lies under them.
  return std::max(0, TitleBarElementAt(this, P, n));
}

int TsSkinProvider::HitTest(TMessage& Message) {
  if (!Form->HandleAllocated()) return HTNOWHERE;
  HWND h = Form->Handle();
  RECT wr;
  GetWindowRect(h, &wr);
  const TPoint p(GET_X_LPARAM(Message.LParam) - wr.left, GET_Y_LPARAM(Message.LParam) - wr.top);
  const int width = wr.right - wr.left, height = wr.bottom - wr.top;

  // Title buttons.
  const int n = TitleElementAt(p);
  if (n > 0 && SystemMenu) {
    const TBorderIcons icons = Form->BorderIcons();
    const bool sys = icons.Contains(biSystemMenu), help = icons.Contains(biHelp), iconic = Iconic(Form);
    const bool maxVisible = SystemMenu->VisibleMax(), minShown = SystemMenu->VisibleMin() || iconic;
    const int k = sys ? 1 + int(maxVisible) + int(minShown) + int(help) : 0;
    int code = HTCLIENT;
    if (n > k) {
      const int i = n - k - 1;
      if (i < FTitleButtons->Count())
        code = FTitleButtons->Items(i)->Enabled() ? HTUDBTN + i : HTCLIENT;
      else
        code = TitleBarHitCode(this, i - FTitleButtons->Count());
    } else if (n == 1) {
      code = SystemMenu->EnabledClose() ? HTCLOSE : HTCAPTION;
    } else if (n == 2) {
      if (maxVisible)
        code = SystemMenu->EnabledMax() || (SystemMenu->EnabledRestore() && !iconic) ? HTMAXBUTTON : HTCAPTION;
      else if (minShown)
        code = SystemMenu->EnabledMin() ? HTMINBUTTON : HTCAPTION;
      else
        code = help ? HTHELP : HTCLIENT;
    } else if (n == 3) {
      if (maxVisible && minShown)
        code = iconic || SystemMenu->EnabledMin() ? HTMINBUTTON : HTCAPTION;
      else
        code = help ? HTHELP : HTCLIENT;
    } else if (n == 4 && help) {
      code = maxVisible ? HTHELP : HTCLIENT;
    }
    if (code != HTCLIENT) return code;
  }

  // Sizing edges.
  if (!Zoomed(Form) && IsSizeable(h)) {
    const int b = SysBorderWidth(h, nullptr, true), c = SysBorderWidthNoEx(h, nullptr, false);
    const bool bottom = p.Y > height - b, top = p.Y < c;
    if (p.X < b) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
    if (p.X > width - b) return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
    if (bottom) return HTBOTTOM;
    if (top) return HTTOP;
  }

  // The caption.
  const int s = SysCaptionHeight(Form), d = SysBorderWidthNoEx(h, BorderForm, true);
  const int e = SysBorderWidthNoEx(h, BorderForm, false);
  if (p.Y >= 0 && p.Y <= s + d) {
    if (p.Y >= e + s && p.Y <= e + CaptionHeight(false) + MenuHeight()) return HTMENU;
    return FIconRect.Contains(p) ? HTSYSMENU : HTCAPTION;
  }

  // Below the caption and the menu lines only the size grip counts.
  if (p.Y > s + d + LinesCount() * MenuHeight()) {
    const TacSkinRecords* sk = Skin();
    const int grip = sk ? sk->ConstData.GripRightBottom : -1;
    if (GripVisible() && sk && sk->IsValidImgIndex(grip)) {
      const TPoint g = GripPos(grip);
      if (p.X > g.X && p.Y > g.Y) return HTBOTTOMRIGHT;
    }
    return HTCLIENT;
  }

  // The menu lines, with the buttons of a maximized MDI child.
  if (MDIChildMaximizedWithMenu(this)) {
    if (MDIClose.cpRect.Contains(p)) return HTMDICLOSE;
    if (MDIMax.cpRect.Contains(p)) return HTMDIMAX;
    if (MDIMin.cpRect.Contains(p)) return HTMDIMIN;
  }
  return HTMENU;
}
