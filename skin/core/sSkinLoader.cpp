// The options file of a skin: inheriting readers, images and masks, sections,
// global values, outer effects, palette and the application's own sections.

#include "skin/core/sSkinLoader.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>

#include "imaging/dxGDIPlusClasses.h"
#include "platform/gdi/Gdi.h"
#include "platform/os/Files.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/SysUtils.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/AlphaBitmapsPng.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sSkinAdjust.h"
#include "skin/core/sSkinIndexes.h"

using namespace skin_detail;

int TsStoredSkins::IndexOf(const String& SkinName) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Name == SkinName) return int(i);
  return -1;
}

String FindSkinFile(const String& Folder, const String& Name) {
  namespace fs = std::filesystem;
  String rel = Name;
  std::replace(rel.begin(), rel.end(), '\\', '/');
  fs::path at = Folder.empty() ? fs::path(".") : fs::path(Folder);
  if (!rel.empty() && rel[0] == '/') {
    at = "/";
    rel.erase(0, 1);
  }
  size_t start = 0;
  while (start <= rel.size()) {
    const size_t slash = rel.find('/', start);
    const String part = rel.substr(start, slash == String::npos ? String::npos : slash - start);
    start = slash == String::npos ? rel.size() + 1 : slash + 1;
    if (part.empty() || part == ".") continue;
    std::error_code ec;
    if (fs::exists(at / part, ec)) {
      at /= part;
      continue;
    }
    // Names in a skin are compared in capitals.
    const String want = UpperCase(part);
    bool found = false;
    for (fs::directory_iterator it(at, ec), end; !ec && it != end; it.increment(ec)) {
      if (UpperCase(it->path().filename().string()) == want) {
        at = it->path();
        found = true;
        break;
      }
    }
    if (!found) return String();
  }
  std::error_code ec;
  return fs::is_regular_file(at, ec) ? at.string() : String();
}

namespace {

constexpr char kGlobalInfo[] = "GLOBALINFO";

// The twelve state keys of states 0, 1 and 2: colour, the five text colours,
// glow colour and size, gradient percent and text, image percent, transparency.
constexpr const char* kStateKeys[3][12] = {
    {"COLOR", "FONTCOLOR", "TCLEFT", "TCTOP", "TCRIGHT", "TCBOTTOM", "GCOL", "GSIZE", "GRADIENTPERCENT",
     "GRADIENTDATA", "IMAGEPERCENT", "TRANSPARENCY"},
    {"HOTCOLOR", "HOTFONTCOLOR", "HOTTCLEFT", "HOTTCTOP", "HOTTCRIGHT", "HOTTCBOTTOM", "HGCOL", "HGSIZE",
     "HOTGRADIENTPERCENT", "HOTGRADIENTDATA", "HOTIMAGEPERCENT", "HOTTRANSPARENCY"},
    {"COLOR2", "FONTCOLOR2", "TCLEFT2", "TCTOP2", "TCRIGHT2", "TCBOTTOM2", "GCOL2", "GSIZE2", "GRADIENTPERCENT2",
     "GRADIENTDATA2", "IMAGEPERCENT2", "TRANSPARENCY2"}};

// Strict fixed-position fields of mask values; positions count from 1.
[[noreturn]] void BadField(const String& Key, const String& Value, int Pos) {
  throw Exception("Skin value " + Key + "=" + Value + ": no number at position " + std::to_string(Pos));
}

int FixedField(const String& Key, const String& V, int Pos, int Length) {
  if (Pos < 1 || size_t(Pos - 1 + Length) > V.size()) BadField(Key, V, Pos);
  const char* first = V.data() + Pos - 1;
  int value = 0;
  const auto [end, ec] = std::from_chars(first, first + Length, value);
  if (ec != std::errc() || end != first + Length) BadField(Key, V, Pos);
  return value;
}

TRect RectAt2(const String& Key, const String& V) {
  return TRect(FixedField(Key, V, 2, 4), FixedField(Key, V, 7, 4), FixedField(Key, V, 12, 4), FixedField(Key, V, 17, 4));
}

std::vector<String> Split(const String& V, char Sep, bool SkipLeading) {
  std::vector<String> parts;
  size_t start = SkipLeading && !V.empty() && V[0] == Sep ? 1 : 0;
  while (true) {
    const size_t p = V.find(Sep, start);
    parts.push_back(V.substr(start, p == String::npos ? String::npos : p - start));
    if (p == String::npos) break;
    start = p + 1;
  }
  return parts;
}

// Field n (1-based) as a number; 0 when absent or not a number.
int LenientField(const std::vector<String>& F, size_t N) {
  if (N < 1 || N > F.size()) return 0;
  int v = 0;
  const String& s = F[N - 1];
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size() ? v : 0;
}

int DivOrFail(int Value, int Divisor, const String& Key) {
  if (Divisor == 0) throw Exception("Skin value " + Key + ": border widths of an image without frames");
  return Value / Divisor;
}

int64_t ParseInt(const String& S, bool& Ok) {
  String t = Trim(S);
  int base = 10;
  size_t at = 0;
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    at = 1;
  }
  if (t.compare(at, 1, "$") == 0) {
    base = 16;
    at += 1;
  } else if (t.size() > at + 1 && t[at] == '0' && (t[at + 1] == 'x' || t[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(t.data() + at, t.data() + t.size(), v, base);
  Ok = at < t.size() && ec == std::errc() && end == t.data() + t.size();
  return negative ? -v : v;
}

class TSkinLoader {
 public:
  TSkinLoader(TMemIniFile& Ini, const String& SkinPath, TacSkinConvertor* Pack, const TacSkinSource& Source,
              TacSkinRecords& S)
      : ini_(Ini), path_(SkinPath), pack_(Pack), src_(Source), s_(S) {
    ini_.ReadSections(sections_);
    suffix_ = ScaleSuffix(Source.ScaleStep);
  }

  void Run() {
    s_.ScaleStep = src_.ScaleStep;
    s_.SkinIsPacked = pack_ != nullptr;
    s_.CommonSkinData.SkinPath = path_;
    s_.CommonSkinData.Version = ini_.ReadFloat(kGlobalInfo, "VERSION", 0);
    LoadAllMasks();
    LoadAllGeneralData();
    InitConstantIndexes(s_, src_.ExtendedBorders);
  }

 private:
  // ---- Readers ----
  String Str(const String& Section, const String& Key, const String& Default) const {
    return ini_.ReadString(Section, Key, Default);
  }
  // The parent of a section, or "" where the chain stops.
  String Parent(const String& Section) const {
    const String p = Str(Section, "PARENTCLASS", "");
    return p == "?" || p == Section ? String() : p;
  }
  // Walks Section and its parents (each at most once) until Fn answers true.
  template <class Fn>
  void Chain(const String& Section, Fn&& fn) const {
    std::set<String> seen;
    for (String at = Section; !at.empty() && seen.insert(at).second; at = Parent(at))
      if (fn(at)) return;
  }
  String ReadStrInh(const String& Section, const String& Key, const String& Default) const {
    String result = Default;
    Chain(Section, [&](const String& at) {
      const String v = Str(at, Key, "?");
      if (v == "?") return false;
      result = v;
      return true;
    });
    return result;
  }
  bool ReadBoolInh(const String& Section, const String& Key, bool Default) const {
    const String v = ReadStrInh(Section, Key, "?");
    return v == "?" ? Default : (v == "TRUE" || v == "1");
  }
  int ReadInt(const String& Section, const String& Key, int Default) const {
    return ini_.ReadInteger(Section, Key, Default);
  }
  int ReadIntInh(const String& Section, const String& Key, int Default, bool Raw = false, int Max = INT32_MAX) const {
    int v = ReadInt(Section, Key, -1);
    if (v < 0 && !Parent(Section).empty()) {
      int inherited = -1;
      Chain(Parent(Section), [&](const String& at) {
        const int pv = ReadInt(at, Key, -1);
        if (pv < 0) return false;
        inherited = pv;
        return true;
      });
      v = inherited;
    }
    if (!Raw && v < 0) v = Default;
    return std::min(v, Max);
  }
  int ReadGlobalInt(const String& Key, int Default) const { return ReadInt(kGlobalInfo, Key, Default); }
  int ReadScaledGlobalInt(const String& Key, int Default) const {
    if (!suffix_.empty()) {
      const int v = ReadInt(kGlobalInfo, Key + suffix_, -1);
      if (v >= 0) return v;
    }
    return ReadGlobalInt(Key, Default) * ScalePercent(src_.ScaleStep) / 100;
  }
  int64_t ReadGlobalInt64(const String& Key, int64_t Default) const {
    const String v = Str(kGlobalInfo, Key, "");
    bool ok = false;
    const int64_t n = ParseInt(v, ok);
    return ok ? n : Default;
  }

  // ---- Images ----
  std::shared_ptr<TBitmap> LoadExtImage(const String& Name) {
    std::unique_ptr<TMemoryStream> owned;
    TStream* stream = nullptr;
    if (pack_) {
      TacImageItem* item = pack_->Find(UpperCase(Name));
      if (!item) return nullptr;
      item->FileStream->SetPosition(0);
      stream = item->FileStream.get();
    } else {
      const String file = FindSkinFile(path_, Name);
      if (file.empty()) return nullptr;
      owned = std::make_unique<TMemoryStream>();
      owned->LoadFromFile(file);
      stream = owned.get();
    }
    TacExtFileData entry;
    entry.FileName = Name;
    entry.Bmp = std::make_shared<TBitmap>();
    const String upper = UpperCase(Name);
    if (upper.find(".BMP") != String::npos) {
      entry.Bmp->LoadFromStream(*stream);
    } else if (upper.find(".JPG") != String::npos || upper.find(".JPEG") != String::npos) {
      TdxSmartImage jpeg;
      jpeg.LoadFromStream(*stream);
      entry.Bmp->SetPixelFormat(pf32bit);
      entry.Bmp->SetSize(jpeg.Width(), jpeg.Height());
      entry.Bmp->Canvas()->Draw(0, 0, &jpeg);
      entry.Bmp->SetPixelFormat(pf24bit);  // no alpha of its own: keyed below
    } else if (upper.find(".PNG") != String::npos) {
      LoadBitmapFromPngStream(entry.Bmp.get(), *stream);
      entry.FromPng = true;
      if (src_.Brightness <= 0 && s_.CommonSkinData.Version > 7.45)
        PremultiplyRect(entry.Bmp.get(), TRect(0, 0, entry.Bmp->Width(), entry.Bmp->Height()));
    }
    MakeKeyedBitmap32(entry.Bmp.get());
    s_.ExtArray.push_back(entry);
    return entry.Bmp;
  }

  std::shared_ptr<TBitmap> ExtImage(const String& Name) {
    for (const TacExtFileData& e : s_.ExtArray)
      if (e.FileName == Name) return e.Bmp;
    return LoadExtImage(Name);
  }

  void CheckCorners(TsMaskData& M) {
    M.CornerType = 0;
    if (M.ClassName == "BUTTON_HUGE" && M.PropertyName == "BORDERSMASK") {
      M.CornerType = 2;
      return;
    }
    if (M.R.Height() == 0 || M.ImageCount < 1) return;
    TBitmap* src = M.Bmp ? M.Bmp.get() : s_.MasterBitmap.get();
    const PixelRows P = Rows32(src);
    if (!P) return;
    const int bw = P.width, bh = P.height, fw = M.R.Width() / M.ImageCount, ph = M.R.Height() / (M.MaskType + 1);
    const TRect R = M.R;
    const TRect blocks[4] = {
        {R.Left, R.Top, std::min(R.Left + M.WL, bw - 1), std::min(R.Top + M.WT, bh - 1)},
        {R.Left + fw - M.WR, R.Top, std::min(R.Left + fw, bw - 1), std::min(R.Top + M.WT, bh - 1)},
        {R.Left, R.Top + ph - M.WB, std::min(R.Left + M.WL, bw - 1), std::min(R.Top + ph, bh - 1)},
        {R.Left + fw - M.WR, R.Top + ph - M.WB, std::min(R.Left + fw, bw - 1), std::min(R.Top + ph, bh - 1)}};
    for (const TRect& b : blocks)
      for (int y = std::max(b.Top, 0); y < b.Bottom; ++y)
        for (int x = std::max(b.Left, 0); x < b.Right; ++x)
          if (P.At(x, y) == kKeyPixel) {
            M.CornerType = 1;
            return;
          }
  }

  void ImageMask(int i, const String& S, const String& K, String V) {
    String usedSuffix;
    if (!suffix_.empty()) {
      const String scaled = UpperCase(Str(S, K + suffix_, ""));
      if (!scaled.empty()) {
        V = scaled;
        usedSuffix = suffix_;
      }
    }
    const bool fielded = !V.empty() && V[0] == '!';
    const std::vector<String> f = fielded ? Split(V, '!', true) : std::vector<String>{V};
    std::shared_ptr<TBitmap> bmp = ExtImage(f[0]);
    if (!bmp || bmp->Width() == 0) return;
    const TRect r(0, 0, bmp->Width(), bmp->Height());
    const int idx = fielded ? s_.MakeNewItem(i, K, S, TacImgType(std::clamp(LenientField(f, 4), 0, 4)), r,
                                             LenientField(f, 2), 0, int16_t(LenientField(f, 3)))
                            : s_.MakeNewItem(i, K, S, itisaTexture, r, 1, 0, 0);
    TsMaskData& m = s_.ma[size_t(idx)];
    m.Bmp = bmp;
    m.PropertyName = K + usedSuffix;
    if (f.size() < 5) {
      m.WL = m.WR = int16_t(DivOrFail(r.Width(), m.ImageCount * 3, K));
      m.WT = m.WB = int16_t(DivOrFail(r.Height(), m.MaskType * 3 + 3, K));
    } else {
      m.WL = int16_t(LenientField(f, 5));
      m.WT = int16_t(LenientField(f, 6));
      m.WR = int16_t(LenientField(f, 7));
      m.WB = int16_t(LenientField(f, 8));
    }
    m.DrawMode = int16_t(f.size() >= 9 ? LenientField(f, 9) : 0);
    if (m.ImgType == itisaBorder) CheckCorners(m);
  }

  // The '^' layout: rectangle, four border widths, frames, mask type, draw mode and border width.
  int BorderMask(int i, const String& S, const String& K, const String& V, TacImgType ImgType) {
    const int idx = s_.MakeNewItem(i, K, S, ImgType, RectAt2(K, V), FixedField(K, V, 42, 1), FixedField(K, V, 46, 1),
                                   int16_t(FixedField(K, V, 44, 1)));
    TsMaskData& m = s_.ma[size_t(idx)];
    m.WL = int16_t(FixedField(K, V, 22, 4));
    m.WT = int16_t(FixedField(K, V, 27, 4));
    m.WR = int16_t(FixedField(K, V, 32, 4));
    m.WB = int16_t(FixedField(K, V, 37, 4));
    m.BorderWidth = int16_t(FixedField(K, V, 48, 1));
    if (m.WL + m.WT + m.WR + m.WB == 0) {
      if (m.BorderWidth != 0) {
        m.WL = m.WT = m.WR = m.WB = m.BorderWidth;
      } else {
        m.WL = m.WR = int16_t(DivOrFail(m.R.Width(), m.ImageCount * 3, K));
        m.WT = m.WB = int16_t(DivOrFail(m.R.Height(), m.MaskType * 3 + 3, K));
      }
    }
    return idx;
  }

  void LoadMasterBitmap() {
    s_.MasterBitmap = std::make_unique<TBitmap>();
    const String name = Str(kGlobalInfo, "MASTERBITMAP", "");
    if (!name.empty()) {
      if (pack_) {
        if (TacImageItem* item = pack_->Find(UpperCase(name))) {
          item->FileStream->SetPosition(0);
          s_.MasterBitmap->LoadFromStream(*item->FileStream);
        }
      } else {
        const String file = FindSkinFile(path_, name);
        if (!file.empty()) s_.MasterBitmap->LoadFromFile(file);
      }
    }
    MakeKeyedBitmap32(s_.MasterBitmap.get());
    s_.MasterBitmap->SetTransparent(true);
    s_.MasterBitmap->SetTransparentColor(clFuchsia);
  }

  void LoadAllMasks() {
    s_.ma.clear();
    s_.ExtArray.clear();
    LoadMasterBitmap();
    bool masterSkipped = false;
    for (int i = 0; i < sections_.Count(); ++i) {
      const String S = sections_[i];
      TStringList keys;
      ini_.ReadSection(S, keys);
      for (int j = 0; j < keys.Count(); ++j) {
        const String K = keys[j];
        if (S == kGlobalInfo && K == "MASTERBITMAP" && !masterSkipped) {
          masterSkipped = true;
          continue;
        }
        const String V = UpperCase(Str(S, K, ""));
        if (V.empty()) continue;
        const bool starred = K.find('*') != String::npos;
        switch (V[0]) {
          case '!':
            if (!starred) ImageMask(i, S, K, V);
            break;
          case '@':
            s_.MakeNewItem(i, K, S, itisaGlyph, RectAt2(K, V), FixedField(K, V, 22, 1), 0,
                           int16_t(FixedField(K, V, 24, 1)));
            break;
          case '^':
            if (!starred) {
              String v = V;
              if (!suffix_.empty()) {
                const String scaled = UpperCase(Str(S, K + suffix_, ""));
                if (!scaled.empty()) v = scaled;
              }
              const std::vector<String> f = Split(v, '!', false);
              const int idx = BorderMask(i, S, K, v, TacImgType(std::clamp(LenientField(f, 4), 0, 4)));
              CheckCorners(s_.ma[size_t(idx)]);
            }
            break;
          case '~': {
            const int16_t maskType = int16_t(V.size() >= 25 ? FixedField(K, V, 25, 1) : 0);
            const int idx = s_.MakeNewItem(i, K, S, itisaTexture, RectAt2(K, V), 1, FixedField(K, V, 22, 2), maskType);
            if (V.size() > 26) {
              const std::vector<String> f = Split(V, '~', true);
              if (f.size() >= 7 && !f[6].empty()) s_.ma[size_t(idx)].Bmp = ExtImage(f[6]);
            }
            break;
          }
          default:
            if (V.find(".JPG") != String::npos || V.find(".BMP") != String::npos) ImageMask(i, S, K, V);
        }
      }
    }
  }

  // ---- Sections ----
  void ReadState(const String& S, TsGenState& st, int State) {
    const char* const* k = kStateKeys[State];
    const TsGenState d;
    st = TsGenState();
    st.Color = ReadIntInh(S, k[0], d.Color);
    st.FontColor.Color = ReadIntInh(S, k[1], d.FontColor.Color);
    st.FontColor.Left = ReadIntInh(S, k[2], d.FontColor.Left);
    st.FontColor.Top = ReadIntInh(S, k[3], d.FontColor.Top);
    st.FontColor.Right = ReadIntInh(S, k[4], d.FontColor.Right);
    st.FontColor.Bottom = ReadIntInh(S, k[5], d.FontColor.Bottom);
    st.GlowColor = ReadIntInh(S, k[6], d.GlowColor);
    st.GlowSize = ReadIntInh(S, k[7], d.GlowSize);
    st.GradientPercent = ReadIntInh(S, k[8], d.GradientPercent);
    const String gradient = ReadStrInh(S, k[9], " ");
    st.ImagePercent = ReadIntInh(S, k[10], d.ImagePercent);
    st.Transparency = ReadIntInh(S, k[11], d.Transparency);
    if (gradient.size() < 4)
      st.GradientPercent = 0;
    else
      PrepareGradArray(gradient, st.GradientArray);
  }

  void ReadGlobalInfo() {
    TsSkinData& c = s_.CommonSkinData;
    c.Author = Str(kGlobalInfo, "AUTHOR", "");
    c.Description = Str(kGlobalInfo, "DESCRIPTION", "");
    c.ExBorderWidth = ReadGlobalInt("BORDERWIDTH", 4);
    c.ExTitleHeight = ReadScaledGlobalInt("TITLEHEIGHT", 30);
    if (c.ExTitleHeight <= 0) c.ExTitleHeight = 30;
    c.ExMaxHeight = ReadScaledGlobalInt("MAXHEIGHT", 0);
    if (c.ExMaxHeight <= 0) c.ExMaxHeight = c.ExTitleHeight;
    c.ExCenterOffs = ReadScaledGlobalInt("CENTEROFFSET", 0);
    c.ExContentOffs = ReadGlobalInt("FORMOFFSET", GetSystemMetrics(SM_CXFRAME));
    c.ExDrawMode = ReadGlobalInt("BORDERMODE", 0);
    c.BrightMin = ReadGlobalInt("BRIGHTMIN", -50);
    c.BrightMax = ReadGlobalInt("BRIGHTMAX", 50);
    c.ExShadowOffs = ReadGlobalInt("ALIGNOFFSET", 0);
    c.ExShadowOffsR = ReadGlobalInt("ALIGNOFFSETR", c.ExShadowOffs);
    c.ExShadowOffsT = ReadGlobalInt("ALIGNOFFSETT", c.ExShadowOffs);
    c.ExShadowOffsB = ReadGlobalInt("ALIGNOFFSETB", c.ExShadowOffs);
    c.BISpacing = s_.ScaleInt(ReadGlobalInt("BISPACE", 0));
    c.BIVAlign = ReadGlobalInt("BIVALIGN", 0);
    c.BIRightMargin = ReadGlobalInt("BIRIGHT", 0);
    c.BILeftMargin = ReadGlobalInt("BILEFT", 0);
    c.BITopMargin = ReadGlobalInt("BITOP", 0);
    c.BIKeepHUE = ReadGlobalInt("BIKEEPHUE", 0);
    c.UseAeroBluring = ReadGlobalInt("AEROBLUR", 0) != 0;
    static const char* const kGlyphs[5] = {"BICLOSEALONE", "BICONCLOSE", "BICONMAX", "BICONMIN", "BICONNORM"};
    const int glows = std::clamp(ReadGlobalInt("BICONCLOSEGLOW", 0), 0, 64);
    for (int l = 0; l < 5; ++l) {
      s_.ConstData.GlowMargins[size_t(l)] = ReadScaledGlobalInt(String(kGlyphs[l]) + "GLOWMARGIN", 0);
      s_.ConstData.TitleGlows[size_t(l)].assign(size_t(glows), -1);
    }
    c.Shadow1Color = ReadGlobalInt("SHADOW1COLOR", 0);
    c.Shadow1Offset = ReadGlobalInt("SHADOW1OFFSET", 0);
    c.Shadow1Blur = ReadGlobalInt("SHADOW1BLUR", -1);
    c.Shadow1Transparency = ReadGlobalInt("SHADOW1TRANSPARENCY", 0);
    c.ComboBoxMargin = ReadGlobalInt("COMBOMARGIN", 2);
    c.SliderMargin = ReadGlobalInt("SLIDERMARGIN", 1);
    ReadOuterEffects();
    CheckVersion();
    c.TabsCovering = uint8_t(ReadInt("TABTOP", "TABSCOVERING", 0));
    c.RibbonCovering = uint8_t(ReadInt("RIBBONTAB", "TABSCOVERING", 0));
    c.ArrowStyle = TacArrowsStyle(ReadGlobalInt("ARROWSTYLE", 0));
  }

  // A skin newer than this engine may use what it cannot paint: the user is told. Old skins pass at run time.
  void CheckVersion() const {
    if (s_.CommonSkinData.Version > 12.99)
      ShowWarningBox(
          "This version of the skin has not complete support by used Glazory package release.\r\n"
          "Components must be updated to latest version for using this skin.");
  }

  void ReadOuterEffect(TacOutEffData& e, const String& P, const TColor (&colors)[4], const int (&offsets)[4],
                       int Opacity) {
    e.ColorL = ReadGlobalInt(P + "COLORL", colors[0]);
    e.ColorR = ReadGlobalInt(P + "COLORR", colors[1]);
    e.ColorT = ReadGlobalInt(P + "COLORT", colors[2]);
    e.ColorB = ReadGlobalInt(P + "COLORB", colors[3]);
    e.WidthL = ReadGlobalInt(P + "WIDTHL", -1);
    e.WidthR = ReadGlobalInt(P + "WIDTHR", -1);
    e.WidthT = ReadGlobalInt(P + "WIDTHT", -1);
    e.WidthB = ReadGlobalInt(P + "WIDTHB", -1);
    e.OffsetL = ReadGlobalInt(P + "OFFSETL", offsets[0]);
    e.OffsetR = ReadGlobalInt(P + "OFFSETR", offsets[1]);
    e.OffsetT = ReadGlobalInt(P + "OFFSETT", offsets[2]);
    e.OffsetB = ReadGlobalInt(P + "OFFSETB", offsets[3]);
    e.Source = ReadGlobalInt(P + "SOURCE", 2);
    e.Opacity = ReadGlobalInt(P + "OPACITY", Opacity);
    if (e.Source == 0) {
      e.Mask = -1;
    } else if (e.Source == 1) {
      const String v = UpperCase(Str(kGlobalInfo, P + "MASK", ""));
      e.Mask = v.empty() ? -1 : BorderMask(0, kGlobalInfo, P + "MASK", v, itisaBorder);
      if (e.Mask >= 0) s_.ma[size_t(e.Mask)].CornerType = 0;
    } else {
      e.Mask = BlurredShadowMask(e);
    }
  }

  // The built-in shadow: its four side colours over a 19 x 19 blur square.
  int BlurredShadowMask(TacOutEffData& e) {
    constexpr int W = 19, B = W / 2;
    for (int* w : {&e.WidthL, &e.WidthT, &e.WidthR, &e.WidthB})
      if (*w == -1) *w = B;
    const int idx = s_.MakeNewItem(0, "", kGlobalInfo, itisaBorder, TRect(0, 0, W, 2 * W), 1, 1, 1);
    TsMaskData& m = s_.ma[size_t(idx)];
    m.Bmp = std::shared_ptr<TBitmap>(NewBitmap32(W, 2 * W));
    TCanvas* c = m.Bmp->Canvas();
    c->Brush()->SetColor(e.ColorT);
    c->FillRect(TRect(0, 0, W, W / 2));
    c->Brush()->SetColor(e.ColorB);
    c->FillRect(TRect(0, W / 2, W, W));
    auto triangle = [&](TColor col, TPoint a, TPoint b, TPoint d) {
      c->Pen()->SetColor(col);
      c->Brush()->SetColor(col);
      c->Polygon({a, b, d});
    };
    triangle(e.ColorL, TPoint(0, 1), TPoint(B - 1, B), TPoint(0, W - 2));
    triangle(e.ColorR, TPoint(W - 1, 1), TPoint(B + 1, B), TPoint(W - 1, W - 2));
    const PixelRows P = Rows32(m.Bmp.get());
    for (int y = 0; y < W; ++y)
      for (int x = 0; x < W; ++x) {
        // 51 over the inner 9 x 9, rising smoothly to 255 at the outer rows and columns.
        const int d = std::max(std::max(0, std::abs(x - B) - 4), std::max(0, std::abs(y - B) - 4));
        const int v = d == 0 ? 51 : 51 + (255 - 51) * d * d / 25;
        P.At(x, W + y) = Pack(v, v, v, 255);
      }
    m.BorderWidth = m.WL = m.WT = m.WR = m.WB = int16_t(B);
    return idx;
  }

  void ReadOuterEffects() {
    s_.oe.assign(2, TacOutEffData());
    ReadOuterEffect(s_.oe[1], "SH_", {0, 0, 0, 0}, {3, 3, 2, 5}, 60);
    ReadOuterEffect(s_.oe[0], "LO_", {0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF}, {2, 2, 2, 4}, 200);
  }

  void ReadSectionData(const String& S, TsGeneralData& g) {
    g.ClassName = S;
    g.ParentClass = Str(S, "PARENTCLASS", "");
    g.ReservedBoolean = ReadBoolInh(S, "RESERVEDBOOLEAN", false);
    g.GiveOwnFont = ReadBoolInh(S, "GIVEOWNFONT", false);
    g.GlowCount = ReadIntInh(S, "GLOW", 0, false, 255);
    g.GlowMargin = ReadIntInh(S, "GLOWMARGIN", 0, false, 255);
    g.States = ReadIntInh(S, "STATES", 3, false, 255);
    g.OuterOffset = TRect(ReadIntInh(S, "OUTOFFSL", -1, true, 255), ReadIntInh(S, "OUTOFFST", -1, true, 255),
                          ReadIntInh(S, "OUTOFFSR", -1, true, 255), ReadIntInh(S, "OUTOFFSB", -1, true, 255));
    g.OuterOpacity = ReadIntInh(S, "OUTOPACITY", 200, false, 255);
    g.OuterMode = ReadIntInh(S, "OUTERMODE", 2);
    ReadState(S, g.Props[0], 0);
    if (g.States > 1)
      ReadState(S, g.Props[1], 1);
    else
      g.Props[1] = g.Props[0];
    g.UseState2 = ReadIntInh(S, "USESTATE2", 0) == 1;
    if (g.UseState2)
      ReadState(S, g.Props[2], 2);
    else
      g.Props[2] = g.Props[1];
  }

  // The application's own sections: each inherits from one template only.
  void ReadCommonSections() {
    if (src_.CommonSections.empty()) return;
    struct Section {
      String Name;
      std::vector<std::pair<String, String>> Lines;  // key in capitals, value
    };
    std::vector<Section> list;
    for (const String& raw : src_.CommonSections) {
      const String line = Trim(raw);
      if (line.empty() || line[0] == ';') continue;
      if (line.front() == '[' && line.back() == ']') {
        list.push_back({line.substr(1, line.size() - 2), {}});
      } else if (!list.empty()) {
        const size_t eq = line.find('=');
        if (eq != String::npos) list.back().Lines.emplace_back(UpperCase(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
      }
    }
    for (const Section& n : list) {
      if (s_.GetSkinIndex(n.Name) >= 0) continue;
      auto value = [&](const char* key) -> const String* {
        for (const auto& [k, v] : n.Lines)
          if (k == key) return &v;
        return nullptr;
      };
      auto integer = [&](const char* key, int def) {
        const String* v = value(key);
        bool ok = false;
        const int64_t x = v ? ParseInt(*v, ok) : -1;
        return ok && x >= 0 ? int(x) : def;
      };
      auto boolean = [&](const char* key, bool def) {
        const String* v = value(key);
        return v ? (UpperCase(*v) == "TRUE" || *v == "1") : def;
      };
      const String* parentValue = value("PARENTCLASS");
      const String parent = parentValue ? UpperCase(*parentValue) : String("-1");
      TsGeneralData tmpl;
      tmpl.States = 3;
      for (const TsGeneralData& g : s_.gd)
        if (UpperCase(g.ClassName) == parent) {
          tmpl = g;
          break;
        }
      TsGeneralData g = tmpl;
      g.ClassName = n.Name;
      g.ParentClass = parent;
      g.States = integer("STATES", tmpl.States);
      g.UseState2 = value("USESTATE2") ? integer("USESTATE2", 0) == 1 : tmpl.UseState2;
      for (int s = 0; s < 3; ++s) {
        if ((s == 1 && g.States <= 1) || (s == 2 && !g.UseState2)) {
          g.Props[size_t(s)] = g.Props[size_t(s - 1)];
          continue;
        }
        const char* const* k = kStateKeys[s];
        const TsGenState& t = tmpl.Props[size_t(s)];
        TsGenState& st = g.Props[size_t(s)];
        st.Color = integer(k[0], t.Color);
        st.FontColor.Color = integer(k[1], t.FontColor.Color);
        st.FontColor.Left = integer(k[2], t.FontColor.Left);
        st.FontColor.Top = integer(k[3], t.FontColor.Top);
        st.FontColor.Right = integer(k[4], t.FontColor.Right);
        st.FontColor.Bottom = integer(k[5], t.FontColor.Bottom);
        st.GlowColor = integer(k[6], t.GlowColor);
        st.GlowSize = integer(k[7], t.GlowSize);
        st.GradientPercent = integer(k[8], t.GradientPercent);
        const String* gradient = value(k[9]);
        st.ImagePercent = integer(k[10], t.ImagePercent);
        st.Transparency = integer(k[11], t.Transparency);
        const String text = gradient ? *gradient : String(" ");
        st.GradientArray.clear();
        if (text.size() < 4)
          st.GradientPercent = 0;
        else
          PrepareGradArray(text, st.GradientArray);
      }
      g.ReservedBoolean = boolean("RESERVEDBOOLEAN", tmpl.ReservedBoolean);
      g.GiveOwnFont = boolean("GIVEOWNFONT", tmpl.GiveOwnFont);
      g.GlowCount = integer("GLOW", tmpl.GlowCount);
      g.GlowMargin = integer("GLOWMARGIN", tmpl.GlowMargin);
      s_.gd.push_back(std::move(g));
    }
  }

  void ReadPalette() {
    TacPaletteArray& p = s_.Palette;
    auto rgb = [](TColor c) { return TColor(ColorToRGB(c)); };
    auto state = [&](const char* section, int st, bool font, TColor def) {
      const int i = s_.GetSkinIndex(section);
      if (i < 0) return def;
      const TsGenState& g = s_.gd[size_t(i)].Props[size_t(st)];
      return font ? g.FontColor.Color : g.Color;
    };
    auto withAlpha = [](TColor c) { return TColor(uint32_t(c) | 0xFF000000u); };
    p[pcMainColor] = ReadGlobalInt("COLOR", rgb(clBtnFace));
    p[pcLabelText] = ReadGlobalInt("FONTCOLOR", 0);
    p[pcWebText] = ReadGlobalInt("TCBOTTOM", 0xFF0000);
    p[pcWebTextHot] = ReadGlobalInt("TCTOP", 0x0000FF);
    p[pcBorder] = ReadGlobalInt("BORDERCOLOR", 0);
    p[pcEditText] = rgb(state("EDIT", 0, true, clWindowText));
    p[pcEditBG] = rgb(state("EDIT", 0, false, clWindow));
    p[pcHintText] = rgb(state("HINT", 0, true, clInfoText));
    p[pcHintBG] = rgb(state("HINT", 0, false, clInfoBk));
    const int sel = s_.GetSkinIndex("SELECTION");
    const int selHot = sel >= 0 && s_.gd[size_t(sel)].States > 1 ? 1 : 0;
    p[pcSelectionText] = state("SELECTION", 0, true, -1);
    p[pcSelectionBG] = state("SELECTION", 0, false, -1);
    p[pcSelectionText_Focused] = state("SELECTION", selHot, true, -1);
    p[pcSelectionBG_Focused] = state("SELECTION", selHot, false, -1);
    if (p[pcSelectionText] == -1 || p[pcSelectionText] == clFuchsia) {
      if (s_.GetSkinIndex("MENUITEM") >= 0) {
        p[pcSelectionText] = state("MENUITEM", 1, true, -1);
        p[pcSelectionBG] = p[pcSelectionBG_Focused] = state("MENUITEM", 1, false, -1);
        p[pcSelectionText] =
            p[pcSelectionText] == -1 || p[pcSelectionText] == clFuchsia ? clHighlightText : rgb(p[pcSelectionText]);
      } else {
        p[pcSelectionText] = rgb(clHighlightText);
        p[pcSelectionBG] = p[pcSelectionBG_Focused] = rgb(clHighlight);
      }
      p[pcSelectionText_Focused] = p[pcSelectionText];
    }
    p[pcEditText_Ok] = ReadGlobalInt("EDITTEXT_OK", 0x008000);
    p[pcEditText_Warning] = ReadGlobalInt("EDITTEXT_WARN", 0x008484);
    p[pcEditText_Alert] = ReadGlobalInt("EDITTEXT_ALERT", 0x0000FF);
    p[pcEditText_Caution] = 0x8597D9;
    p[pcEditText_Bypassed] = 0x4AB28F;
    p[pcEditBG_Ok] = ReadGlobalInt("EDITBG_OK", 0x6CC2A5);
    p[pcEditBG_Warning] = ReadGlobalInt("EDITBG_WARN", 0x40FFFF);
    p[pcEditBG_Alert] = ReadGlobalInt("EDITBG_ALERT", 0x95A7E9);
    p[pcEditBG_Caution] = 0x8597D9;
    p[pcEditBG_Bypassed] = 0x4AB28F;
    p[pcEditText_Highlight1] = ReadGlobalInt("EDITTEXT_H1", 0);
    p[pcEditText_Highlight2] = ReadGlobalInt("EDITTEXT_H2", 0);
    p[pcEditText_Highlight3] = ReadGlobalInt("EDITTEXT_H3", 0);
    p[pcEditText_Inverted] = ReadGlobalInt("EDITTEXT_INV", p[pcEditBG]);
    p[pcEditBG_Inverted] = ReadGlobalInt("EDITBG_INV", p[pcEditText]);
    p[pcEditBG_OddRow] = ReadGlobalInt("EDITBG_ODD", p[pcEditBG]);
    p[pcEditBG_EvenRow] = ReadGlobalInt("EDITBG_EVEN", MixColors(p[pcEditText], p[pcEditBG], 13));
    const TColor main = p[pcMainColor];
    p[pcBtnColor1Active] = TColor(ReadGlobalInt64("BTNCOLOR1ACTIVE", withAlpha(MixColors(main, 0xFFFFFF, 177))));
    p[pcBtnColor2Active] = TColor(ReadGlobalInt64("BTNCOLOR2ACTIVE", withAlpha(main)));
    p[pcBtnBorderActive] = ReadGlobalInt("BTNBORDERACTIVE", p[pcBorder]);
    p[pcBtnFontActive] = ReadGlobalInt("BTNFONTACTIVE", p[pcLabelText]);
    p[pcBtnColor1Normal] = TColor(ReadGlobalInt64("BTNCOLOR1NORMAL", withAlpha(main)));
    p[pcBtnColor2Normal] = TColor(ReadGlobalInt64("BTNCOLOR2NORMAL", withAlpha(MixColors(main, 0, 244))));
    p[pcBtnBorderNormal] = ReadGlobalInt("BTNBORDERNORMAL", p[pcBorder]);
    p[pcBtnFontNormal] = ReadGlobalInt("BTNFONTNORMAL", p[pcLabelText]);
    p[pcBtnColor1Pressed] = TColor(ReadGlobalInt64("BTNCOLOR1PRESSED", withAlpha(MixColors(main, 0, 233))));
    p[pcBtnColor2Pressed] = TColor(ReadGlobalInt64("BTNCOLOR2PRESSED", withAlpha(MixColors(main, 0, 233))));
    p[pcBtnBorderPressed] = ReadGlobalInt("BTNBORDERPRESSED", p[pcBorder]);
    p[pcBtnFontPressed] = ReadGlobalInt("BTNFONTPRESSED", p[pcLabelText]);
    p[pcGrid] = ReadGlobalInt("GRIDLINE", -1);
    if (p[pcGrid] == -1) p[pcGrid] = MixColors(p[pcEditText], p[pcEditBG], 30);
    s_.UpdateBrushes();
  }

  void LoadAllGeneralData() {
    s_.gd.clear();
    ReadGlobalInfo();
    for (int i = 0; i < sections_.Count(); ++i) {
      TsGeneralData g;
      ReadSectionData(sections_[i], g);
      s_.gd.push_back(std::move(g));
    }
    ReadCommonSections();
    ReadPalette();
    if (s_.GetSkinIndex("TRANSPARENT") < 0)
      s_.AddNewSection("TRANSPARENT", -1, 1, 100, 0xFFFFFF, s_.Palette[pcLabelText]);
    if (s_.GetSkinIndex("MAINCOLOR") < 0)
      s_.AddNewSection("MAINCOLOR", -1, 1, 0, s_.Palette[pcMainColor], s_.Palette[pcLabelText]);
    ApplyHueOffset(s_, src_.HueOffset);
    ApplySaturation(s_, src_.Saturation);
    ApplyBrightness(s_, src_.Brightness);
  }

  TMemIniFile& ini_;
  String path_;
  TacSkinConvertor* pack_;
  const TacSkinSource& src_;
  TacSkinRecords& s_;
  TStringList sections_;
  String suffix_;
};

// Holds the loading flag for one load, also when it raises.
struct LoadingFlag {
  LoadingFlag() { SkinLoadingInProgress = true; }
  ~LoadingFlag() { SkinLoadingInProgress = false; }
};

String WithDelimiter(const String& Dir) { return Dir.empty() ? Dir : IncludeTrailingPathDelimiter(Dir); }

}  // namespace

void LoadSkinFromOptions(const TStrings& Options, const String& SkinPath, TacSkinConvertor* Pack,
                         const TacSkinSource& Source, TacSkinRecords& Records) {
  TMemIniFile ini(String{});
  ini.SetCaseSensitive(true);
  ini.SetStrings(Options);
  TSkinLoader(ini, SkinPath, Pack, Source, Records).Run();
}

bool ReloadSkin(const TacSkinSource& Source, std::unique_ptr<TacSkinRecords>& Target, String* UsedName) {
  LoadingFlag flag;
  const String path = WithDelimiter(WithDelimiter(Source.SkinDirectory) + Source.SkinName);
  auto staging = std::make_unique<TacSkinRecords>();
  TStringList options;
  TacSkinConvertor pack;
  TacSkinConvertor* packed = nullptr;
  String skinPath = path;
  const String file = FindSkinFile(path, "Options.dat");
  if (Source.PreviewText) {
    options.Assign(*Source.PreviewText);
  } else if (!file.empty()) {
    TMemoryStream s;
    s.LoadFromFile(file);
    options.LoadFromStream(s);
  } else {
    skinPath.clear();
    const TsStoredSkins* stored = Source.InternalSkins;
    if (!stored || stored->Items.empty()) return false;
    int i = stored->IndexOf(Source.SkinName);
    if (i < 0) i = 0;
    const TsStoredSkin& skin = stored->Items[size_t(i)];
    if (UsedName) *UsedName = skin.Name;
    if (!skin.PackedData || skin.PackedData->Size() == 0) throw Exception("The stored skin \"" + skin.Name + "\" has no data");
    pack.PackedData = skin.PackedData.get();
    if (!ReadSkinArchive(pack) || !pack.Options) throw Exception("Loaded data is not a packed Glazory file");
    packed = &pack;
    options.LoadFromStream(*pack.Options);
  }
  LoadSkinFromOptions(options, skinPath, packed, Source, *staging);
  staging->CommonSkinData.Active = true;
  Target = std::move(staging);
  return true;
}

void ReloadPackedSkin(const TacSkinSource& Source, std::unique_ptr<TacSkinRecords>& Target) {
  LoadingFlag flag;
  TacSkinConvertor pack;
  const String name = WithDelimiter(Source.SkinDirectory) + Source.SkinName + ".asz";
  const String file = FileExists(name) ? name : FindSkinFile(WithDelimiter(Source.SkinDirectory), Source.SkinName + ".asz");
  if (file.empty() || !LoadPackedFile(file, pack) || !pack.Options)
    throw Exception("Internal format error in the \"" + Source.SkinName +
                    "\" skin. Please, update this skin to latest version.");
  TStringList options;
  options.LoadFromStream(*pack.Options);
  auto staging = std::make_unique<TacSkinRecords>();
  LoadSkinFromOptions(options, WithDelimiter(Source.SkinDirectory), &pack, Source, *staging);
  staging->CommonSkinData.Active = true;
  Target = std::move(staging);
}
void ExtractByIndex(const TsStoredSkins& Skins, int Index, const String& DestDir) {
  const String folder = IncludeTrailingPathDelimiter(DestDir);
  if (!DirectoryExists(folder) && !ForceDirectories(folder)) {
    ShowErrorBox(folder + " directory creation error.");
    return;
  }
  if (Index < 0 || Index >= int(Skins.Items.size())) return;
  const TsStoredSkin& skin = Skins.Items[size_t(Index)];
  if (skin.PackedData && skin.PackedData->Size() > 0)
    skin.PackedData->SaveToFile(folder + skin.Name + " extracted.asz");
}

void ExtractInternalSkin(const TsStoredSkins& Skins, const String& NameOfSkin, const String& DestDir) {
  bool found = false;
  for (size_t i = 0; i < Skins.Items.size(); ++i) {
    if (Skins.Items[i].Name != NameOfSkin) continue;
    found = true;
    if (DirectoryExists(DestDir))
      ExtractByIndex(Skins, int(i), DestDir);
    else
      ShowErrorBox("Directory does not exists.");
  }
  if (!found) ShowErrorBox("Skin does not exists.");
}
