#include <gtest/gtest.h>

#include "SkinFixtures.h"
#include "SkinTestUtil.h"
#include "imaging/dxGDIPlusAPI.h"
#include "imaging/dxGDIPlusClasses.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sSkinIndexes.h"
#include "skin/core/sSkinLoader.h"
#include "skin/core/sSkinPaint.h"

#include <filesystem>
#include <fstream>

#include "platform/win/Backend.h"

using namespace skintest;

namespace {

struct Loaded {
  TempFolder dir;
  TacSkinSource src;
  std::unique_ptr<TacSkinRecords> skin;

  explicit Loaded(const SkinFiles& files, int scaleStep = 0, const std::string& name = "Skin") {
    files.WriteFolder(dir.Path() + name);
    src.SkinDirectory = dir.Path();
    src.SkinName = name;
    src.ScaleStep = scaleStep;
  }
  TacSkinRecords& Load() {
    EXPECT_TRUE(ReloadSkin(src, skin));
    return *skin;
  }
};

const TsGeneralData& Section(const TacSkinRecords& s, const char* name) {
  const int i = s.GetSkinIndex(name);
  EXPECT_GE(i, 0) << name;
  return s.gd[size_t(std::max(i, 0))];
}

const TsMaskData& Mask(const TacSkinRecords& s, const char* section, const char* key) {
  const int i = s.GetMaskIndex(section, key);
  EXPECT_GE(i, 0) << section << "." << key;
  return s.ma[size_t(std::max(i, 0))];
}

// The archive <Dir><Name>.asz loaded as a skin.
std::unique_ptr<TacSkinRecords> LoadArchive(const std::string& Dir, const std::string& Name) {
  TacSkinSource src;
  src.SkinDirectory = Dir;
  src.SkinName = Name;
  std::unique_ptr<TacSkinRecords> skin;
  ReloadPackedSkin(src, skin);
  return skin;
}

}  // namespace

TEST(SkinLoad, SectionsInheritAndTakeDefaults) {
  Loaded f(FlatSkin());
  const TacSkinRecords& s = f.Load();
  EXPECT_TRUE(SkinLoadingInProgress == false);
  const TsGeneralData& button = Section(s, "BUTTON");
  EXPECT_EQ(button.ParentClass, "PANEL");
  EXPECT_EQ(button.Props[0].Color, 255);                 // inherited
  EXPECT_EQ(button.Props[0].Transparency, 0);            // negative and absent above: the default
  EXPECT_EQ(button.Props[1].Color, 0xFFFFFF);            // HOTCOLOR nowhere: the default state, not COLOR
  EXPECT_EQ(button.Props[1].FontColor.Color, 0x00FF00);  // own hot value
  EXPECT_EQ(button.Props[2].FontColor.Color, 0x00FF00);  // no USESTATE2: state 2 copies state 1
  EXPECT_EQ(button.Props[0].GradientPercent, 30);
  EXPECT_FALSE(button.Props[0].GradientArray.empty());   // gradient text inherited
  EXPECT_TRUE(button.GiveOwnFont);                       // "TRUE"
  EXPECT_FALSE(button.ReservedBoolean);                  // "true" is not TRUE in the options file
  EXPECT_TRUE(Section(s, "EDIT").GiveOwnFont);           // "1"
  EXPECT_EQ(button.OuterOffset, TRect(-1, -1, -1, -1));  // raw: absent along the chain
  EXPECT_EQ(button.States, 3);
  EXPECT_EQ(Section(s, "EDIT").Props[1].Color, 0xFFFFFF);  // one state: state 1 copies state 0

  // Standard sections are added, the palette filled.
  EXPECT_EQ(Section(s, "TRANSPARENT").Props[0].Transparency, 100);
  EXPECT_EQ(Section(s, "MAINCOLOR").Props[0].Color, 0xC0C0C0);
  EXPECT_EQ(s.Palette[pcEditText_Alert], 0x0000AA);
  EXPECT_EQ(s.Palette[pcEditText_Warning], 0x008484);
  EXPECT_EQ(uint32_t(s.Palette[pcBtnColor1Active]), 0x80112233u);  // 64-bit read keeps the top byte
  EXPECT_EQ(s.GetHighLightColor(false), 0x884400);
  EXPECT_EQ(s.GetHighLightColor(true), 0xAA6600);
  EXPECT_EQ(s.Palette[pcEditBG_EvenRow], MixColors(0, 0xFFFFFF, 13));
  EXPECT_EQ(s.oe.size(), 2u);
  EXPECT_EQ(s.CommonSkinData.ExTitleHeight, 20);
}

TEST(SkinLoad, ScaledKeysAndGlobalValues) {
  Loaded f(FlatSkin(), 2);
  EXPECT_EQ(f.Load().CommonSkinData.ExTitleHeight, 30);  // 20 at 150 %
  Loaded g(MinimalSkin());
  const TacSkinRecords& m = g.Load();
  EXPECT_EQ(m.CommonSkinData.ExTitleHeight, 30);
  EXPECT_EQ(m.CommonSkinData.ExCenterOffs, 0);
  EXPECT_EQ(m.CommonSkinData.Shadow1Blur, -1);

  // At step 1 the scaled glyph value replaces its key, which keeps the suffix.
  SkinFiles framed = FramedSkin();
  framed.options.sections[0].second.emplace_back("BOXGRAYED", GlyphValue(TRect(0, 0, 9999, 9999), 1, 0));
  Loaded h(framed, 1);
  const TacSkinRecords& s = h.Load();
  const int form = s.GetSkinIndex("FORM");
  const int glyph = s.GetMaskIndex(form, "GLYPHMASK*125");
  ASSERT_GE(glyph, 0);
  EXPECT_EQ(s.ma[size_t(glyph)].R, TRect(24, 0, 34, 10));
  // BOXCHECKED has no *125 variant: its key-colour image becomes a 125 % masked copy.
  const int box = s.ConstData.CheckBox[1];
  ASSERT_GE(box, 0);
  EXPECT_EQ(s.ma[size_t(box)].MaskType, 1);
  EXPECT_EQ(s.ma[size_t(box)].R, TRect(0, 0, 10, 20));
  // The former key pixel (0, 0) is masked out (white in the mask half), the others are not.
  EXPECT_GT(Px(s.ma[size_t(box)].Bmp.get(), 0, 10) & 0xFF, 0x80u);
  EXPECT_LT(Px(s.ma[size_t(box)].Bmp.get(), 9, 19) & 0xFF, 0x80u);
  // A glyph whose rectangle leaves the master bitmap is not copied (nor a huge bitmap made).
  const int grayed = s.ConstData.CheckBox[2];
  ASSERT_GE(grayed, 0);
  EXPECT_EQ(s.ma[size_t(grayed)].R, TRect(0, 0, 9999, 9999));
  EXPECT_FALSE(s.ma[size_t(grayed)].Bmp);
}

TEST(SkinLoad, MasksFromTheMasterBitmapAndImageFiles) {
  Loaded f(FramedSkin());
  const TacSkinRecords& s = f.Load();
  // "Parts\MASTER.BMP" found as parts/master.bmp, made 32-bit with the key transparent.
  ASSERT_EQ(s.MasterBitmap->Width(), 64);
  EXPECT_EQ(Px(s.MasterBitmap.get(), 0, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(s.MasterBitmap.get(), 5, 5), 0xFF606060u);
  const TsMaskData& border = Mask(s, "FORM", "BORDERSMASK");
  EXPECT_EQ(border.ImgType, itisaBorder);
  EXPECT_EQ(border.ImageCount, 2);
  EXPECT_EQ(border.DrawMode, 1);
  EXPECT_EQ(border.WL, 3);  // all widths 0 and border width 3
  EXPECT_EQ(border.WB, 3);
  EXPECT_EQ(border.CornerType, 1);
  EXPECT_EQ(border.Width, 12);
  EXPECT_EQ(border.Height, 12);
  EXPECT_EQ(Mask(s, "FORM", "SHADE").Height, 12);
  EXPECT_EQ(Mask(s, "FORM", "GLYPHMASK").ImgType, itisaGlyph);
  const TsMaskData& tex = Mask(s, "GLOBALINFO", "GLOWTEX");
  ASSERT_TRUE(tex.Bmp);  // "SHADE.PNG" in capitals finds shade.png
  EXPECT_EQ(tex.Bmp->Width(), 4);
  // Section indexes: inherited border and texture.
  const TsGeneralData& button = Section(s, "BUTTON");
  EXPECT_EQ(button.BorderIndex, s.GetMaskIndex("FORM", "BORDERSMASK"));
  EXPECT_EQ(button.Props[0].TextureIndex, s.GetMaskIndex("FORM", "PATTERN"));
  EXPECT_EQ(s.oe[1].Source, 1);
  EXPECT_GE(s.oe[1].Mask, 0);
  // Missing standard sections take their fallbacks, added as copies.
  const int b = s.GetSkinIndex("BUTTON");
  EXPECT_EQ(s.ConstData.Sections[ssColHeader], b);
  EXPECT_EQ(s.ConstData.Sections[ssColHeaderA], b);
  EXPECT_GE(s.GetSkinIndex("COLHEADERR"), 0);
  EXPECT_EQ(s.ConstData.UpDownBtns[asTop].SkinSection, "BUTTON");
  EXPECT_EQ(s.ConstData.UpDownBtns[asTop].SkinIndex, b);
}

TEST(SkinLoad, PlainPngNamesAreNoImages) {
  SkinFiles files = FlatSkin();
  files.options.sections[0].second.emplace_back("PLAINPNG", "shade.png");
  Loaded f(files);
  const TacSkinRecords& s = f.Load();
  EXPECT_LT(s.GetMaskIndex("GLOBALINFO", "PLAINPNG"), 0);
  EXPECT_GE(s.GetMaskIndex("GLOBALINFO", "KEYED"), 0);
  EXPECT_EQ(s.ExtArray.size(), 2u);  // each file loaded once
}

TEST(SkinLoad, JpegImagesLoadAndPaintFromFoldersAndArchives) {
#ifndef TARNWICK_PICTURE_LIBRARY
  GTEST_SKIP() << "the picture library is not built";
#else
  // The picture API is bound at start-up, as the program does.
  dxSetGpLibraryName(TARNWICK_PICTURE_LIBRARY);
  ASSERT_TRUE(dxGDIPlusClassesInitialize());
  // An 8 x 8 JPEG of one colour, named in other capitals by the option value.
  auto photo = FilledBitmap(8, 8, 0xFF3366CC);
  TMemoryStream js;
  TdxGPImage(photo.get()).SaveToStreamByCodec(js, dxImageJpeg);
  SkinFiles files = MinimalSkin();
  files.options.sections[0].second.emplace_back("PHOTO", "Photo.JPG");
  files.files["photo.jpg"] = Bytes(js.Memory(), js.Memory() + js.Size());
  auto near = [](uint32_t p, uint32_t want) {
    for (int shift : {0, 8, 16})
      if (std::abs(int(p >> shift & 0xFF) - int(want >> shift & 0xFF)) > 6) return false;
    return true;
  };
  auto check = [&](const TacSkinRecords& s) {
    const TsMaskData& m = Mask(s, "GLOBALINFO", "PHOTO");
    ASSERT_TRUE(m.Bmp);
    EXPECT_EQ(m.Bmp->Width(), 8);
    EXPECT_EQ(Px(m.Bmp.get(), 4, 4) >> 24, 0xFFu);  // opaque: a JPEG has no alpha of its own
    EXPECT_TRUE(near(Px(m.Bmp.get(), 4, 4), 0x3366CC)) << std::hex << Px(m.Bmp.get(), 4, 4);
    // Painted as a tiled texture.
    auto t = FilledBitmap(20, 12, 0xFF000000);
    TRect r(0, 0, 20, 12);
    TileTexture(t->Canvas(), r, nullptr, 0, m);
    EXPECT_TRUE(near(Px(t.get(), 13, 9), 0x3366CC)) << std::hex << Px(t.get(), 13, 9);
  };
  Loaded f(files);
  check(f.Load());
  TempFolder dir;
  WriteFile(dir.Path() + "P.asz", files.Archive());
  const auto packed = LoadArchive(dir.Path(), "P");
  ASSERT_TRUE(packed);
  check(*packed);
  dxGDIPlusClassesFinalize();
#endif
}

TEST(SkinLoad, FailedLoadLeavesThePreviousSkinWhole) {
  Loaded f(FramedSkin());
  TacSkinRecords& before = f.Load();
  TacSkinRecords* kept = f.skin.get();
  const size_t sections = before.gd.size();
  // Fixed-position fields that are cut short or not numbers fail the load.
  const char* bad[] = {"^0000,0000,0024", "@00x0,0000,0008,0008,1,0", "~0000~0000~0004~0004~0A~0~"};
  for (const char* v : bad) {
    SkinFiles broken = FramedSkin();
    broken.options.sections[1].second.emplace_back("BROKEN", v);
    broken.WriteFolder(f.dir.Path() + "Broken");
    TacSkinSource src = f.src;
    src.SkinName = "Broken";
    EXPECT_THROW(ReloadSkin(src, f.skin), Exception) << v;
    EXPECT_EQ(f.skin.get(), kept);
    EXPECT_EQ(f.skin->gd.size(), sections);
    EXPECT_EQ(Px(f.skin->MasterBitmap.get(), 5, 5), 0xFF606060u);
    EXPECT_FALSE(SkinLoadingInProgress);
  }
  // Border widths derived from an image without frames fail too.
  SkinFiles noFrames = FlatSkin();
  noFrames.options.sections[0].second.emplace_back("ZERO", "!keyed.bmp!0!0!0");
  noFrames.WriteFolder(f.dir.Path() + "Zero");
  TacSkinSource src = f.src;
  src.SkinName = "Zero";
  EXPECT_THROW(ReloadSkin(src, f.skin), Exception);
  EXPECT_EQ(f.skin.get(), kept);
  // No options file and no stored skin: nothing loads, nothing changes.
  src.SkinName = "Missing";
  EXPECT_FALSE(ReloadSkin(src, f.skin));
  EXPECT_EQ(f.skin.get(), kept);
}

TEST(SkinLoad, ParentRingsEndAsIfTheParentWereEmpty) {
  SkinFiles files = MinimalSkin();
  files.options.Section("A").Key("PARENTCLASS", "B").Key("BORDERSMASK", BorderValue(TRect(0, 0, 3, 3), 1, 1, 1, 1, 1, 0, 0, 0));
  files.options.Section("B").Key("PARENTCLASS", "A");
  files.options.Section("C").Key("PARENTCLASS", "C");
  Loaded f(files);
  const TacSkinRecords& s = f.Load();
  const int a = s.GetSkinIndex("A"), b = s.GetSkinIndex("B"), c = s.GetSkinIndex("C");
  EXPECT_EQ(s.gd[size_t(b)].Props[0].Color, 0xFFFFFF);
  EXPECT_EQ(s.gd[size_t(c)].States, 3);
  EXPECT_EQ(s.GetMaskIndex(b, "BORDERSMASK"), s.GetMaskIndex(a, "BORDERSMASK"));  // found through the ring once
  EXPECT_EQ(s.GetMaskIndex(b, "NONE"), -1);
  EXPECT_EQ(s.GetMaskIndex(b, "B", "NONE"), -1);
  EXPECT_EQ(s.GetTextureIndex(a, "NONE"), -1);
  EXPECT_EQ(s.GetTextureIndex(c, "C", "NONE"), -1);
  EXPECT_EQ(s.GetSkinIndex(""), -1);
}

TEST(SkinArchive, RoundTripFindsEntriesInCapitals) {
  for (bool optionsFirst : {true, false}) {
    TempFolder dir;
    const SkinFiles files = FramedSkin();
    WriteFile(dir.Path() + "Framed.asz", files.Archive(optionsFirst));
    TacSkinConvertor reader;
    ASSERT_TRUE(LoadPackedFile(dir.Path() + "Framed.asz", reader));
    EXPECT_EQ(reader.ImageCount, 2);
    EXPECT_EQ(reader.Files.size(), 2u);
    ASSERT_TRUE(reader.Options);

    const auto skin = LoadArchive(dir.Path(), "Framed");
    ASSERT_TRUE(skin);
    EXPECT_TRUE(skin->SkinIsPacked);
    EXPECT_EQ(Px(skin->MasterBitmap.get(), 5, 5), 0xFF606060u);
    EXPECT_GE(skin->GetMaskIndex("FORM", "BORDERSMASK"), 0);
  }
}

TEST(SkinArchive, DamageFailsTheLoadAndKeepsTheSkin) {
  TempFolder dir;
  const Bytes good = MinimalSkin().Archive();
  TacSkinSource src;
  src.SkinDirectory = dir.Path();
  src.SkinName = "S";
  WriteFile(dir.Path() + "S.asz", good);
  std::unique_ptr<TacSkinRecords> skin;
  ReloadPackedSkin(src, skin);
  TacSkinRecords* kept = skin.get();
  ASSERT_TRUE(kept);

  auto put32 = [](Bytes& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(v >> (8 * k));
  };
  const size_t nameLen = 8, size0 = 8 + 4 + 11;  // first entry: "Options.dat"
  struct Case {
    const char* what;
    Bytes data;
  };
  std::vector<Case> cases;
  Bytes b = good;
  put32(b, 4, 0x7FFFFFFF);
  cases.push_back({"entry count", b});
  b = good;
  put32(b, nameLen, 0x7FFFFFF0);
  cases.push_back({"name length", b});
  b = good;
  put32(b, size0, 0x7FFFFFF0);
  cases.push_back({"huge inflated size", b});
  b = good;
  put32(b, size0, 5);
  cases.push_back({"stream longer than its size", b});
  b = good;
  put32(b, size0, 100000);
  cases.push_back({"short inflate", b});
  b = good;
  b[size0 + 4 + 6] ^= 0x55;
  cases.push_back({"corrupt zlib data", b});
  cases.push_back({"cut off", Bytes(good.begin(), good.begin() + long(good.size() / 2))});
  b = good;
  b[size0 + 4 + 1] = 0xBB;  // 0x78 0xBB: a valid header asking for a preset dictionary
  cases.push_back({"preset dictionary", b});
  for (const Case& c : cases) {
    WriteFile(dir.Path() + "S.asz", c.data);
    EXPECT_THROW(ReloadPackedSkin(src, skin), Exception) << c.what;
    EXPECT_EQ(skin.get(), kept) << c.what;
  }
  // Not an archive, and an archive without options: the internal-format message.
  WriteFile(dir.Path() + "S.asz", std::string("not an archive at all"));
  try {
    ReloadPackedSkin(src, skin);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Internal format error in the \"S\" skin. Please, update this skin to latest version.");
  }
  SkinFiles noOptions;
  noOptions.files["a.bmp"] = {1, 2, 3};
  TMemoryStream s;
  WriteSkinArchive(s, {{"a.bmp", {1, 2, 3}}});
  WriteFile(dir.Path() + "S.asz", Bytes(s.Memory(), s.Memory() + s.Size()));
  EXPECT_THROW(ReloadPackedSkin(src, skin), Exception);
  EXPECT_EQ(skin.get(), kept);
}

TEST(SkinArchive, PreviewAndStoredSkins) {
  const Bytes png = EncodePng(2, 2, std::vector<uint32_t>(4, 0xFF112233));
  const Bytes archive = FlatSkin().Archive(true, png);
  TMemoryStream source, target;
  source.WriteBuffer(archive.data(), int64_t(archive.size()));
  ASSERT_TRUE(ExtractPreview(target, source));
  EXPECT_EQ(target.Size(), int64_t(png.size()));
  EXPECT_EQ(target.Memory()[1], 'P');
  // A preview size beyond the file is no preview.
  Bytes cut(archive.begin(), archive.end() - 3);
  TMemoryStream short_;
  short_.WriteBuffer(cut.data(), int64_t(cut.size()));
  EXPECT_FALSE(ExtractPreview(target, short_));

  // A stored skin stands in when the folder has none; the first one for an unknown name.
  TsStoredSkins stored;
  stored.Items.push_back({"Inside", "", std::make_shared<TMemoryStream>()});
  stored.Items[0].PackedData->WriteBuffer(archive.data(), int64_t(archive.size()));
  TempFolder dir;
  TacSkinSource src;
  src.SkinDirectory = dir.Path();
  src.SkinName = "Other";
  src.InternalSkins = &stored;
  std::unique_ptr<TacSkinRecords> skin;
  String used;
  ASSERT_TRUE(ReloadSkin(src, skin, &used));
  EXPECT_EQ(used, "Inside");
  EXPECT_TRUE(skin->SkinIsPacked);
  EXPECT_EQ(skin->CommonSkinData.SkinPath, "");
  EXPECT_GE(skin->GetMaskIndex("GLOBALINFO", "SHADOWIMG"), 0);
}

TEST(SkinAdjust, ZeroChangesNothingAndSaturationSparesTheKey) {
  Loaded plain(FramedSkin());
  TacSkinRecords& p = plain.Load();
  Loaded grey(FramedSkin());
  grey.src.Saturation = -100;
  TacSkinRecords& g = grey.Load();
  EXPECT_EQ(Px(g.MasterBitmap.get(), 0, 0), 0x00FF00FFu);  // the key stays
  const uint32_t red = Px(g.MasterBitmap.get(), 14, 5);
  EXPECT_EQ(red & 0xFF, (red >> 8) & 0xFF);  // grey
  EXPECT_EQ(g.Palette[pcEditText_Alert], p.Palette[pcEditText_Alert]);
  EXPECT_EQ(Section(g, "FORM").Props[0].FontColor.Left, -1);
  // Hue 0 / saturation 0 / brightness 0: the plain load, pixel for pixel.
  Loaded zero(FramedSkin());
  TacSkinRecords& z = zero.Load();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(Px(z.MasterBitmap.get(), x, y), Px(p.MasterBitmap.get(), x, y));
}

TEST(SkinAdjust, BrightnessKeepsMaskHalvesAndPremultipliesOnlyPng) {
  Loaded bright(FramedSkin());
  bright.src.Brightness = 50;
  TacSkinRecords& b = bright.Load();
  Loaded plain(FramedSkin());
  TacSkinRecords& p = plain.Load();
  EXPECT_NE(Px(b.MasterBitmap.get(), 5, 5), Px(p.MasterBitmap.get(), 5, 5));
  EXPECT_EQ(Px(b.MasterBitmap.get(), 5, 30), Px(p.MasterBitmap.get(), 5, 30));  // SHADE's mask half
  EXPECT_EQ(Px(b.MasterBitmap.get(), 5, 15) == Px(p.MasterBitmap.get(), 5, 15), false);

  // The flat skin's BMP keeps its fuchsia key; its PNG is premultiplied (version above 7.45).
  for (const char* version : {"10.0", "7.0"}) {
    SkinFiles files = FlatSkin();
    files.options.sections[0].second[0].second = version;
    Loaded f(files);
    f.src.Brightness = 40;
    TacSkinRecords& s = f.Load();
    const TsMaskData& keyed = Mask(s, "GLOBALINFO", "KEYED");
    EXPECT_EQ(Px(keyed.Bmp.get(), 0, 0), 0x00FF00FFu) << version;
    const TsMaskData& png = Mask(s, "GLOBALINFO", "SHADOWIMG");
    const uint32_t half = Px(png.Bmp.get(), 0, 2);  // alpha 136
    EXPECT_EQ(half >> 24, 136u);
    if (std::string(version) == "10.0")
      EXPECT_LE((half >> 16) & 0xFF, 136u) << "premultiplied";
    else
      EXPECT_GT((half >> 16) & 0xFF, 136u) << "old skins are not premultiplied";
  }
}

TEST(SkinLoad, OptionsTextOnItsOwn) {
  // The fuzz target's entry: any text, no images.
  TacSkinSource src;
  TacSkinRecords s;
  TStringList lines;
  lines.SetText("[GLOBALINFO]\nVERSION=9\n[X]\nPARENTCLASS=X\nCOLOR=$10\n");
  LoadSkinFromOptions(lines, "", nullptr, src, s);
  EXPECT_EQ(s.gd[size_t(s.GetSkinIndex("X"))].Props[0].Color, 16);
}

TEST(SkinLoad, NewerSkinVersionsWarn) {
  THeadlessBackend* backend = HeadlessBackend();
  ASSERT_NE(backend, nullptr);
  const struct {
    const char* version;
    bool warns;
  } cases[] = {{"12.99", false}, {"13", true}, {"8.44", false}};
  for (const auto& c : cases) {
    SkinFiles files = MinimalSkin();
    files.options.sections[0].second[0].second = c.version;
    backend->ClearMessageBoxes();
    Loaded f(files);
    f.Load();
    ASSERT_EQ(backend->MessageBoxes().size(), c.warns ? 1u : 0u) << c.version;
    if (!c.warns) continue;
    EXPECT_EQ(backend->MessageBoxes()[0].Text,
              "This version of the skin has not complete support by used Glazory package release.\r\n"
              "Components must be updated to latest version for using this skin.");
    EXPECT_EQ(backend->MessageBoxes()[0].Type, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(f.skin->CommonSkinData.Active);  // the skin is used all the same
  }
  backend->ClearMessageBoxes();
}

TEST(SkinArchive, StoredSkinsExtractIntoAFolder) {
  THeadlessBackend* backend = HeadlessBackend();
  ASSERT_NE(backend, nullptr);
  backend->ClearMessageBoxes();
  TempFolder dir;
  TsStoredSkins stored;
  for (const char* name : {"Same", "Same", "Empty"}) stored.Items.push_back({name, name, std::make_shared<TMemoryStream>()});
  stored.Items[0].PackedData->WriteString("first");
  stored.Items[1].PackedData->WriteString("second");
  auto read = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  ExtractInternalSkin(stored, "Same", dir.Path());  // both, the second over the first
  EXPECT_EQ(read(dir.Path() + "Same extracted.asz"), "second");
  ExtractByIndex(stored, 0, dir.Path() + "new/sub");  // missing folders are made
  EXPECT_EQ(read(dir.Path() + "new/sub/Same extracted.asz"), "first");
  ExtractByIndex(stored, 2, dir.Path());  // no data: no file
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "Empty extracted.asz"));
  EXPECT_TRUE(backend->MessageBoxes().empty());

  WriteFile(dir.Path() + "plain", std::string("x"));
  ExtractByIndex(stored, 0, dir.Path() + "plain/below");
  ExtractInternalSkin(stored, "Same", dir.Path() + "absent");
  ExtractInternalSkin(stored, "Missing", dir.Path());
  std::vector<std::string> texts;
  for (const TMessageBoxRecord& b : backend->MessageBoxes()) {
    texts.push_back(b.Text);
    EXPECT_EQ(b.Type, UINT(MB_OK | MB_ICONERROR));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{dir.Path() + "plain/below/ directory creation error.",
                                             "Directory does not exists.", "Directory does not exists.",
                                             "Skin does not exists."}));
  backend->ClearMessageBoxes();
}
