// The window handler base: taking a foreign window and a framework control
// over and giving them back with their procedure chain, styles, properties and
// scroll bars as before (a message spy at every link of the chain), the skin
// commands the base answers, and the end of a window.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "platform/win/Controls.h"
#include "skin/controls/acMainWnd.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

constexpr UINT kProbe = WM_USER + 7;  // the base procedure answers 4242

// Which link of a chain saw which message, in order.
std::vector<std::string> Seen;
int Count(const std::string& link, UINT msg) {
  int n = 0;
  for (const auto& s : Seen) n += s == link + ":" + std::to_string(msg);
  return n;
}
void Log(const std::string& link, UINT msg) { Seen.push_back(link + ":" + std::to_string(msg)); }

LRESULT BaseProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  Log("base", m);
  if (m == kProbe) return 4242;
  return DefWindowProcW(w, m, wp, lp);
}

// A subclass at the window level that logs under its name.
struct WndSpy {
  std::string name;
  HWND wnd;
  WNDPROC old = nullptr;
  WNDPROC inst = nullptr;
  WndSpy(HWND w, std::string n) : name(std::move(n)), wnd(w) {
    inst = MakeObjectInstance([this](HWND h, UINT m, WPARAM wp, LPARAM lp) {
      Log(name, m);
      return CallWindowProcW(old, h, m, wp, lp);
    });
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(inst))));
  }
  void Unhook() { SetWindowLongPtrW(wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(old))); }
  ~WndSpy() { FreeObjectInstance(inst); }
};

// A handler that logs what reaches it.
class SpyHandler : public TacMainWnd {
 public:
  void acWndProc(TMessage& M) override {
    Log("handler", M.Msg);
    TacMainWnd::acWndProc(M);
  }
};

// A skin made in code: one plain section.
struct CodeSkin {
  TacSkinRecords s;
  explicit CodeSkin(bool active = true) {
    s.CommonSkinData.Active = active;
    const int i = s.AddNewSection("PANEL", -1, 1, 0, TColor(0x336699), 0);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
  }
};

TacSkinParams Section(const String& name, TControl* control = nullptr) {
  TacSkinParams p;
  p.SkinSection = name;
  p.Control = control;
  return p;
}

WNDPROC ProcOf(HWND w) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)); }

class HandlerBaseTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Seen.clear();
    WNDCLASSEXW wc;
    wc.lpfnWndProc = BaseProc;
    wc.lpszClassName = "ForeignTestWindow";
    RegisterClassExW(&wc);
  }
  // A panel on a shown form whose WindowProc logs as "method".
  TPanel* LoggedPanel(TForm& form) {
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    ShowForm(form);
    TWndMethod own = panel->WindowProc;
    panel->WindowProc = [own](TMessage& m) {
      Log("method", m.Msg);
      own(m);
    };
    return panel;
  }
  HWND Foreign(HWND parent = nullptr, DWORD style = WS_OVERLAPPED | WS_VSCROLL) {
    return CreateWindowExW(0, "ForeignTestWindow", "foreign", style | (parent ? WS_CHILD : 0), 10, 10, 120, 90,
                           parent, nullptr, nullptr, nullptr);
  }
};

// What must come back unchanged when a handler lets a window go.
struct WindowState {
  WNDPROC proc;
  LONG_PTR style, exStyle;
  HANDLE prop;
  SCROLLINFO vert;
  explicit WindowState(HWND w)
      : proc(ProcOf(w)),
        style(GetWindowLongPtrW(w, GWL_STYLE)),
        exStyle(GetWindowLongPtrW(w, GWL_EXSTYLE)),
        prop(GetPropW(w, "OWN")) {
    vert.fMask = SIF_ALL;
    GetScrollInfo(w, SB_VERT, &vert);
  }
  bool operator==(const WindowState& o) const {
    return proc == o.proc && style == o.style && exStyle == o.exStyle && prop == o.prop && vert.nMin == o.vert.nMin &&
           vert.nMax == o.vert.nMax && vert.nPage == o.vert.nPage && vert.nPos == o.vert.nPos;
  }
};

}  // namespace

TEST_F(HandlerBaseTest, ForeignWindowIsTakenOverAndGivenBackIntact) {
  CodeSkin k;
  HWND w = Foreign();
  SetPropW(w, "OWN", HANDLE(0x55));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 200;
  si.nPage = 50;
  si.nPos = 30;
  SetScrollInfo(w, SB_VERT, &si, FALSE);
  WndSpy before(w, "before");
  const WindowState original(w);

  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL"), false);
  EXPECT_NE(ProcOf(w), original.proc);
  EXPECT_EQ(GetWndSkinData(w), h->SkinData);
  EXPECT_EQ(h->SkinData->SkinIndex, 0);
  EXPECT_EQ(h->Caption, "foreign");

  // Each message once at each link, the base's answer back to the sender.
  EXPECT_EQ(SendMessageW(w, kProbe, 0, 0), 4242);
  EXPECT_EQ(h->ProcessMessage(kProbe, 0, 0), 4242);
  EXPECT_EQ(Count("handler", kProbe), 2);
  EXPECT_EQ(Count("before", kProbe), 2);
  EXPECT_EQ(Count("base", kProbe), 2);

  // A later subclass keeps the handler in the chain: it cannot let go, and stays working.
  {
    WndSpy after(w, "after");
    ReleaseWndHandler(w, false, false, h);
    EXPECT_FALSE(h->Destroyed);
    ASSERT_TRUE(h);
    Seen.clear();
    SendMessageW(w, kProbe, 0, 0);
    EXPECT_EQ(Seen, (std::vector<std::string>{"after:" + std::to_string(kProbe), "handler:" + std::to_string(kProbe),
                                              "before:" + std::to_string(kProbe), "base:" + std::to_string(kProbe)}));
    after.Unhook();
  }

  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_TRUE(WindowState(w) == original);
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  Seen.clear();
  SendMessageW(w, kProbe, 0, 0);
  EXPECT_EQ(Seen, (std::vector<std::string>{"before:" + std::to_string(kProbe), "base:" + std::to_string(kProbe)}));
  h.reset();
  before.Unhook();
  DestroyWindow(w);
}

TEST_F(HandlerBaseTest, HandlerFreedUnderALaterSubclassLeavesAWorkingChain) {
  CodeSkin k;
  HWND w = Foreign();
  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL"), false);
  WndSpy after(w, "after");
  h.reset();  // cannot leave the chain: its procedure now passes everything on
  Seen.clear();
  EXPECT_EQ(SendMessageW(w, kProbe, 0, 0), 4242);
  EXPECT_EQ(Seen, (std::vector<std::string>{"after:" + std::to_string(kProbe), "base:" + std::to_string(kProbe)}));
  after.Unhook();
  DestroyWindow(w);
}

TEST_F(HandlerBaseTest, FrameworkControlIsTakenOverAndGivenBackIntact) {
  CodeSkin k;
  TForm form(nullptr);
  TPanel* panel = LoggedPanel(form);
  HWND w = panel->Handle();
  WndSpy window(w, "window");
  const WindowState original(w);
  const TControlStyle style = panel->ControlStyle;

  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL", panel), false);
  EXPECT_TRUE(panel->ControlStyle.Contains(csOpaque));
  EXPECT_EQ(ProcOf(w), original.proc);  // the control's WindowProc is what changes
  SendMessageW(w, kProbe, 0, 0);
  panel->Perform(kProbe, 0, 0);
  EXPECT_EQ(Count("window", kProbe), 1);
  EXPECT_EQ(Count("handler", kProbe), 2);
  EXPECT_EQ(Count("method", kProbe), 2);
  // Skin commands through the record reach the handler without the window.
  EXPECT_EQ(SendSkinCommand(w, SKC_GETHANDLER), LRESULT(h.get()));
  EXPECT_EQ(Count("window", WM_SKINCOMMAND), 0);

  ReleaseWndHandler(w, false, false, h);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_TRUE(WindowState(w) == original);
  EXPECT_TRUE(panel->ControlStyle == style);
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  Seen.clear();
  SendMessageW(w, kProbe, 0, 0);
  EXPECT_EQ(Seen, (std::vector<std::string>{"window:" + std::to_string(kProbe), "method:" + std::to_string(kProbe)}));
  h.reset();
  window.Unhook();
}

TEST_F(HandlerBaseTest, EndOfWindowReachesEachLinkOnce) {
  CodeSkin k;
  // A framework control: the handler lets go and the restored WindowProc sees the end once.
  TForm form(nullptr);
  TPanel* panel = LoggedPanel(form);
  HWND pw = panel->Handle();
  WndSpy window(pw, "window");
  auto ph = CreateWndHandler<SpyHandler>(pw, nullptr, &k.s, Section("PANEL", panel), false);
  panel->DestroyHandle();
  EXPECT_TRUE(ph->Destroyed);
  for (UINT m : {WM_DESTROY, WM_NCDESTROY}) {
    EXPECT_EQ(Count("window", m), 1) << m;
    EXPECT_EQ(Count("method", m), 1) << m;
  }
  EXPECT_EQ(Count("handler", WM_DESTROY), 1);
  EXPECT_EQ(Count("handler", WM_NCDESTROY), 0);
  ph.reset();
  EXPECT_FALSE(panel->HandleAllocated());

  // A foreign window: the previous procedure ends the window, then the handler lets go.
  Seen.clear();
  HWND w = Foreign();
  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL"), false);
  DestroyWindow(w);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(Count("base", WM_DESTROY), 1);
  EXPECT_EQ(Count("base", WM_NCDESTROY), 1);
  EXPECT_EQ(Count("handler", WM_NCDESTROY), 0);
}

TEST_F(HandlerBaseTest, ReleasedHandlerNeverSendsTheEndOfWindowAgain) {
  CodeSkin k;
  HWND w = Foreign();
  WndSpy window(w, "window");
  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL"), false);
  ReleaseWndHandler(w, false, false, h);
  ASSERT_TRUE(h->Destroyed);
  Seen.clear();
  // Nothing lies behind the handler any more: the default end, not a second message to the window.
  h->ProcessMessage(WM_DESTROY, 0, 0);
  h->ProcessMessage(WM_NCDESTROY, 0, 0);
  EXPECT_EQ(Count("window", WM_DESTROY), 0);
  EXPECT_EQ(Count("window", WM_NCDESTROY), 0);
  EXPECT_EQ(Count("base", WM_DESTROY), 0);
  EXPECT_TRUE(IsWindow(w));
  window.Unhook();
  DestroyWindow(w);
}

TEST_F(HandlerBaseTest, BaseAnswersSkinCommands) {
  CodeSkin k;
  HWND w = Foreign();
  auto h = CreateWndHandler<SpyHandler>(w, nullptr, &k.s, Section("PANEL"), false);
  const String section = "PANEL";
  struct Case {
    int cmd;
    LPARAM lp;
    LRESULT want;
  } cases[] = {
      {SKC_ISSKINNED, 0, 1},
      {SKC_GETHANDLER, 0, LRESULT(h.get())},
      {SKC_GETSKINDATA, 0, LRESULT(h->SkinData)},
      {SKC_GETAPPLICATION, 0, LRESULT(Application)},
      {SKC_SETSECTION, 0, 0},
      {SKC_SETSECTION, LPARAM(&section), 1},
      {SKC_GETBGCOLOR, 0, 0x336699},
  };
  for (const Case& c : cases) {
    Seen.clear();
    EXPECT_EQ(SendMessageW(w, WM_SKINCOMMAND, SkinCommandWParam(c.cmd), c.lp), c.want) << c.cmd;
    // Only the background colour asks the previous procedure first.
    EXPECT_EQ(Count("base", WM_SKINCOMMAND), c.cmd == SKC_GETBGCOLOR ? 1 : 0) << c.cmd;
  }
  EXPECT_EQ(h->SkinData->SkinSection(), "PANEL");

  // Text goes through the previous procedure once and is kept; UI-state changes stop at the handler.
  Seen.clear();
  SetWindowTextW(w, "renamed");
  EXPECT_EQ(Count("base", WM_SETTEXT), 1);
  EXPECT_EQ(h->Caption, "renamed");
  SendMessageW(w, WM_UPDATEUISTATE, 0, 0);
  EXPECT_EQ(Count("base", WM_UPDATEUISTATE), 0);

  // With the skin inactive every command goes on to the window's own procedure.
  k.s.CommonSkinData.Active = false;
  Seen.clear();
  EXPECT_EQ(SendMessageW(w, WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0), 0);
  EXPECT_EQ(Count("base", WM_SKINCOMMAND), 1);
  h.reset();
  DestroyWindow(w);
}

TEST_F(HandlerBaseTest, CacheIsPaintedOverTheParentOnlyWhenThereIsOne) {
  CodeSkin k;
  HWND top = Foreign();
  auto h = CreateWndHandler<TacMainWnd>(top, nullptr, &k.s, Section("PANEL"), false);
  PrepareCtrlCache(h->SkinData, top, false);
  EXPECT_TRUE(h->SkinData->BGChanged);  // no parent: nothing to paint over yet

  HWND child = Foreign(top, WS_VISIBLE);
  auto c = CreateWndHandler<TacMainWnd>(child, nullptr, &k.s, Section("PANEL"), false);
  SendSkinCommand(child, SKC_PREPARECACHE);
  EXPECT_FALSE(c->SkinData->BGChanged);
  TBitmap* bmp = c->SkinData->FCacheBmp.get();
  ASSERT_EQ(bmp->Width(), 120);
  EXPECT_EQ(bmp->Canvas()->Pixels(60, 45), TColor(0x336699));
  c.reset();
  h.reset();
  DestroyWindow(top);
}
