// The adapter gives a form's controls the handler their class names call for,
// leaves alone what it must, and lets every handler go with each control as
// it was.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/forms/acCtrlAdapter.h"
#include "skin/core/sMessages.h"
#include "tests/skin_forms/AdapterSkin.h"

namespace {

// A static text control over the window class the static handler skins.
class TStaticText : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, "STATIC");
  }
};

// The adapter's view of a provider: the form, the events, the lists and the manager.
struct FakeHost : TacAdapterHost {
  TForm* form = nullptr;
  TsSkinManager* manager = nullptr;
  bool allow = true;
  TAddItemEvent onItem;
  TAddItemExEvent onItemEx;
  TacThirdLists lists;
  std::vector<TControl*> labels;
  std::vector<std::pair<TForm*, String>> childForms;

  TForm* HostForm() const override { return form; }
  bool AllowSkin3rdParty() const override { return allow; }
  const TAddItemEvent& SkinItemEvent() const override { return onItem; }
  const TAddItemExEvent& SkinItemExEvent() const override { return onItemEx; }
  const TacThirdLists* ThirdLists() const override { return &lists; }
  TsSkinManager* Manager() const override { return manager; }
  void InitLabel(TControl* c, bool skinned) override {
    if (skinned) labels.push_back(c);
  }
  void AdaptChildForm(TForm* f, const String& section) override { childForms.emplace_back(f, section); }

  void List(int kind, const char* names) { lists[size_t(kind)].SetText(names); }
};

// Stands first in a control's WindowProc chain, so the chain can be checked afterwards.
struct Marker {
  TWndMethod inner;
  int id;
  void operator()(TMessage& m) const { inner(m); }
};

String HandlerName(HWND w) {
  auto* h = reinterpret_cast<TObject*>(SendSkinCommand(w, SKC_GETHANDLER));
  return h ? h->ClassName() : String();
}

class AdapterTest : public WindowTest {
 protected:
  std::unique_ptr<TsSkinManager> manager;
  FakeHost host;
  TForm* form = nullptr;

  void SetUp() override {
    WindowTest::SetUp();
    manager = adapterskin::MakeFormSkinManager();
    form = new TForm(Application);
    host.form = form;
    host.manager = manager.get();
    host.List(0, "TEdit\nTMemo");
    host.List(1, "TButton");
    host.List(3, "TCheckBox");
    host.List(20, "TScrollBar");
    host.List(21, "TStaticText");
    ShowForm(*form);
  }
  void TearDown() override {
    delete form;
    manager.reset();
    WindowTest::TearDown();
  }
  template <class T>
  T* Add(TWinControl* parent, int top) {
    auto* c = new T(form);
    c->SetBounds(8, top, 120, 24);
    c->SetParent(parent);
    c->HandleNeeded();
    return c;
  }
};

}  // namespace

TEST_F(AdapterTest, ListedControlsGetTheirHandlersAndAreGivenBackAsTheyWere) {
  auto* panel = Add<TPanel>(form, 150);
  panel->SetHeight(100);
  struct Expect {
    TWinControl* ctrl;
    const char* handler;  // nullptr: left plain
  };
  auto* skipped = Add<TButton>(form, 120);
  skipped->Tag = kNoSkinTag | 1;
  const std::vector<Expect> cases{
      {Add<TButton>(form, 0), "TacButtonWnd"},        {Add<TEdit>(form, 30), "TacEditWnd"},
      {Add<TCheckBox>(form, 60), "TacCheckBoxWnd"},   {Add<TScrollBar>(form, 90), "TacSBWnd"},
      {Add<TStaticText>(form, 260), "TacStaticTextWnd"}, {Add<TMemo>(panel, 4), "TacEditWnd"},  // nested
      {Add<TButton>(panel, 40), "TacButtonWnd"},      {panel, nullptr},  // panels are listed nowhere
      {skipped, nullptr},
  };
  struct Before {
    LONG_PTR proc, style, ex;
    TControlStyle ctrlStyle;
  };
  std::vector<Before> before;
  for (size_t i = 0; i < cases.size(); ++i) {
    TWinControl* c = cases[i].ctrl;
    SetPropW(c->Handle(), "OWN", HANDLE(0x55));
    c->WindowProc = Marker{c->WindowProc, int(i)};
    before.push_back({GetWindowLongPtrW(c->Handle(), GWLP_WNDPROC), GetWindowLongPtrW(c->Handle(), GWL_STYLE),
                      GetWindowLongPtrW(c->Handle(), GWL_EXSTYLE), c->ControlStyle});
  }

  auto adapter = std::make_unique<TacCtrlAdapter>(&host);
  adapter->AddAllItems();
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.ctrl->ClassName() + " " + std::to_string(e.ctrl->Top()));
    HWND w = e.ctrl->Handle();
    if (e.handler) {
      EXPECT_NE(GetPropW(w, kSkinDataProp), nullptr);
      EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);
      EXPECT_EQ(HandlerName(w), e.handler);
      EXPECT_GE(adapter->IndexOf(e.ctrl), 0);
    } else {
      EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
      EXPECT_EQ(adapter->IndexOf(e.ctrl), -1);
    }
  }
  EXPECT_EQ(adapter->Count(), 7);
  // A second walk finds everything skinned already.
  adapter->AddAllItems();
  EXPECT_EQ(adapter->Count(), 7);

  // Removing the skin: the handlers hear of it, then let go.
  TMessage removed = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINREMOVED), manager->AsParam());
  adapter->WndProc(removed);
  adapter.reset();
  for (size_t i = 0; i < cases.size(); ++i) {
    TWinControl* c = cases[i].ctrl;
    SCOPED_TRACE(c->ClassName() + " " + std::to_string(c->Top()));
    HWND w = c->Handle();
    EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
    EXPECT_EQ(GetPropW(w, kScrollHandlerProp), nullptr);
    EXPECT_EQ(GetPropW(w, "OWN"), HANDLE(0x55));
    EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 0);
    const Marker* m = c->WindowProc.target<Marker>();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id, int(i));
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), before[i].proc);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), before[i].style);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE), before[i].ex);
    EXPECT_TRUE(c->ControlStyle == before[i].ctrlStyle);
  }
}

TEST_F(AdapterTest, ClassListsAreSearchedInOrderAndExactly) {
  TacThirdLists lists;
  lists[3].SetText("TFoo\nTBar");
  lists[7].SetText("TBar\ntbaz");
  lists[17].SetText("TSpeedy");
  struct Case {
    const char* name;
    int kind;
  } const cases[] = {{"TFoo", 3}, {"TBar", 3}, {"tbaz", 7}, {"TBaz", -1}, {"TSpeedy", 17}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(TacCtrlAdapter::FindHandlerKind(&lists, c.name), c.kind) << c.name;
  EXPECT_EQ(TacCtrlAdapter::FindHandlerKind(nullptr, "TFoo"), -1);
  // A windowed control listed with the speed buttons gets the edit handler.
  host.List(1, "");
  host.List(17, "TButton");
  auto* b = Add<TButton>(form, 0);
  TacCtrlAdapter adapter(&host);
  adapter.AddNewItem(b);
  EXPECT_EQ(HandlerName(b->Handle()), "TacEditWnd");
}

TEST_F(AdapterTest, ItemEventsDecideAndNameTheSection) {
  auto* plain = Add<TButton>(form, 0);
  auto* ex = Add<TButton>(form, 30);
  auto* sectioned = Add<TButton>(form, 60);
  auto* label = new TLabel(form);
  label->SetParent(form);
  auto* quiet = new TLabel(form);
  quiet->SetParent(form);
  auto* child = new TForm(form);
  child->SetParent(form);
  child->HandleNeeded();
  int exCalls = 0;
  host.onItem = [&](TComponent* c, bool& can, String& section) {
    if (c == plain) can = false;
    if (c == sectioned) section = "CHECKBOX";
  };
  host.onItemEx = [&](TComponent* c, bool& can, TacSkinParams* p) {
    ++exCalls;
    if (c == plain) can = true;  // too late: the first event refused it
    if (c == ex) can = false;
    if (c == quiet) p->UseSkinFontColor = false;
  };
  TacCtrlAdapter adapter(&host);
  adapter.AddNewItem(plain);
  EXPECT_EQ(exCalls, 0);
  EXPECT_EQ(GetPropW(plain->Handle(), kSkinDataProp), nullptr);
  adapter.AddAllItems();
  EXPECT_EQ(GetPropW(plain->Handle(), kSkinDataProp), nullptr);
  EXPECT_EQ(GetPropW(ex->Handle(), kSkinDataProp), nullptr);
  auto* data = GetWndSkinData(sectioned->Handle());
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->SkinSection(), "CHECKBOX");
  EXPECT_EQ(host.labels, std::vector<TControl*>{label});
  ASSERT_EQ(host.childForms.size(), 1u);
  EXPECT_EQ(host.childForms[0].first, child);
  EXPECT_EQ(host.childForms[0].second, "FORM");
}

TEST_F(AdapterTest, WalksDoNotNestAndNothingHappensWithoutLeave) {
  auto* b = Add<TButton>(form, 0);
  TacCtrlAdapter adapter(&host);
  int asked = 0;
  host.onItem = [&](TComponent*, bool&, String&) {
    ++asked;
    adapter.AddAllItems();  // returns at once: a walk runs
  };
  adapter.AddAllItems();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(adapter.Count(), 1);
  adapter.RemoveAllItems();
  host.onItem = nullptr;

  for (int step = 0; step < 3; ++step) {
    SCOPED_TRACE(step);
    host.allow = step != 0;
    manager->SetSkinningRules(step == 1 ? TacSkinningRules{srStdForms} : TacSkinningRules{srThirdParty});
    host.manager = step == 2 ? nullptr : manager.get();
    adapter.AddAllItems();
    EXPECT_EQ(adapter.Count(), 0);
    EXPECT_EQ(GetPropW(b->Handle(), kSkinDataProp), nullptr);
  }
}

TEST_F(AdapterTest, EntriesOfLostWindowsAreDroppedOrTakenAgain) {
  auto* a = Add<TButton>(form, 0);
  auto* b = Add<TButton>(form, 30);
  auto* c = Add<TButton>(form, 60);
  TacCtrlAdapter adapter(&host);
  adapter.AddAllItems();
  ASSERT_EQ(adapter.Count(), 3);
  EXPECT_EQ(adapter.GetItem(-1), nullptr);
  EXPECT_EQ(adapter.GetItem(3), nullptr);
  adapter.RemoveItem(3);
  adapter.RemoveItem(-1);
  EXPECT_EQ(adapter.Count(), 3);

  // Two neighbours lose their windows: one clean-up drops both.
  a->DestroyHandle();
  b->DestroyHandle();
  EXPECT_TRUE(adapter.GetItem(0)->ScrollWnd->Destroyed);
  adapter.CleanItems();
  ASSERT_EQ(adapter.Count(), 1);
  EXPECT_EQ(adapter.GetItem(0)->WinCtrl, c);

  // A window made again is taken by a fresh handler of the same entry.
  c->RecreateWnd();
  c->HandleNeeded();
  EXPECT_EQ(GetPropW(c->Handle(), kSkinDataProp), nullptr);
  adapter.AddNewItem(c);
  ASSERT_EQ(adapter.Count(), 1);
  EXPECT_EQ(SendSkinCommand(c->Handle(), SKC_ISSKINNED), 1);

  // Entries are freed where they stand, the last one taking the place.
  a->HandleNeeded();
  adapter.AddNewItem(a);
  adapter.AddNewItem(b);
  ASSERT_EQ(adapter.Count(), 3);
  adapter.RemoveItem(0);
  ASSERT_EQ(adapter.Count(), 2);
  EXPECT_EQ(adapter.GetItem(0)->WinCtrl, b);
  EXPECT_EQ(GetPropW(c->Handle(), kSkinDataProp), nullptr);
}
