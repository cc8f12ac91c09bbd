// Every handler of the button, check-box, group-box and panel kinds takes a
// raw window over and gives it back with its procedure, styles and properties
// as before; the handler-class table makes the kinds the form adapter asks for.

#include <gtest/gtest.h>

#include <string>

#include "platform/win/Controls.h"
#include "skin/controls/acCheckBoxWnd.h"
#include "skin/controls/acContainerWnd.h"
#include "tests/skin_controls/ButtonSkin.h"

namespace {

struct Case {
  const char* name;
  const char* cls;
  DWORD style;
  TacHandlerPtr<TacMainWnd> (*make)(HWND, TsCommonData*, const TacSkinRecords*, const TacSkinParams&, bool);
  const char* section;
};

const Case kCases[] = {
    {"push", "BUTTON", BS_PUSHBUTTON, MakeHandlerOf<TacBtnWnd>, "BUTTON"},
    {"bitmap", "BUTTON", BS_PUSHBUTTON | BS_BITMAP, MakeHandlerOf<TacBitBtnWnd>, "BUTTON"},
    {"framework-kind", "BUTTON", BS_DEFPUSHBUTTON, MakeHandlerOf<TacButtonWnd>, "BUTTON"},
    {"split", "BUTTON", BS_SPLITBUTTON, MakeHandlerOf<TacSplitBtnWnd>, "BUTTON"},
    {"check", "BUTTON", BS_AUTOCHECKBOX, MakeHandlerOf<TacCheckBoxWnd>, "CHECKBOX"},
    {"radio", "BUTTON", BS_AUTORADIOBUTTON, MakeHandlerOf<TacCheckBoxWnd>, "CHECKBOX"},
    {"owner-drawn", "BUTTON", BS_OWNERDRAW, MakeHandlerOf<TacCheckBoxWnd>, "CHECKBOX"},
    {"group", "BUTTON", BS_GROUPBOX, MakeHandlerOf<TacGroupBoxWnd>, "GROUPBOX"},
    {"size-grip", "SCROLLBAR", SBS_SIZEGRIP, MakeHandlerOf<TacSizerWnd>, "TRANSPARENT"},
    {"transparent-panel", "STATIC", 0, MakeHandlerOf<TacTransPanelWnd>, "TRANSPARENT"},
    {"foreign-panel", "STATIC", 0, MakeHandlerOf<TacPanelWnd>, "TRANSPARENT"},
};

class TakeOverTest : public WindowTest {};

}  // namespace

TEST_F(TakeOverTest, EveryHandlerGivesItsWindowBackIntact) {
  ButtonSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  ShowForm(form);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    HWND w = CreateWindowExW(0, c.cls, "text", WS_CHILD | WS_VISIBLE | c.style, 10, 10, 90, 40, form.Handle(), nullptr,
                             nullptr, nullptr);
    SetPropW(w, "OWN", HANDLE(0x55));
    const LONG_PTR proc = GetWindowLongPtrW(w, GWLP_WNDPROC), style = GetWindowLongPtrW(w, GWL_STYLE),
                   ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    auto h = c.make(w, nullptr, &k.s, TacSkinParams(), false);
    EXPECT_NE(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
    EXPECT_EQ(h->SkinData->SkinSection(), c.section);
    EXPECT_EQ(GetWndSkinData(w), h->SkinData);
    EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);
    Repaint(w);
    ReleaseWndHandler(w, false, false, h);
    EXPECT_TRUE(h->Destroyed);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), style);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE), ex);
    EXPECT_EQ(GetPropW(w, "OWN"), HANDLE(0x55));
    EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
    h.reset();
    DestroyWindow(w);
  }
  auto named = [](const char* n) {
    for (const auto& e : ThirdPartyHandlerClasses)
      if (std::string(e.Name) == n) return e.Create != nullptr;
    return false;
  };
  for (const char* n : {"TacButtonWnd", "TacBitBtnWnd", "TacCheckBoxWnd", "TacGroupBoxWnd", "TacPanelWnd"}) EXPECT_TRUE(named(n)) << n;
}
