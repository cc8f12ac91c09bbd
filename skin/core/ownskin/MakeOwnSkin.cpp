// Draws the program's own skin and writes it out at build time:
//   MakeOwnSkin <skin folder> <archive> <generated .cpp>
// The skin folder gets "Options.dat", "Master.bmp" (every border, glyph and
// arrow side by side, clFuchsia transparent) and the two shadow templates as
// PNG pictures; the archive packs the same files; the generated source embeds
// the archive and the shadow templates for the program.
//
// Everything is drawn here from rectangles, lines and distances: no picture
// is taken from anywhere else.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/ownskin/PngWrite.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Colours (TColor: 0x00BBGGRR).
constexpr TColor kFace = 0xEFE9E4;       // window background, a light blue-grey
constexpr TColor kText = 0x302820;       // labels
constexpr TColor kLine = 0x9C8F84;       // control borders
constexpr TColor kAccent = 0xC87A2E;     // hot and focused borders, selection (a calm blue)
constexpr TColor kAccentDark = 0x8A5420;  // pressed
constexpr TColor kField = 0xFFFFFF;      // edits and lists
constexpr TColor kTitle = 0x5E4A3A;      // title bar
constexpr TColor kTitleText = 0xFFFFFF;
constexpr TColor kKey = clFuchsia;

// The master bitmap, drawn as 24-bit pixels with clFuchsia as transparency.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * size_t(h), kKey) {}
  void Set(int x, int y, TColor c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[size_t(y) * size_t(w_) + size_t(x)] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, TColor c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  void Frame(int x0, int y0, int x1, int y1, TColor c) {
    Fill(x0, y0, x1, y0 + 1, c);
    Fill(x0, y1 - 1, x1, y1, c);
    Fill(x0, y0, x0 + 1, y1, c);
    Fill(x1 - 1, y0, x1, y1, c);
  }
  // A frame with its corner pixels cut away (left transparent): a softly rounded box.
  void RoundFrame(int x0, int y0, int x1, int y1, TColor line, TColor inner) {
    Fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inner);
    Frame(x0, y0, x1, y1, line);
    for (auto [x, y] : {std::pair{x0, y0}, {x1 - 1, y0}, {x0, y1 - 1}, {x1 - 1, y1 - 1}}) Set(x, y, kKey);
  }
  void Line(int x0, int y0, int x1, int y1, TColor c) {
    const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= n; ++i)
      Set(x0 + (n ? (x1 - x0) * i / n : 0), y0 + (n ? (y1 - y0) * i / n : 0), c);
  }
  // A filled disc (its outside stays transparent).
  void Disc(double cx, double cy, double r, TColor c) {
    for (int y = int(cy - r - 1); y <= int(cy + r + 1); ++y)
      for (int x = int(cx - r - 1); x <= int(cx + r + 1); ++x)
        if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) Set(x, y, c);
  }
  Bytes Bmp() const {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(w_, h_);
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) b.Canvas()->SetPixels(x, y, px_[size_t(y) * size_t(w_) + size_t(x)]);
    TMemoryStream s;
    b.SaveToStream(s);
    return Bytes(s.Memory(), s.Memory() + s.Size());
  }

 private:
  int w_, h_;
  std::vector<TColor> px_;
};

std::string Rect4(int l, int t, int r, int b) {
  char s[32];
  std::snprintf(s, sizeof s, "%04d,%04d,%04d,%04d", l, t, r, b);
  return s;
}

// "^" border mask: frames side by side, border widths, frames, mask type, draw mode, border width.
std::string Border(int l, int t, int r, int b, int width, int frames, int drawMode) {
  char s[64];
  std::snprintf(s, sizeof s, "^%s,%04d,%04d,%04d,%04d,%d,0,%d,0", Rect4(l, t, r, b).c_str(), width, width, width,
                width, frames, drawMode);
  return s;
}

// "@" glyph: frames side by side, key-colour transparency.
std::string Glyph(int l, int t, int r, int b, int frames) { return "@" + Rect4(l, t, r, b) + "," + std::to_string(frames) + ",0"; }

std::string Hex(TColor c) {
  char s[16];
  std::snprintf(s, sizeof s, "$%06X", unsigned(c) & 0xFFFFFF);
  return s;
}

// Layout of the master bitmap (256 x 96).
struct Layout {
  // Button border: 3 frames of 24 x 24 (normal, hot, pressed).
  static constexpr int kButtonX = 0, kButtonY = 0, kButton = 24;
  // Edit and list border: 2 frames of 16 x 16 (normal, focused).
  static constexpr int kEditX = 72, kEditY = 0, kEdit = 16;
  // Form border: 1 frame of 24 x 24.
  static constexpr int kFormX = 104, kFormY = 0, kForm = 24;
  // Check boxes: 3 frames of 13 x 13 each, one row per image (unchecked, checked, grayed).
  static constexpr int kBoxX = 128, kBox = 13;
  // Radio buttons apart from everything else: 3 frames of 13 x 13, rows unchecked and checked.
  static constexpr int kRadioX = 170;
  // The track bar's channel: one frame of 16 x 6 with 2-pixel borders, centre painted.
  static constexpr int kChannelX = 212, kChannelW = 16, kChannelH = 6;
  // Title glyphs: 3 frames of 16 x 16 each, in a row of five.
  static constexpr int kTitleY = 40, kGlyph = 16;
  // Arrows (3 frames of 9 x 9) and the track-bar thumb (3 frames of 11 x 19).
  static constexpr int kArrowY = 56, kArrow = 9, kThumbX = 112, kThumbW = 11, kThumbH = 19;
  // The size grip: one frame of 12 x 12, its dots in the bottom-right corner.
  static constexpr int kGripX = 160, kGripY = 76, kGrip = 12;
};

void DrawButtons(Canvas& c) {
  const TColor lines[3] = {kLine, kAccent, kAccentDark};
  for (int s = 0; s < 3; ++s) {
    const int x = Layout::kButtonX + s * Layout::kButton;
    c.Fill(x + 1, 1, x + Layout::kButton - 1, Layout::kButton - 1, kKey);  // the centre shows the section's colours
    c.Frame(x, 0, x + Layout::kButton, Layout::kButton, lines[s]);
    // The inner ring of the 2-pixel border: a light edge, darker when pressed.
    c.Frame(x + 1, 1, x + Layout::kButton - 1, Layout::kButton - 1, s == 2 ? kAccentDark : 0xFCFAF8);
    for (auto [px, py] : {std::pair{x, 0}, {x + Layout::kButton - 1, 0}, {x, Layout::kButton - 1},
                          {x + Layout::kButton - 1, Layout::kButton - 1}})
      c.Set(px, py, kKey);
  }
}

void DrawFieldsAndForm(Canvas& c) {
  for (int s = 0; s < 2; ++s) {
    const int x = Layout::kEditX + s * Layout::kEdit;
    c.Frame(x, 0, x + Layout::kEdit, Layout::kEdit, s ? kAccent : kLine);
  }
  const int f = Layout::kFormX;
  c.Fill(f, 0, f + Layout::kForm, Layout::kForm, kFace);
  c.Frame(f, 0, f + Layout::kForm, Layout::kForm, kTitle);
  c.Frame(f + 1, 1, f + Layout::kForm - 1, Layout::kForm - 1, kTitle);
  c.Frame(f + 2, 2, f + Layout::kForm - 2, Layout::kForm - 2, 0xD6CEC8);
}

// Check boxes (unchecked, checked, grayed) and radio buttons (unchecked, checked), three states each.
void DrawBoxes(Canvas& c) {
  const TColor lines[3] = {kLine, kAccent, kAccentDark};
  for (int row = 0; row < 5; ++row)
    for (int s = 0; s < 3; ++s) {
      const int x = (row < 3 ? Layout::kBoxX : Layout::kRadioX) + s * Layout::kBox, y = (row < 3 ? row : row - 3) * Layout::kBox;
      if (row < 3) {
        c.Fill(x, y, x + Layout::kBox, y + Layout::kBox, kField);
        c.Frame(x, y, x + Layout::kBox, y + Layout::kBox, lines[s]);
        if (row == 1)
          for (int i = 0; i < 3; ++i) {
            c.Line(x + 3, y + 6 + i - 1, x + 5, y + 8 + i - 1, kAccentDark);
            c.Line(x + 5, y + 8 + i - 1, x + 9, y + 4 + i - 1, kAccentDark);
          }
        if (row == 2) c.Fill(x + 3, y + 3, x + 10, y + 10, 0xB0A8A0);
      } else {
        c.Disc(x + 6.5, y + 6.5, 6.2, lines[s]);
        c.Disc(x + 6.5, y + 6.5, 5.2, kField);
        if (row == 4) c.Disc(x + 6.5, y + 6.5, 2.6, kAccentDark);
      }
    }
}

// The track bar's groove: a sunken line with a light bottom edge.
void DrawChannel(Canvas& c) {
  const int x = Layout::kChannelX, w = Layout::kChannelW, h = Layout::kChannelH;
  c.Fill(x, 0, x + w, h, 0xD6CEC8);
  c.Fill(x, 0, x + w, 1, kLine);
  c.Fill(x, 0, x + 1, h, kLine);
  c.Fill(x + w - 1, 0, x + w, h, 0xFCFAF8);
  c.Fill(x, h - 1, x + w, h, 0xFCFAF8);
}

// Close, maximise, minimise, restore and help: light line art, brighter when hot, framed when pressed.
void DrawTitleGlyphs(Canvas& c) {
  const TColor ink[3] = {0xE8E0D8, 0xFFFFFF, 0xFFFFFF};
  for (int g = 0; g < 5; ++g)
    for (int s = 0; s < 3; ++s) {
      const int x = (g * 3 + s) * Layout::kGlyph, y = Layout::kTitleY;
      if (s > 0) c.Fill(x + 1, y + 1, x + 15, y + 15, g == 0 ? 0x3030C0 : (s == 1 ? 0x7A6452 : 0x4A3A2E));
      const TColor k = ink[s];
      switch (g) {
        case 0:
          for (int d = 0; d < 2; ++d) {
            c.Line(x + 4 + d, y + 4, x + 11 + d, y + 11, k);
            c.Line(x + 11 + d, y + 4, x + 4 + d, y + 11, k);
          }
          break;
        case 1:
          c.Frame(x + 4, y + 4, x + 12, y + 12, k);
          c.Fill(x + 4, y + 5, x + 12, y + 6, k);
          break;
        case 2: c.Fill(x + 4, y + 10, x + 12, y + 12, k); break;
        case 3:
          c.Frame(x + 6, y + 3, x + 13, y + 10, k);
          c.Fill(x + 3, y + 6, x + 10, y + 13, kKey);
          c.Frame(x + 3, y + 6, x + 10, y + 13, k);
          break;
        default:
          c.Line(x + 5, y + 5, x + 7, y + 3, k);
          c.Line(x + 7, y + 3, x + 10, y + 5, k);
          c.Line(x + 10, y + 5, x + 8, y + 8, k);
          c.Fill(x + 8, y + 8, x + 9, y + 10, k);
          c.Fill(x + 8, y + 11, x + 9, y + 12, k);
      }
    }
}

// Arrows pointing left, right, up and down, then the thumb of the track bar.
void DrawArrowsAndThumb(Canvas& c) {
  const TColor ink[3] = {0x605850, kAccent, kAccentDark};
  for (int dir = 0; dir < 4; ++dir)
    for (int s = 0; s < 3; ++s) {
      const int x = (dir * 3 + s) * Layout::kArrow, y = Layout::kArrowY;
      for (int i = 0; i < 4; ++i) {
        switch (dir) {
          case 0: c.Line(x + 2 + i, y + 4 - i, x + 2 + i, y + 4 + i, ink[s]); break;
          case 1: c.Line(x + 6 - i, y + 4 - i, x + 6 - i, y + 4 + i, ink[s]); break;
          case 2: c.Line(x + 4 - i, y + 2 + i, x + 4 + i, y + 2 + i, ink[s]); break;
          default: c.Line(x + 4 - i, y + 6 - i, x + 4 + i, y + 6 - i, ink[s]);
        }
      }
    }
  for (int s = 0; s < 3; ++s) {
    const int x = Layout::kThumbX + s * Layout::kThumbW, y = Layout::kArrowY;
    c.RoundFrame(x, y, x + Layout::kThumbW, y + Layout::kThumbH, s ? kAccentDark : kLine, s == 1 ? 0xF6E2CC : kField);
  }
}

// The size grip: three diagonal rows of raised dots falling to the bottom-right corner.
void DrawGrip(Canvas& c) {
  const int x0 = Layout::kGripX, y0 = Layout::kGripY, n = Layout::kGrip;
  for (int row = 0; row < 3; ++row)
    for (int k = 0; k <= row; ++k) {
      const int x = x0 + n - 4 - (row - k) * 4, y = y0 + n - 4 - k * 4;
      c.Fill(x, y, x + 2, y + 2, 0xFCFAF8);
      c.Fill(x, y, x + 1, y + 1, kLine);
      c.Set(x + 1, y, 0x9C928A);
      c.Set(x, y + 1, 0x9C928A);
    }
}

// A form shadow template: a soft shadow 9 pixels wide around a transparent middle.
Bytes ShadowTemplate(int strength) {
  constexpr int kSize = 40, kEdge = 9;
  std::vector<uint32_t> px(size_t(kSize) * kSize, 0x00FFFFFF);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int dx = std::max({kEdge - x, x - (kSize - 1 - kEdge), 0});
      const int dy = std::max({kEdge - y, y - (kSize - 1 - kEdge), 0});
      const double d = std::hypot(dx, dy);
      if (d == 0 || d >= kEdge) continue;
      const double fall = 1.0 - d / kEdge;
      px[size_t(y) * kSize + size_t(x)] = uint32_t(std::lround(strength * fall * fall)) << 24;
    }
  return ownskin::EncodePng(kSize, kSize, px);
}

std::string OptionsText() {
  using L = Layout;
  std::string t;
  auto section = [&](const std::string& name) { t += "\r\n[" + name + "]\r\n"; };
  auto key = [&](const std::string& k, const std::string& v) { t += k + "=" + v + "\r\n"; };
  auto colour = [&](const std::string& k, TColor c) { key(k, Hex(c)); };
  section("GLOBALINFO");
  key("VERSION", "10.0");
  key("AUTHOR", "Tarnwick");
  key("DESCRIPTION", "The program's own skin, drawn at build time");
  key("MASTERBITMAP", "Master.bmp");
  colour("COLOR", kFace);
  colour("FONTCOLOR", kText);
  colour("BORDERCOLOR", kLine);
  key("TITLEHEIGHT", "26");
  key("BORDERWIDTH", "4");
  static const char* const kTitleGlyphs[5] = {"BICONCLOSE", "BICONMAX", "BICONMIN", "BICONNORM", "BICONHELP"};
  for (int g = 0; g < 5; ++g)
    key(kTitleGlyphs[g], Glyph(g * 3 * L::kGlyph, L::kTitleY, (g * 3 + 3) * L::kGlyph, L::kTitleY + L::kGlyph, 3));
  static const char* const kBoxes[5] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED"};
  for (int b = 0; b < 5; ++b) {
    const int x = b < 3 ? L::kBoxX : L::kRadioX, row = b < 3 ? b : b - 3;
    key(kBoxes[b], Glyph(x, row * L::kBox, x + 3 * L::kBox, (row + 1) * L::kBox, 3));
  }
  for (const char* small : {"SMALLUNCHECKED", "SMALLCHECKED", "SMALLGRAYED"}) {
    const int b = small[5] == 'U' ? 0 : (small[5] == 'C' ? 1 : 2);
    key(small, Glyph(L::kBoxX, b * L::kBox, L::kBoxX + 3 * L::kBox, (b + 1) * L::kBox, 3));
  }
  key("GRIPIMAGE", Glyph(L::kGripX, L::kGripY, L::kGripX + L::kGrip, L::kGripY + L::kGrip, 1));

  // Border widths are the lines drawn: nothing transparent lies inside a border.
  const std::string button = Border(L::kButtonX, L::kButtonY, L::kButtonX + 3 * L::kButton, L::kButton, 2, 3, 0);
  const std::string field = Border(L::kEditX, L::kEditY, L::kEditX + 2 * L::kEdit, L::kEdit, 1, 2, 0);
  const std::string form = Border(L::kFormX, L::kFormY, L::kFormX + L::kForm, L::kForm, 4, 1, 0);
  auto arrow = [&](int dir) { return Glyph(dir * 3 * L::kArrow, L::kArrowY, (dir * 3 + 3) * L::kArrow, L::kArrowY + L::kArrow, 3); };
  const std::string gradient = Hex(0xFBF8F6) + ";0;0;" + Hex(0xE4DCD5) + ";100;0;B";

  // Sections that look the same whether hot or not have one state: a state
  // without colours of its own would read the loader's white, opaque.
  auto oneState = [&] { key("STATES", "1"); };
  section("FORM");
  oneState();
  colour("COLOR", kFace);
  colour("FONTCOLOR", kText);
  key("BORDERSMASK", form);
  section("FORMTITLE");
  colour("COLOR", kTitle);
  colour("FONTCOLOR", kTitleText);
  colour("HOTCOLOR", kTitle);
  colour("HOTFONTCOLOR", kTitleText);
  key("GRADIENTDATA", Hex(0x6E5848) + ";0;0;" + Hex(0x4E3C2E) + ";100;0;B");
  key("GRADIENTPERCENT", "100");
  section("DIALOGTITLE");
  key("PARENTCLASS", "FORMTITLE");
  section("CAPTION");
  key("PARENTCLASS", "FORMTITLE");
  for (const char* name : {"BUTTON", "SPEEDBUTTON", "TOOLBUTTON", "COMBOBTN", "UPDOWNBTN", "COLHEADER"}) {
    section(name);
    if (std::string(name) != "BUTTON") key("PARENTCLASS", "BUTTON");
    if (std::string(name) == "BUTTON") {
      colour("COLOR", 0xF4F0EC);
      colour("FONTCOLOR", kText);
      colour("HOTCOLOR", 0xFBF1E6);
      colour("HOTFONTCOLOR", kText);
      colour("COLOR2", 0xEAD8C4);
      colour("FONTCOLOR2", kText);
      key("USESTATE2", "1");
      key("GRADIENTDATA", gradient);
      key("GRADIENTPERCENT", "100");
      key("BORDERSMASK", button);
    }
    if (std::string(name) == "COMBOBTN") key("GLYPHMASK", arrow(3));
  }
  for (const char* name : {"EDIT", "COMBOBOX", "LISTBOX", "MEMO"}) {
    section(name);
    if (std::string(name) != "EDIT") key("PARENTCLASS", "EDIT");
    if (std::string(name) == "EDIT") {
      colour("COLOR", kField);
      colour("FONTCOLOR", kText);
      colour("HOTCOLOR", kField);
      colour("HOTFONTCOLOR", kText);
      key("STATES", "2");
      key("BORDERSMASK", field);
    }
  }
  for (const char* name : {"PANEL", "TOOLBAR", "STATUSBAR", "GROUPBOX", "TABSHEET", "PAGECONTROL", "CHECKBOX"}) {
    section(name);
    oneState();
    colour("COLOR", kFace);
    colour("FONTCOLOR", kText);
    key("TRANSPARENCY", std::string(name) == "CHECKBOX" || std::string(name) == "GROUPBOX" ? "100" : "0");
  }
  section("PANEL_LOW");
  key("PARENTCLASS", "EDIT");
  section("TABTOP");
  key("PARENTCLASS", "BUTTON");
  section("SPLITTER");
  oneState();
  colour("COLOR", 0xDCD4CE);
  section("MENUITEM");
  colour("COLOR", kField);
  colour("FONTCOLOR", kText);
  colour("HOTCOLOR", kAccent);
  colour("HOTFONTCOLOR", 0xFFFFFF);
  section("MAINMENU");
  oneState();
  colour("COLOR", kFace);
  colour("FONTCOLOR", kText);
  section("MENULINE");
  oneState();
  colour("COLOR", kFace);
  section("SELECTION");
  colour("COLOR", 0xE8D2BA);
  colour("FONTCOLOR", kText);
  colour("HOTCOLOR", kAccent);
  colour("HOTFONTCOLOR", 0xFFFFFF);
  section("HINT");
  oneState();
  colour("COLOR", 0xE1FFFF);
  colour("FONTCOLOR", kText);
  key("BORDERSMASK", field);
  section("TRACKBAR");
  oneState();
  colour("COLOR", kFace);
  key("TRANSPARENCY", "100");
  key("SLIDERMASK", Glyph(L::kThumbX, L::kArrowY, L::kThumbX + 3 * L::kThumbW, L::kArrowY + L::kThumbH, 3));
  key("SLIDERCHANNEL", Border(L::kChannelX, 0, L::kChannelX + L::kChannelW, L::kChannelH, 2, 1, 4));
  for (const char* name : {"PROGRESSH", "PROGRESSV", "GAUGE"}) {
    section(name);
    oneState();
    colour("COLOR", kAccent);
    key("BORDERSMASK", field);
  }
  static const char* const kScrollButtons[4] = {"SCROLLBTNLEFT", "SCROLLBTNRIGHT", "SCROLLBTNTOP", "SCROLLBTNBOTTOM"};
  for (int d = 0; d < 4; ++d) {
    section(kScrollButtons[d]);
    key("PARENTCLASS", "BUTTON");
    key("GLYPHMASK", arrow(d));
  }
  for (const char* name : {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"}) {
    section(name);
    oneState();
    colour("COLOR", 0xF2EEEA);
  }
  for (const char* name : {"SCROLLSLIDERH", "SCROLLSLIDERV"}) {
    section(name);
    key("PARENTCLASS", "BUTTON");
  }
  return t;
}

void Write(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

void WriteArray(std::ofstream& out, const char* name, const Bytes& data) {
  out << "const unsigned char " << name << "[] = {";
  for (size_t i = 0; i < data.size(); ++i) out << (i % 24 ? "" : "\n  ") << unsigned(data[i]) << ",";
  out << "\n};\nconst unsigned long " << name << "Size = " << data.size() << ";\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: MakeOwnSkin <skin folder> <archive> <generated source>\n");
    return 2;
  }
  try {
    Canvas master(256, 96);
    DrawButtons(master);
    DrawFieldsAndForm(master);
    DrawBoxes(master);
    DrawChannel(master);
    DrawTitleGlyphs(master);
    DrawArrowsAndThumb(master);
    DrawGrip(master);
    const std::string text = OptionsText();
    const std::vector<TacSkinArchiveItem> items = {
        {"Options.dat", Bytes(text.begin(), text.end())},
        {"Master.bmp", master.Bmp()},
        {"ShadowActive.png", ShadowTemplate(110)},
        {"ShadowInactive.png", ShadowTemplate(60)},
    };
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const TacSkinArchiveItem& item : items) Write(folder + "/" + item.Name, item.Data);
    TMemoryStream archive;
    WriteSkinArchive(archive, items);
    const Bytes packed(archive.Memory(), archive.Memory() + archive.Size());
    Write(argv[2], packed);
    std::ofstream src(argv[3]);
    src << "// Made by MakeOwnSkin at build time.\n#include \"skin/core/ownskin/OwnSkin.h\"\n\nnamespace ownskin {\n";
    WriteArray(src, "kArchive", packed);
    WriteArray(src, "kShadowActive", items[2].Data);
    WriteArray(src, "kShadowInactive", items[3].Data);
    src << "}  // namespace ownskin\n\n"
           "OwnSkinBytes OwnSkinArchive() { return {ownskin::kArchive, ownskin::kArchiveSize}; }\n"
           "OwnSkinBytes OwnShadowTemplate(bool Active) {\n"
           "  return Active ? OwnSkinBytes{ownskin::kShadowActive, ownskin::kShadowActiveSize}\n"
           "                : OwnSkinBytes{ownskin::kShadowInactive, ownskin::kShadowInactiveSize};\n}\n";
    if (!src) throw std::runtime_error(std::string("cannot write ") + argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "MakeOwnSkin: %s\n", e.what());
    return 1;
  }
  return 0;
}
