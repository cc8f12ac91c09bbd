#pragma once
// Graphics of the windowing framework: colours, fonts, pens, brushes, canvases,
// graphics (bitmaps) and pictures with their registry of file formats and classes.
//
// Everything draws through the drawing layer (platform/gdi). A bitmap is a
// device-independent bitmap: rows bottom-up in memory, each padded to 4 bytes;
// ScanLine(0) is the top row.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Types.h"

// ---- Colours ----

// 0x00BBGGRR for plain colours; system colours have the top byte 0xFF and the
// system colour index in the low byte.
using TColor = int32_t;

constexpr TColor clSystemColor = TColor(0xFF000000);
constexpr TColor SysColor(int index) { return TColor(uint32_t(clSystemColor) | uint32_t(index)); }

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SysColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SysColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SysColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SysColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SysColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SysColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SysColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SysColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SysColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SysColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);
constexpr TColor clHotLight = SysColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SysColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SysColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SysColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SysColor(COLOR_MENUBAR);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// System colours become their fixed values; other values pass unchanged.
COLORREF ColorToRGB(TColor Color);
// "clBtnFace" <-> value, as window definitions store colours.
bool IdentToColor(const String& Ident, int32_t& Color);
bool ColorToIdent(int32_t Color, String& Ident);
// An identifier, a decimal number or "$hex"; EConvertError otherwise.
TColor StringToColor(const String& S);
String ColorToString(TColor Color);

// ---- Errors ----

class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};

// Base of fonts, pens and brushes: OnChange fires after every change.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

class TFont : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;
  void Assign(TPersistent* Source) override;

  // A font handle for the current attributes, owned by the font.
  HFONT Handle();
  const String& Name() const { return FName; }
  void SetName(const String& Value);
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // Points at PixelsPerInch.
  int Size() const;
  void SetSize(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  int PixelsPerInch = 96;

 private:
  void Modified();
  String FName = "Tahoma";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  HFONT FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
                pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  ~TPen() override;
  void Assign(TPersistent* Source) override;

  HPEN Handle();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return FMode; }  // stored; drawing always copies
  void SetMode(TPenMode Value);

 private:
  void Modified();
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  HPEN FHandle = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;
  void Assign(TPersistent* Source) override;

  HBRUSH Handle();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);  // a clear brush becomes solid
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);

 private:
  void Modified();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBRUSH FHandle = nullptr;
};

class TGraphic;

// cmSrcCopy and friends are the raster operation codes.
using TCopyMode = DWORD;
constexpr TCopyMode cmSrcCopy = SRCCOPY;
constexpr TCopyMode cmSrcPaint = SRCPAINT;
constexpr TCopyMode cmSrcAnd = SRCAND;
constexpr TCopyMode cmSrcInvert = SRCINVERT;
constexpr TCopyMode cmBlackness = BLACKNESS;
constexpr TCopyMode cmWhiteness = WHITENESS;

// Drawing surface over a device context. Every call selects the canvas's
// current font, pen and brush first. A canvas used from more than one thread
// is guarded with Lock/Unlock by its users.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context; subclasses create one on first use.
  HDC Handle();
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont* Font() { return &FFont; }
  TPen* Pen() { return &FPen; }
  TBrush* Brush() { return &FBrush; }
  void SetFont(TFont* Value) { FFont.Assign(Value); }
  void SetPen(TPen* Value) { FPen.Assign(Value); }
  void SetBrush(TBrush* Value) { FBrush.Assign(Value); }
  TPoint PenPos();
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }
  TCopyMode CopyMode = cmSrcCopy;

  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  TColor Pixels(int X, int Y);  // -1 outside the surface
  void SetPixels(int X, int Y, TColor Value);
  void FillRect(const TRect& Rect);
  void FrameRect(const TRect& Rect);
  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void Ellipse(const TRect& Rect) { Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void Polygon(const std::vector<TPoint>& Points);
  void Polyline(const std::vector<TPoint>& Points);
  // Text uses the brush as background unless the brush is clear.
  void TextOut(int X, int Y, const String& Text);
  void TextRect(const TRect& Rect, int X, int Y, const String& Text);
  TSize TextExtent(const String& Text);
  int TextWidth(const String& Text) { return TextExtent(Text).cx; }
  int TextHeight(const String& Text) { return TextExtent(Text).cy; }
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  TRect ClipRect();
  // Deselects the canvas's objects from the device context (before the context changes hands).
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  // Ensures a handle and selects font, pen and brush into it.
  void RequireState();
  virtual void Changing();
  virtual void Changed();

 private:
  HDC FHandle = nullptr;
  TFont FFont;
  TPen FPen;
  TBrush FBrush;
  std::recursive_mutex FLock;
  int FLockCount = 0;
};

// ---- Graphics ----

class TGraphic : public TPersistent {
 public:
  ~TGraphic() override = default;

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int Value) = 0;
  virtual void SetHeight(int Value) = 0;
  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  bool Modified() const { return FModified; }
  void SetModified(bool Value);
  // Window definitions store a graphic's data with these; by default the file form.
  virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
  virtual void WriteData(TStream& Stream) { SaveToStream(Stream); }

  TNotifyEvent OnChange;

 protected:
  friend class TCanvas;
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  virtual void Changed();
  bool FTransparent = false;
  bool FModified = false;
};

// A graphic class known by name, with its factory.
struct TGraphicClass {
  String ClassName;
  std::function<std::unique_ptr<TGraphic>()> Create;
};

// The class record of T, named after T's class.
template <class T>
const TGraphicClass* GraphicClassOf() {
  static const TGraphicClass cls{T().ClassName(), [] { return std::unique_ptr<TGraphic>(new T()); }};
  return &cls;
}

// Registry by class name, used when window definitions name a graphic's class.
void RegisterGraphicClass(const TGraphicClass* GraphicClass);
const TGraphicClass* FindGraphicClass(const String& ClassName);

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
// How Draw treats the alpha byte of 32-bit bitmaps.
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };

class TBitmapCanvas;

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int AWidth, int AHeight);
  ~TBitmap() override;

  void Assign(TPersistent* Source) override;
  bool Empty() const override { return FHandle == nullptr; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int Value) override { SetSize(Value, FHeight); }
  void SetHeight(int Value) override { SetSize(FWidth, Value); }
  // Keeps the pixels of the area both sizes share; new pixels are black.
  void SetSize(int AWidth, int AHeight);
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels; pfDevice means pf32bit. EInvalidGraphic for pfCustom.
  void SetPixelFormat(TPixelFormat Value);
  TBitmapHandleType HandleType() const { return bmDIB; }
  void SetHandleType(TBitmapHandleType) {}
  bool Monochrome() const { return FPixelFormat == pf1bit; }
  TAlphaFormat AlphaFormat() const { return FAlphaFormat; }
  void SetAlphaFormat(TAlphaFormat Value);
  // Address of a row, 0 = top row; EInvalidGraphicOperation "Scan line index out of range" otherwise.
  // Rows follow each other bottom-up in memory (top-down for a top-down DIB given to SetHandle):
  // the distance from row 0 to row 1 is ScanLine(1) - ScanLine(0).
  void* ScanLine(int Row);
  // The bitmap handle (nullptr while empty), owned by the bitmap.
  HBITMAP Handle() const { return FHandle; }
  // Takes ownership of Value (a DIB section), replacing the current image.
  void SetHandle(HBITMAP Value);
  // Gives up the handle to the caller; the bitmap becomes empty.
  HBITMAP ReleaseHandle();
  TCanvas* Canvas();
  TColor TransparentColor() const;  // the bottom-left pixel, or FTransparentColor when set
  void SetTransparentColor(TColor Value) { FTransparentColor = Value; }

  // BMP files; EInvalidGraphic "Bitmap image is not valid" for damaged data.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // Window definitions prefix the file with its length (4 bytes).
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void Replace(HBITMAP NewHandle, TPixelFormat Format);
  HBITMAP NewImage(int AWidth, int AHeight, TPixelFormat Format) const;

  HBITMAP FHandle = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pf32bit;
  TAlphaFormat FAlphaFormat = afIgnored;
  TColor FTransparentColor = clDefault;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// ---- Pictures ----

// Holds one graphic of any registered class; loads files by extension.
class TPicture : public TPersistent {
 public:
  TPicture() = default;
  ~TPicture() override;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Stores a copy of Value (of the same class); nullptr empties the picture.
  void SetGraphic(TGraphic* Value);
  // The graphic as a bitmap, replacing any other kind of graphic with an empty bitmap.
  TBitmap* Bitmap();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }
  void Assign(TPersistent* Source) override;

  // EInvalidGraphic "Unknown picture file extension (.<ext>)" when no class is registered for it.
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);
  // A graphic of the named class read from Stream (as stored by window definitions).
  void LoadFromStream(const String& GraphicClassName, TStream& Stream);
  // Window-definition form: class name (length byte + text) followed by the graphic's data.
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream);

  // Extensions are given without the dot and compared without case.
  static void RegisterFileFormat(const String& Extension, const String& Description,
                                 const TGraphicClass* GraphicClass);
  static void UnregisterGraphicClass(const TGraphicClass* GraphicClass);
  static const TGraphicClass* FileFormatForExtension(const String& Extension);

  TNotifyEvent OnChange;

 private:
  void Changed(TObject* Sender);
  void Take(std::unique_ptr<TGraphic> Graphic);
  std::unique_ptr<TGraphic> FGraphic;
};

// Open-dialog filter of the registered formats: "All (*.bmp;*.png)|*.bmp;*.png|Bitmaps (*.bmp)|*.bmp".
String GraphicFilter(const TGraphicClass* GraphicClass = nullptr);
// The first extension registered for the class ("bmp"), or "".
String GraphicExtension(const TGraphicClass* GraphicClass);
