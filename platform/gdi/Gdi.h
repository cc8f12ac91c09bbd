#pragma once
// The drawing layer: device-independent bitmaps, device contexts over them,
// pens, brushes, fonts and regions, blits, alpha blending, shapes and text.
//
// Names, structures and numeric values follow the documented platform
// graphics interface, because callers compare and store those numbers.
// Text is UTF-8 throughout. All objects may be used from any thread, but one
// device context (and the bitmap selected into it) by one thread at a time.
//
// Drawing is deterministic: the same calls give the same pixels everywhere.
// As documented, primitives (fills, lines, shapes, text) write 0 into the
// alpha byte of 32-bit pixels they touch; BitBlt copies it; AlphaBlend blends it.

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using BOOL = int;
using COLORREF = DWORD;  // 0x00BBGGRR

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct POINT {
  LONG x = 0;
  LONG y = 0;
};
struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};
struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Handles. HGDIOBJ takes any of them.
struct HBITMAP__;
struct HPEN__;
struct HBRUSH__;
struct HFONT__;
struct HRGN__;
struct HDC__;
using HGDIOBJ = void*;
using HANDLE = void*;
using HBITMAP = HBITMAP__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;
using HDC = HDC__*;

// ---- Rectangles and points ----
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL IsRectEmpty(const RECT* r);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);  // FALSE and empty dst when disjoint
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* r, POINT p);
BOOL EqualRect(const RECT* a, const RECT* b);

// ---- Bitmaps ----
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

#pragma pack(push, 1)
struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};
struct BITMAPINFOHEADER {
  DWORD biSize = 40;
  LONG biWidth = 0;
  LONG biHeight = 0;  // positive: rows bottom-up; negative: top-down
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = BI_RGB;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The colour table (or the three masks of BI_BITFIELDS) follows the header in
// memory; allocate room for as many entries as the format needs.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
// A header with room for a full 256-entry table; convenient for callers.
struct BITMAPINFO256 {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 0;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;
};
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3] = {0, 0, 0};
  HANDLE dshSection = nullptr;
  DWORD dsOffset = 0;
};

// Bytes per row of a DIB: rounded up to a multiple of 4.
constexpr int DibStride(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// Bit counts 1, 4, 8 (palette from bmiColors, biClrUsed entries or all),
// 16 (BI_RGB = 5-5-5; BI_BITFIELDS 5-6-5 or 5-5-5 masks), 24, 32 (BI_RGB, or
// BI_BITFIELDS with the standard masks). Pixels start zeroed. Returns nullptr
// for any other layout, or a size over 32767 x 32767. Here section is not a file
// mapping: when not null, it is the address of caller-owned memory holding the
// pixels (from byte offset on), left as it is, which must outlive the bitmap.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// A 32-bit bottom-up DIB section (the only "device" format here).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// planes x bitCount of 1 gives a monochrome bitmap; otherwise a DIB of that depth. bits may be null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);  // of the DC's bitmap
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
BOOL GdiFlush();

// ---- Objects ----
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
constexpr int DC_BRUSH = 18;
constexpr int DC_PEN = 19;

HGDIOBJ GetStockObject(int index);  // never deleted
// BITMAP or DIBSECTION for bitmaps, LOGPEN, LOGBRUSH, LOGFONT. Returns bytes written (or needed when out is null).
int GetObject(HGDIOBJ obj, int size, void* out);
DWORD GetObjectType(HGDIOBJ obj);  // 0 for an invalid handle
// FALSE for stock objects, invalid handles and objects selected into a DC.
BOOL DeleteObject(HGDIOBJ obj);

// ---- Pens and brushes ----
constexpr UINT PS_SOLID = 0;
constexpr UINT PS_DASH = 1;
constexpr UINT PS_DOT = 2;
constexpr UINT PS_DASHDOT = 3;
constexpr UINT PS_DASHDOTDOT = 4;
constexpr UINT PS_NULL = 5;
constexpr UINT PS_INSIDEFRAME = 6;
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;

struct LOGPEN {
  UINT lopnStyle = PS_SOLID;
  POINT lopnWidth;
  COLORREF lopnColor = 0;
};
struct LOGBRUSH {
  UINT lbStyle = BS_SOLID;
  COLORREF lbColor = 0;
  uintptr_t lbHatch = 0;
};

// Styles other than PS_NULL draw solid; widths above 1 draw square-ended strokes.
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
// Hatched brushes fill solid in their colour.
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);

// ---- Fixed system colours (the classic scheme) ----
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
// Fixed values, so that drawing does not depend on a desktop theme. 0 for unknown indices.
COLORREF GetSysColor(int index);
// The system colours' override (a skin's colour scheme): when set, GetSysColor
// and GetSysColorBrush ask it first; it answers true with the colour and may
// give a brush (borrowed; else one is made and kept per colour). nullptr removes it.
using TSysColorOverride = bool (*)(int index, COLORREF* color, HBRUSH* brush);
void SetSysColorOverride(TSysColorOverride fn);
TSysColorOverride GetSysColorOverride();
// The system's own colour, whatever the override answers (0 for unknown indices).
COLORREF GetSystemOwnColor(int index);
// The pen colours' override beside it: when set, CreatePen passes the colour
// it is given through it (style and width unchanged). nullptr removes it.
using TPenColorOverride = COLORREF (*)(COLORREF color);
void SetPenColorOverride(TPenColorOverride fn);
TPenColorOverride GetPenColorOverride();

// ---- Regions (band lists) ----
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* r);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
// dst may be one of the sources. Returns the region type or ERROR.
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* box);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* r);
BOOL EqualRgn(HRGN a, HRGN b);
// The region's rectangles, top band first, left to right (at most max written). Returns the count.
int GetRegionRects(HRGN rgn, RECT* rects, int max);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);

// ---- Device contexts ----
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
constexpr int STRETCH_HALFTONE = HALFTONE;

// A memory DC with a 1 x 1 monochrome bitmap selected, as documented. dc is ignored.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);  // deselects everything; the selected objects survive

// For the window layer: a DC (OBJ_DC) over part of a window surface bitmap that
// several DCs may share. Device (0, 0) lies at origin of the surface; nothing is
// drawn outside visible (surface coordinates; null = the whole surface), whatever
// clip region the DC's user selects. The surface cannot be deleted while such DCs live.
HDC CreateSurfaceDC(HBITMAP surface, POINT origin, HRGN visible);
// Moves a surface DC (a window moved, or its visible part changed).
BOOL SetSurfaceDCVisible(HDC dc, POINT origin, HRGN visible);
BOOL GetDCOrgEx(HDC dc, POINT* origin);  // the surface position of device (0, 0)
// Returns the previously selected object of that kind, or nullptr on error.
// Selecting a region copies it into the clip region and returns its type. A bitmap
// may be selected into several DCs at once (window surfaces are drawn through many).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
int SaveDC(HDC dc);  // returns the saved level (1 based), 0 on failure
BOOL RestoreDC(HDC dc, int saved);  // negative: relative to the current level

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* org);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);

// Clip regions are in device units; IntersectClipRect/ExcludeClipRect in logical units.
int SelectClipRgn(HDC dc, HRGN rgn);  // null removes the clip region
int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT* r);  // logical units
// Whether any part of r (logical units) lies inside the DC's visible region.
BOOL RectVisible(HDC dc, const RECT* r);
int GetClipRgn(HDC dc, HRGN rgn);  // 1 with a copy, 0 when none, -1 on error
BOOL PtVisible(HDC dc, int x, int y);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);

// ---- Pixels, blits and blending ----
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

COLORREF GetPixel(HDC dc, int x, int y);  // CLR_INVALID outside the bitmap or clip
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);

// The raster operations above; others return FALSE. Source pixels outside the
// source bitmap are not copied (the destination is clipped to match).
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop);
// COLORONCOLOR (and the two mono modes): nearest pixel; HALFTONE: box filter when shrinking, bilinear
// when growing. A negative width or height mirrors, running back from the given pixel (included).
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop);
// Pixels equal to the transparent colour are skipped (nearest sampling when sizes differ).
BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, UINT transparent);

constexpr BYTE AC_SRC_OVER = 0;
constexpr BYTE AC_SRC_ALPHA = 1;
struct BLENDFUNCTION {
  BYTE BlendOp = AC_SRC_OVER;
  BYTE BlendFlags = 0;
  BYTE SourceConstantAlpha = 255;
  BYTE AlphaFormat = 0;
};
// Source over destination, all four channels:
//   s' = s * SourceConstantAlpha / 255
//   AC_SRC_ALPHA (premultiplied source): d = s' + d * (255 - s'.alpha) / 255
//   otherwise:                           d = s' + d * (255 - SourceConstantAlpha) / 255
// with each division rounded to nearest; sums above 255 are clamped. Different sizes stretch (nearest
// pixel). FALSE when the source rectangle leaves the source bitmap, or source and destination are one bitmap.
BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, BLENDFUNCTION blend);

// Gradients between vertices: colours are 16 bits per channel (the high byte counts); the alpha
// byte of 32-bit pixels takes the vertices' Alpha. Triangles paint the pixels whose centres lie on or
// inside them; GRADIENT_RECT_H and _V run from the upper-left to the lower-right vertex's colour.
using COLOR16 = WORD;
struct TRIVERTEX {
  LONG x = 0;
  LONG y = 0;
  COLOR16 Red = 0;
  COLOR16 Green = 0;
  COLOR16 Blue = 0;
  COLOR16 Alpha = 0;
};
struct GRADIENT_TRIANGLE {
  DWORD Vertex1 = 0;
  DWORD Vertex2 = 0;
  DWORD Vertex3 = 0;
};
struct GRADIENT_RECT {
  DWORD UpperLeft = 0;
  DWORD LowerRight = 0;
};
constexpr DWORD GRADIENT_FILL_RECT_H = 0;
constexpr DWORD GRADIENT_FILL_RECT_V = 1;
constexpr DWORD GRADIENT_FILL_TRIANGLE = 2;
// FALSE for an unknown mode or a mesh that names a missing vertex.
BOOL GradientFill(HDC dc, const TRIVERTEX* vertices, DWORD vertexCount, const void* mesh, DWORD meshCount, DWORD mode);

// Copies the source rectangle onto the parallelogram whose upper-left, upper-right and lower-left
// corners are points[0..2] (nearest source pixel for each destination pixel centre). Masks are not
// supported: mask must be null.
BOOL PlgBlt(HDC dst, const POINT* points, HDC src, int sx, int sy, int w, int h, HBITMAP mask, int maskX, int maskY);

// ---- Shapes ----
int FillRect(HDC dc, const RECT* r, HBRUSH brush);
int FrameRect(HDC dc, const RECT* r, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* r);
BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL GetCurrentPositionEx(HDC dc, POINT* pos);
BOOL LineTo(HDC dc, int x, int y);  // the end point is not drawn
BOOL Polyline(HDC dc, const POINT* points, int count);
// Shapes: the pen draws the outline inside the bounds, the brush fills the inside. Right and bottom excluded.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);

// ---- Fonts and text ----
constexpr int LF_FACESIZE = 32;
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE ANSI_CHARSET = 0;

struct LOGFONT {
  LONG lfHeight = 0;  // < 0: character (em) height in pixels; > 0: cell height; 0: default
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = DEFAULT_CHARSET;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};  // UTF-8, NUL-terminated
};

struct TEXTMETRIC {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 96;
  LONG tmDigitizedAspectY = 96;
  char32_t tmFirstChar = 0x20;
  char32_t tmLastChar = 0xFFFF;
  char32_t tmDefaultChar = 0x3F;
  char32_t tmBreakChar = 0x20;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = DEFAULT_CHARSET;
};

// The face is looked up through fontconfig; when it has no face of that family,
// DejaVu Sans is used, so that text measures the same on every machine.
HFONT CreateFontIndirect(const LOGFONT* font);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, const char* faceName);
// The family name of the file the font renders with (for diagnostics and tests).
bool GetFontFamilyName(HFONT font, char* name, int size);

// Text lengths are in bytes of UTF-8; -1 means NUL-terminated (DrawText only).
BOOL TextOut(HDC dc, int x, int y, const char* text, int length);
BOOL GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const char* text, int length, const int* dx);

constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

// Lines break at "\n" (and "\r\n") unless DT_SINGLELINE; DT_WORDBREAK breaks
// between words (a word wider than the rectangle stays whole, or is cut with
// DT_EDITCONTROL); DT_END_ELLIPSIS / DT_WORD_ELLIPSIS cut each line that is too
// wide and end it with "..."; "&" marks the next character as underlined unless
// DT_NOPREFIX ("&&" is one "&"). DT_CALCRECT only measures: right and bottom of
// r become the text's extent. Returns the text's height (0 on failure).
int DrawText(HDC dc, const char* text, int length, RECT* r, UINT format);
