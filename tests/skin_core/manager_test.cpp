// The skin manager over real (headless) forms: the order in which a skin
// change reaches controls and hook-skinned windows, a failed load, the system
// colours and pens while the hook is installed, and the skin editor's preview
// arriving at the application window.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStyleSimply.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"

using namespace skintest;

namespace {

// A skin whose palette differs from the system's everywhere the redirection looks.
SkinFiles PaletteSkin(const std::string& mark, long edit) {
  SkinFiles s;
  s.options.Section("GLOBALINFO").Key("VERSION", "10.5").Key("COLOR", 0x405060);
  s.options.Section("EDIT").Key("COLOR", edit).Key("FONTCOLOR", 0x030201);
  s.options.Section("SELECTION").Key("COLOR", 0x0A0B0C).Key("FONTCOLOR", 0x0D0E0F);
  s.options.Section(mark).Key("COLOR", 0x777777);
  return s;
}

struct Seen {
  std::string who;
  int cmd;
};

// A control's skin record in front of its window procedure, logging the skin
// commands that reach it (as every skinned control's handler does).
struct Spy {
  TWinControl* ctrl;
  TsCommonData data;
  TWndMethod old;
  Spy(TWinControl* c, std::string who, std::vector<Seen>& log, std::function<void(int)> atCommand = nullptr)
      : ctrl(c), data(c, true) {
    old = c->WindowProc;
    c->WindowProc = [this, who, &log, atCommand](TMessage& m) {
      if (m.Msg == WM_SKINCOMMAND) {
        log.push_back({who, SkinCommandOf(m)});
        if (atCommand) atCommand(SkinCommandOf(m));
      }
      if (!HandleCommonMessage(m, &data)) old(m);
    };
    data.WndProc = c->WindowProc;
    c->HandleNeeded();
    data.InitCommonProp();
    data.Loaded(false);
  }
  ~Spy() {
    data.RemoveCommonProp();
    ctrl->WindowProc = old;
  }
};

// The window-creation hook's provider for the test: the dialog's skin
// commands are logged by a subclass of its window procedure.
struct HookedDialog : TacProvider {
  static inline std::vector<Seen>* log = nullptr;
  static inline WNDPROC prev = nullptr;
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SKINCOMMAND && log) log->push_back({"dialog", int(wp >> 16)});
    return CallWindowProcW(prev, w, m, wp, lp);
  }
  explicit HookedDialog(HWND w) : TacProvider(w) {
    prev = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Proc))));
  }
};

class ManagerTest : public WindowTest {
 protected:
  TempFolder dir;
  void SetUp() override {
    WindowTest::SetUp();
    PreviewWasLoaded = false;
    PaletteSkin("MARK_A", 0x223344).WriteFolder(dir.Path() + "A");
    PaletteSkin("MARK_B", 0x556677).WriteFolder(dir.Path() + "B");
    // Dialogs only, as the control-skinning library decides by class.
    HookServices.TrySkinWindow = [](HWND w, void*) {
      if (GetWndClassName(w) == "#32770") HookProviders->push_back(std::make_unique<HookedDialog>(w));
    };
  }
  void TearDown() override {
    HookServices = TacHookServices();
    HookedDialog::log = nullptr;
    WindowTest::TearDown();
  }
  std::unique_ptr<TsSkinManager> Manager(const String& skin = "A") {
    auto m = std::make_unique<TsSkinManager>(nullptr);
    m->SetSkinDirectory(dir.Path());
    if (!skin.empty()) m->SetSkinName(skin);
    return m;
  }
};

}  // namespace

TEST_F(ManagerTest, SkinChangeReachesFormsThenHookedWindowsInOrder) {
  auto m = Manager();
  ASSERT_TRUE(m->IsDefault());
  EXPECT_EQ(DefaultSkinManager(), m.get());
  ASSERT_TRUE(m->CommonSkinData.Active);
  EXPECT_EQ(m->SkinInfo(), "10.5");
  EXPECT_TRUE(m->GlobalHookInstalled());

  std::vector<Seen> log;
  TForm f1(Application), f2(Application);
  auto* p1 = new TPanel(&f1);
  p1->SetParent(&f1);
  auto* p2 = new TPanel(&f2);
  p2->SetParent(&f2);
  ShowForm(f1);
  ShowForm(f2);
  // What a control sees when the change reaches it: the new skin already in
  // place with its indexes, loading over, the skin not yet active.
  bool newRecords = false, indexes = false, loading = true, active = true, changing = false;
  Spy s1(p1, "panel1", log, [&](int cmd) {
    if (cmd != SKC_SKINCHANGED) return;
    newRecords = m->GetSkinIndex("MARK_B") >= 0 && m->GetSkinIndex("MARK_A") < 0;
    indexes = m->ConstData.Sections[ssEdit] == m->GetSkinIndex("EDIT");
    loading = SkinLoadingInProgress;
    active = m->CommonSkinData.Active;
    changing = SkinChangingFlag;
  });
  Spy s2(p2, "panel2", log);
  // A dialog made by the system is offered to the hook and joins the broadcasts.
  HookedDialog::log = &log;
  HWND dlg = CreateWindowExW(0, MAKEINTATOM(0x8002), "dialog", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(HookProviders && HookProviders->size() == 1u);
  EXPECT_EQ((*HookProviders)[0]->CtrlHandle, dlg);
  ShowWindow(dlg, SW_SHOWNA);
  log.clear();

  std::vector<std::string> events;
  m->OnBeforeChange = [&](TObject*) { events.push_back("before"); };
  m->OnSkinLoading = [&](TObject*) { events.push_back("loading"); };
  m->OnAfterChange = [&](TObject*) { events.push_back("after"); };
  m->SetSkinName("B.AsZ");  // no archive of that name: the folder
  EXPECT_EQ(m->SkinName(), "B");
  EXPECT_EQ(events, (std::vector<std::string>{"before", "loading", "after"}));
  EXPECT_TRUE(newRecords);
  EXPECT_TRUE(indexes);
  EXPECT_FALSE(loading);
  EXPECT_FALSE(active);
  EXPECT_TRUE(changing);
  EXPECT_FALSE(SkinChangingFlag);
  EXPECT_TRUE(m->CommonSkinData.Active);

  // Every window hears of the change before any is told to repaint; forms
  // last created first, hook-skinned windows after the forms.
  std::vector<std::string> order;
  for (const Seen& s : log) order.push_back(s.who + ":" + std::to_string(s.cmd));
  EXPECT_EQ(order, (std::vector<std::string>{"panel2:1", "panel1:1", "dialog:1", "panel2:16", "panel1:16", "dialog:16",
                                             "panel2:3", "panel1:3", "dialog:3"}));

  // Between BeginUpdate and EndUpdate changes are kept back and told once.
  log.clear();
  events.clear();
  m->BeginUpdate();
  m->SetSkinName("A");
  m->SetBrightness(10);
  m->SetHueOffset(20);
  EXPECT_TRUE(log.empty());
  m->EndUpdate(true, false);
  int changed = 0;
  for (const Seen& s : log) changed += s.who == "panel1" && s.cmd == SKC_SKINCHANGED;
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"before", "loading", "loading", "loading", "after"}));

  // Switching off tells everyone and frees the skin; the hook and its windows go.
  log.clear();
  m->SetActive(false);
  EXPECT_FALSE(m->CommonSkinData.Active);
  EXPECT_TRUE(m->gd.empty());
  EXPECT_EQ(m->SkinInfo(), "N/A");
  EXPECT_FALSE(m->GlobalHookInstalled());
  EXPECT_FALSE(HookProviders);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].cmd, SKC_SKINREMOVED);
  DestroyWindow(dlg);
}

TEST_F(ManagerTest, FailedLoadKeepsTheOldSkinAndShowsTheErrorOnce) {
  auto m = Manager();
  TForm form(Application);
  auto* p = new TPanel(&form);
  p->SetParent(&form);
  ShowForm(form);
  std::vector<Seen> log;
  Spy spy(p, "panel", log);
  log.clear();
  const TColor edit = m->Palette[pcEditBG];
  const int mark = m->GetSkinIndex("MARK_A");
  ASSERT_GE(mark, 0);
  // A damaged archive raises inside the loader.
  const std::vector<uint8_t> junk = {'T', 'W', 'S', 'K', 9, 0, 0, 0, 1, 2, 3};
  WriteFile(dir.Path() + "Bad.asz", junk);
  Headless().ClearMessageBoxes();
  m->SetSkinName("Bad");
  EXPECT_EQ(m->SkinName(), "A");
  EXPECT_TRUE(m->Active());
  EXPECT_TRUE(m->CommonSkinData.Active);
  EXPECT_FALSE(SkinLoadingInProgress);
  EXPECT_EQ(m->GetSkinIndex("MARK_A"), mark);
  EXPECT_EQ(m->Palette[pcEditBG], edit);
  EXPECT_TRUE(log.empty());  // nothing changed, nothing told
  EXPECT_EQ(Headless().MessageBoxes().size(), 1u);

  // A failed first load leaves the manager without an active skin.
  {
    TsSkinManager second(nullptr);
    second.SetSkinDirectory(dir.Path());
    second.SetSkinName("Bad");
    EXPECT_FALSE(second.CommonSkinData.Active);
    EXPECT_EQ(Headless().MessageBoxes().size(), 2u);
  }

  // No skin of that name and no stored skin: the manager switches itself off.
  log.clear();
  m->SetSkinName("Nowhere");
  EXPECT_FALSE(m->Active());
  EXPECT_FALSE(m->CommonSkinData.Active);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].cmd, SKC_SKINREMOVED);
}

TEST_F(ManagerTest, SystemColoursAndPensFollowTheSkinWhileTheHookIsInstalled) {
  const COLORREF window = GetSysColor(COLOR_WINDOW), shadow = GetSysColor(COLOR_BTNSHADOW),
                 face = GetSysColor(COLOR_BTNFACE);
  HBRUSH systemShadow = GetSysColorBrush(COLOR_BTNSHADOW);
  auto penColor = [](COLORREF c) {
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    LOGPEN lp;
    GetObject(pen, sizeof(lp), &lp);
    DeleteObject(pen);
    return lp.lopnColor;
  };

  auto m = Manager("");
  m->Options.SetOption(TacOptions::ChangeSysColors, true);
  m->SetSkinName("A");
  ASSERT_TRUE(m->GlobalHookInstalled());
  const TacPaletteArray& p = m->Palette;
  ASSERT_NE(COLORREF(p[pcEditBG]), window);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), COLORREF(p[pcEditBG]));
  EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), m->Brushes[5]);
  EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), COLORREF(p[pcSelectionBG_Focused]));
  // One brush per colour, not a new one at every call.
  HBRUSH hl = GetSysColorBrush(COLOR_HIGHLIGHT);
  EXPECT_EQ(GetSysColorBrush(COLOR_HIGHLIGHT), hl);
  LOGBRUSH lb;
  GetObject(hl, sizeof(lb), &lb);
  EXPECT_EQ(lb.lbColor, COLORREF(p[pcSelectionBG_Focused]));
  // Shadows take a mix of the main colour, while their brush stays the system's.
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), COLORREF(MixColors(p[pcMainColor], 0, 205)));
  EXPECT_EQ(GetSysColorBrush(COLOR_BTNSHADOW), systemShadow);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), face);
  EXPECT_EQ(penColor(6), COLORREF(p[pcBorder]));
  EXPECT_EQ(penColor(0xC0C0C0), COLORREF(MixColors(p[pcEditText], p[pcEditBG], 38)));
  EXPECT_EQ(penColor(RGB(1, 2, 3)), RGB(1, 2, 3));

  // A skin change answers the new palette.
  m->SetSkinName("B");
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0x556677u);

  m->UnInstallHook();
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), window);
  EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), shadow);
  EXPECT_EQ(penColor(0xC0C0C0), 0xC0C0C0u);
  // Switched off through the option on the default manager too.
  m->InstallHook();
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0x556677u);
  m->Options.SetOption(TacOptions::ChangeSysColors, false);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), window);
  // Without the option the hook leaves the system's colours alone.
  m->SetSkinName("A");
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), window);
}

TEST_F(ManagerTest, ApplicationWindowTakesTheEditorPreviewAndRepaintsFormsOnActivation) {
  auto m = Manager();
  HWND app = Application->Handle();
  int posted = 0;
  Application->HookMainWindow(&posted, [&](TMessage& msg) {
    posted += msg.Msg == WM_SKINCOMMAND && SkinCommandOf(msg) == SKC_LOADPREVIEW;
    return false;
  });
  // The preview of skin "A" with another options text: loaded in place of the folder's file.
  TacSkinData preview;
  preview.Magic = TacSkinData::kMagic;
  preview.SkinName = "A";
  preview.SkinDir = dir.Path();
  preview.Data = PaletteSkin("MARK_P", 0x0F0F0F).options.Text();
  std::vector<uint8_t> bytes = preview.Encode();
  ASSERT_EQ(bytes.size(), 30645u);
  std::vector<uint8_t> otherMagic = bytes;
  otherMagic[0] = 0x01;

  struct Case {
    const char* what;
    WPARAM wParam;
    std::vector<uint8_t>* data;
    DWORD size;
  } cases[] = {
      {"another WParam", 6, &bytes, DWORD(bytes.size())},
      {"another magic", 7, &otherMagic, DWORD(otherMagic.size())},
      {"a buffer shorter than the record", 7, &bytes, 100},
      {"no data", 7, nullptr, 0},
  };
  for (const Case& c : cases) {
    COPYDATASTRUCT cds{0, c.size, c.data ? c.data->data() : nullptr};
    EXPECT_EQ(SendMessageW(app, WM_COPYDATA, c.wParam, LPARAM(&cds)), 0) << c.what;
    Application->ProcessMessages();
    EXPECT_EQ(posted, 0) << c.what;
    EXPECT_EQ(m->PreviewBuffer.Magic, 0) << c.what;
    EXPECT_LT(m->GetSkinIndex("MARK_P"), 0) << c.what;
  }

  COPYDATASTRUCT cds{0, DWORD(bytes.size()), bytes.data()};
  SendMessageW(app, WM_COPYDATA, 7, LPARAM(&cds));
  EXPECT_EQ(m->PreviewBuffer.Magic, TacSkinData::kMagic);
  EXPECT_EQ(m->PreviewBuffer.SkinName, "A");
  Application->ProcessMessages();
  EXPECT_EQ(posted, 1);
  EXPECT_GE(m->GetSkinIndex("MARK_P"), 0);
  EXPECT_EQ(m->Palette[pcEditBG], TColor(0x0F0F0F));
  EXPECT_TRUE(PreviewWasLoaded);
  Application->UnhookMainWindow(&posted);

  // The program's activation has every form repaint itself, the last one first.
  std::vector<TCustomForm*> order;
  TForm f1(Application), f2(Application);
  for (TForm* f : {&f1, &f2}) {
    TWndMethod old = f->WindowProc;
    f->WindowProc = [&order, f, old](TMessage& msg) {
      if (msg.Msg == WM_SKINCOMMAND && SkinCommandOf(msg) == SKC_INVALIDATE) order.push_back(f);
      old(msg);
    };
    f->HandleNeeded();
  }
  PostMessageW(app, CM_ACTIVATE, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(order, (std::vector<TCustomForm*>{&f2, &f1}));
}

TEST_F(ManagerTest, ScaleStepsAndSkinFolders) {
  auto m = Manager("");
  struct {
    TacScaleMode mode;
    int sys;
    int expected;
  } cases[] = {{smOldMode, 0, 10}, {sm125, 0, 12}, {sm150, 0, 15}, {sm200, 0, 20}, {sm200, 1, 12}, {sm125, 1, 10}};
  for (auto& c : cases) {
    m->Options.SetScaleMode(c.mode);
    EXPECT_EQ(m->ScaleInt(10, c.sys), c.expected) << int(c.mode) << " " << c.sys;
  }
  const String app = IncludeTrailingPathDelimiter(AppDir());
  m->SetSkinDirectory("Skins");
  EXPECT_EQ(m->GetFullSkinDirectory(), app + "Skins");
  m->SetSkinDirectory("./Skins");
  EXPECT_EQ(m->GetFullSkinDirectory(), app + "Skins");
  m->SetSkinDirectory("/opt/skins");
  EXPECT_EQ(m->GetFullSkinDirectory(), "/opt/skins");
  // IsDefault cannot be taken away from the default manager.
  m->SetIsDefault(false);
  EXPECT_TRUE(m->IsDefault());
  TsSkinManager second(nullptr);
  EXPECT_FALSE(second.IsDefault());
  EXPECT_EQ(SkinManagerOf(&second), &second);
}
