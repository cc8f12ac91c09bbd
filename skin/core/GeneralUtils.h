#pragma once
// Small helpers every skin unit calls: geometry and values, word splitting,
// ini text in memory, and a few drawing helpers.

#include <bitset>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "platform/vcl/Types.h"
#include "skin/core/acntTypes.h"

// Right and Bottom come first, as callers build a size-only rectangle with MakeRect(W, H, 0, 0).
constexpr TRect MakeRect(int Right, int Bottom, int Left, int Top) { return TRect(Left, Top, Right, Bottom); }
constexpr int RectWidthEx(const TRect& R, bool NoNegative) {
  const int w = R.Right - R.Left;
  return NoNegative && w < 0 ? 0 : w;
}
constexpr int RectHeightEx(const TRect& R, bool NoNegative) {
  const int h = R.Bottom - R.Top;
  return NoNegative && h < 0 ? 0 : h;
}
// A ready cache record over Bmp with the child's origin at (X, Y).
void MakeCacheInfo(TBitmap* Bmp, int X, int Y, TCacheInfo& CI);
// A ready cache record of Bmp over itself: key pixels painted into Bmp keep what Bmp shows there.
inline TCacheInfo SelfCacheInfo(TBitmap* Bmp) {
  TCacheInfo ci;
  MakeCacheInfo(Bmp, 0, 0, ci);
  return ci;
}

// ---- Geometry and values ----
inline TRect BitmapRect(const TBitmap* Bmp) { return TRect(0, 0, Bmp->Width(), Bmp->Height()); }
inline TRect SizeToRect(const TSize& Size) { return TRect(0, 0, Size.cx, Size.cy); }
inline TSize BitmapSize(const TBitmap* Bmp) { return TSize{Bmp->Width(), Bmp->Height()}; }
// Negative sizes count as 0.
constexpr TSize RectSize(const TRect& R) { return TSize{RectWidthEx(R, true), RectHeightEx(R, true)}; }
constexpr TRect OffsetRectCopy(const TRect& Src, int DX, int DY) {
  return TRect(Src.Left + DX, Src.Top + DY, Src.Right + DX, Src.Bottom + DY);
}
// No emptiness check: the result may be inverted.
constexpr TRect RectsIntersection(const TRect& A, const TRect& B) {
  return TRect(A.Left > B.Left ? A.Left : B.Left, A.Top > B.Top ? A.Top : B.Top,
               A.Right < B.Right ? A.Right : B.Right, A.Bottom < B.Bottom ? A.Bottom : B.Bottom);
}
// False when R is empty or lies wholly outside Outer (touching edges count as outside).
bool RectOverlaps(const TRect& Outer, const TRect& R);
// R's top-left and bottom-right (Both) or either of them inside Outer widened by one to the right and bottom.
bool RectCornersInside(const TRect& Outer, const TRect& R, bool Both);
constexpr int LimitInt(int V, int Lo, int Hi) { return V < Lo ? Lo : (V > Hi ? Hi : V); }
constexpr int IntMax(int A, int B) { return A > B ? A : B; }
constexpr int IntMin(int A, int B) { return A < B ? A : B; }
inline void SwapIntValues(int& A, int& B) { std::swap(A, B); }
constexpr int IfThenInt(bool Flag, int A, int B) { return Flag ? A : B; }
inline String IfThenStr(bool Flag, const String& A, const String& B) { return Flag ? A : B; }
constexpr TPoint SetPoint(int X, int Y) { return TPoint(X, Y); }
constexpr TSize MakeSize(int cx, int cy) { return TSize{cx, cy}; }
// Every edge moved by D (the rectangle moved by (D, D)).
constexpr TRect OffsetRectBoth(const TRect& Src, int D) { return OffsetRectCopy(Src, D, D); }
class TControl;
TRect ControlSizeRect(const TControl* Control);
TPoint ControlTopLeft(const TControl* Control);
// A <= V <= B; with AnyOrder the bounds may come in either order.
constexpr bool IsBetween(int V, int A, int B, bool AnyOrder) {
  if (AnyOrder && A > B) std::swap(A, B);
  return A <= V && V <= B;
}
constexpr bool IndexInRange(int Index, int Count, int Low = 0) { return Low <= Index && Index < Count; }

// ---- Text ----
// A set of byte values; a character belongs to it only when its code is below 256.
using TacCharSet = std::bitset<256>;
TacCharSet CharSet(std::string_view Chars);
// Words are maximal runs of characters not in Delims (UTF-8 text; multi-byte characters are never delimiters).
int WordCountBySet(std::string_view S, const TacCharSet& Delims);
// 1-based byte position of word N (1-based), 0 when there is none.
int WordStartPos(int N, std::string_view S, const TacCharSet& Delims);
String ExtractWordN(int N, std::string_view S, const TacCharSet& Delims);
String RemoveChar(std::string_view S, char Ch);
// A character code below 256 that belongs to Set.
inline bool WideCharInByteSet(char32_t Ch, const TacCharSet& Set) { return Ch < 256 && Set.test(size_t(Ch)); }
// Appends to Result the text S with every occurrence of Old (exact case) replaced by New.
void ReplaceAllStr(std::string_view S, std::string_view Old, std::string_view New, String& Result);
// Hexadecimal digits with an optional trailing "H"; any other character gives 0.
int64_t HexToInt64(std::string_view S);
// A folder name with its trailing delimiter ("\" as the skin files write it; a trailing "/" is kept as "\");
// a one-letter name is a drive.
String NormalizeDirName(std::string_view S);

// ---- Ini text in memory ----
// Sections in order: name (as written between the brackets) and its lines.
struct TacIniSection {
  String Name;
  std::vector<String> Lines;
};
using TacIniSections = std::vector<TacIniSection>;
// Lines beginning with ';' and empty lines are skipped; lines before the first section are dropped.
void ParseIniSections(const std::vector<String>& Lines, TacIniSections& Sections);
// The value of the first line whose name (before '=') is Key, in the first section named Section; Default otherwise.
String ReadIniSectionString(const TacIniSections& Sections, const String& Section, const String& Default,
                            const String& Key);
// The same as an integer ("0x" read as hexadecimal); Default when it is no number.
int ReadIniSectionInteger(const TacIniSections& Sections, const String& Section, int Default, const String& Key);

// ---- Drawing ----
bool FontsEqual(TFont* A, TFont* B);
// Count nested rings, top-left edges in Color (through ColorToRGB), bottom-right in Color2;
// Rect shrinks by one per ring and Count ends at 0.
void DrawTickMark(HDC DC, TRect& Rect, TColor Color, int& Count, TColor Color2);
// Alternating pixels of the two colours along the edges (0x1FFFFFFF: that colour not drawn).
void DrawDottedFocusRect(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2);

// ---- Properties by name (the class's published properties; unknown names do nothing) ----
bool HasProperty(TObject* Obj, const String& Name);
// A class, strings, collection or picture property's object, or the component it refers to; nullptr.
TObject* GetObjectPropByName(TObject* Obj, const String& Name);
// -1 when there is no such ordinal property.
int64_t GetOrdPropByName(TObject* Obj, const String& Name);
void SetOrdPropByName(TObject* Obj, const String& Name, int64_t Value);
// Whether the set-typed property Name holds the element named Element.
bool SetPropHasElement(TObject* Obj, const String& Name, const String& Element);
// Adds (Include) or removes the element named Element; nothing for an unknown property or element.
void ChangeSetPropByName(TObject* Obj, const String& Name, const String& Element, bool Include);

// ---- System ----
// The folder of the program file, with its trailing delimiter.
String AppDir();
// Current systems only: always true; no 32-bit process runs on a 64-bit system here.
constexpr bool IsXPOrLater() { return true; }
constexpr bool IsWow64() { return false; }
// lfHeight of the caption font; 0 when it cannot be read.
int GetCaptionFontHeight();
// A new font of the caption's (the caller deletes it); 0 when it cannot be read.
HFONT CreateCaptionFont();
// Whether windows animate when they are minimised and restored; switched for the session only.
bool WindowAnimationEnabled();
void SetWindowAnimation(bool On);
// True while a debugger traces the process (also when that cannot be told).
bool DebuggerAttached();
// Modal boxes with an OK button, owned by the active window.
void ShowWarningBox(const String& Text);
void WarningMessage(const String& Text);
void ShowErrorBox(const String& Text);
// Busy until Delay milliseconds of the tick count have passed since Start (right across a wrap of the count);
// under the headless backend's virtual clock the wait moves the clock on instead.
void WaitTicks(DWORD Start, DWORD Delay);
// Serves the application's messages until Ms milliseconds have passed.
void WaitProcessingMessages(DWORD Ms);
// A folder named Name exists. Errors other than a missing name count as existing; a link
// must lead to a folder (FollowLink), or without FollowLink counts unless it leads to something else.
bool DirectoryExistsEx(const String& Name, bool FollowLink);
// Size of Text in Font on a screen DC: wrapped into Width by the text layout (Flags), or on one line.
bool MeasureTextWithFont(HFONT Font, const String& Text, UINT Flags, TSize& Size, int Width, bool Wrap);

// Places a glyph and a caption in a button's client rectangle. Layout: 0
// glyph left, 1 right, 2 top, 3 bottom (Flags bit value 2, right-to-left,
// exchanges left and right); HAlign 0 left, 1 right, 2 centre; VAlign 0 top,
// 1 bottom, 2 centre; Margin -1 and a negative Spacing are automatic.
void CalcGlyphCaptionLayout(const TRect& ClientRect, const TSize& GlyphSize, const TSize& TextSize, int VAlign,
                            int Flags, TRect& TextRect, TPoint& GlyphPos, int Spacing, int Margin, int HAlign,
                            int Layout);
