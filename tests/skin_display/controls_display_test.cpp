// One skinned form holding a control of every kind the library skins, each
// taken over through the form's child-control adapter, on a real X server:
// the X window shows what the layer painted.

#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ListViews.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acMainWnd.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"
#include "tests/skin_display/DisplayFixture.h"

namespace {

// Windows of raw classes the framework has no control for.
template <const char* Class, DWORD Style>
class TRawControl : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, Class);
    Params.Style |= Style;
  }
};
constexpr char kStatic[] = "STATIC";
constexpr char kScrollBar[] = "SCROLLBAR";
class TStaticText : public TRawControl<kStatic, 0> {
 public:
  using TRawControl::TRawControl;
};
class TSizeGrip : public TRawControl<kScrollBar, SBS_SIZEGRIP> {
 public:
  using TRawControl::TRawControl;
};

// The class names the form's adapter skins, by handler kind, as an
// application lists them for its manager.
void ListStandardControls(TsSkinManager& m) {
  const std::pair<int, const char*> lists[] = {
      {0, "TEdit\nTMemo"},  {1, "TButton"},       {3, "TCheckBox\nTRadioButton"}, {4, "TComboBox"},
      {6, "TGroupBox"},      {7, "TListView"},     {8, "TPanel"},                   {9, "TTreeView"},
      {13, "TPageControl"},  {15, "TToolBar"},     {16, "TStatusBar"},              {19, "TUpDown"},
      {20, "TScrollBar"},    {21, "TStaticText"}};
  for (const auto& [kind, names] : lists) m.ThirdLists[size_t(kind)].SetText(names);
}

// Kinds no class-name list names (track bars, size grips) get the handler a
// standard dialog gives a child of the system class they are made from.
TacHandlerPtr<TacMainWnd> SkinByWindowClass(TWinControl* c, const char* SystemClass, TsSkinManager* m) {
  HWND w = c->Handle();
  const TacDlgCtrlChoice choice =
      ChooseDialogControlHandler(SystemClass, DWORD(GetWindowLongPtrW(w, GWL_STYLE)), 0, true, c->Height());
  const TacHandlerFactory make = HandlerFactoryOf(choice.Handler);
  if (!make) return nullptr;
  TacSkinParams params;
  params.SkinSection = choice.Section;
  params.Control = c;
  return make(w, nullptr, m, params, true);
}

class ControlsDisplayTest : public XDisplayTest {
 protected:
  void SetUp() override {
    XDisplayTest::SetUp();
    if (!x_) return;
    manager = MakeOwnSkinManager();
    ASSERT_TRUE(manager->CommonSkinData.Active);
    ListStandardControls(*manager);
  }
  void TearDown() override {
    manager.reset();
    XDisplayTest::TearDown();
  }
  template <class T>
  T* Add(TForm& form, TWinControl* parent, int x, int y, int w, int h) {
    auto* c = new T(&form);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
  }
  std::unique_ptr<TsSkinManager> manager;
};

}  // namespace

TEST_F(ControlsDisplayTest, EveryHandledKindOfControlReachesTheXWindowSkinned) {
  TForm form(nullptr);
  form.SetBounds(40, 30, 780, 560);
  form.SetCaption("Controls");
  std::vector<TWinControl*> skinned;
  auto track = [&](TWinControl* c) {
    skinned.push_back(c);
    return c;
  };

  auto* button = Add<TButton>(form, &form, 10, 10, 100, 26);
  button->SetCaption("Button");
  track(button);
  auto* check = Add<TCheckBox>(form, &form, 10, 44, 120, 20);
  check->SetCaption("Check box");
  check->SetChecked(true);
  track(check);
  auto* radio = Add<TRadioButton>(form, &form, 10, 68, 120, 20);
  radio->SetCaption("Radio button");
  radio->SetChecked(true);
  track(radio);
  auto* group = Add<TGroupBox>(form, &form, 10, 94, 200, 90);
  group->SetCaption("Group box");
  track(group);
  auto* edit = Add<TEdit>(form, group, 10, 24, 170, 24);
  edit->SetTextValue("An edit");
  track(edit);
  auto* memo = Add<TMemo>(form, &form, 10, 192, 200, 110);
  memo->SetScrollBars(ssVertical);
  for (int i = 0; i < 30; ++i) memo->Lines()->Add("Memo line " + std::to_string(i));
  track(memo);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetBounds(10, 310, 120, 18);
  label->SetCaption("A label");
  auto* text = new TStaticText(&form);
  text->SetParent(&form);
  text->SetBounds(130, 310, 100, 18);
  text->SetCaption("Static text");
  track(text);
  auto* panel = Add<TPanel>(form, &form, 10, 336, 200, 60);
  panel->SetCaption("Panel");
  track(panel);
  auto* grip = new TSizeGrip(&form);
  grip->SetParent(panel);
  grip->SetBounds(180, 40, 18, 18);
  auto* scroll = Add<TScrollBar>(form, &form, 10, 404, 200, 18);
  track(scroll);
  auto* spinEdit = Add<TEdit>(form, &form, 10, 430, 80, 24);
  spinEdit->SetTextValue("5");
  auto* spin = Add<TUpDown>(form, &form, 90, 430, 18, 24);
  spin->SetMax(10);
  spin->SetPosition(5);
  track(spin);

  auto* list = Add<TListView>(form, &form, 230, 10, 260, 140);
  list->SetViewStyle(vsReport);
  for (const char* caption : {"Name", "Size", "Kind"}) {
    TListColumn* col = list->Columns()->Add();
    col->SetCaption(caption);
    col->SetWidth(80);
  }
  for (int i = 0; i < 12; ++i) {
    TListItem* item = list->Items()->Add();
    item->SetCaption("File " + std::to_string(i));
    item->SubItems()->Add(std::to_string(i * 1024));
    item->SubItems()->Add("Video");
  }
  track(list);
  auto* tree = Add<TTreeView>(form, &form, 230, 160, 260, 120);
  TTreeNode* root = tree->Items()->Add(nullptr, "Folder");
  for (int i = 0; i < 4; ++i) tree->Items()->AddChild(root, "Item " + std::to_string(i));
  tree->Items()->Add(nullptr, "Second folder");
  track(tree);
  auto* combo = Add<TComboBox>(form, &form, 230, 290, 180, 24);
  for (const char* s : {"First", "Second", "Third"}) combo->Items()->Add(s);
  combo->SetItemIndex(1);
  track(combo);
  auto* pages = Add<TPageControl>(form, &form, 230, 324, 260, 130);
  for (int i = 0; i < 10; ++i) {
    auto* page = new TTabSheet(&form);
    page->SetPageControl(pages);
    page->SetCaption("Page " + std::to_string(i));
  }
  pages->SetActivePageIndex(0);
  track(pages);

  auto* bar = Add<TToolBar>(form, &form, 510, 10, 250, 30);
  bar->SetAlign(alNone);
  bar->SetBounds(510, 10, 250, 30);
  bar->SetShowCaptions(true);
  for (const char* caption : {"Open", "Save", "", "Run"}) {
    auto* b = new TToolButton(&form);
    b->SetParent(bar);
    if (!*caption) b->SetStyle(tbsSeparator);
    b->SetCaption(caption);
  }
  track(bar);
  auto* trackBar = Add<TTrackBar>(form, &form, 510, 60, 250, 40);
  trackBar->SetMax(10);
  trackBar->SetPosition(4);
  auto* status = new TStatusBar(&form);
  status->SetParent(&form);
  for (int w : {120, 160, 100}) status->Panels()->Add()->SetWidth(w);
  status->Panels()->Items(0)->SetText("Ready");
  status->Panels()->Items(1)->SetText("12 files");
  track(status);

  // As a form read from its definition: the provider finishes its set-up when loaded.
  (new TsSkinProvider(&form))->Loaded();
  std::vector<TacHandlerPtr<TacMainWnd>> byClass;
  for (auto [c, system] : {std::pair<TWinControl*, const char*>{grip, "scrollbar"}, {trackBar, "msctls_trackbar32"}}) {
    byClass.push_back(SkinByWindowClass(c, system, manager.get()));
    ASSERT_TRUE(byClass.back()) << system;
  }
  track(grip);
  track(trackBar);
  form.Show();
  SetActiveWindow(form.Handle());
  Settle();
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Settle();

  for (TWinControl* c : skinned) {
    EXPECT_EQ(SendSkinCommand(c->Handle(), SKC_ISSKINNED), 1) << c->ClassName();
  }
  ExpectShowsItsSurface(form.Handle(), "controls");
  EXPECT_EQ(KeyColourPixels(form.Handle()), 0);
  for (auto& h : byClass) ReleaseWndHandler(h->CtrlHandle, false, h.get());
}
