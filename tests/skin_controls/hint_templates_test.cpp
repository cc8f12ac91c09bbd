// Hint templates: pictures setting their borders, the template file's round
// trip, and damaged files refused without touching the templates.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "skin/controls/acAlphaHints.h"
#include "tests/skin_core/SkinFiles.h"

namespace {

using skintest::Bytes;

Bytes SquarePng(int side, uint32_t colour) {
  return skintest::EncodePng(side, side, std::vector<uint32_t>(size_t(side * side), colour));
}

void SetPngBytes(TacHintImage* Img, const Bytes& png) {
  Img->ImageData()->Clear();
  Img->ImageData()->WriteBuffer(png.data(), int64_t(png.size()));
  Img->StreamChanged();
}

// A template with a bold 12-point font and a 27 x 27 default picture given as PNG bytes.
void Fill(TacHintTemplate* t) {
  t->Font()->SetName("DejaVu Sans");
  t->Font()->SetSize(12);
  t->Font()->SetColor(0x123456);
  t->Font()->SetStyle(TFontStyles{fsBold, fsUnderline});
  TacHintImage* img = t->ImageDefault();
  SetPngBytes(img, SquarePng(27, 0x80FF0000));
  img->BordersWidths()->SetValues(11, 10, 14, 15);
  img->ShadowSizes()->SetValues(6, 5, 7, 8);
  img->ClientMargins()->SetValues(11, 8, 16, 15);
  img->BorderDrawModes()->Set(1, dmRepeat);
  img->BorderDrawModes()->Set(4, dmRepeat);
}

TEST(HintTemplates, PictureSetsBordersAndTheFileRoundTrips) {
  TacHintTemplates templates;
  int changes = 0;
  templates.OnChange = [&](TObject*) { ++changes; };
  TacHintTemplate* t = templates.Add();
  // A picture assigned sets every border and margin to half its size.
  TBitmap square;
  square.SetSize(27, 27);
  t->ImageDefault()->SetImage(&square);
  for (TacBordersSizes* b : {t->ImageDefault()->BordersWidths(), t->ImageDefault()->ClientMargins()})
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b->GetInteger(i), 13);
  EXPECT_GT(changes, 0);
  t->ImageDefault()->ShadowSizes()->SetLeft(-3);
  EXPECT_EQ(t->ImageDefault()->ShadowSizes()->Left(), 0);  // negative reads as 0

  Fill(t);
  EXPECT_TRUE(t->SingleImageUsed());
  TMemoryStream file;
  SaveHintTemplateToStream(t, file);
  // Kind "1" and exactly one picture record: the stream ends after ImageDefault.
  EXPECT_EQ(file.Memory()[4], '1');
  TacHintTemplate* back = LoadHintTemplateFromStream(templates, file);
  ASSERT_EQ(templates.Count(), 2);
  EXPECT_EQ(back->Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(back->Font()->Size(), 12);
  EXPECT_EQ(back->Font()->Color(), 0x123456);
  EXPECT_EQ(back->Font()->Style(), (TFontStyles{fsBold, fsUnderline}));
  TacHintImage* img = back->ImageDefault();
  EXPECT_EQ(img->BordersWidths()->Left(), 11);
  EXPECT_EQ(img->BordersWidths()->Top(), 10);
  EXPECT_EQ(img->BordersWidths()->Right(), 14);
  EXPECT_EQ(img->BordersWidths()->Bottom(), 15);
  EXPECT_EQ(img->ShadowSizes()->Bottom(), 8);
  EXPECT_EQ(img->ClientMargins()->Right(), 16);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(img->BorderDrawModes()->Get(i), (i == 1 || i == 4) ? dmRepeat : dmStretch);
  EXPECT_EQ(img->ImageWidth(), 27);
  EXPECT_EQ(img->ImageData()->Bytes(), t->ImageDefault()->ImageData()->Bytes());  // the PNG bytes unchanged
  EXPECT_TRUE(back->SingleImageUsed());

  // Four pictures: a system colour is saved as black; a bitmap without PNG bytes goes as a bitmap.
  t->Font()->SetColor(clBtnFace);
  SetPngBytes(t->Img_LeftBottom(), SquarePng(9, 0xFF00FF00));
  TBitmap plain;
  plain.SetSize(5, 7);
  t->Img_RightTop()->SetImage(&plain);
  t->Img_RightTop()->BordersWidths()->SetValues(1, 2, 3, 4);
  t->Img_RightTop()->ClientMargins()->SetValues(5, 6, 7, 8);
  SaveHintTemplateToStream(t, file);
  TacHintTemplate* four = LoadHintTemplateFromStream(templates, file);
  EXPECT_EQ(four->Font()->Color(), 0);
  EXPECT_FALSE(four->SingleImageUsed());
  EXPECT_EQ(four->Img_LeftBottom()->ImageWidth(), 9);
  EXPECT_EQ(four->Img_RightTop()->ImageWidth(), 5);
  EXPECT_EQ(four->Img_RightTop()->ImageHeight(), 7);
  EXPECT_EQ(four->Img_RightTop()->ImageData()->Size(), 0);
  // A bitmap picture keeps the borders and margins the file gave it.
  EXPECT_EQ(four->Img_RightTop()->BordersWidths()->Left(), 1);
  EXPECT_EQ(four->Img_RightTop()->BordersWidths()->Bottom(), 4);
  EXPECT_EQ(four->Img_RightTop()->ClientMargins()->Top(), 6);

  // From a file: named after the file, cut at its first dot.
  skintest::TempFolder dir;
  const String path = dir.Path() + "blue.glass.hint";
  SaveHintTemplateToFile(t, path);
  EXPECT_EQ(LoadHintTemplateFromFile(templates, path)->Name, "blue");
}

TEST(HintTemplates, DamagedFilesAreRefusedAndAddNothing) {
  TacHintTemplates templates;
  Fill(templates.Add());
  TMemoryStream good;
  SaveHintTemplateToStream(templates.Items(0), good);
  const TBytes bytes = good.Bytes();
  const size_t nameLenAt = 14, nameAt = 18, nameLen = strlen("DejaVu Sans");
  const size_t pictureSizeAt = nameAt + nameLen + 5 + 48 + 1;
  auto put32 = [](TBytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  struct Case {
    const char* name;
    std::function<void(TBytes&)> damage;
  };
  const Case cases[] = {
      {"empty", [](TBytes& b) { b.clear(); }},
      {"signature", [](TBytes& b) { b[1] = 'X'; }},
      {"cut in the header", [](TBytes& b) { b.resize(10); }},
      {"name longer than 63", [&](TBytes& b) { put32(b, nameLenAt, 64); }},
      {"name beyond the end", [&](TBytes& b) { put32(b, nameLenAt, 60); b.resize(nameAt + 20); }},
      {"negative name length", [&](TBytes& b) { put32(b, nameLenAt, 0xFFFFFFFF); }},
      {"absurd font size", [&](TBytes& b) { put32(b, 9, 0x7FFFFFFF); }},
      {"cut in a picture record", [&](TBytes& b) { b.resize(pictureSizeAt - 7); }},
      {"picture size beyond the end", [&](TBytes& b) { put32(b, pictureSizeAt, uint32_t(b.size())); }},
      {"negative picture size", [&](TBytes& b) { put32(b, pictureSizeAt, 0x80000000); }},
      {"picture bytes not a PNG", [&](TBytes& b) { b[pictureSizeAt + 4 + 1] = 'X'; }},
      {"bitmap kind over PNG bytes", [&](TBytes& b) { b[pictureSizeAt - 1] = '0'; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBytes damaged = bytes;
    c.damage(damaged);
    TMemoryStream s;
    if (!damaged.empty()) s.WriteBuffer(damaged.data(), int64_t(damaged.size()));
    try {
      LoadHintTemplateFromStream(templates, s);
      ADD_FAILURE() << "loaded";
    } catch (const EacHintTemplateError& e) {
      EXPECT_EQ(e.Message, "Unknown file format");
    }
    EXPECT_EQ(templates.Count(), 1);
    EXPECT_EQ(templates.Items(0)->Font()->Name(), "DejaVu Sans");
  }
}

}  // namespace
