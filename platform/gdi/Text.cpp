// Fonts through fontconfig and FreeType, text output and measuring, DrawText layout.
//
// Glyphs are rendered with FreeType's normal hinting and 8-bit coverage, at
// whole-pixel advances without kerning, so a string's width is the sum of its glyphs' advances.
// One lock guards FreeType, the face cache and the glyph caches.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "platform/gdi/GdiInternal.h"

namespace gdi {

struct Glyph {
  int advance = 0;
  int left = 0;  // bitmap offset from the pen position
  int top = 0;   // rows above the baseline
  int width = 0;
  int rows = 0;
  std::vector<uint8_t> coverage;
};

struct FontFace {
  FT_Face face = nullptr;
  std::string family;
  bool emboldenSynthetic = false;
  bool obliqueSynthetic = false;
  int em = 0;
  TEXTMETRIC tm;
  int underlinePos = 1;  // rows below the baseline
  int underlineThickness = 1;
  int strikePos = 0;  // rows above the baseline
  std::unordered_map<char32_t, Glyph> glyphs;

  ~FontFace() {
    if (face) FT_Done_Face(face);
  }
  const Glyph& Get(char32_t c);
};

}  // namespace gdi

using namespace gdi;

namespace {

constexpr int kDefaultEm = 12;        // lfHeight 0
constexpr int kMaxEm = 2048;          // larger requests are clamped
const char kFallbackFamily[] = "DejaVu Sans";

// Faces that window definitions name but Debian does not ship, and the free faces
// drawn in their place: narrow sans faces whose advances are close enough that
// text laid out for the named face fits the same controls.
struct StandIn {
  const char* named;
  const char* face;
};
constexpr StandIn kStandIns[] = {{"Tahoma", "Liberation Sans"}, {"MS Sans Serif", "Liberation Sans"}};

std::mutex& TextLock() {
  static std::mutex m;
  return m;
}

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    // Fontconfig keeps caches until told to let go; free them at exit so leak checks stay clean.
    std::atexit([] { FcFini(); });
    return l;
  }();
  return lib;
}

struct Match {
  std::string file;
  int index = 0;
  std::string family;
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
};

bool FindFace(const char* family, int weight, bool italic, Match& out) {
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : FW_NORMAL));
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern* m = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!m) return false;
  FcChar8* file = nullptr;
  FcChar8* fam = nullptr;
  bool ok = FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch &&
            FcPatternGetString(m, FC_FAMILY, 0, &fam) == FcResultMatch;
  if (ok) {
    out.file = reinterpret_cast<const char*>(file);
    out.family = reinterpret_cast<const char*>(fam);
    if (FcPatternGetInteger(m, FC_INDEX, 0, &out.index) != FcResultMatch) out.index = 0;
    if (FcPatternGetInteger(m, FC_WEIGHT, 0, &out.weight) != FcResultMatch) out.weight = FC_WEIGHT_REGULAR;
    if (FcPatternGetInteger(m, FC_SLANT, 0, &out.slant) != FcResultMatch) out.slant = FC_SLANT_ROMAN;
  }
  FcPatternDestroy(m);
  return ok;
}

// FindFace remembered by the name, weight and slant asked for: matching is
// by far the dearest step of making a font, and programs make the same
// fonts over and over. Caller holds TextLock.
bool FindFaceOnce(const std::string& family, int weight, bool italic, Match& out) {
  static std::map<std::tuple<std::string, int, bool>, std::optional<Match>> found;
  const auto key = std::make_tuple(family, weight, italic);
  auto it = found.find(key);
  if (it == found.end()) {
    Match m;
    const bool ok = FindFace(family.c_str(), weight, italic, m);
    it = found.emplace(key, ok ? std::optional<Match>(m) : std::nullopt).first;
  }
  if (!it->second) return false;
  out = *it->second;
  return true;
}

bool SameFamily(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

int Round26(FT_Pos v) { return int((v + 32) >> 6); }

std::shared_ptr<FontFace> OpenFace(const LOGFONT& lf) {
  // Faces by file, size and synthesis, shared by every font handle that asks for the same.
  static std::map<std::tuple<std::string, int, int, bool, bool>, std::weak_ptr<FontFace>> cache;
  FT_Library lib = Library();
  if (!lib) return nullptr;
  const bool italic = lf.lfItalic != 0;
  const int weight = lf.lfWeight > 0 ? int(lf.lfWeight) : FW_NORMAL;
  std::string requested(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
  if (requested.empty()) requested = kFallbackFamily;
  for (const StandIn& s : kStandIns)
    if (SameFamily(requested, s.named)) requested = s.face;
  Match m;
  bool found = FindFaceOnce(requested, weight, italic, m);
  // Anything fontconfig substitutes for a missing family would measure differently per machine.
  if (!found || !SameFamily(m.family, requested)) found = FindFaceOnce(kFallbackFamily, weight, italic, m);
  if (!found) return nullptr;
  const bool wantBold = weight >= FW_SEMIBOLD, haveBold = m.weight >= FC_WEIGHT_DEMIBOLD;
  const bool wantItalic = italic, haveItalic = m.slant != FC_SLANT_ROMAN;
  // A face already open at a character height is shared without opening the file again.
  if (lf.lfHeight <= 0) {
    const int em = std::clamp(lf.lfHeight < 0 ? int(-lf.lfHeight) : kDefaultEm, 1, kMaxEm);
    if (auto cached = cache[std::make_tuple(m.file, m.index, em, wantBold && !haveBold, wantItalic && !haveItalic)].lock())
      return cached;
  }

  FT_Face face = nullptr;
  if (FT_New_Face(lib, m.file.c_str(), m.index, &face) != 0) return nullptr;
  int em;
  if (lf.lfHeight < 0) {
    em = -lf.lfHeight;
  } else if (lf.lfHeight > 0) {
    // Cell height: ascent plus descent of the face.
    const int cell = face->ascender - face->descender;
    em = cell > 0 ? int((int64_t(lf.lfHeight) * face->units_per_EM + cell / 2) / cell) : lf.lfHeight;
  } else {
    em = kDefaultEm;
  }
  em = std::clamp(em, 1, kMaxEm);
  const auto key = std::make_tuple(m.file, m.index, em, wantBold && !haveBold, wantItalic && !haveItalic);
  if (auto cached = cache[key].lock()) {
    FT_Done_Face(face);
    return cached;
  }
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(em)) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto f = std::make_shared<FontFace>();
  f->face = face;
  f->family = m.family;
  f->em = em;
  f->emboldenSynthetic = wantBold && !haveBold;
  f->obliqueSynthetic = wantItalic && !haveItalic;
  const FT_Size_Metrics& sm = face->size->metrics;
  TEXTMETRIC& tm = f->tm;
  tm.tmAscent = Round26(sm.ascender);
  tm.tmDescent = Round26(-sm.descender);
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = std::max(0, int(tm.tmHeight) - em);
  tm.tmMaxCharWidth = Round26(sm.max_advance);
  tm.tmWeight = weight;
  tm.tmItalic = italic ? 1 : 0;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->xAvgCharWidth > 0) {
    tm.tmAveCharWidth = Round26(FT_MulFix(os2->xAvgCharWidth, sm.x_scale));
    if (os2->yStrikeoutPosition > 0) f->strikePos = Round26(FT_MulFix(os2->yStrikeoutPosition, sm.y_scale));
  }
  f->underlinePos = std::max(1, Round26(-FT_MulFix(face->underline_position, sm.y_scale)));
  f->underlineThickness = std::max(1, Round26(FT_MulFix(face->underline_thickness, sm.y_scale)));
  if (f->strikePos <= 0) f->strikePos = tm.tmAscent / 3;
  if (tm.tmAveCharWidth <= 0) tm.tmAveCharWidth = f->Get(U'x').advance;
  cache[key] = f;
  return f;
}

}  // namespace

const Glyph& FontFace::Get(char32_t c) {
  auto it = glyphs.find(c);
  if (it != glyphs.end()) return it->second;
  Glyph& g = glyphs[c];
  if (FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return g;
  FT_GlyphSlot slot = face->glyph;
  if (obliqueSynthetic) FT_GlyphSlot_Oblique(slot);
  if (emboldenSynthetic) FT_GlyphSlot_Embolden(slot);
  g.advance = Round26(slot->advance.x);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& bm = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = int(bm.width);
  g.rows = int(bm.rows);
  g.coverage.resize(size_t(g.width) * size_t(g.rows));
  for (int y = 0; y < g.rows; ++y)
    std::memcpy(g.coverage.data() + size_t(y) * size_t(g.width), bm.buffer + ptrdiff_t(y) * bm.pitch,
                size_t(g.width));
  return g;
}

HFONT CreateFontIndirect(const LOGFONT* font) {
  if (!font) return nullptr;
  auto* f = new HFONT__;
  f->log = *font;
  f->log.lfFaceName[LF_FACESIZE - 1] = 0;
  Register(f);
  return f;
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, const char* faceName) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = BYTE(italic);
  lf.lfUnderline = BYTE(underline);
  lf.lfStrikeOut = BYTE(strikeOut);
  lf.lfCharSet = BYTE(charSet);
  lf.lfOutPrecision = BYTE(outPrecision);
  lf.lfClipPrecision = BYTE(clipPrecision);
  lf.lfQuality = BYTE(quality);
  lf.lfPitchAndFamily = BYTE(pitchAndFamily);
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

namespace {

// Caller holds TextLock.
FontFace* FaceOf(HFONT font) {
  HFONT__* f = As<HFONT__>(font, OBJ_FONT);
  if (!f) return nullptr;
  if (!f->face) f->face = OpenFace(f->log);
  return f->face.get();
}

FontFace* DcFace(HDC__* dc) { return FaceOf(dc->st.font); }

char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned c = b(i);
  int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
  if (n < 0 || i + size_t(n) >= s.size() + (n == 0 ? 1 : 0)) {
    ++i;
    return n == 0 ? char32_t(c) : U'\uFFFD';
  }
  char32_t cp = n == 0 ? c : (c & (0x3F >> n));
  for (int k = 1; k <= n; ++k) {
    if ((b(i + size_t(k)) & 0xC0) != 0x80) {
      ++i;
      return U'\uFFFD';
    }
    cp = (cp << 6) | (b(i + size_t(k)) & 0x3F);
  }
  i += size_t(n) + 1;
  return cp;
}

// Tab stops every eight average character widths from the line start, when expanding tabs.
struct Measure {
  FontFace* face;
  int tabWidth = 0;  // 0: tabs are ordinary characters
  int Advance(char32_t c, int x) const {
    if (c == U'\t' && tabWidth > 0) return (x / tabWidth + 1) * tabWidth - x;
    return face->Get(c).advance;
  }
  int Width(std::string_view s) const {
    int x = 0;
    for (size_t i = 0; i < s.size();) x += Advance(NextCodePoint(s, i), x);
    return x;
  }
};

template <class Fn>
void BlendCoverage(HDC__* dc, int gx, int gy, int w, int h, Fn&& coverageAt, COLORREF color) {
  HBITMAP__* b = dc->st.bitmap;
  const uint32_t c = ColorToBgra(color);
  const uint32_t cr = (c >> 16) & 255, cg = (c >> 8) & 255, cb = c & 255;
  dc->visible.ForEachRectIn(RECT{gx, gy, gx + w, gy + h}, [&](const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const uint32_t a = coverageAt(x - gx, y - gy);
        if (a == 0) continue;
        const uint32_t d = b->Read(x, y), ia = 255 - a;
        const uint32_t nr = Div255(cr * a + ((d >> 16) & 255) * ia);
        const uint32_t ng = Div255(cg * a + ((d >> 8) & 255) * ia);
        const uint32_t nb = Div255(cb * a + (d & 255) * ia);
        b->Write(x, y, (nr << 16) | (ng << 8) | nb);
      }
  });
}

// Draws text with its cell's top-left at device (x, y). Caller holds TextLock.
void DrawRun(HDC__* dc, FontFace* face, int x, int y, std::string_view text, const Measure& m,
             const std::vector<size_t>* underlined) {
  const HFONT__* hf = As<HFONT__>(dc->st.font, OBJ_FONT);
  const int width = m.Width(text);
  const int baseline = y + face->tm.tmAscent;
  if (dc->st.bkMode == OPAQUE) FillDeviceRect(dc, RECT{x, y, x + width, y + face->tm.tmHeight}, dc->st.bkColor);
  const COLORREF color = dc->st.textColor;
  int penX = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    const char32_t c = NextCodePoint(text, i);
    const int adv = m.Advance(c, penX);
    if (c != U'\t' || m.tabWidth == 0) {
      const Glyph& g = face->Get(c);
      if (g.width > 0 && g.rows > 0)
        BlendCoverage(
            dc, x + penX + g.left, baseline - g.top, g.width, g.rows,
            [&](int gx, int gy) { return uint32_t(g.coverage[size_t(gy) * size_t(g.width) + size_t(gx)]); }, color);
    }
    if (underlined && std::find(underlined->begin(), underlined->end(), at) != underlined->end())
      FillDeviceRect(dc, RECT{x + penX, baseline + face->underlinePos, x + penX + adv,
                              baseline + face->underlinePos + face->underlineThickness}, color);
    penX += adv;
  }
  if (hf && hf->log.lfUnderline)
    FillDeviceRect(dc, RECT{x, baseline + face->underlinePos, x + width,
                            baseline + face->underlinePos + face->underlineThickness}, color);
  if (hf && hf->log.lfStrikeOut)
    FillDeviceRect(dc, RECT{x, baseline - face->strikePos, x + width,
                            baseline - face->strikePos + face->underlineThickness}, color);
}

HDC__* DrawDc(HDC h) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  return (dc && dc->st.bitmap) ? dc : nullptr;
}

}  // namespace

bool GetFontFamilyName(HFONT font, char* name, int size) {
  std::lock_guard lock(TextLock());
  FontFace* f = FaceOf(font);
  if (!f || !name || size <= 0) return false;
  std::strncpy(name, f->family.c_str(), size_t(size) - 1);
  name[size - 1] = 0;
  return true;
}

BOOL GetTextMetrics(HDC h, TEXTMETRIC* metrics) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  if (!dc || !metrics) return FALSE;
  std::lock_guard lock(TextLock());
  FontFace* f = DcFace(dc);
  if (!f) return FALSE;
  *metrics = f->tm;
  const HFONT__* hf = As<HFONT__>(dc->st.font, OBJ_FONT);
  metrics->tmUnderlined = hf && hf->log.lfUnderline;
  metrics->tmStruckOut = hf && hf->log.lfStrikeOut;
  return TRUE;
}

BOOL GetTextExtentPoint32(HDC h, const char* text, int length, SIZE* size) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  if (!dc || !size || length < 0 || (!text && length > 0)) return FALSE;
  std::lock_guard lock(TextLock());
  FontFace* f = DcFace(dc);
  if (!f) return FALSE;
  size->cx = Measure{f}.Width(std::string_view(text ? text : "", size_t(length)));
  size->cy = f->tm.tmHeight;
  return TRUE;
}

BOOL TextOut(HDC h, int x, int y, const char* text, int length) {
  HDC__* dc = DrawDc(h);
  if (!dc || length < 0 || (!text && length > 0)) return FALSE;
  std::lock_guard lock(TextLock());
  FontFace* f = DcFace(dc);
  if (!f) return FALSE;
  const POINT p = dc->ToSurface(x, y);
  DrawRun(dc, f, p.x, p.y, std::string_view(text ? text : "", size_t(length)), Measure{f}, nullptr);
  return TRUE;
}

BOOL ExtTextOut(HDC h, int x, int y, UINT options, const RECT* r, const char* text, int length, const int*) {
  HDC__* dc = DrawDc(h);
  if (!dc || length < 0) return FALSE;
  if (r && (options & ETO_OPAQUE)) {
    FillDeviceRect(dc, dc->ToSurface(*r), dc->st.bkColor);
  }
  if (length == 0) return TRUE;
  if (!r || !(options & ETO_CLIPPED)) return TextOut(h, x, y, text, length);
  SaveDC(h);
  IntersectClipRect(h, r->left, r->top, r->right, r->bottom);
  const BOOL ok = TextOut(h, x, y, text, length);
  RestoreDC(h, -1);
  return ok;
}

// ---- DrawText ----

namespace {

struct Line {
  size_t begin = 0, end = 0;  // byte range in the prepared text
  bool ellipsis = false;
};

struct Layout {
  std::string text;                // without prefix marks
  std::vector<size_t> underlined;  // byte offsets of prefixed characters
  std::vector<Line> lines;
  std::vector<int> widths;
};

size_t NextIndex(std::string_view s, size_t i) {
  NextCodePoint(s, i);
  return i;
}

void Prepare(std::string_view src, UINT format, Layout& out) {
  const bool prefixes = !(format & DT_NOPREFIX);
  for (size_t i = 0; i < src.size(); ++i) {
    const char c = src[i];
    if (prefixes && c == '&') {
      if (i + 1 < src.size() && src[i + 1] == '&') {
        out.text += '&';
        ++i;
      } else if (i + 1 < src.size() && !(format & DT_HIDEPREFIX)) {
        out.underlined.push_back(out.text.size());
      }
      continue;
    }
    if ((format & DT_SINGLELINE) && (c == '\r' || c == '\n')) continue;
    if (c == '\r') continue;
    out.text += c;
  }
}

// Greedy word wrap of one paragraph [b, e) into lines of at most maxWidth.
void Wrap(const Layout& l, size_t b, size_t e, int maxWidth, bool breakWords, const Measure& m,
          std::vector<Line>& lines) {
  const std::string_view s = l.text;
  auto width = [&](size_t x, size_t y) { return m.Width(s.substr(x, y - x)); };
  auto trimEnd = [&](size_t x, size_t y) {
    while (y > x && s[y - 1] == ' ') --y;
    return y;
  };
  size_t start = b;
  while (true) {
    size_t lineEnd = start;  // end of the last word that fits
    size_t i = start;
    while (i < e) {
      size_t wordEnd = i;
      while (wordEnd < e && s[wordEnd] == ' ') ++wordEnd;
      while (wordEnd < e && s[wordEnd] != ' ') ++wordEnd;
      if (lineEnd != start && width(start, trimEnd(start, wordEnd)) > maxWidth) break;
      if (lineEnd == start && width(start, trimEnd(start, wordEnd)) > maxWidth && breakWords) {
        // A single word wider than the line: cut it at the last character that fits.
        size_t cut = start, k = start;
        while (k < wordEnd) {
          const size_t next = NextIndex(s, k);
          if (cut != start && width(start, next) > maxWidth) break;
          cut = next;
          k = next;
        }
        lineEnd = cut;
        i = cut;
        break;
      }
      lineEnd = wordEnd;
      i = wordEnd;
    }
    if (lineEnd == start) lineEnd = e;  // empty paragraph
    lines.push_back(Line{start, trimEnd(start, lineEnd)});
    start = lineEnd;
    while (start < e && s[start] == ' ') ++start;
    if (start >= e) break;
  }
}

}  // namespace

int DrawText(HDC h, const char* text, int length, RECT* r, UINT format) {
  HDC__* dc = As<HDC__>(h, OBJ_DC);
  if (!dc || !r || (!text && length != 0)) return 0;
  const std::string_view src(text ? text : "", length < 0 ? std::strlen(text) : size_t(length));
  std::lock_guard lock(TextLock());
  FontFace* f = DcFace(dc);
  if (!f) return 0;
  Measure m{f, (format & DT_EXPANDTABS) ? 8 * int(f->tm.tmAveCharWidth) : 0};
  Layout l;
  Prepare(src, format, l);
  const int maxWidth = r->right - r->left;
  const bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
  size_t p = 0;
  while (p <= l.text.size() && !l.text.empty()) {
    size_t e = l.text.find('\n', p);
    if (e == std::string::npos) e = l.text.size();
    if (wrap) {
      Wrap(l, p, e, maxWidth, (format & DT_EDITCONTROL) != 0, m, l.lines);
    } else {
      l.lines.push_back(Line{p, e});
    }
    p = e + 1;
  }
  const bool ellipsis = (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) != 0;
  const int dotsWidth = m.Width("...");
  for (Line& line : l.lines) {
    const std::string_view s = std::string_view(l.text).substr(line.begin, line.end - line.begin);
    int w = m.Width(s);
    if (ellipsis && w > maxWidth) {
      // Drop whole characters from the end until the text and "..." fit.
      size_t keep = 0;
      for (size_t i = 0; i < s.size();) {
        const size_t next = NextIndex(s, i);
        if (m.Width(s.substr(0, next)) + dotsWidth > maxWidth) break;
        keep = next;
        i = next;
      }
      line.end = line.begin + keep;
      line.ellipsis = true;
      w = m.Width(std::string_view(l.text).substr(line.begin, keep)) + dotsWidth;
    }
    l.widths.push_back(w);
  }
  const int lineHeight = f->tm.tmHeight + ((format & DT_EXTERNALLEADING) ? f->tm.tmExternalLeading : 0);
  const int total = lineHeight * int(l.lines.size());
  int maxLine = 0;
  for (int w : l.widths) maxLine = std::max(maxLine, w);
  if (format & DT_CALCRECT) {
    r->right = r->left + maxLine;
    r->bottom = r->top + total;
    return total;
  }
  if (!dc->st.bitmap) return 0;
  int y = r->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = r->top + (r->bottom - r->top - lineHeight) / 2;
    else if (format & DT_BOTTOM) y = r->bottom - lineHeight;
  }
  const DCState savedState = dc->st;
  if (!(format & DT_NOCLIP)) {
    const POINT a = dc->ToDevice(r->left, r->top), b = dc->ToDevice(r->right, r->bottom);
    const RegionData rect = RegionData::FromRect(a.x, a.y, b.x, b.y);
    dc->st.clip = dc->st.hasClip ? Combine(dc->st.clip, rect, RGN_AND) : rect;
    dc->st.hasClip = true;
    dc->UpdateVisible();
  }
  for (size_t i = 0; i < l.lines.size(); ++i) {
    const Line& line = l.lines[i];
    const int w = l.widths[i];
    int x = r->left;
    if (format & DT_CENTER) x = r->left + (maxWidth - w) / 2;
    else if (format & DT_RIGHT) x = r->right - w;
    std::string run = l.text.substr(line.begin, line.end - line.begin);
    if (line.ellipsis) run += "...";
    std::vector<size_t> marks;
    for (size_t u : l.underlined)
      if (u >= line.begin && u < line.end) marks.push_back(u - line.begin);
    const POINT d = dc->ToSurface(x, y + int(i) * lineHeight);
    DrawRun(dc, f, d.x, d.y, run, m, &marks);
  }
  dc->st.clip = savedState.clip;
  dc->st.hasClip = savedState.hasClip;
  dc->UpdateVisible();
  return (format & DT_SINGLELINE) ? (y - r->top) + total : total;
}
