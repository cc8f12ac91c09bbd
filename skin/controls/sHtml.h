#pragma once
// Captions written in a small subset of HTML, laid out and drawn into a
// bitmap: <B>, <I>, <U>, <FONT SIZE= COLOR= FACE=>, <BR>, <P>, <A HREF=>
// and character references such as &amp; or &#8211;. A calculation pass
// measures without drawing and records where every link lies, so that the
// caller can hit-test the mouse and then draw in a second pass.
//
// Nothing in a caption makes a pass fail: unknown tags and references show
// as text, a "<" that is never closed is dropped, a malformed attribute
// value changes nothing.

#include <memory>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "skin/core/sSkinRecords.h"

struct TacLink {
  TRect Bounds;  // in bitmap coordinates
  String URL;
};
// In the order in which the links' opening tags occur.
using TacLinks = std::vector<TacLink>;

class TsHtml {
 public:
  TsHtml() = default;
  ~TsHtml();
  TsHtml(const TsHtml&) = delete;
  TsHtml& operator=(const TsHtml&) = delete;

  // Prepares a pass over Text into Bmp (not owned; the caller sets its canvas
  // font and colour first). aRect.Right <= 0 switches wrapping off. The canvas
  // font, the saved fonts and the row height carry over from earlier passes.
  void Init(TBitmap* Bmp, const String& Text, const TRect& aRect, int AHotLink, int APressedLink);
  // Lays the caption out once (drawing unless CalcOnly); ALinks becomes the
  // links of this pass. Returns (0, 0, widest right, bottom).
  TRect HTMLText(TacLinks& ALinks, bool CalcOnly);

  bool Calculating = false;
  String Origin;
  String UppedText;  // Origin with ASCII letters upper-cased: byte positions stay the same
  int Len = 0;
  int CurX = 0;  // pen: left edge and top of the current row
  int CurY = 0;
  int HotLink = 0;
  int WrapWidth = 0;
  int PressedLink = 0;
  int MaxBmpWidth = 0;
  int MaxBmpHeight = 0;
  int CurWidthValue = 0;     // right edge reached on the current row
  int CurrentRowHeight = 0;  // 0 for an empty row
  TRect Area;
  TacLinks Links;
  TBitmap* Bitmap = nullptr;
  bool AlphaChannel = false;  // a 32-bit target whose alpha the text must keep
  std::vector<std::unique_ptr<TFont>> aFonts;  // one per open FONT or A tag
  // The active skin's palette, which gives link colours; nullptr: plain blue and red.
  const TacPaletteArray* SkinPalette = nullptr;

 private:
  // s: the upper-cased tag with its brackets; CurPos: where it starts in
  // Origin (negative: s is all there is). False when the tag is not one of ours.
  bool ExecTag(const String& s, int CurPos);
  void NewFont(const String& s, bool IsLink, int State);
  void BackFont();
  void NewRow();
  // Shows Origin's bytes [inLastPos, inCurPos) without line breaks.
  void ShowCut(int inCurPos, int inLastPos);
  void WrapWords(const String& t, int BlankWidth, int RunHeight);
  void DrawRun(const String& t, int X, int Y, int W, int H, int RunHeight);
  // The reference that starts at inPos ("&name;") drawn; empty when unknown.
  String GetSpecialCharacter(const String& inString, int inPos);
  std::vector<bool> FLinkClosed;
};

// The text from the "<" at Pos through the next ">", or empty when no ">" follows.
String ExtractTag(const String& S, int Pos);
// Whether the upper-cased tag s opens (closes) the tag named N. Names must
// match exactly: "<TABLE>" opens no A and "</ABBR>" closes none.
bool IsOpenTag(const String& s, const String& N);
bool IsCloseTag(const String& s, const String& N);
// The SIZE, COLOR and FACE attributes of a FONT tag applied to Font; a value
// that cannot be read changes nothing.
void ApplyFontAttributes(TFont* Font, const String& s);
// The link target of an A tag's text (quotes and brackets removed), empty without HREF.
String ExtractHref(const String& t);
