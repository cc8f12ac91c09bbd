// Speed buttons and bitmap buttons.

#include "platform/vcl/Buttons.h"

#include <algorithm>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"

namespace {

COLORREF PixelAt(TBitmap* Bitmap, int X, int Y) {
  const auto* row = static_cast<const uint8_t*>(Bitmap->ScanLine(Y));
  return RGB(row[X * 4 + 2], row[X * 4 + 1], row[X * 4]);
}

// The glyph frame for a state: up, disabled, clicked, down; the up frame when the strip has no such frame.
int GlyphFrame(TButtonState State, int NumGlyphs) {
  const int index = State == bsDisabled ? 1 : State == bsDown ? 2 : State == bsExclusive ? 3 : 0;
  return index < NumGlyphs ? index : 0;
}

}  // namespace

void DrawDisabledGlyph(TCanvas* Canvas, int X, int Y, TBitmap* Glyph, const TRect& Source) {
  TBitmap copy;
  copy.Assign(Glyph);
  copy.SetPixelFormat(pf32bit);
  const COLORREF key = ColorToRGB(Glyph->TransparentColor());
  // The highlight one pixel down and right, then the shadow over it: an embossed shape.
  for (TColor colour : {clBtnHighlight, clBtnShadow}) {
    const int d = colour == clBtnHighlight ? 1 : 0;
    const COLORREF c = ColorToRGB(colour);
    for (int y = Source.Top; y < Source.Bottom && y < copy.Height(); ++y)
      for (int x = Source.Left; x < Source.Right && x < copy.Width(); ++x)
        if (PixelAt(&copy, x, y) != key) Canvas->SetPixels(X + x - Source.Left + d, Y + y - Source.Top + d, TColor(c));
  }
}

void DrawButtonContent(TCanvas* Canvas, const TRect& Rect, TBitmap* Glyph, int NumGlyphs, TButtonState State,
                       const String& Caption, TButtonLayout Layout, int Margin, int Spacing, TFont* Font,
                       int Offset) {
  NumGlyphs = std::max(1, NumGlyphs);
  const bool hasGlyph = Glyph && !Glyph->Empty() && Glyph->Width() >= NumGlyphs;
  const int gw = hasGlyph ? Glyph->Width() / NumGlyphs : 0, gh = hasGlyph ? Glyph->Height() : 0;
  Canvas->SetFont(Font);
  TSize ts{0, 0};
  if (!Caption.empty()) {
    RECT calc{0, 0, Rect.Width(), 0};
    DrawText(Canvas->Handle(), Caption.c_str(), -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    ts = TSize{calc.right - calc.left, calc.bottom - calc.top};
  }
  const bool horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
  const int space = hasGlyph && !Caption.empty() ? std::max(0, Spacing) : 0;
  const int extent = horizontal ? Rect.Width() : Rect.Height();
  const int total = horizontal ? gw + space + ts.cx : gh + space + ts.cy;
  const int start = Margin < 0 ? (extent - total) / 2 : Margin;
  // Positions along the layout's axis; the other axis is centred.
  int glyphAt = start, textAt = start + (hasGlyph ? (horizontal ? gw : gh) + space : 0);
  if (Layout == blGlyphRight || Layout == blGlyphBottom) {
    textAt = start;
    glyphAt = start + (horizontal ? ts.cx : ts.cy) + space;
  }
  TPoint gp, tp;
  if (horizontal) {
    gp = TPoint(Rect.Left + glyphAt, Rect.Top + (Rect.Height() - gh) / 2);
    tp = TPoint(Rect.Left + textAt, Rect.Top + (Rect.Height() - ts.cy) / 2);
  } else {
    gp = TPoint(Rect.Left + (Rect.Width() - gw) / 2, Rect.Top + glyphAt);
    tp = TPoint(Rect.Left + (Rect.Width() - ts.cx) / 2, Rect.Top + textAt);
  }
  gp = TPoint(gp.X + Offset, gp.Y + Offset);
  tp = TPoint(tp.X + Offset, tp.Y + Offset);
  if (hasGlyph) {
    const int frame = GlyphFrame(State, NumGlyphs);
    const TRect source = Bounds(frame * gw, 0, gw, gh);
    if (State == bsDisabled && NumGlyphs < 2) {
      DrawDisabledGlyph(Canvas, gp.X, gp.Y, Glyph, source);
    } else {
      TransparentBlt(Canvas->Handle(), gp.X, gp.Y, gw, gh, Glyph->Canvas()->Handle(), source.Left, 0, gw, gh,
                     ColorToRGB(Glyph->TransparentColor()));
    }
  }
  if (Caption.empty()) return;
  HDC dc = Canvas->Handle();
  SetBkMode(dc, TRANSPARENT);
  RECT tr = Bounds(tp.X, tp.Y, ts.cx, ts.cy);
  if (State == bsDisabled) {
    RECT o = tr;
    OffsetRect(&o, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawText(dc, Caption.c_str(), -1, &o, DT_SINGLELINE | DT_CENTER);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
  } else {
    SetTextColor(dc, ColorToRGB(Font->Color()));
  }
  DrawText(dc, Caption.c_str(), -1, &tr, DT_SINGLELINE | DT_CENTER);
}

// ---- TButtonGlyph ----

TButtonGlyph::TButtonGlyph() {
  FGlyph.OnChange = [this](TObject*) { GlyphChanged(); };
}

void TButtonGlyph::SetNumGlyphs(int Value) {
  FNumGlyphs = std::clamp(Value, 1, 4);
  GlyphChanged();
}

void TButtonGlyph::SetLayout(TButtonLayout Value) {
  FLayout = Value;
  GlyphChanged();
}

void TButtonGlyph::SetMargin(int Value) {
  FMargin = Value;
  GlyphChanged();
}

void TButtonGlyph::SetSpacing(int Value) {
  FSpacing = Value;
  GlyphChanged();
}

void TButtonGlyph::DrawContent(TCanvas* Canvas, const TRect& Rect, TButtonState State, const String& Caption,
                               TFont* Font, int Offset) {
  DrawButtonContent(Canvas, Rect, &FGlyph, FNumGlyphs, State, Caption, FLayout, FMargin, FSpacing, Font, Offset);
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
  FWidth = 23;
  FHeight = 22;
}

void TSpeedButton::SetFlat(bool Value) {
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int Value) {
  FGroupIndex = Value;
  UpdateExclusive();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  // A grouped button that is down stays down until another of its group goes down.
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  FState = Value ? bsExclusive : bsUp;
  Invalidate();
  if (Value) UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  FAllowAllUp = Value;
  UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !FParent) return;
  for (int i = 0; i < FParent->ControlCount(); ++i) {
    auto* b = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
    if (!b || b == this || b->FGroupIndex != FGroupIndex) continue;
    if (FDown && b->FDown) {
      b->FDown = false;
      b->FState = bsUp;
      b->Invalidate();
    }
    b->FAllowAllUp = FAllowAllUp;
  }
}

void TSpeedButton::SetTransparent(bool Value) {
  FTransparent = Value;
  if (Value) ControlStyle.Exclude(csOpaque);
  else ControlStyle.Include(csOpaque);
  Invalidate();
}

void TSpeedButton::SetText(const String& Value) {
  TGraphicControl::SetText(Value);
  Invalidate();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  const bool pressed = FState == bsDown || FState == bsExclusive;
  const bool framed = !FFlat || (FMouseInControl && FEnabled) || pressed;
  if (!FTransparent || !FFlat) {
    c->Brush()->SetColor(FState == bsExclusive && !FMouseInControl ? cl3DLight : FColor);
    c->FillRect(r);
  }
  if (framed) {
    TRect edge = r;
    Frame3D(c, edge, pressed ? clBtnShadow : clBtnHighlight, pressed ? clBtnHighlight : clBtnShadow, 1);
  }
  DrawContent(c, r, FEnabled ? FState : bsDisabled, FText, &FFont, pressed ? 1 : 0);
}

void TSpeedButton::WndProc(TMessage& Message) {
  const TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (FEnabled) {
        if (!FDown) {
          FState = bsDown;
          Invalidate();
        }
        FDragging = true;
      }
      break;
    case WM_MOUSEMOVE:
      if (FDragging) {
        const TButtonState now = ClientRect().Contains(p) ? bsDown : FDown ? bsExclusive : bsUp;
        if (now != FState) {
          FState = now;
          Invalidate();
        }
      }
      break;
    case WM_LBUTTONUP:
      if (FDragging) {
        FDragging = false;
        const bool inside = ClientRect().Contains(p);
        if (FGroupIndex == 0) {
          FState = bsUp;
          Invalidate();
        } else if (inside) {
          SetDown(!FDown);
          FState = FDown ? bsExclusive : bsUp;
          Invalidate();
        } else {
          FState = FDown ? bsExclusive : bsUp;
          Invalidate();
        }
        TGraphicControl::WndProc(Message);
        if (inside) Click();
        return;
      }
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      FMouseInControl = Message.Msg == CM_MOUSEENTER;
      if (FFlat) Invalidate();
      break;
    case CM_ENABLEDCHANGED:
      Invalidate();
      break;
  }
  TGraphicControl::WndProc(Message);
}

// ---- TBitBtn ----

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::CreateParams(TCreateParams& Params) {
  TButton::CreateParams(Params);
  Params.Style = (Params.Style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TBitBtn::SetKind(TBitBtnKind Value) {
  FKind = Value;
  struct KindInfo {
    const char* caption;
    int result;
    bool isDefault, isCancel;
  };
  static const KindInfo kinds[] = {
      {"", mrNone, false, false},        {"OK", mrOk, true, false},        {"Cancel", mrCancel, false, true},
      {"&Help", mrNone, false, false},   {"&Yes", mrYes, true, false},     {"&No", mrNo, false, true},
      {"&Close", mrNone, false, false},  {"Abort", mrAbort, false, true},  {"&Retry", mrRetry, false, false},
      {"&Ignore", mrIgnore, false, false}, {"&All", mrAll, true, false},
  };
  if (Value == bkCustom) return;
  const KindInfo& k = kinds[Value];
  SetCaption(k.caption);
  SetModalResult(k.result);
  SetDefault(k.isDefault);
  SetCancel(k.isCancel);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& Item) {
  TCanvas canvas;
  canvas.SetHandle(Item.hDC);
  TRect r = Item.rcItem;
  const bool pressed = Item.itemState & ODS_SELECTED;
  const bool focused = Item.itemState & ODS_FOCUS;
  canvas.Brush()->SetColor(FColor);
  canvas.FillRect(r);
  if (focused || Default()) {
    canvas.Brush()->SetColor(clWindowFrame);
    canvas.FrameRect(r);
    r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  }
  TRect edge = r;
  if (pressed) Frame3D(&canvas, edge, clBtnShadow, clBtnShadow, 1);
  else Frame3D(&canvas, edge, clBtnHighlight, cl3DDkShadow, 1);
  const TButtonState state = !FEnabled ? bsDisabled : pressed ? bsDown : bsUp;
  DrawContent(&canvas, r, state, Caption(), &FFont, pressed ? 1 : 0);
  if (focused) {
    TRect f(r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3);
    canvas.Brush()->SetColor(clBtnShadow);
    canvas.FrameRect(f);
  }
  canvas.SetHandle(nullptr);
}

void TBitBtn::WndProc(TMessage& Message) {
  if (Message.Msg == CN_DRAWITEM) {
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam));
    Message.Result = TRUE;
    return;
  }
  TButton::WndProc(Message);
}

// ---- Published properties ----

namespace {
template <class T>
std::vector<TPropInfo> GlyphProps(std::vector<TPropInfo> Own) {
  const std::vector<String> layouts{"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};
  Own.push_back(ObjectProp<T>("Glyph", pkPicture, [](T* c) { return c->Glyph(); }));
  Own.push_back(IntProp<T>("NumGlyphs", [](T* c) { return c->NumGlyphs(); }, [](T* c, int v) { c->SetNumGlyphs(v); }));
  Own.push_back(EnumProp<T, TButtonLayout>("Layout", layouts, [](T* c) { return c->Layout(); },
                                           [](T* c, TButtonLayout v) { c->SetLayout(v); }));
  Own.push_back(IntProp<T>("Margin", [](T* c) { return c->Margin(); }, [](T* c, int v) { c->SetMargin(v); }));
  Own.push_back(IntProp<T>("Spacing", [](T* c) { return c->Spacing(); }, [](T* c, int v) { c->SetSpacing(v); }));
  return Own;
}
}  // namespace

void RegisterButtonsClasses() {
  RegisterPropertyClass<TSpeedButton, TGraphicControl>(
      "TSpeedButton",
      GlyphProps<TSpeedButton>(
          {BoolProp<TSpeedButton>("Flat", [](TSpeedButton* c) { return c->Flat(); }, [](TSpeedButton* c, bool v) { c->SetFlat(v); }),
           IntProp<TSpeedButton>("GroupIndex", [](TSpeedButton* c) { return c->GroupIndex(); },
                                 [](TSpeedButton* c, int v) { c->SetGroupIndex(v); }),
           BoolProp<TSpeedButton>("AllowAllUp", [](TSpeedButton* c) { return c->AllowAllUp(); },
                                  [](TSpeedButton* c, bool v) { c->SetAllowAllUp(v); }),
           BoolProp<TSpeedButton>("Down", [](TSpeedButton* c) { return c->Down(); }, [](TSpeedButton* c, bool v) { c->SetDown(v); }),
           BoolProp<TSpeedButton>("Transparent", [](TSpeedButton* c) { return c->Transparent(); },
                                  [](TSpeedButton* c, bool v) { c->SetTransparent(v); })}));
  RegisterPropertyClass<TBitBtn, TButton>(
      "TBitBtn",
      GlyphProps<TBitBtn>({EnumProp<TBitBtn, TBitBtnKind>(
          "Kind", {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort", "bkRetry", "bkIgnore", "bkAll"},
          [](TBitBtn* c) { return c->Kind(); }, [](TBitBtn* c, TBitBtnKind v) { c->SetKind(v); })}));
}
