// Where alpha hints go: below the middle of their control when aligned to it,
// above their anchor near the screen's bottom, and gliding from the last
// hint's place to the next one's.

#include "tests/skin_controls/HintFixture.h"
#include "tests/skin_core/SkinFiles.h"

namespace {
class HintPlacementTest : public HintTest {};
}  // namespace

TEST_F(HintPlacementTest, AutoAlignedHintStandsBelowTheControlsMiddle) {
  TForm form(nullptr);
  TPanel* panel = HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.SetAutoAlignment(true);
  hints.Animated = false;
  hints.Loaded();
  InjectMouseMove(60, 55);
  Application->ProcessMessages();
  Application->ActivateHint(panel);
  ASSERT_TRUE(hints.AnimWindow);
  // The body's corner: the middle of (50, 50, 150, 90) plus the left shadow, its bottom plus the top shadow.
  EXPECT_EQ(hints.NewBounds.Left, 100);
  EXPECT_EQ(hints.NewBounds.Top, 90);
}

TEST_F(HintPlacementTest, HintNearTheScreensBottomGoesAboveItsAnchor) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.Animated = false;
  hints.SetActive(true);
  const int screenH = GetSystemMetrics(SM_CYSCREEN);
  hints.ShowHint(TPoint(100, screenH - 4), "Near the edge", 0);
  ASSERT_TRUE(hints.AnimWindow);
  auto* w = static_cast<TacCustomHintWindow*>(hints.HintWindow.get());
  EXPECT_EQ(w->FMousePos, mpLeftBottom);
  EXPECT_LE(hints.NewBounds.Bottom, screenH);
  EXPECT_LT(hints.NewBounds.Top, screenH - 4 - hints.NewBounds.Height() / 2);
  EXPECT_EQ(hints.NewBounds.Left, 94) << "the left edge stays at the anchor";
}

TEST_F(HintPlacementTest, FollowingHintGlidesToItsPlaceWhileTheImagesCrossFade) {
  TForm form(nullptr);
  HintedPanel(form);
  TsAlphaHints hints(nullptr);
  hints.SetActive(true);
  InjectMouseMove(300, 250);
  Application->ProcessMessages();
  hints.ShowHint(TPoint(100, 100), "First", 0);
  Run(25 * 12);
  ASSERT_TRUE(hints.AnimWindow);
  EXPECT_EQ(hints.AnimWindow->Left(), 94);
  hints.ShowHint(TPoint(200, 100), "Second", 0);
  std::vector<int> lefts;
  for (int i = 0; i < 3; ++i) {
    Run(12);
    ASSERT_TRUE(hints.NewWindow) << "the new picture comes in its own window";
    lefts.push_back(hints.NewWindow->Left());
    EXPECT_EQ(hints.AnimWindow->Left(), lefts.back()) << "both pictures move together";
  }
  // A fifth of the distance left each step: 94 -> 114 -> 130 -> 143.
  EXPECT_EQ(lefts, (std::vector<int>{114, 130, 143}));
  Run(25 * 12);
  EXPECT_FALSE(hints.NewWindow);
  EXPECT_EQ(hints.AnimWindow->Left(), 194);
  BYTE alpha = 0;
  DWORD flags = 0;
  GetLayeredWindowAttributes(hints.AnimWindow->Handle(), nullptr, &alpha, &flags);
  EXPECT_EQ(alpha, 255);
}

// Not placement, but the same component: its templates go through a window
// definition with their pictures' file bytes.
TEST_F(HintPlacementTest, TemplatesKeepTheirPicturesThroughAWindowDefinition) {
  TComponent root(nullptr);
  root.SetName("Root");
  auto* hints = new TsAlphaHints(&root);
  hints->SetName("Hints");
  TacHintTemplate* t = hints->Templates()->Add();
  t->Name = "Glass";
  t->HintAlign = haVertCenter;
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(9, 7);
  const skintest::Bytes png = skintest::EncodePng(9, 7, std::vector<uint32_t>(63, 0x80204060));
  TMemoryStream bytes;
  bytes.WriteBuffer(png.data(), int64_t(png.size()));
  t->ImageDefault()->ImageData()->CopyFrom(bytes, 0);
  t->ImageDefault()->StreamChanged();
  t->ImageDefault()->BordersWidths()->SetValues(1, 2, 3, 4);
  t->ImageDefault()->BorderDrawModes()->Set(4, dmRepeat);
  t->Img_RightTop()->SetImage(bmp.get());
  hints->SetTemplateName("glass");

  const String text = WriteDefinition(DescribeComponent(&root, nullptr));
  EXPECT_NE(text.find("ImageDefault.ImgData"), String::npos);
  TComponent again(nullptr);
  again.SetName("Root");
  LoadDefinition(&again, std::string_view(text), nullptr);
  auto* back = dynamic_cast<TsAlphaHints*>(again.FindComponent("Hints"));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Templates()->Count(), 1);
  EXPECT_EQ(back->TemplateIndex(), 0);
  TacHintTemplate* b = back->Templates()->Items(0);
  EXPECT_EQ(b->Name, "Glass");
  EXPECT_EQ(b->HintAlign, haVertCenter);
  EXPECT_EQ(b->ImageDefault()->ImageData()->Bytes(), t->ImageDefault()->ImageData()->Bytes());
  EXPECT_EQ(b->ImageDefault()->ImageWidth(), 9);
  EXPECT_EQ(b->ImageDefault()->BordersWidths()->Bottom(), 4);
  EXPECT_EQ(b->ImageDefault()->BorderDrawModes()->Get(4), dmRepeat);
  EXPECT_EQ(b->Img_RightTop()->ImageWidth(), 9) << "a picture without file bytes goes as a bitmap";
  EXPECT_EQ(WriteDefinition(DescribeComponent(&again, nullptr)), text);
}
