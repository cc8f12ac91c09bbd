#pragma once
// Skins made in code for the loader's tests, written per run into a folder
// under TMPDIR and packed into archives. Three canonical skins:
//   minimal  GLOBALINFO and one section, no images;
//   flat     inheriting sections, gradients, palette keys, a graded-alpha PNG
//            and a keyed BMP as external images;
//   framed   a master bitmap with labelled regions: a border mask with
//            fuchsia corners, a glyph, a texture, check-box images and a
//            scaled variant, in a sub-folder named in other letter case.

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "SkinFiles.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acSkinPack.h"

namespace skintest {

// "^" border mask: rectangle, border widths, frames, mask type, draw mode, border width.
inline std::string BorderValue(TRect r, int wl, int wt, int wr, int wb, int count, int maskType, int drawMode,
                               int bw) {
  char b[64];
  std::snprintf(b, sizeof b, "^%04d,%04d,%04d,%04d,%04d,%04d,%04d,%04d,%d,%d,%d,%d", r.Left, r.Top, r.Right, r.Bottom,
                wl, wt, wr, wb, count, maskType, drawMode, bw);
  return b;
}

// "@" glyph: rectangle, frames, mask type.
inline std::string GlyphValue(TRect r, int count, int maskType) {
  char b[40];
  std::snprintf(b, sizeof b, "@%04d,%04d,%04d,%04d,%d,%d", r.Left, r.Top, r.Right, r.Bottom, count, maskType);
  return b;
}

// "~" texture: rectangle, draw mode, mask type and an optional own file.
inline std::string TextureValue(TRect r, int drawMode, int maskType, const std::string& file = "") {
  char b[64];
  std::snprintf(b, sizeof b, "~%04d~%04d~%04d~%04d~%02d~%d~", r.Left, r.Top, r.Right, r.Bottom, drawMode, maskType);
  return b + file;
}

// An options text: sections in order, keys in order.
struct Options {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
  Options& Section(const std::string& name) {
    sections.push_back({name, {}});
    return *this;
  }
  Options& Key(const std::string& k, const std::string& v) {
    sections.back().second.emplace_back(k, v);
    return *this;
  }
  Options& Key(const std::string& k, long v) { return Key(k, std::to_string(v)); }
  std::string Text() const {
    std::string t;
    for (const auto& [name, keys] : sections) {
      t += "[" + name + "]\r\n";
      for (const auto& [k, v] : keys) t += k + "=" + v + "\r\n";
      t += "\r\n";
    }
    return t;
  }
};

inline Bytes BmpBytes(TBitmap* b) {
  TMemoryStream s;
  b->SaveToStream(s);
  return Bytes(s.Memory(), s.Memory() + s.Size());
}

// A skin: its options and files (relative names with '/').
struct SkinFiles {
  Options options;
  std::map<std::string, Bytes> files;

  void WriteFolder(const std::string& dir) const {
    std::filesystem::create_directories(dir);
    WriteFile(dir + "/Options.dat", options.Text());
    for (const auto& [name, data] : files) {
      std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
      WriteFile(dir + "/" + name, data);
    }
  }
  // Options first or last; entry names are the files' relative names with "\" between folders.
  Bytes Archive(bool optionsFirst = true, const Bytes& preview = {}) const {
    std::vector<TacSkinArchiveItem> items;
    const std::string text = options.Text();
    TacSkinArchiveItem opt{"Options.dat", Bytes(text.begin(), text.end())};
    if (optionsFirst) items.push_back(opt);
    for (const auto& [name, data] : files) {
      std::string entry = name;
      std::replace(entry.begin(), entry.end(), '/', '\\');
      items.push_back({entry, data});
    }
    if (!optionsFirst) items.push_back(opt);
    TMemoryStream s;
    WriteSkinArchive(s, items, preview);
    return Bytes(s.Memory(), s.Memory() + s.Size());
  }
};

inline SkinFiles MinimalSkin() {
  SkinFiles s;
  s.options.Section("GLOBALINFO").Key("VERSION", "10.0").Key("AUTHOR", "tests");
  s.options.Section("BUTTON").Key("COLOR", 0x808080).Key("FONTCOLOR", 0x101010);
  return s;
}

inline SkinFiles FlatSkin() {
  SkinFiles s;
  s.options.Section("GLOBALINFO")
      .Key("VERSION", "10.0")
      .Key("COLOR", 0xC0C0C0)
      .Key("FONTCOLOR", 0x202020)
      .Key("EDITTEXT_ALERT", 0x0000AA)
      .Key("BTNCOLOR1ACTIVE", "$80112233")
      .Key("TITLEHEIGHT", 20)
      .Key("SHADOWIMG", "!shade.png!1!1!1")
      .Key("KEYED", "keyed.bmp");
  s.options.Section("PANEL").Key("COLOR", 255).Key("GRADIENTDATA", "$000000;0;0;$FFFFFF;100;0;B").Key("GRADIENTPERCENT", 30);
  s.options.Section("BUTTON")
      .Key("PARENTCLASS", "PANEL")
      .Key("GIVEOWNFONT", "TRUE")
      .Key("RESERVEDBOOLEAN", "true")
      .Key("HOTFONTCOLOR", 0x00FF00)
      .Key("TRANSPARENCY", -5);
  s.options.Section("EDIT").Key("COLOR", 0xFFFFFF).Key("FONTCOLOR", 0).Key("GIVEOWNFONT", "1").Key("STATES", 1);
  s.options.Section("SELECTION").Key("COLOR", 0x884400).Key("FONTCOLOR", 0xFFFFFF).Key("HOTCOLOR", 0xAA6600);
  // A graded-alpha PNG and a keyed 24-bit BMP.
  std::vector<uint32_t> px;
  for (int i = 0; i < 16; ++i) px.push_back(uint32_t(i * 17) << 24 | 0x00C08040);
  s.files["shade.png"] = EncodePng(4, 4, px);
  TBitmap keyed;
  keyed.SetPixelFormat(pf24bit);
  keyed.SetSize(4, 2);
  keyed.Canvas()->Brush()->SetColor(TColor(0x204060));
  keyed.Canvas()->FillRect(TRect(0, 0, 4, 2));
  keyed.Canvas()->SetPixels(0, 0, clFuchsia);
  s.files["keyed.bmp"] = BmpBytes(&keyed);
  return s;
}

// The master bitmap of the framed skin (64 x 32, 24-bit):
//   (0, 0, 24, 12)  border mask, 2 frames of 12 x 12, fuchsia 2 x 2 corners,
//                   frame 0 grey 0x606060 with a 0x303030 border, frame 1 red;
//   (24, 0, 32, 8)  glyph, one frame, colour 0x0000FF with a fuchsia pixel at (24, 0);
//   (32, 0, 40, 8)  texture, colour 0x00FF00;
//   (40, 0, 48, 8)  BOXCHECKED, key-colour image with a fuchsia pixel at (40, 0);
//   (0, 12, 12, 36) a masked image (mask type 1) of 12 x 24: picture over grey mask rows.
inline std::unique_ptr<TBitmap> FramedMaster() {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(64, 40);
  TCanvas* c = b->Canvas();
  auto fill = [&](TRect r, TColor col) {
    c->Brush()->SetColor(col);
    c->FillRect(r);
  };
  fill(TRect(0, 0, 64, 40), TColor(0x111111));
  fill(TRect(0, 0, 12, 12), TColor(0x303030));
  fill(TRect(2, 2, 10, 10), TColor(0x606060));
  fill(TRect(12, 0, 24, 12), TColor(0x0000C0));
  for (int fx : {0, 12})
    for (int cx : {0, 10})
      for (int cy : {0, 10}) fill(TRect(fx + cx, cy, fx + cx + 2, cy + 2), clFuchsia);
  fill(TRect(24, 0, 32, 8), TColor(0x0000FF));
  c->SetPixels(24, 0, clFuchsia);
  fill(TRect(32, 0, 40, 8), TColor(0x00FF00));
  fill(TRect(40, 0, 48, 8), TColor(0xFF0000));
  c->SetPixels(40, 0, clFuchsia);
  fill(TRect(0, 12, 12, 24), TColor(0x00AAAA));
  fill(TRect(0, 24, 12, 36), TColor(0x808080));
  return b;
}

inline SkinFiles FramedSkin() {
  SkinFiles s;
  s.options.Section("GLOBALINFO")
      .Key("VERSION", "11.5")
      .Key("MASTERBITMAP", "Parts\\MASTER.BMP")
      .Key("BOXCHECKED", GlyphValue(TRect(40, 0, 48, 8), 1, 0))
      .Key("GLOWTEX", TextureValue(TRect(0, 0, 4, 4), 1, 0, "SHADE.PNG"))
      .Key("SH_SOURCE", 1)
      .Key("SH_MASK", BorderValue(TRect(0, 0, 24, 12), 2, 2, 2, 2, 2, 0, 0, 0));
  s.options.Section("FORM")
      .Key("COLOR", 0xDDDDDD)
      .Key("BORDERSMASK", BorderValue(TRect(0, 0, 24, 12), 0, 0, 0, 0, 2, 0, 1, 3))
      .Key("GLYPHMASK", GlyphValue(TRect(24, 0, 32, 8), 1, 0))
      .Key("GLYPHMASK*125", GlyphValue(TRect(24, 0, 34, 10), 1, 0))
      .Key("PATTERN", TextureValue(TRect(32, 0, 40, 8), 0, 0))
      .Key("SHADE", BorderValue(TRect(0, 12, 12, 36), 3, 3, 3, 3, 1, 1, 0, 0));
  s.options.Section("BUTTON").Key("PARENTCLASS", "FORM").Key("HOTCOLOR", 0x00FFFF);
  s.files["parts/master.bmp"] = BmpBytes(FramedMaster().get());
  std::vector<uint32_t> px(16, 0x80FFFFFF);
  s.files["shade.png"] = EncodePng(4, 4, px);
  return s;
}

}  // namespace skintest
