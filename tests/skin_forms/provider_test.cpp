// The skin provider takes a form over: its window procedure, its frame style
// and its skin record, and gives them back when it goes.

#include <gtest/gtest.h>

#include <vector>

#include "skin/core/sMessages.h"
#include "tests/skin_forms/FramedFormSkin.h"

namespace {

class ProviderTest : public FormSkinTest {};

}  // namespace

TEST_F(ProviderTest, TakesTheFormOverAndGivesItBack) {
  std::vector<UINT> seen;
  TForm form(nullptr);
  form.WindowProc = [&, old = form.WindowProc](TMessage& m) {
    seen.push_back(m.Msg);
    old(m);
  };
  Show(form);
  HWND h = form.Handle();
  ASSERT_TRUE(GetWindowLongPtrW(h, GWL_STYLE) & WS_SYSMENU);

  auto* sp = new TsSkinProvider(&form);
  EXPECT_EQ(sp->Owner(), &form);
  EXPECT_TRUE(sp->SkinData()->Skinned());
  // Skinned: the layer draws no caption buttons, commands reach the provider.
  EXPECT_FALSE(GetWindowLongPtrW(h, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(reinterpret_cast<TObject*>(SendSkinCommand(h, SKC_GETPROVIDER)), static_cast<TObject*>(sp));
  EXPECT_EQ(SendSkinCommand(h, SKC_ISSKINNED), 1);
  EXPECT_EQ(GetWndSkinData(h), sp->SkinData());
  // Messages the provider does not keep still reach the procedure it replaced.
  seen.clear();
  form.Perform(WM_USER + 7, 1, 2);
  EXPECT_EQ(seen, std::vector<UINT>{WM_USER + 7});
  // Skin notifications for the form's own code pass through unchanged.
  seen.clear();
  SendSkinCommand(h, SKC_MOVEDONE, 5);
  EXPECT_EQ(seen, std::vector<UINT>{WM_SKINCOMMAND});
  // CM_SYSFONTCHANGED is kept from the previous procedure while skinned.
  seen.clear();
  form.Perform(CM_SYSFONTCHANGED);
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(sp->DoReinit);

  // Minimise and restore animation bits hold the form's alignment meanwhile.
  sp->SetFormState(FS_ANIMMINIMIZING | FS_ACTIVATED);
  EXPECT_TRUE(form.AlignDisabled());
  sp->SetFormState(FS_ANIMMINIMIZING | FS_ANIMRESTORING);
  EXPECT_TRUE(form.AlignDisabled());
  sp->SetFormState(0);
  EXPECT_FALSE(form.AlignDisabled());

  // The resize mode always reads standard.
  sp->SetResizeMode(rmBorder);
  EXPECT_EQ(sp->ResizeMode(), rmStandard);

  delete sp;
  EXPECT_TRUE(GetWindowLongPtrW(h, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(GetWndSkinData(h), nullptr);
  EXPECT_EQ(SendSkinCommand(h, SKC_GETPROVIDER), 0);
  seen.clear();
  form.Perform(CM_SYSFONTCHANGED);
  EXPECT_EQ(seen, std::vector<UINT>{CM_SYSFONTCHANGED});
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(h, r), ERROR);  // no region left behind
  DeleteObject(r);
}

TEST_F(ProviderTest, RemovedSkinLeavesThePlainFrameAndTheProcedureInPlace) {
  TForm form(nullptr);
  Show(form);
  HWND h = form.Handle();
  TsSkinProvider sp(&form);
  RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  manager->SetActive(false);
  Application->ProcessMessages();
  EXPECT_FALSE(sp.SkinData()->Skinned());
  EXPECT_TRUE(GetWindowLongPtrW(h, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(SendSkinCommand(h, SKC_GETPROVIDER), LRESULT(static_cast<TObject*>(&sp)));
  form.Perform(CM_SYSFONTCHANGED);
  // Back on: skinned again, the caption buttons the provider's.
  manager->SetActive(true);
  Application->ProcessMessages();
  EXPECT_TRUE(sp.SkinData()->Skinned());
  EXPECT_FALSE(GetWindowLongPtrW(h, GWL_STYLE) & WS_SYSMENU);
}

TEST_F(ProviderTest, AnOwnerThatIsNotAFormLeavesTheProviderUnattached) {
  TComponent owner(nullptr);
  TsSkinProvider sp(&owner);
  EXPECT_EQ(sp.Form, nullptr);
  ASSERT_FALSE(Headless().MessageBoxes().empty());
  EXPECT_EQ(Headless().MessageBoxes().back().Text, "TsSkinProvider component may be used with forms only!");
}
