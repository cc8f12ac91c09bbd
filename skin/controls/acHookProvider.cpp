#include "skin/controls/acHookProvider.h"

#include <algorithm>
#include <cctype>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acMnuWnd.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"

namespace {

bool ApplicationGoing() { return !Application || (Application->ComponentState() & csDestroying); }

String Lower(String s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Form classes the hook never skins.
bool InSkipList(const String& Name) {
  static const char* const kNames[] = {"TApplication",           "TfcPopup",          "TcxComboBoxPopupWindow",
                                       "TcxCustomPopupWindow",   "TdxPopupEditForm",  "TcxDateEditPopupWindow",
                                       "TcxGridFilterPopup"};
  return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* n) { return Name == n; });
}

// The dialog's handler until the skinned dialog frame exists: the skin
// commands, and handlers for the controls once the dialog has made them.
class TacDialogStandIn : public TacMainWnd {
 public:
  TacHookedProvider* Provider = nullptr;
  void acWndProc(TMessage& Message) override {
    TacMainWnd::acWndProc(Message);
    if (Destroyed || !Provider) return;
    if (Message.Msg == WM_INITDIALOG || (Message.Msg == WM_SHOWWINDOW && Message.WParam))
      Provider->InitHwndControls(CtrlHandle);
  }
};

}  // namespace

// ---- The provider ----

TacHookedProvider::~TacHookedProvider() {
  acSkinnedCtrls.clear();
  ListSW.reset();
}

void TacHookedProvider::InitForm(TCustomForm* AForm) {
  Form = AForm;
  CtrlHandle = AForm->Handle();
  if (CreateFormSkinProvider) CreateFormSkinProvider(AForm);
  // No debugger test here: the form repaints with its new frame at once.
  UpdateWindow(CtrlHandle);
  RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
}

bool TacHookedProvider::InitSkin(HWND Handle) {
  CtrlHandle = Handle;
  TacHookRules rules;
  if (ListSW || !DefaultHookRules(rules) || !rules.Active) return true;
  if (CreateDialogFrameHandler) {
    ListSW = CreateDialogFrameHandler(Handle, DefaultManager);
  } else {
    TacSkinParams params;
    params.SkinSection = "DIALOG";
    auto h = CreateWndHandler<TacDialogStandIn>(Handle, nullptr, DefaultManager, params, false);
    h->Provider = this;
    ListSW.reset(h.release());
  }
  ListSW->CtrlHandle = Handle;
  SetWindowLongPtrW(Handle, GWL_STYLE, GetWindowLongPtrW(Handle, GWL_STYLE) & ~LONG_PTR(0x100));  // DS_NOIDLEMSG
  if (NextDialogLeft != -1 || NextDialogTop != -1)
    SetWindowPos(Handle, HWND_TOP, NextDialogLeft, NextDialogTop, 0, 0, SWP_NOSIZE | SWP_NOREDRAW | SWP_NOOWNERZORDER);
  InitHwndControls(Handle);
  SendSkinCommand(Handle, SKC_SKINCHANGED, LPARAM(DefaultManager));
  return true;
}

bool TacHookedProvider::InitHwndControls(HWND Handle) {
  for (HWND child = GetTopWindow(Handle); child; child = GetWindow(child, GW_HWNDNEXT)) {
    InitHwndControls(child);
    if (GetWindowLongPtrW(child, GWL_STYLE) & WS_CHILD) AddControl(child);
  }
  return true;
}

bool TacHookedProvider::AddControl(HWND Handle) {
  if (!Handle) return false;
  if (IsWindowSkinned(Handle)) return true;
  DlgModeFlag = true;
  const DWORD style = DWORD(GetWindowLongPtrW(Handle, GWL_STYLE));
  const DWORD ex = DWORD(GetWindowLongPtrW(Handle, GWL_EXSTYLE));
  RECT wr{};
  GetWindowRect(Handle, &wr);
  const TacDlgCtrlChoice c =
      ChooseDialogControlHandler(Lower(GetWndClassName(Handle)), style, ex, IsWindowVisible(Handle), wr.bottom - wr.top);
  if (c.Flags & dcAllowPaint) WMPaintForbidden = false;
  const TacHandlerFactory make = HandlerFactoryOf(c.Handler);
  if (make) {
    TacSkinParams params;
    params.SkinSection = c.Section;
    if (std::string_view(c.Handler) == "TacPanelWnd") params.Control = TWinControl::FindControl(Handle);
    const TacSkinRecords* manager = ListSW ? ListSW->SkinManager : DefaultManager;
    const bool cacheReady = ListSW && ListSW->SkinData && ListSW->SkinData->FCacheBmp &&
                            !ListSW->SkinData->FCacheBmp->Empty();
    const bool repaint = (c.Flags & dcRepaintFromCache) ? cacheReady : true;
    TacHandlerPtr<TacMainWnd> h = make(Handle, nullptr, manager, params, repaint);
    if (c.Flags & dcDlgMode) h->DlgMode = true;
    if (c.Flags & dcSpinOffset)
      if (auto* spin = dynamic_cast<TacSpinWnd*>(h.get())) spin->lOffset = 2;
    UpdateWndGeometry(h.get());
    if (h->SkinData) h->SkinData->FUpdating = false;
    acSkinnedCtrls.push_back(std::move(h));
  }
  DlgModeFlag = false;
  return true;
}

void TacHookedProvider::PrintHwndControls(HWND Handle, HDC DC) {
  for (HWND child = GetTopWindow(Handle); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int saved = SaveDC(DC);
    RECT r{};
    GetWindowRect(child, &r);
    POINT p{r.left, r.top};
    ScreenToClient(GetParent(child), &p);
    OffsetViewportOrgEx(DC, p.x, p.y, nullptr);
    if ((GetWindowLongPtrW(child, GWL_STYLE) & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE)) {
      SendSkinCommand(child, SKC_SETPRINTDC, LPARAM(DC));
      SendMessageW(child, WM_PRINT, WPARAM(DC), 0);
      SendSkinCommand(child, SKC_SETPRINTDC, 0);
    }
    PrintHwndControls(child, DC);
    RestoreDC(DC, saved);
  }
}

// ---- Finding ----

TacHookedProvider* FindProvider(HWND Handle) {
  if (!HookProviders || ApplicationGoing()) return nullptr;
  for (const auto& p : *HookProviders)
    if (p && p->CtrlHandle == Handle) return dynamic_cast<TacHookedProvider*>(p.get());
  return nullptr;
}

TCustomForm* FindFormOfWnd(HWND Handle) {
  for (int i = Screen->FormCount() - 1; i >= 0; --i) {
    TCustomForm* f = Screen->Forms(i);
    if ((f->ComponentState() & csDestroying) || !f->HandleAllocated()) continue;
    if (f->Handle() == Handle) return f;
  }
  return nullptr;
}

bool HasChildOfClass(HWND Handle, const String& LowerClassName) {
  for (HWND child = GetTopWindow(Handle); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (Lower(GetWndClassName(child)) == LowerClassName) return true;
    if (HasChildOfClass(child, LowerClassName)) return true;
  }
  return false;
}

int VisibleDialogCount() {
  PurgeProviders();
  if (!HookProviders) return 0;
  return int(std::count_if(HookProviders->begin(), HookProviders->end(), [](const std::unique_ptr<TacProvider>& p) {
    auto* hp = dynamic_cast<TacHookedProvider*>(p.get());
    return hp && hp->ListSW && IsWindowVisible(hp->CtrlHandle);
  }));
}

void SendToChildWindows(HWND Handle, TMessage& Message) {
  for (HWND child = GetTopWindow(Handle); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, Message.Msg, Message.WParam, Message.LParam);
}

// ---- The decision ----

void TrySkinWindow(HWND Handle) {
  TacHookRules rules;
  if (!DefaultHookRules(rules) || ApplicationGoing() || IsWindowSkinned(Handle) || !HookProviders) return;
  const String name = GetWndClassName(Handle);
  const DWORD style = DWORD(GetWindowLongPtrW(Handle, GWL_STYLE));
  if ((style & WS_POPUP) && !(style & WS_BORDER)) return;
  if (FindProvider(Handle)) return;
  if (TCustomForm* f = FindFormOfWnd(Handle)) {
    if ((f->Tag & SkipSkinTag) == SkipSkinTag) return;
    if ((f->ComponentState() & csLoading) && f->FormStyle() != fsMDIChild) return;
    if (InSkipList(name)) return;
    if (!rules.SkinningRules.Contains(name == "TMessageForm" ? srStdDialogs : srStdForms)) return;
    auto p = std::make_unique<TacHookedProvider>(Handle);
    TacHookedProvider* raw = p.get();
    HookProviders->push_back(std::move(p));
    raw->InitForm(f);
    // MDI children of a frame form come with the MDI client's support.
    return;
  }
  // A dialog nested in another window is left alone; an owned one (a message
  // box over its form) is not nested: GetParent answers a popup's owner.
  if ((name != "#32770" && name != "NativeHWNDHost") || (style & WS_CHILD)) return;
  if (!rules.SkinningRules.Contains(srStdDialogs)) return;
  if (VisibleDialogCount() >= MaxVisibleDialogs && !HasChildOfClass(Handle, "toolbarwindow32")) return;
  if (!AllowSysDialogSkinning(Handle)) return;
  auto p = std::make_unique<TacHookedProvider>(Handle);
  p->InitSkin(Handle);
  HookProviders->push_back(std::move(p));
}

void InstallHookServices() {
  HookServices.TrySkinWindow = [](HWND Wnd, void*) { TrySkinWindow(Wnd); };
  HookServices.SkinPopupMenu = SkinPopupMenuWindow;
  HookServices.ClearHookedMenus = ClearHookedMenus;
}
