#include <gtest/gtest.h>

#include "SkinTestUtil.h"
#include "skin/core/AlphaBitmapsPng.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/ownskin/OwnSkin.h"
#include "skin/core/sSkinLoader.h"
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
