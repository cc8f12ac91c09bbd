#include "platform/vcl/Graphics.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/gdi/BmpFile.h"

// ---- Colours ----

COLORREF ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return COLORREF(Color);
}

namespace {

struct ColorName {
  TColor value;
  const char* name;
};

const ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"},
};

}  // namespace

bool IdentToColor(const String& Ident, int32_t& Color) {
  for (const ColorName& c : kColorNames)
    if (SameText(Ident, c.name)) {
      Color = c.value;
      return true;
    }
  return false;
}

bool ColorToIdent(int32_t Color, String& Ident) {
  for (const ColorName& c : kColorNames)
    if (c.value == Color) {
      Ident = c.name;
      return true;
    }
  return false;
}

TColor StringToColor(const String& S) {
  int32_t c;
  if (IdentToColor(S, c)) return c;
  const String t = Trim(S);
  if (!t.empty() && t[0] == '$') {
    uint64_t v = 0;
    if (t.size() < 2 || t.size() > 9) throw EConvertError(Format("'%s' is not a valid integer value", {S}));
    for (size_t i = 1; i < t.size(); ++i) {
      const char ch = char(std::tolower(static_cast<unsigned char>(t[i])));
      const int d = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10 : -1;
      if (d < 0) throw EConvertError(Format("'%s' is not a valid integer value", {S}));
      v = v * 16 + uint64_t(d);
    }
    return TColor(uint32_t(v));
  }
  return TColor(StrToInt(t));
}

String ColorToString(TColor Color) {
  String s;
  if (ColorToIdent(Color, s)) return s;
  return "$" + IntToHex(uint32_t(Color), 8);
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---- Fonts, pens, brushes ----
// A handle is rebuilt after a change. Listeners (the owning canvas) hear of
// the change first, so that the old handle is no longer selected when it is deleted.

TFont::TFont() = default;

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONT lf;
    lf.lfHeight = FHeight;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic);
    lf.lfUnderline = FStyle.Contains(fsUnderline);
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    lf.lfCharSet = FCharset;
    lf.lfPitchAndFamily = BYTE(FPitch);
    std::strncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
    FHandle = CreateFontIndirect(&lf);
  }
  return FHandle;
}

void TFont::Modified() {
  HFONT old = FHandle;
  FHandle = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TFont::SetName(const String& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  Modified();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Modified();
}

int TFont::Size() const {
  // Rounded half away from zero, as MulDiv rounds.
  const int n = -FHeight * 72;
  return n >= 0 ? (n + PixelsPerInch / 2) / PixelsPerInch : -((-n + PixelsPerInch / 2) / PixelsPerInch);
}

void TFont::SetSize(int Value) {
  const int n = Value * PixelsPerInch;
  SetHeight(-(n >= 0 ? (n + 36) / 72 : -((-n + 36) / 72)));
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Modified();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Modified();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Modified();
}

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f == this) return;
    FName = f->FName;
    FHeight = f->FHeight;
    FColor = f->FColor;
    FStyle = f->FStyle;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    PixelsPerInch = f->PixelsPerInch;
    Modified();
    return;
  }
  TGraphicsObject::Assign(Source);
}

TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}

HPEN TPen::Handle() {
  if (!FHandle) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    FHandle = CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor));
  }
  return FHandle;
}

void TPen::Modified() {
  HPEN old = FHandle;
  FHandle = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Modified();
}

void TPen::SetWidth(int Value) {
  if (Value == FWidth || Value < 0) return;
  FWidth = Value;
  Modified();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Modified();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    if (p == this) return;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    Modified();
    return;
  }
  TGraphicsObject::Assign(Source);
}

TBrush::~TBrush() {
  if (FHandle) DeleteObject(FHandle);
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    LOGBRUSH lb;
    lb.lbStyle = FStyle == bsClear ? BS_NULL : FStyle == bsSolid ? BS_SOLID : BS_HATCHED;
    lb.lbColor = ColorToRGB(FColor);
    lb.lbHatch = FStyle > bsClear ? uintptr_t(FStyle - bsHorizontal) : 0;
    FHandle = CreateBrushIndirect(&lb);
  }
  return FHandle;
}

void TBrush::Modified() {
  HBRUSH old = FHandle;
  FHandle = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle != bsClear) return;
  FColor = Value;
  if (FStyle == bsClear) FStyle = bsSolid;
  Modified();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Modified();
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b == this) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    Modified();
    return;
  }
  TGraphicsObject::Assign(Source);
}

// ---- Canvas ----

TCanvas::TCanvas() {
  // Deselect before the object rebuilds its handle (see TFont::Modified).
  auto deselect = [this](TObject*) { Refresh(); };
  FFont.OnChange = deselect;
  FPen.OnChange = deselect;
  FBrush.OnChange = deselect;
}

TCanvas::~TCanvas() { Refresh(); }

HDC TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TCanvas::SetHandle(HDC Value) {
  if (Value == FHandle) return;
  Refresh();
  FHandle = Value;
}

TPoint TCanvas::PenPos() {
  POINT p;
  if (!Handle() || !GetCurrentPositionEx(FHandle, &p)) return TPoint();
  return TPoint(p);
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Refresh() {
  if (!FHandle) return;
  SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  SelectObject(FHandle, GetStockObject(BLACK_PEN));
  SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
}

void TCanvas::RequireState() {
  if (!Handle()) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  SelectObject(FHandle, FFont.Handle());
  SelectObject(FHandle, FPen.Handle());
  SelectObject(FHandle, FBrush.Handle());
  SetTextColor(FHandle, ColorToRGB(FFont.Color()));
  SetBkColor(FHandle, ColorToRGB(FBrush.Color()));
  SetBkMode(FHandle, FBrush.Style() == bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TColor TCanvas::Pixels(int X, int Y) {
  if (!Handle()) return -1;
  const COLORREF c = GetPixel(FHandle, X, Y);
  return c == CLR_INVALID ? -1 : TColor(c);
}

void TCanvas::SetPixels(int X, int Y, TColor Value) {
  Changing();
  RequireState();
  SetPixel(FHandle, X, Y, ColorToRGB(Value));
  Changed();
}

void TCanvas::FillRect(const TRect& Rect) {
  Changing();
  RequireState();
  const RECT r = Rect;
  ::FillRect(FHandle, &r, FBrush.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& Rect) {
  Changing();
  RequireState();
  const RECT r = Rect;
  ::FrameRect(FHandle, &r, FBrush.Handle());
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  if (!Handle()) return;
  MoveToEx(FHandle, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  RequireState();
  ::LineTo(FHandle, X, Y);
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequireState();
  ::Rectangle(FHandle, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequireState();
  ::Ellipse(FHandle, X1, Y1, X2, Y2);
  Changed();
}

namespace {

std::vector<POINT> ToPoints(const std::vector<TPoint>& Points) {
  std::vector<POINT> p;
  p.reserve(Points.size());
  for (const TPoint& t : Points) p.push_back(t);
  return p;
}

}  // namespace

void TCanvas::Polygon(const std::vector<TPoint>& Points) {
  Changing();
  RequireState();
  const std::vector<POINT> p = ToPoints(Points);
  ::Polygon(FHandle, p.data(), int(p.size()));
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) {
  Changing();
  RequireState();
  const std::vector<POINT> p = ToPoints(Points);
  ::Polyline(FHandle, p.data(), int(p.size()));
  Changed();
}

void TCanvas::TextOut(int X, int Y, const String& Text) {
  Changing();
  RequireState();
  ::TextOut(FHandle, X, Y, Text.data(), int(Text.size()));
  SIZE sz;
  GetTextExtentPoint32(FHandle, Text.data(), int(Text.size()), &sz);
  MoveToEx(FHandle, X + sz.cx, Y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const String& Text) {
  Changing();
  RequireState();
  const RECT r = Rect;
  const UINT options = ETO_CLIPPED | (FBrush.Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOut(FHandle, X, Y, options, &r, Text.data(), int(Text.size()), nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const String& Text) {
  RequireState();
  SIZE sz;
  if (!GetTextExtentPoint32(FHandle, Text.data(), int(Text.size()), &sz)) return TSize();
  return TSize{sz.cx, sz.cy};
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequireState();
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequireState();
  Graphic->Draw(this, Rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  if (!Canvas) return;
  Changing();
  RequireState();
  Canvas->RequireState();
  StretchBlt(FHandle, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Canvas->FHandle, Source.Left, Source.Top,
             Source.Width(), Source.Height(), CopyMode);
  Changed();
}

TRect TCanvas::ClipRect() {
  RECT r{};
  if (Handle()) GetClipBox(FHandle, &r);
  return TRect(r);
}

// ---- Graphics ----

void TGraphic::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream);
}

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed();
}

void TGraphic::SetModified(bool Value) {
  if (Value) {
    Changed();
  } else {
    FModified = false;
  }
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange) OnChange(this);
}

namespace {

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}

std::map<String, const TGraphicClass*>& ClassRegistry() {
  static std::map<String, const TGraphicClass*> m;
  return m;
}

struct FileFormat {
  String extension;  // lower case, no dot
  String description;
  const TGraphicClass* graphicClass;
};

std::vector<FileFormat>& FileFormats() {
  static std::vector<FileFormat> formats{{"bmp", "Bitmaps", GraphicClassOf<TBitmap>()}};
  return formats;
}

}  // namespace

void RegisterGraphicClass(const TGraphicClass* GraphicClass) {
  if (!GraphicClass) return;
  std::lock_guard lock(RegistryLock());
  ClassRegistry()[LowerCase(GraphicClass->ClassName)] = GraphicClass;
}

const TGraphicClass* FindGraphicClass(const String& ClassName) {
  std::lock_guard lock(RegistryLock());
  if (SameText(ClassName, "TBitmap")) return GraphicClassOf<TBitmap>();
  auto it = ClassRegistry().find(LowerCase(ClassName));
  return it == ClassRegistry().end() ? nullptr : it->second;
}

// ---- Bitmaps ----

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* Bitmap) : FBitmap(Bitmap) {}
  ~TBitmapCanvas() override {
    if (FDC) {
      Refresh();
      Detach();
      SetHandle(nullptr);
      DeleteDC(FDC);
    }
  }
  // Selects the DC's own bitmap back, so that the image can change or go.
  void Detach() {
    if (FDC && FOriginal) {
      SelectObject(FDC, FOriginal);
      FOriginal = nullptr;
    }
  }
  void Attach() {
    if (FDC && FBitmap->Handle()) FOriginal = SelectObject(FDC, FBitmap->Handle());
  }

 protected:
  void CreateHandle() override {
    if (!FDC) {
      FDC = CreateCompatibleDC(nullptr);
      Attach();
    }
    SetHandle(FDC);
  }

 private:
  TBitmap* FBitmap;
  HDC FDC = nullptr;
  HGDIOBJ FOriginal = nullptr;
};

namespace {

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

// Default palettes: black and white; the 16 standard colours; a 6 x 6 x 6 colour
// cube followed by a grey ramp.
void DefaultPalette(TPixelFormat f, RGBQUAD* colors) {
  if (f == pf1bit) {
    colors[0] = RGBQUAD{0, 0, 0, 0};
    colors[1] = RGBQUAD{255, 255, 255, 0};
  } else if (f == pf4bit) {
    static const COLORREF vga[16] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
                                     clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
    for (int i = 0; i < 16; ++i) colors[i] = RGBQUAD{GetBValue(vga[i]), GetGValue(vga[i]), GetRValue(vga[i]), 0};
  } else if (f == pf8bit) {
    int i = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) colors[i++] = RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0};
    for (int k = 0; i < 256; ++i, ++k) {
      const BYTE v = BYTE((k + 1) * 255 / 41);
      colors[i] = RGBQUAD{v, v, v, 0};
    }
  }
}

TPixelFormat FormatOf(HBITMAP bmp) {
  DIBSECTION ds;
  if (GetObject(bmp, sizeof ds, &ds) != int(sizeof ds)) return pf32bit;
  switch (ds.dsBm.bmBitsPixel) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return ds.dsBitfields[1] == 0x07E0 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    default: return pf32bit;
  }
}

// Copies the shared area of two images (with withPalette, the colour table first).
void CopyPixels(HBITMAP from, HBITMAP to, int width, int height, bool withPalette = false) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ oa = SelectObject(a, from), ob = SelectObject(b, to);
  if (withPalette) {
    RGBQUAD colors[256];
    SetDIBColorTable(b, 0, GetDIBColorTable(a, 0, 256, colors), colors);
  }
  BitBlt(b, 0, 0, width, height, a, 0, 0, SRCCOPY);
  SelectObject(a, oa);
  SelectObject(b, ob);
  DeleteDC(a);
  DeleteDC(b);
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int AWidth, int AHeight) { SetSize(AWidth, AHeight); }

TBitmap::~TBitmap() {
  FCanvas.reset();
  if (FHandle) DeleteObject(FHandle);
}

HBITMAP TBitmap::NewImage(int AWidth, int AHeight, TPixelFormat Format) const {
  if (AWidth <= 0 || AHeight <= 0) return nullptr;
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = AWidth;
  bi.bmiHeader.biHeight = AHeight;
  bi.bmiHeader.biBitCount = WORD(BitsOf(Format));
  if (Format == pf16bit) {
    bi.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.bmiColors, masks, sizeof masks);
  }
  DefaultPalette(Format, bi.bmiColors);
  HBITMAP h = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  if (!h) throw EInvalidGraphic("Out of system resources");
  return h;
}

void TBitmap::Replace(HBITMAP NewHandle, TPixelFormat Format) {
  if (FCanvas) FCanvas->Detach();
  if (FHandle) DeleteObject(FHandle);
  FHandle = NewHandle;
  FPixelFormat = Format;
  BITMAP bm;
  if (FHandle && GetObject(FHandle, sizeof bm, &bm)) {
    FWidth = bm.bmWidth;
    FHeight = bm.bmHeight;
  } else {
    FWidth = FHeight = 0;
  }
  if (FCanvas) FCanvas->Attach();
  Changed();
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  HBITMAP h = NewImage(AWidth, AHeight, FPixelFormat);
  if (FCanvas) FCanvas->Detach();
  if (h && FHandle) CopyPixels(FHandle, h, std::min(AWidth, FWidth), std::min(AHeight, FHeight));
  if (FHandle && !h) {
    // Empty now; the width or height stays as set.
    Replace(nullptr, FPixelFormat);
    FWidth = AWidth;
    FHeight = AHeight;
    return;
  }
  Replace(h, FPixelFormat);
  if (!h) {
    FWidth = AWidth;
    FHeight = AHeight;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pfDevice) Value = pf32bit;
  if (Value == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (Value == FPixelFormat) return;
  if (!FHandle) {
    FPixelFormat = Value;
    Changed();
    return;
  }
  HBITMAP h = NewImage(FWidth, FHeight, Value);
  if (FCanvas) FCanvas->Detach();
  CopyPixels(FHandle, h, FWidth, FHeight);
  Replace(h, Value);
}

void TBitmap::SetAlphaFormat(TAlphaFormat Value) {
  if (Value == FAlphaFormat) return;
  FAlphaFormat = Value;
  Changed();
}

void* TBitmap::ScanLine(int Row) {
  if (!FHandle || Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  DIBSECTION ds;
  GetObject(FHandle, sizeof ds, &ds);
  // Rows are bottom-up, unless the handle given to SetHandle was a top-down DIB.
  const int index = ds.dsBmih.biHeight < 0 ? Row : FHeight - 1 - Row;
  return static_cast<uint8_t*>(ds.dsBm.bmBits) + size_t(index) * size_t(ds.dsBm.bmWidthBytes);
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == FHandle) return;
  if (Value && GetObjectType(Value) != OBJ_BITMAP) throw EInvalidGraphic("Bitmap image is not valid");
  Replace(Value, Value ? FormatOf(Value) : FPixelFormat);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (FCanvas) FCanvas->Detach();
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FWidth = FHeight = 0;
  Changed();
  return h;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
  return FCanvas.get();
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault || !FHandle) return FTransparentColor;
  return const_cast<TBitmap*>(this)->Canvas()->Pixels(0, FHeight - 1);
}

void TBitmap::Assign(TPersistent* Source) {
  if (!Source) {
    Replace(nullptr, FPixelFormat);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    if (b == this) return;
    FAlphaFormat = b->FAlphaFormat;
    FTransparent = b->FTransparent;
    FTransparentColor = b->FTransparentColor;
    if (!b->FHandle) {
      Replace(nullptr, b->FPixelFormat);
      FWidth = b->FWidth;
      FHeight = b->FHeight;
      return;
    }
    HBITMAP h = NewImage(b->FWidth, b->FHeight, b->FPixelFormat);
    if (b->FCanvas) b->FCanvas->Detach();
    CopyPixels(b->FHandle, h, b->FWidth, b->FHeight, true);
    if (b->FCanvas) b->FCanvas->Attach();
    Replace(h, b->FPixelFormat);
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!FHandle) return;
  HDC dst = ACanvas->Handle();
  HDC src = Canvas()->Handle();
  if (FPixelFormat == pf32bit && FAlphaFormat != afIgnored) {
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (FAlphaFormat == afPremultiplied) {
      AlphaBlend(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight, bf);
      return;
    }
    // Straight alpha: blend a premultiplied copy.
    TBitmap tmp;
    tmp.Assign(this);
    for (int y = 0; y < FHeight; ++y) {
      auto* p = static_cast<uint8_t*>(tmp.ScanLine(y));
      for (int x = 0; x < FWidth; ++x, p += 4)
        for (int c = 0; c < 3; ++c) p[c] = uint8_t((p[c] * p[3] + 127) / 255);
    }
    AlphaBlend(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), tmp.Canvas()->Handle(), 0, 0, FWidth,
               FHeight, bf);
    return;
  }
  if (FTransparent) {
    TransparentBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight,
                   ColorToRGB(TransparentColor()));
    return;
  }
  StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight, ACanvas->CopyMode);
}

namespace {

// Larger than any BMP the decoder accepts (2 GiB of pixels plus headers and palette).
constexpr int64_t kMaxBmpFileBytes = (int64_t(1) << 31) + 2048;

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t remaining = Stream.Size() - Stream.Position();
  if (remaining <= 0) {
    Replace(nullptr, FPixelFormat);
    return;
  }
  uint8_t header[kBmpFileHeaderSize];
  if (remaining < int64_t(sizeof header) || Stream.Read(header, sizeof header) != int64_t(sizeof header))
    throw EInvalidGraphic("Bitmap image is not valid");
  if (header[0] != 'B' || header[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
  // The file header's size says where the image ends (the stream may hold more after it).
  const uint32_t fileSize = header[2] | (header[3] << 8) | (header[4] << 16) | (uint32_t(header[5]) << 24);
  int64_t size = (fileSize > sizeof header && fileSize <= remaining) ? int64_t(fileSize) : remaining;
  size = std::min<int64_t>(size, kMaxBmpFileBytes);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  std::memcpy(data.data(), header, sizeof header);
  const int64_t rest = size - int64_t(sizeof header);
  if (Stream.Read(data.data() + sizeof header, rest) != rest) throw EInvalidGraphic("Bitmap image is not valid");
  std::string error;
  HBITMAP h = DecodeBmp(data.data(), data.size(), &error);
  if (!h) throw EInvalidGraphic("Bitmap image is not valid");
  Replace(h, FormatOf(h));
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (!FHandle) return;
  std::vector<uint8_t> data;
  if (FCanvas) FCanvas->Detach();
  EncodeBmp(FHandle, data);
  if (FCanvas) FCanvas->Attach();
  Stream.WriteBuffer(data.data(), int64_t(data.size()));
}

void TBitmap::ReadData(TStream& Stream) {
  uint32_t size = 0;
  Stream.ReadBuffer(&size, sizeof size);
  if (int64_t(size) > Stream.Size() - Stream.Position()) throw EInvalidGraphic("Bitmap image is not valid");
  TMemoryStream data;
  if (size) data.CopyFrom(Stream, size);
  data.SetPosition(0);
  // Stored data is always a BMP file, whatever a derived class reads from files.
  TBitmap::LoadFromStream(data);
}

void TBitmap::WriteData(TStream& Stream) {
  TMemoryStream data;
  TBitmap::SaveToStream(data);
  const uint32_t size = uint32_t(data.Size());
  Stream.WriteBuffer(&size, sizeof size);
  if (size) Stream.WriteBuffer(data.Memory(), size);
}

// ---- Pictures ----

TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> Graphic) {
  FGraphic = std::move(Graphic);
  if (FGraphic) FGraphic->OnChange = [this](TObject* Sender) { Changed(Sender); };
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Take(nullptr);
    return;
  }
  if (Value == FGraphic.get()) return;
  const TGraphicClass* cls = FindGraphicClass(Value->ClassName());
  if (!cls) throw EInvalidGraphic(Format("Unknown picture class %s", {Value->ClassName()}));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->Assign(Value);
  Take(std::move(g));
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(FGraphic.get())) Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

namespace {

String ExtensionOf(const String& FileName) {
  const size_t slash = FileName.find_last_of('/');
  const size_t dot = FileName.find_last_of('.');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return "";
  return LowerCase(FileName.substr(dot + 1));
}

}  // namespace

const TGraphicClass* TPicture::FileFormatForExtension(const String& Extension) {
  String ext = LowerCase(Extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::lock_guard lock(RegistryLock());
  for (const FileFormat& f : FileFormats())
    if (f.extension == ext) return f.graphicClass;
  return nullptr;
}

void TPicture::RegisterFileFormat(const String& Extension, const String& Description,
                                  const TGraphicClass* GraphicClass) {
  if (!GraphicClass) return;
  RegisterGraphicClass(GraphicClass);
  String ext = LowerCase(Extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::lock_guard lock(RegistryLock());
  auto& formats = FileFormats();
  // A later registration of an extension takes the earlier one's place.
  formats.erase(std::remove_if(formats.begin(), formats.end(), [&](const FileFormat& f) { return f.extension == ext; }),
                formats.end());
  formats.push_back(FileFormat{ext, Description, GraphicClass});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass* GraphicClass) {
  std::lock_guard lock(RegistryLock());
  auto& formats = FileFormats();
  formats.erase(std::remove_if(formats.begin(), formats.end(),
                               [&](const FileFormat& f) { return f.graphicClass == GraphicClass; }),
                formats.end());
  auto& classes = ClassRegistry();
  for (auto it = classes.begin(); it != classes.end();) it = it->second == GraphicClass ? classes.erase(it) : ++it;
}

void TPicture::LoadFromFile(const String& FileName) {
  const String ext = ExtensionOf(FileName);
  const TGraphicClass* cls = FileFormatForExtension(ext);
  if (!cls) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", {ext}));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->LoadFromFile(FileName);
  Take(std::move(g));
}

void TPicture::SaveToFile(const String& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::LoadFromStream(const String& GraphicClassName, TStream& Stream) {
  const TGraphicClass* cls = FindGraphicClass(GraphicClassName);
  if (!cls) throw EInvalidGraphic(Format("Unknown picture class %s", {GraphicClassName}));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->LoadFromStream(Stream);
  Take(std::move(g));
}

void TPicture::ReadData(TStream& Stream) {
  uint8_t len = 0;
  Stream.ReadBuffer(&len, 1);
  String name(len, '\0');
  if (len) Stream.ReadBuffer(name.data(), len);
  if (name.empty()) {
    Take(nullptr);
    return;
  }
  const TGraphicClass* cls = FindGraphicClass(name);
  if (!cls) throw EInvalidGraphic(Format("Unknown picture class %s", {name}));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->ReadData(Stream);
  Take(std::move(g));
}

void TPicture::WriteData(TStream& Stream) {
  const String name = FGraphic ? FGraphic->ClassName() : String();
  const uint8_t len = uint8_t(std::min<size_t>(name.size(), 255));
  Stream.WriteBuffer(&len, 1);
  Stream.WriteBuffer(name.data(), len);
  if (FGraphic) FGraphic->WriteData(Stream);
}

String GraphicFilter(const TGraphicClass* GraphicClass) {
  std::vector<FileFormat> formats;
  {
    std::lock_guard lock(RegistryLock());
    for (const FileFormat& f : FileFormats())
      if (!GraphicClass || f.graphicClass == GraphicClass) formats.push_back(f);
  }
  String all, parts;
  for (const FileFormat& f : formats) {
    const String mask = "*." + f.extension;
    all += (all.empty() ? "" : ";") + mask;
    parts += "|" + f.description + " (" + mask + ")|" + mask;
  }
  if (formats.size() > 1) return "All (" + all + ")|" + all + parts;
  return parts.empty() ? String() : parts.substr(1);
}

String GraphicExtension(const TGraphicClass* GraphicClass) {
  std::lock_guard lock(RegistryLock());
  for (const FileFormat& f : FileFormats())
    if (f.graphicClass == GraphicClass) return f.extension;
  return "";
}
