#pragma once
// The skin manager's window-creation hook as the control-skinning library
// sees it: the providers the hook made, the services the library fills in,
// and the default manager's rules that its decisions follow. Kept apart from
// sSkinManager.h so that the library's units reach it without the manager.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Types.h"
#include "platform/win/Windows.h"

enum TacSkinningRule { srStdForms, srStdDialogs, srThirdParty };
using TacSkinningRules = TSet<TacSkinningRule>;
// A system dialog about to be skinned; AllowSkinning false leaves it plain.
struct TacSysDlgData {
  HWND WindowHandle = nullptr;
};
using TacSysDlgInit = std::function<void(TacSysDlgData& DlgData, bool& AllowSkinning)>;

// ---- Window-creation hook ----

// A window the creation hook skinned. The control-skinning library derives
// its provider from this; the manager only needs the window and whether the
// provider still works.
class TacProvider {
 public:
  explicit TacProvider(HWND Wnd) : CtrlHandle(Wnd) {}
  virtual ~TacProvider() = default;
  // False once the provider's handler is gone (PurgeProviders frees it).
  virtual bool Alive() const { return IsWindow(CtrlHandle); }
  HWND CtrlHandle;
};
// The providers the hook made (null until the hook is first installed).
inline std::unique_ptr<std::vector<std::unique_ptr<TacProvider>>> HookProviders;
// Frees every provider whose window or handler is gone.
void PurgeProviders();

// What the hook does with a window it is offered, filled in by the
// control-skinning library: a dialog, an activated window, or a framework
// utility window that may be skinned; a popup menu window to skin while the
// manager skins popups; and freeing the popup menus' handlers.
struct TacHookServices {
  std::function<void(HWND Wnd, void* Params)> TrySkinWindow;
  std::function<void(HWND Wnd)> SkinPopupMenu;
  std::function<void()> ClearHookedMenus;
};
inline TacHookServices HookServices;
// The window-creation hook's procedure (WH_CBT).
LRESULT CBTHookProc(int Code, WPARAM WParam, LPARAM LParam);

// The default manager's rules for the hook's decisions; false without a default manager.
struct TacHookRules {
  bool Active = false;         // the manager is switched on
  bool SkinnedPopups = false;
  TacSkinningRules SkinningRules;
};
bool DefaultHookRules(TacHookRules& Rules);
// The default manager's OnSysDlgInit answer for a dialog (true without a handler).
bool AllowSysDialogSkinning(HWND Dialog);
