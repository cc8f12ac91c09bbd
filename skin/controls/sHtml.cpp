// The HTML caption renderer: scanning, tags, fonts, references and wrapping.

#include "skin/controls/sHtml.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"

namespace {

struct ColorName {
  const char* Name;
  TColor Color;  // 0x00BBGGRR
};
const ColorName HtmlColorNames[] = {
    {"AQUA", 0xFFFF00},   {"BLACK", 0},         {"BLUE", 0xFF0000},  {"FUCHSIA", 0xFF00FF},
    {"GRAY", 0x808080},   {"GREEN", 0x8000},    {"LIME", 0xFF00},    {"MAROON", 0x80},
    {"NAVY", 0x800000},   {"OLIVE", 0x8080},    {"PURPLE", 0x800080}, {"RED", 0xFF},
    {"SILVER", 0xC0C0C0}, {"TEAL", 0x808000},   {"WHITE", 0xFFFFFF}, {"YELLOW", 0xFFFF},
};

struct SpecialChar {
  const char* Name;
  const char* Numeric;
  char16_t Char;
};
// Searched in this order, by name (with its case) or by numeric form.
const SpecialChar HtmlSpecialChars[] = {
    {"ndash", "#8211", 0x2013}, {"mdash", "#8212", 0x2014}, {"nbsp", "#160", 0xA0},     {"iexcl", "#161", 0xA1},
    {"iquest", "#191", 0xBF},   {"quot", "#34", 0x22},      {"ldquo", "#8220", 0x201C}, {"rdquo", "#8221", 0x201D},
    {"39", "39", 0x27},         {"lsquo", "#8216", 0x2018}, {"rsquo", "#8217", 0x2019}, {"laquo", "#171", 0xAB},
    {"raquo", "#187", 0xBB},    {"amp", "#38", 0x26},       {"cent", "#162", 0xA2},     {"copy", "#169", 0xA9},
    {"divide", "#247", 0xF7},   {"gt", "#62", 0x3E},        {"lt", "#60", 0x3C},        {"micro", "#181", 0xB5},
    {"middot", "#183", 0xB7},   {"para", "#182", 0xB6},     {"plusmn", "#177", 0xB1},   {"euro", "#8364", 0x20AC},
    {"pound", "#163", 0xA3},    {"reg", "#174", 0xAE},      {"sect", "#167", 0xA7},     {"trade", "#153", 0x2122},
    {"yen", "#165", 0xA5},      {"szlig", "#223", 0xDF},    {"yuml", "#255", 0xFF},     {"aacute", "#225", 0xE1},
    {"Aacute", "#193", 0xC1},   {"agrave", "#224", 0xE0},   {"Agrave", "#192", 0xC0},   {"acirc", "#226", 0xE2},
    {"Acirc", "#194", 0xC2},    {"aring", "#229", 0xE5},    {"Aring", "#197", 0xC5},    {"atilde", "#227", 0xE3},
    {"Atilde", "#195", 0xC3},   {"auml", "#228", 0xE4},     {"Auml", "#196", 0xC4},     {"aelig", "#230", 0xE6},
    {"AElig", "#198", 0xC6},    {"ccedil", "#231", 0xE7},   {"Ccedil", "#199", 0xC7},   {"eacute", "#233", 0xE9},
    {"Eacute", "#201", 0xC9},   {"egrave", "#232", 0xE8},   {"Egrave", "#200", 0xC8},   {"ecirc", "#234", 0xEA},
    {"Ecirc", "#202", 0xCA},    {"euml", "#235", 0xEB},     {"Euml", "#203", 0xCB},     {"iacute", "#237", 0xED},
    {"Iacute", "#205", 0xCD},   {"igrave", "#236", 0xEC},   {"Igrave", "#204", 0xCC},   {"icirc", "#238", 0xEE},
    {"Icirc", "#206", 0xCE},    {"iuml", "#239", 0xEF},     {"Iuml", "#207", 0xCF},     {"ntilde", "#241", 0xF1},
    {"Ntilde", "#209", 0xD1},   {"oacute", "#243", 0xF3},   {"Oacute", "#211", 0xD3},   {"ograve", "#242", 0xF2},
    {"Ograve", "#210", 0xD2},   {"ocirc", "#244", 0xF4},    {"Ocirc", "#212", 0xD4},    {"oslash", "#248", 0xF8},
    {"Oslash", "#216", 0xD8},   {"otilde", "#245", 0xF5},   {"Otilde", "#213", 0xD5},   {"ouml", "#246", 0xF6},
    {"Ouml", "#214", 0xD6},     {"uacute", "#250", 0xFA},   {"Uacute", "#218", 0xDA},   {"ugrave", "#249", 0xF9},
    {"Ugrave", "#217", 0xD9},   {"ucirc", "#251", 0xFB},    {"Ucirc", "#219", 0xDB},    {"uuml", "#252", 0xFC},
    {"Uuml", "#220", 0xDC},     {"#180", "#180", 0xB4},     {"#96", "#96", 0x60},
};

// A caption cannot ask for glyphs larger than any screen (nor for none at all).
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 400;
// How far behind an "&" a reference's ";" is looked for.
constexpr size_t kMaxReferenceLength = 255;
constexpr UINT kRunFlags = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;

bool IsTagBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

String UpperAscii(const String& s) {
  String r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

// The name at s[From...] equals N and ends there (at ">", or at a blank when attributes may follow).
bool NameAt(const String& s, size_t From, const String& N, bool AttributesAllowed) {
  if (s.compare(From, N.size(), N) != 0) return false;
  const size_t end = From + N.size();
  if (end >= s.size()) return false;
  return s[end] == '>' || (AttributesAllowed && IsTagBlank(s[end]));
}

// Hexadecimal RRGGBB as the platform's 0x00BBGGRR colour; 0 when not hexadecimal.
TColor HexColor(std::string_view v) {
  const int64_t rgb = HexToInt64(v) & 0xFFFFFF;
  return TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

}  // namespace

String ExtractTag(const String& S, int Pos) {
  if (Pos < 0 || size_t(Pos) >= S.size()) return String();
  const size_t gt = S.find('>', size_t(Pos));
  if (gt == String::npos) return String();
  return S.substr(size_t(Pos), gt - size_t(Pos) + 1);
}

bool IsOpenTag(const String& s, const String& N) {
  // Only FONT and A carry attributes; every other tag is exactly "<N>".
  return NameAt(s, 1, N, N == "FONT" || N == "A");
}

bool IsCloseTag(const String& s, const String& N) {
  return s.size() > 2 && s[1] == '/' && NameAt(s, 2, N, true);
}

void ApplyFontAttributes(TFont* Font, const String& s) {
  std::vector<std::string_view> words;
  const char* delims = "\n\r \"<=>";
  for (size_t i = 0; i < s.size();) {
    const size_t start = s.find_first_not_of(delims, i);
    if (start == String::npos) break;
    size_t end = s.find_first_of(delims, start);
    if (end == String::npos) end = s.size();
    words.emplace_back(s.data() + start, end - start);
    i = end;
  }
  for (size_t w = 0; w + 1 < words.size(); ++w) {
    const std::string_view name = words[w], value = words[w + 1];
    if (name == "SIZE") {
      int64_t size = 0;
      if (value[0] == '-' || value[0] == '+') {
        // A relative size that is not a number changes nothing.
        int step = 0;
        if (value.size() == 1 || !TryStrToInt(value.substr(1), step)) continue;
        size = value[0] == '-' ? int64_t(Font->Size()) - step : int64_t(Font->Size()) + step;
      } else if (int v = 0; TryStrToInt(value, v)) {
        size = v;
      } else {
        size = 8;
      }
      Font->SetSize(int(std::clamp<int64_t>(size, kMinFontSize, kMaxFontSize)));
    } else if (name == "COLOR") {
      if (value[0] == '#') {
        Font->SetColor(HexColor(value.substr(1)));
        continue;
      }
      for (const ColorName& c : HtmlColorNames)
        if (value == c.Name) {
          // A named colour ends the tag: what follows it is not read.
          Font->SetColor(c.Color);
          return;
        }
      Font->SetColor(HexColor(value));
    } else if (name == "FACE") {
      const size_t face = s.find("FACE");
      const size_t q1 = s.find('"', face);
      const size_t q2 = q1 == String::npos ? String::npos : s.find('"', q1 + 1);
      if (q2 != String::npos && q2 > q1 + 1) Font->SetName(s.substr(q1 + 1, q2 - q1 - 1));
    }
  }
}

String ExtractHref(const String& t) {
  const size_t href = UpperAscii(t).find("HREF");
  if (href == String::npos) return String();
  String r = t.substr(href + 4);
  const size_t eq = r.find('=');
  r = eq == String::npos ? String() : r.substr(eq + 1);
  r.erase(std::remove_if(r.begin(), r.end(), [](char c) { return c == '\'' || c == '"' || c == '>'; }), r.end());
  const size_t first = r.find_first_not_of(" \t\r\n");
  if (first == String::npos) return String();
  const size_t last = r.find_last_not_of(" \t\r\n");
  return r.substr(first, last - first + 1);
}

// ---- TsHtml ----

TsHtml::~TsHtml() { Bitmap = nullptr; }

void TsHtml::Init(TBitmap* Bmp, const String& Text, const TRect& aRect, int AHotLink, int APressedLink) {
  Bitmap = Bmp;
  Origin = Text;
  Area = aRect;
  UppedText = UpperAscii(Text);
  Len = int(UppedText.size());
  CurX = Area.Left;
  CurY = Area.Top;
  MaxBmpWidth = MaxBmpHeight = CurWidthValue = 0;
  HotLink = AHotLink;
  PressedLink = APressedLink;
}

TRect TsHtml::HTMLText(TacLinks& ALinks, bool CalcOnly) {
  Links.clear();
  FLinkClosed.clear();
  Calculating = CalcOnly;
  struct Finish {
    TsHtml& h;
    TacLinks& out;
    ~Finish() {
      h.Calculating = false;
      out = h.Links;
    }
  } finish{*this, ALinks};
  if (!Bitmap) return TRect();
  int i = 0, last = 0;
  auto flush = [&] {
    if (last < i) ShowCut(i, last);
  };
  while (i < Len) {
    const char c = UppedText[size_t(i)];
    if (c == '&') {
      flush();
      const String r = GetSpecialCharacter(Origin, i);
      if (!r.empty()) {
        i += int(r.size());
        last = i;
        continue;
      }
      // "&&" shows one "&"; a lone "&" shows as itself.
      last = (i + 1 < Len && UppedText[size_t(i) + 1] == '&') ? i + 1 : i;
      ++i;
    } else if (c == '<' && i + 1 < Len && UppedText[size_t(i) + 1] == '<') {
      flush();
      last = i + 1;
      i += 2;
    } else if (c == '<') {
      flush();
      last = i;
      const String tag = ExtractTag(UppedText, i);
      if (tag.empty()) {
        // Never closed: the "<" is dropped.
        ++i;
        last = i;
      } else if (ExecTag(tag, i)) {
        i += int(tag.size());
        last = i;
      } else {
        // Not ours: the "<" shows, the rest of the tag reads as text.
        ShowCut(i + 1, i);
        last = i + 1;
        i += 2;
      }
    } else {
      ++i;
    }
  }
  flush();
  MaxBmpWidth = std::max(MaxBmpWidth, CurWidthValue);
  CurWidthValue = 0;
  MaxBmpHeight = CurY + CurrentRowHeight;
  return TRect(0, 0, MaxBmpWidth, MaxBmpHeight);
}

bool TsHtml::ExecTag(const String& s, int CurPos) {
  TFont* font = Bitmap->Canvas()->Font();
  auto style = [font](TFontStyle st, bool on) {
    TFontStyles styles = font->Style();
    if (on) styles.Include(st);
    else styles.Exclude(st);
    font->SetStyle(styles);
  };
  if (s.size() > 1 && s[1] == '/') {
    if (IsCloseTag(s, "B")) style(fsBold, false);
    else if (IsCloseTag(s, "I")) style(fsItalic, false);
    else if (IsCloseTag(s, "U")) style(fsUnderline, false);
    else if (IsCloseTag(s, "FONT")) BackFont();
    else if (IsCloseTag(s, "A")) {
      if (Links.empty()) return true;
      TacLink& link = Links.back();
      if (!FLinkClosed.back()) link.URL = ExtractHref(link.URL);
      FLinkClosed.back() = true;
      link.Bounds.Right = CurX;
      link.Bounds.Bottom = link.Bounds.Top + CurrentRowHeight;
      BackFont();
    } else {
      return false;
    }
    return true;
  }
  if (IsOpenTag(s, "BR") || IsOpenTag(s, "BR/") || IsOpenTag(s, "P")) {
    CurX = Area.Left;
    if (CurrentRowHeight == 0) CurrentRowHeight = Bitmap->Canvas()->TextHeight("X");
    NewRow();
  } else if (IsOpenTag(s, "B")) {
    style(fsBold, true);
  } else if (IsOpenTag(s, "I")) {
    style(fsItalic, true);
  } else if (IsOpenTag(s, "U")) {
    style(fsUnderline, true);
  } else if (IsOpenTag(s, "FONT")) {
    NewFont(s, false, 0);
  } else if (IsOpenTag(s, "A")) {
    const int n = int(Links.size());
    NewFont(s, true, int(n == PressedLink) + int(n == HotLink));
    TacLink link;
    link.Bounds.Left = CurX;
    link.Bounds.Top = CurY;
    link.URL = CurPos < 0 ? s : Origin.substr(size_t(CurPos), s.size());
    Links.push_back(link);
    FLinkClosed.push_back(false);
  } else {
    return false;
  }
  return true;
}

void TsHtml::NewFont(const String& s, bool IsLink, int State) {
  TFont* font = Bitmap->Canvas()->Font();
  auto saved = std::make_unique<TFont>();
  saved->Assign(font);
  aFonts.push_back(std::move(saved));
  if (!IsLink) {
    ApplyFontAttributes(font, s);
    return;
  }
  if (SkinPalette) {
    const TacPaletteArray& p = *SkinPalette;
    font->SetColor(State == 0   ? p[pcWebText]
                   : State == 1 ? p[pcWebTextHot]
                                : MixColors(p[pcWebTextHot], p[pcLabelText], 127));
  } else {
    font->SetColor(State == 2 ? TColor(0x0000FF) : TColor(0xFF0000));
  }
  if (State > 0) {
    TFontStyles styles = font->Style();
    styles.Include(fsUnderline);
    font->SetStyle(styles);
  }
}

void TsHtml::BackFont() {
  if (aFonts.empty()) return;
  Bitmap->Canvas()->Font()->Assign(aFonts.back().get());
  aFonts.pop_back();
}

void TsHtml::NewRow() {
  CurY += CurrentRowHeight + 2;
  MaxBmpWidth = std::max(MaxBmpWidth, CurWidthValue);
  CurWidthValue = 0;
  CurrentRowHeight = 0;
}

void TsHtml::DrawRun(const String& t, int X, int Y, int W, int H, int RunHeight) {
  if (Calculating) return;
  TCanvas* canvas = Bitmap->Canvas();
  if (AlphaChannel)
    DrawTextToBitmap32(Bitmap, t, true, false, ColorToRGB(canvas->Font()->Color()), kRunFlags,
                       TRect(X, Y, X + W, Y + H));
  else
    // Runs of one row share their bottom.
    canvas->TextOut(X, Y + CurrentRowHeight - RunHeight, t);
}

void TsHtml::ShowCut(int inCurPos, int inLastPos) {
  String t;
  for (int k = inLastPos; k < inCurPos && k < Len; ++k) {
    const char c = Origin[size_t(k)];
    if (c != '\r' && c != '\n') t += c;
  }
  if (t.empty()) return;
  TCanvas* canvas = Bitmap->Canvas();
  canvas->Brush()->SetStyle(bsClear);
  const TSize size = canvas->TextExtent(t);
  CurrentRowHeight = std::max(CurrentRowHeight, int(size.cy));
  if (Area.Right > 0 && CurX + size.cx > Area.Right) {
    const int blank = canvas->TextWidth(" ");
    if (t[0] == ' ') CurX += blank;
    WrapWords(t, blank, size.cy);
    return;
  }
  DrawRun(t, CurX, CurY, size.cx, size.cy, size.cy);
  CurX += size.cx;
  CurWidthValue = std::max(CurWidthValue + int(size.cx), CurX);
}

void TsHtml::WrapWords(const String& t, int BlankWidth, int RunHeight) {
  TCanvas* canvas = Bitmap->Canvas();
  const int b = canvas->TextHeight("X");
  auto endRow = [&] {
    CurX = Area.Left;
    CurrentRowHeight = std::max(CurrentRowHeight, b);
    CurY += CurrentRowHeight;
  };
  size_t pos = 0;
  while ((pos = t.find_first_not_of(' ', pos)) != String::npos) {
    size_t end = t.find(' ', pos);
    if (end == String::npos) end = t.size();
    const String word = t.substr(pos, end - pos);
    const int a = canvas->TextWidth(word);
    if (a > Area.Right - Area.Left) {
      // Wider than the area: alone on its row.
      if (CurX > Area.Left) endRow();
      DrawRun(word, Area.Left, CurY, a, b, RunHeight);
      endRow();
      CurWidthValue = std::max(CurWidthValue, a);
    } else if (CurX + a > Area.Right) {
      endRow();
      continue;  // the same word again, at the start of the new row
    } else {
      DrawRun(word, CurX, CurY, a, b, RunHeight);
      CurX += a + BlankWidth;
      CurWidthValue = std::max(CurWidthValue, CurX);
      CurrentRowHeight = std::max(CurrentRowHeight, b);
    }
    pos = end;
  }
}

String TsHtml::GetSpecialCharacter(const String& inString, int inPos) {
  const String r = inString.substr(size_t(inPos) + 1, kMaxReferenceLength);
  const size_t semi = r.find(';');
  if (semi == String::npos) return String();
  const size_t blank = r.find(' ');
  if (blank != String::npos && blank < semi) return String();
  const String name = r.substr(0, semi);
  const SpecialChar* found = nullptr;
  for (const SpecialChar& row : HtmlSpecialChars)
    if (name == row.Name || name == row.Numeric) {
      found = &row;
      break;
    }
  if (!found) return String();
  const String c = UTF16ToUTF8(std::u16string(1, found->Char));
  TCanvas* canvas = Bitmap->Canvas();
  const int w = canvas->TextWidth(c);
  const int h = canvas->TextHeight("X");
  if (Area.Right > 0 && CurX + w > Area.Right) {
    CurX = Area.Left;
    NewRow();
  }
  if (!Calculating) {
    if (AlphaChannel)
      DrawTextToBitmap32(Bitmap, c, true, false, ColorToRGB(canvas->Font()->Color()), kRunFlags,
                         TRect(CurX, CurY, CurX + w, CurY + h));
    else
      canvas->TextOut(CurX, CurY, c);
  }
  CurX += w;
  CurWidthValue = CurX;
  CurrentRowHeight = std::max(CurrentRowHeight, h);
  return "&" + name + ";";
}
