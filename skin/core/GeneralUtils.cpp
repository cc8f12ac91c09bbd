#include "skin/core/GeneralUtils.h"

#include <algorithm>
#include <cctype>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Controls.h"

void MakeCacheInfo(TBitmap* Bmp, int X, int Y, TCacheInfo& CI) {
  CI.Bmp = Bmp;
  CI.X = X;
  CI.Y = Y;
  CI.FillColor = clFuchsia;
  CI.FillRect = TRect();
  CI.Ready = true;
}

bool RectOverlaps(const TRect& Outer, const TRect& R) {
  if (R.Right <= R.Left || R.Bottom <= R.Top) return false;
  return !(R.Right <= Outer.Left || R.Left >= Outer.Right || R.Bottom <= Outer.Top || R.Top >= Outer.Bottom);
}

bool RectCornersInside(const TRect& Outer, const TRect& R, bool Both) {
  auto inside = [&](int x, int y) { return x >= Outer.Left && x <= Outer.Right && y >= Outer.Top && y <= Outer.Bottom; };
  const bool a = inside(R.Left, R.Top), b = inside(R.Right, R.Bottom);
  return Both ? a && b : a || b;
}

TacCharSet CharSet(std::string_view Chars) {
  TacCharSet s;
  for (char c : Chars) s.set(uint8_t(c));
  return s;
}

namespace {

bool IsDelim(char c, const TacCharSet& Delims) { return uint8_t(c) < 0x80 && Delims.test(uint8_t(c)); }

// Calls Fn(start, length) for each word, stopping when it answers true.
template <class Fn>
void ForEachWord(std::string_view S, const TacCharSet& Delims, Fn&& fn) {
  size_t i = 0;
  while (i < S.size()) {
    while (i < S.size() && IsDelim(S[i], Delims)) ++i;
    if (i >= S.size()) return;
    const size_t start = i;
    while (i < S.size() && !IsDelim(S[i], Delims)) ++i;
    if (fn(start, i - start)) return;
  }
}

}  // namespace

int WordCountBySet(std::string_view S, const TacCharSet& Delims) {
  int n = 0;
  ForEachWord(S, Delims, [&](size_t, size_t) { return ++n, false; });
  return n;
}

int WordStartPos(int N, std::string_view S, const TacCharSet& Delims) {
  int n = 0, pos = 0;
  ForEachWord(S, Delims, [&](size_t start, size_t) {
    if (++n != N) return false;
    pos = int(start) + 1;
    return true;
  });
  return pos;
}

String ExtractWordN(int N, std::string_view S, const TacCharSet& Delims) {
  int n = 0;
  String word;
  ForEachWord(S, Delims, [&](size_t start, size_t length) {
    if (++n != N) return false;
    word = String(S.substr(start, length));
    return true;
  });
  return word;
}

String RemoveChar(std::string_view S, char Ch) {
  String r;
  for (char c : S)
    if (c != Ch) r += c;
  return r;
}

int64_t HexToInt64(std::string_view S) {
  if (!S.empty() && (S.back() == 'H' || S.back() == 'h')) S.remove_suffix(1);
  uint64_t v = 0;
  for (char c : S) {
    const char u = char(std::toupper(uint8_t(c)));
    int d;
    if (u >= '0' && u <= '9')
      d = u - '0';
    else if (u >= 'A' && u <= 'F')
      d = u - 'A' + 10;
    else
      return 0;
    v = v << 4 | uint64_t(d);
  }
  return int64_t(v);
}

String NormalizeDirName(std::string_view S) {
  String r(S);
  if (r.empty() || r.back() == '\\') return r;
  if (r.back() == '/') {
    r.back() = '\\';
    return r;
  }
  return r + (r.size() == 1 ? ":\\" : "\\");
}

void ParseIniSections(const std::vector<String>& Lines, TacIniSections& Sections) {
  Sections.clear();
  for (const String& line : Lines) {
    if (line.empty() || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
      Sections.push_back({line.substr(1, line.size() - 2), {}});
    else if (!Sections.empty())
      Sections.back().Lines.push_back(line);
  }
}

String ReadIniSectionString(const TacIniSections& Sections, const String& Section, const String& Default,
                            const String& Key) {
  for (const TacIniSection& s : Sections) {
    if (s.Name != Section) continue;
    for (const String& line : s.Lines) {
      const size_t eq = line.find('=');
      if (eq != String::npos && SameText(line.substr(0, eq), Key)) return line.substr(eq + 1);
    }
    break;
  }
  return Default;
}

int ReadIniSectionInteger(const TacIniSections& Sections, const String& Section, int Default, const String& Key) {
  String text = ReadIniSectionString(Sections, Section, String(), Key);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = "$" + text.substr(2);
  return StrToIntDef(text, Default);
}

bool FontsEqual(TFont* A, TFont* B) {
  return A && B && A->Style() == B->Style() && A->Size() == B->Size() && A->Color() == B->Color() &&
         A->Name() == B->Name();
}

void DrawTickMark(HDC DC, TRect& Rect, TColor Color, int& Count, TColor Color2) {
  HPEN light = CreatePen(PS_SOLID, 1, ColorToRGB(Color)), dark = CreatePen(PS_SOLID, 1, COLORREF(Color2));
  HGDIOBJ oldPen = SelectObject(DC, light), oldBrush = SelectObject(DC, GetStockObject(NULL_BRUSH));
  --Rect.Right;
  --Rect.Bottom;
  while (Count > 0) {
    --Count;
    SelectObject(DC, light);
    const POINT a[3] = {{Rect.Left, Rect.Bottom}, {Rect.Left, Rect.Top}, {Rect.Right, Rect.Top}};
    Polyline(DC, a, 3);
    SelectObject(DC, dark);
    const POINT b[3] = {{Rect.Right, Rect.Top}, {Rect.Right, Rect.Bottom}, {Rect.Left - 1, Rect.Bottom}};
    Polyline(DC, b, 3);
    Rect = TRect(Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1);
  }
  ++Rect.Right;
  ++Rect.Bottom;
  SelectObject(DC, oldPen);
  SelectObject(DC, oldBrush);
  DeleteObject(light);
  DeleteObject(dark);
}

void DrawDottedFocusRect(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2) {
  if (!Canvas) return;
  const int w = Rect.Width() / 2, h = Rect.Height() / 2, right = Rect.Right - 1, bottom = Rect.Bottom - 1;
  auto put = [&](int x, int y, TColor c) {
    if (c != 0x1FFFFFFF) Canvas->SetPixels(x, y, c);
  };
  for (int k = 1; k <= w; ++k) {
    put(Rect.Left + 2 * k, Rect.Top, Color2);
    put(Rect.Left + 2 * k, bottom, Color2);
    put(Rect.Left + 2 * k - 1, Rect.Top, Color1);
    put(Rect.Left + 2 * k - 1, bottom, Color1);
  }
  for (int k = 1; k <= h; ++k) {
    put(Rect.Left, Rect.Top + 2 * k, Color2);
    put(right, Rect.Top + 2 * k, Color2);
    put(Rect.Left, Rect.Top + 2 * k - 1, Color1);
    put(right, Rect.Top + 2 * k - 1, Color1);
  }
}

void CalcGlyphCaptionLayout(const TRect& ClientRect, const TSize& GlyphSize, const TSize& TextSize, int VAlign,
                            int Flags, TRect& TextRect, TPoint& GlyphPos, int Spacing, int Margin, int HAlign,
                            int Layout) {
  const int W = ClientRect.Width(), H = ClientRect.Height();
  if ((Flags & 2) && (Layout == 0 || Layout == 1)) Layout = 1 - Layout;
  const bool horizontal = Layout == 0 || Layout == 1;
  const int gw = GlyphSize.cx, gh = GlyphSize.cy, tw = TextSize.cx, th = TextSize.cy;
  int tx = 0, ty = 0;
  GlyphPos = TPoint(0, 0);
  if (horizontal) {
    GlyphPos.Y = (H - gh + 1) / 2;
    ty = (H + 1 - th) / 2;
  } else {
    GlyphPos.X = (W - gw + 1) / 2;
    tx = (W + 1 - tw) / 2;
  }
  if (gw == 0 || tw == 0) Spacing = 0;
  // Sizes along the layout's axis.
  const int client = horizontal ? W : H, glyph = horizontal ? gw : gh, text = horizontal ? tw : th;
  int M;
  if (Margin == -1 && Spacing < 0) {
    M = Spacing = (client - glyph - text) / 3;
  } else if (Margin == -1) {
    if (VAlign == 0 || VAlign == 1)
      M = 2;
    else if (VAlign == 2)
      M = HAlign == 2 ? (client - (Spacing + glyph + text) + 1) / 2 : 2;
    else
      M = -1;
  } else {
    if (Spacing < 0) Spacing = ((client - Margin - glyph) - text) / 2;
    M = Margin;
  }
  const int block = glyph + Spacing + text;
  const int centred = std::max(M, (client - block + 1) / 2);
  if (Layout == 0) {
    const int start = HAlign == 1 ? W - M - block : (HAlign == 2 ? centred : M);
    GlyphPos.X = start;
    tx = start + gw + Spacing;
  } else if (Layout == 1) {
    const int start = HAlign == 1 ? W - M - block : (HAlign == 2 ? centred : M);
    tx = start;
    GlyphPos.X = start + tw + Spacing;
  } else {
    const int start = (H - block + 1) / 2;
    GlyphPos.Y = Layout == 2 ? start : start + th + Spacing;
    ty = Layout == 2 ? start + gh + Spacing : start;
  }
  GlyphPos.X += ClientRect.Left;
  GlyphPos.Y += ClientRect.Top;
  tx += ClientRect.Left;
  ty += ClientRect.Top;
  if (VAlign == 0 || VAlign == 1) {
    const int m = std::max(0, Margin);
    if (horizontal) {
      GlyphPos.Y = VAlign == 0 ? ClientRect.Top + m : ClientRect.Bottom - m - gh;
      ty = VAlign == 0 ? ClientRect.Top + m : ClientRect.Bottom - m - th;
    } else {
      const int top = std::min(GlyphPos.Y, ty), bottom = std::max(GlyphPos.Y + gh, ty + th);
      const int shift = VAlign == 0 ? ClientRect.Top + m - top : ClientRect.Bottom - m - bottom;
      GlyphPos.Y += shift;
      ty += shift;
    }
  }
  TextRect = TRect(tx, ty, tx + tw, ty + th);
}

TRect ControlSizeRect(const TControl* Control) { return TRect(0, 0, Control->Width(), Control->Height()); }
TPoint ControlTopLeft(const TControl* Control) { return TPoint(Control->Left(), Control->Top()); }

void ReplaceAllStr(std::string_view S, std::string_view Old, std::string_view New, String& Result) {
  if (Old.empty()) {
    Result += S;
    return;
  }
  size_t from = 0;
  for (size_t at = S.find(Old); at != std::string_view::npos; at = S.find(Old, from)) {
    Result += S.substr(from, at - from);
    Result += New;
    from = at + Old.size();
  }
  Result += S.substr(from);
}
