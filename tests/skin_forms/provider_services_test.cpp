// A skinned form's provider gives its controls their handlers through the
// adapter, recolours its labels, answers the skin commands in their sets and
// links a preview form to the skin editor; removing the skin leaves every
// control and label as it was.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/sMessages.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

// Stands first in a control's WindowProc chain, so the chain can be checked afterwards.
struct Marker {
  TWndMethod inner;
  int id;
  void operator()(TMessage& m) const { inner(m); }
};

// The form's own procedure, recording the skin commands that reach it.
struct Spy {
  std::vector<std::pair<WPARAM, LPARAM>> seen;
  void Install(TForm& form) {
    TWndMethod inner = form.WindowProc;
    form.WindowProc = [this, inner](TMessage& m) {
      if (m.Msg == WM_SKINCOMMAND) seen.emplace_back(m.WParam, m.LParam);
      inner(m);
    };
  }
  bool Saw(int cmd) const {
    for (const auto& [wp, lp] : seen)
      if (int(wp >> 16) == cmd) return true;
    return false;
  }
};

LRESULT Command(TForm& form, int cmd, LPARAM lp = 0) {
  return SendSkinMessage(form.Handle(), WM_SKINCOMMAND, SkinCommandWParam(cmd), lp);
}

class ProviderServicesTest : public FormSkinTest {
 protected:
  void SetUp() override {
    FormSkinTest::SetUp();
    manager->ThirdLists[0].SetText("TEdit");
    manager->ThirdLists[1].SetText("TButton");
    manager->ThirdLists[3].SetText("TCheckBox");
    manager->ThirdLists[20].SetText("TScrollBar");
  }
  void TearDown() override {
    ProgramParams.clear();
    PreviewRequested = false;
    PreviewFormHandle = nullptr;
    FormSkinTest::TearDown();
  }
  template <class T>
  static T* Add(TForm& form, int top) {
    auto* c = new T(&form);
    c->SetBounds(8, top, 120, 24);
    c->SetParent(&form);
    return c;
  }
};

}  // namespace

TEST_F(ProviderServicesTest, SkinnedFormsControlsGetHandlersAndAreGivenBackWhenTheSkinGoes) {
  TForm form(nullptr);
  std::vector<TWinControl*> ctrls{Add<TButton>(form, 0), Add<TEdit>(form, 30), Add<TCheckBox>(form, 60),
                                  Add<TScrollBar>(form, 90)};
  auto* label = Add<TLabel>(form, 120);
  label->Font()->SetColor(0x123456);
  auto* inherits = Add<TLabel>(form, 140);  // follows the form's font
  auto* skipped = Add<TLabel>(form, 160);
  skipped->Tag = kNoSkinTag;
  skipped->Font()->SetColor(0x654321);
  Show(form);
  for (size_t i = 0; i < ctrls.size(); ++i) ctrls[i]->WindowProc = Marker{ctrls[i]->WindowProc, int(i)};
  TsSkinProvider sp(&form);
  sp.Loaded();
  ASSERT_TRUE(sp.SkinData()->Skinned());
  ASSERT_NE(sp.Adapter, nullptr);

  // A control added to the skinned form is skinned as it arrives.
  auto* later = Add<TButton>(form, 200);
  ctrls.push_back(later);
  // Custom-draw notices walk the form again only after a control came.
  int asked = 0;
  sp.OnSkinItem = [&](TComponent* c, bool&, String&) { asked += c == label; };
  NMHDR draw{};
  draw.code = NM_CUSTOMDRAW;
  form.Perform(WM_NOTIFY, 0, LPARAM(&draw));
  EXPECT_EQ(asked, 1);  // the button's arrival is pending
  form.Perform(WM_NOTIFY, 0, LPARAM(&draw));
  form.Perform(WM_NOTIFY, 0, LPARAM(&draw));
  EXPECT_EQ(asked, 1);
  sp.OnSkinItem = nullptr;
  for (TWinControl* c : ctrls) {
    SCOPED_TRACE(c->ClassName() + " " + std::to_string(c->Top()));
    EXPECT_NE(GetPropW(c->Handle(), kSkinDataProp), nullptr);
    EXPECT_EQ(SendSkinCommand(c->Handle(), SKC_ISSKINNED), 1);
  }
  const TColor labelText = manager->GetGlobalFontColor();
  EXPECT_EQ(label->Font()->Color(), labelText);
  EXPECT_EQ(inherits->Font()->Color(), labelText);
  EXPECT_EQ(skipped->Font()->Color(), TColor(0x654321));

  manager->SetActive(false);
  Application->ProcessMessages();
  EXPECT_EQ(sp.Adapter, nullptr);
  for (size_t i = 0; i < ctrls.size(); ++i) {
    TWinControl* c = ctrls[i];
    SCOPED_TRACE(c->ClassName() + " " + std::to_string(c->Top()));
    EXPECT_EQ(GetPropW(c->Handle(), kSkinDataProp), nullptr);
    EXPECT_EQ(SendSkinCommand(c->Handle(), SKC_ISSKINNED), 0);
    if (c == later) continue;  // it came after the markers
    const Marker* m = c->WindowProc.target<Marker>();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id, int(i));
  }
  EXPECT_EQ(label->Font()->Color(), TColor(0x123456));
  // A label that followed its parent's font follows it again, with its present colour.
  form.Font()->SetColor(0x0000AA);
  EXPECT_TRUE(inherits->ParentFont());
  EXPECT_EQ(inherits->Font()->Color(), TColor(0x0000AA));
  EXPECT_TRUE(sp.SavedLabelColors.empty());
}

TEST_F(ProviderServicesTest, SkinCommandsAnswerInTheirSets) {
  TForm form(nullptr);
  Spy spy;
  spy.Install(form);
  Show(form);
  TsSkinProvider sp(&form);
  sp.Loaded();
  ASSERT_TRUE(sp.SkinData()->Skinned());
  const LRESULT self = LRESULT(static_cast<TObject*>(&sp));
  struct Case {
    int cmd;
    LPARAM lp;
    LRESULT skinned, plain;  // the answers on a skinned form and on one without its skin
    bool passedSkinned, passedPlain;  // the form's own procedure sees the command
  } const cases[] = {
      {SKC_ISSKINNED, 0, 1, 1, false, false},   {SKC_GETPROVIDER, 0, self, self, false, false},
      {SKC_GETSCALE, 0, 100, 100, false, false}, {SKC_ISSLAVE, 0, 0, 0, false, true},
      {SKC_MOVEDONE, 5, 0, 0, true, true},      {SKC_MOVESTARTED, 6, 0, 0, true, true},
      {SKC_MOVESTOPPED, 7, 0, 0, false, true},  {SKC_GETAPPLICATION, 0, LRESULT(Application), LRESULT(Application), false, false},
  };
  for (bool skinned : {true, false}) {
    if (!skinned) {
      manager->SetActive(false);
      Application->ProcessMessages();
      ASSERT_FALSE(sp.SkinData()->Skinned());
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.cmd) + (skinned ? " skinned" : " plain"));
      spy.seen.clear();
      EXPECT_EQ(Command(form, c.cmd, c.lp), skinned ? c.skinned : c.plain);
      const bool passed = skinned ? c.passedSkinned : c.passedPlain;
      ASSERT_EQ(spy.seen.size(), passed ? 1u : 0u);
      if (passed) {
        EXPECT_EQ(spy.seen[0], std::make_pair(SkinCommandWParam(c.cmd), c.lp));
      }
    }
  }
  EXPECT_EQ(GetPropW(form.Handle(), kScrollHandlerProp), nullptr);
  // The form's own code hears when a skin was removed and loaded; a loaded
  // skin gives the form's own scroll bars their handler.
  spy.seen.clear();
  manager->SetActive(true);
  Application->ProcessMessages();
  EXPECT_TRUE(spy.Saw(SKC_MOVEDONE));
  EXPECT_NE(GetPropW(form.Handle(), kScrollHandlerProp), nullptr);
  EXPECT_NE(sp.ListSW, nullptr);
  // Glued forms: the slave mark is kept while skinned.
  ASSERT_TRUE(sp.SkinData()->Skinned());
  Command(form, SKC_SETSLAVE, 1);
  EXPECT_EQ(Command(form, SKC_ISSLAVE), 1);
  EXPECT_TRUE(sp.FormState() & FS_SLAVE);
  Command(form, SKC_SETSLAVE, 0);
  EXPECT_EQ(Command(form, SKC_ISSLAVE), 0);
}

namespace {

// A stand-in for the skin editor's window: it counts link requests and takes the
// form once it was asked TakeAt times (never for 0).
struct EditorWindow {
  static inline int asked = 0, takeAt = 0;
  static inline HWND form = nullptr;
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SKINEDITOR && wp == 3) {
      ++asked;
      form = reinterpret_cast<HWND>(lp);
      return asked == takeAt ? 1 : 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  HWND wnd = nullptr;
  explicit EditorWindow(int TakeAt) {
    asked = 0;
    takeAt = TakeAt;
    form = nullptr;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &Proc;
    wc.lpszClassName = "EditorStandIn";
    RegisterClassExW(&wc);
    wnd = CreateWindowExW(0, "EditorStandIn", "Glazory Editor", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                          nullptr);
  }
  ~EditorWindow() { DestroyWindow(wnd); }
};

}  // namespace

TEST_F(ProviderServicesTest, PreviewFormLinksToTheEditorOnce) {
  ProgramParams = {"tarnwick", "/acpreview"};
  TForm form(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  EXPECT_TRUE(PreviewRequested);
  {
    // An editor that never answers is asked 101 times, and only once in all.
    EditorWindow editor(0);
    LinkToSkinEditor(form.Handle());
    EXPECT_EQ(EditorWindow::asked, 101);
    EXPECT_EQ(EditorWindow::form, form.Handle());
    EXPECT_EQ(PreviewFormHandle, form.Handle());
    EXPECT_FALSE(PreviewRequested);
    LinkToSkinEditor(form.Handle());
    EXPECT_EQ(EditorWindow::asked, 101);
  }
  {
    // A form that is not the main form announces nothing while a main form exists.
    PreviewRequested = true;
    PreviewFormHandle = nullptr;
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->HandleNeeded();
    EditorWindow editor(3);
    LinkToSkinEditor(form.Handle());
    EXPECT_EQ(EditorWindow::asked, 0);
    LinkToSkinEditor(main->Handle());
    EXPECT_EQ(EditorWindow::asked, 3);
    EXPECT_EQ(PreviewFormHandle, main->Handle());
  }
  EXPECT_EQ(SendMessageW(form.Handle(), WM_SKINEDITOR, 4, 0), 1);
}

TEST_F(ProviderServicesTest, PreviewBuffersReachTheManagerWhole) {
  TForm form(nullptr);
  Show(form);
  TsSkinProvider sp(&form);
  PreviewFormHandle = form.Handle();
  TacSkinData preview;
  preview.Magic = TacSkinData::kMagic;
  preview.SkinName = "Preview";
  std::vector<uint8_t> bytes = preview.Encode();
  auto send = [&](ULONG_PTR kind, size_t size) {
    manager->PreviewBuffer = TacSkinData();
    COPYDATASTRUCT cd;
    cd.dwData = kind;
    cd.cbData = DWORD(size);
    cd.lpData = bytes.data();
    return SendMessageW(form.Handle(), WM_COPYDATA, 0, LPARAM(&cd));
  };
  struct Case {
    const char* name;
    ULONG_PTR kind;
    size_t size;
    bool taken;
  } const cases[] = {
      {"whole", 7, bytes.size(), true},
      {"other kind", 6, bytes.size(), false},
      {"cut short", 7, 64, false},  // never read past the end
      {"magic only", 7, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    send(c.kind, c.size);
    EXPECT_EQ(manager->PreviewBuffer.SkinName, c.taken ? "Preview" : "");
  }
  bytes[1] = 0;  // no magic
  send(7, bytes.size());
  EXPECT_EQ(manager->PreviewBuffer.SkinName, "");
}

TEST_F(ProviderServicesTest, LookUpsAndComposition) {
  EXPECT_FALSE(AeroIsEnabled());
  EXPECT_EQ(SetDwmAttribute(nullptr, 3, nullptr, 0), kDwmNotImplemented);
  struct Snap {
    int a, b, range, delta;
  } const snaps[] = {{10, 10, 5, 0}, {14, 10, 4, 4}, {15, 10, 4, 0}, {6, 10, 4, -4}, {5, 10, 4, 0}};
  for (const Snap& s : snaps) EXPECT_EQ(SnapDelta(s.a, s.b, s.range), s.delta) << s.a << " " << s.b;

  TForm form(nullptr);
  auto* panel = Add<TPanel>(form, 0);
  auto* inner = new TButton(panel);
  inner->SetParent(panel);
  Show(form);
  TsSkinProvider sp(&form);
  SetWindowLongPtrW(panel->Handle(), GWLP_ID, 41);
  SetWindowLongPtrW(inner->Handle(), GWLP_ID, 42);
  EXPECT_EQ(FindControlById(42, &form), inner);
  EXPECT_EQ(FindControlById(-12345, &form), nullptr);
  EXPECT_EQ(ProviderOfComponent(inner), &sp);
  EXPECT_EQ(ProviderOfComponent(nullptr), nullptr);

  TForm a(nullptr), b(nullptr);
  FormsCouples = {{&a, &form, {}}, {&b, &form, {}}, {&a, &b, {}}};
  RemoveGluedSlave(&a);
  ASSERT_EQ(FormsCouples.size(), 1u);
  EXPECT_EQ(FormsCouples[0].Slave, &b);
  FormsCouples.clear();
}
