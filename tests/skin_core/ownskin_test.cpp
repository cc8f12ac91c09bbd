#include <gtest/gtest.h>

#include <algorithm>

#include "SkinTestUtil.h"
#include "skin/core/AlphaBitmapsPng.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/ownskin/OwnSkin.h"
#include "skin/core/sSkinLoader.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sSkinPaint.h"

namespace {

TacSkinSource OwnSource() {
  TacSkinSource src;
  src.SkinDirectory = TARNWICK_OWN_SKIN_DIR;
  src.SkinName = kOwnSkinName;
  return src;
}

}  // namespace

TEST(OwnSkin, LoadsFromFolderArchiveAndProgram) {
  std::unique_ptr<TacSkinRecords> folder, packed, inside;
  ASSERT_TRUE(ReloadSkin(OwnSource(), folder));
  ReloadPackedSkin(OwnSource(), packed);
  TsStoredSkins stored;
  const OwnSkinBytes bytes = OwnSkinArchive();
  stored.Items.push_back({kOwnSkinName, "", std::make_shared<TMemoryStream>()});
  stored.Items[0].PackedData->WriteBuffer(bytes.Data, int64_t(bytes.Size));
  TacSkinSource src = OwnSource();
  src.SkinDirectory = "";
  src.SkinName = "NoSuchFolder";
  src.InternalSkins = &stored;
  ASSERT_TRUE(ReloadSkin(src, inside));

  for (TacSkinRecords* s : {folder.get(), packed.get(), inside.get()}) {
    for (const char* name : {"FORM", "FORMTITLE", "BUTTON", "EDIT", "COMBOBOX", "MENUITEM", "MAINMENU", "HINT",
                             "TRACKBAR", "PROGRESSH", "SCROLLBTNLEFT", "SCROLLBAR1H", "SELECTION", "STATUSBAR"})
      EXPECT_GE(s->GetSkinIndex(name), 0) << name;
    const int button = s->GetSkinIndex("BUTTON");
    ASSERT_GE(s->gd[size_t(button)].BorderIndex, 0);
    EXPECT_EQ(s->ma[size_t(s->gd[size_t(button)].BorderIndex)].ImageCount, 3);
    for (int i = 0; i < 3; ++i) EXPECT_GE(s->ConstData.CheckBox[size_t(i)], 0);
    for (int i = 0; i < 6; ++i) EXPECT_GE(s->ConstData.TitleGlyphs[size_t(i)], 0) << i;
    EXPECT_GE(s->ConstData.Sliders[1].SkinIndex, 0);
    EXPECT_GE(s->ConstData.ScrollBtns[asLeft].GlyphIndex, 0);
    EXPECT_GE(s->ConstData.TrackBar[1].SliderIndex, 0);
    EXPECT_EQ(s->ConstData.ComboBtn.SkinSection, "COMBOBTN");
    for (int y = 0; y < 96; y += 5)
      for (int x = 0; x < 256; x += 3)
        ASSERT_EQ(Px(s->MasterBitmap.get(), x, y), Px(folder->MasterBitmap.get(), x, y));
  }
  EXPECT_TRUE(inside->SkinIsPacked);
}

TEST(OwnSkin, ButtonsPaintTheirStates) {
  std::unique_ptr<TacSkinRecords> s;
  ASSERT_TRUE(ReloadSkin(OwnSource(), s));
  const int button = s->GetSkinIndex("BUTTON");
  uint32_t border[3], face[3];
  for (int state = 0; state < 3; ++state) {
    auto b = FilledBitmap(60, 24, 0xFF00FF00);
    PaintSkinItem(button, EmptyCI, -1, -1, s.get(), b.get(), TPoint(), TRect(0, 0, 60, 24), state);
    border[state] = Px(b.get(), 0, 12);
    face[state] = Px(b.get(), 30, 12);
    EXPECT_EQ(Px(b.get(), 0, 0) & 0xFFFFFF, 0xFF00FFu);  // a cut corner keeps the key
  }
  EXPECT_NE(border[0], border[1]);
  EXPECT_NE(border[1], border[2]);
  EXPECT_NE(face[0], face[2]);
  EXPECT_NE(face[0] & 0xFFFFFF, 0x00FF00u);  // the face is the section's gradient
}

TEST(OwnSkin, ShadowTemplatesFadeOutward) {
  for (bool active : {true, false}) {
    const OwnSkinBytes png = OwnShadowTemplate(active);
    TMemoryStream s;
    s.WriteBuffer(png.Data, int64_t(png.Size));
    s.SetPosition(0);
    TBitmap b;
    LoadBitmapFromPngStream(&b, s);
    ASSERT_EQ(b.Width(), 40);
    EXPECT_EQ(Px(&b, 20, 20) >> 24, 0u);  // the middle is clear
    EXPECT_EQ(Px(&b, 0, 20) >> 24, 0u);   // so is the outer edge
    EXPECT_GT(Px(&b, 8, 20) >> 24, Px(&b, 3, 20) >> 24);  // darker toward the window
  }
}

TEST(OwnSkin, EverySectionPaintsCleanlyOverItsWholeRectangle) {
  std::unique_ptr<TacSkinRecords> s;
  ASSERT_TRUE(ReloadSkin(OwnSource(), s));
  // A parent colour that no section uses: wherever it shows inside an opaque
  // section, the section left a hole (a key pixel inside a border).
  constexpr uint32_t kProbe = 0xFF12F034;
  constexpr int W = 50, H = 32;
  auto parent = FilledBitmap(W, H, kProbe);
  TCacheInfo ci;
  ci.Bmp = parent.get();
  ci.X = ci.Y = 0;
  ci.Ready = true;
  int checked = 0;
  for (size_t i = 0; i < s->gd.size(); ++i) {
    const TsGeneralData& g = s->gd[i];
    for (int state = 0; state < std::max(1, std::min(g.States, 3)); ++state) {
      auto b = FilledBitmap(W, H, kProbe);
      PaintSkinItem(int(i), ci, -1, -1, s.get(), b.get(), TPoint(), TRect(0, 0, W, H), state);
      const bool opaque = g.Props[size_t(state)].Transparency == 0;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const bool corner = (x == 0 || x == W - 1) && (y == 0 || y == H - 1);  // rounded corners show the parent
          const uint32_t p = Px(b.get(), x, y);
          ASSERT_NE(p & 0xFFFFFF, 0xFF00FFu) << g.ClassName << " state " << state << " at " << x << "," << y;
          if (opaque && !corner) {
            ASSERT_NE(p, kProbe) << g.ClassName << " state " << state << " at " << x << "," << y;
          }
        }
      ++checked;
    }
  }
  EXPECT_GT(checked, 40);
  EXPECT_EQ(std::count_if(s->gd.begin(), s->gd.end(), [](const TsGeneralData& g) { return g.ClassName == "COMBOBTN"; }),
            1);
}

TEST(OwnSkin, EveryStateOfASectionHasColoursOfItsOwn) {
  // A hot or pressed state the skin gives no colour reads the loader's
  // opaque white: an active form's client area, a hot check box or panel
  // would turn white.
  std::unique_ptr<TacSkinRecords> s;
  ASSERT_TRUE(ReloadSkin(OwnSource(), s));
  const TsGenState blank;
  for (const TsGeneralData& g : s->gd)
    for (int state = 1; state < std::min(g.States, 3) && g.ClassName != "GLOBALINFO"; ++state) {
      const TsGenState& p = g.Props[size_t(state)];
      const TsGenState& normal = g.Props[0];
      const bool unset = p.Color == blank.Color && p.Transparency == blank.Transparency && p.GradientPercent == 0;
      EXPECT_FALSE(unset && (normal.Color != blank.Color || normal.Transparency != 0))
          << g.ClassName << " state " << state;
    }
}

TEST(OwnSkin, BoxesGlyphsAndTheChannelHaveImagesOfTheirOwn) {
  std::unique_ptr<TacSkinRecords> s;
  ASSERT_TRUE(ReloadSkin(OwnSource(), s));
  // No two images of the master bitmap share pixels.
  for (size_t a = 0; a < s->ma.size(); ++a)
    for (size_t b = a + 1; b < s->ma.size(); ++b) {
      if (s->ma[a].Bmp || s->ma[b].Bmp || s->ma[a].R == s->ma[b].R) continue;  // own pictures; shared rectangles
      const TRect& A = s->ma[a].R;
      const TRect& B = s->ma[b].R;
      const bool meet = A.Left < B.Right && B.Left < A.Right && A.Top < B.Bottom && B.Top < A.Bottom;
      EXPECT_FALSE(meet) << s->ma[a].PropertyName << " and " << s->ma[b].PropertyName;
    }
  // Check boxes are opaque squares; radio buttons are discs with the key only outside them.
  TBitmap* master = s->MasterBitmap.get();
  for (int i = 0; i < 3; ++i) {
    const TsMaskData& m = s->ma[size_t(s->ConstData.CheckBox[size_t(i)])];
    for (int y = m.R.Top; y < m.R.Bottom; ++y)
      for (int x = m.R.Left; x < m.R.Right; ++x) ASSERT_NE(Px(master, x, y) & 0xFFFFFF, 0xFF00FFu) << i;
  }
  for (int i = 0; i < 2; ++i) {
    const TsMaskData& m = s->ma[size_t(s->ConstData.RadioButton[size_t(i)])];
    for (int f = 0; f < 3; ++f) {
      const int cx = m.R.Left + f * m.Width + m.Width / 2, cy = m.R.Top + m.Height / 2;
      for (int y = m.R.Top; y < m.R.Bottom; ++y)
        for (int x = m.R.Left + f * m.Width; x < m.R.Left + (f + 1) * m.Width; ++x) {
          const bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 4 * 4;
          if (inside) {
            ASSERT_NE(Px(master, x, y) & 0xFFFFFF, 0xFF00FFu) << i << " " << x << "," << y;
          }
        }
      EXPECT_EQ(Px(master, m.R.Left + f * m.Width, m.R.Top) & 0xFFFFFF, 0xFF00FFu);  // a corner outside the disc
    }
  }
  // The size grip has dots in its corner and shows its background elsewhere.
  const int grip = s->ConstData.GripRightBottom;
  ASSERT_GE(grip, 0);
  const TsMaskData& g = s->ma[size_t(grip)];
  EXPECT_NE(Px(master, g.R.Right - 4, g.R.Bottom - 4) & 0xFFFFFF, 0xFF00FFu);
  EXPECT_EQ(Px(master, g.R.Left, g.R.Top) & 0xFFFFFF, 0xFF00FFu);
  // The track bar's channel paints over its whole rectangle.
  const int channel = s->ConstData.TrackBar[1].ChannelIndex;
  ASSERT_GE(channel, 0);
  auto b = FilledBitmap(80, 6, 0xFF12F034);
  PaintMask(b.get(), TRect(0, 0, 80, 6), EmptyCI, s->ma[size_t(channel)], 0, false);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_NE(Px(b.get(), x, y), 0xFF12F034u) << x << "," << y;
}
