#pragma once
// What the window-creation hook does with the windows it sees: framework
// forms nobody placed a form skin provider on get one made at run time, the
// system's standard dialogs ("#32770") get a frame handler and a handler for
// each child control, and popup-menu windows get the popup-menu handler.
// InstallHookServices hands these decisions to the skin manager's hook.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/controls/acMainWnd.h"
#include "skin/core/sSkinManagerHook.h"

// A dialog or form the hook skinned.
class TacHookedProvider : public TacProvider {
 public:
  explicit TacHookedProvider(HWND Wnd) : TacProvider(Wnd) {}
  ~TacHookedProvider() override;
  // A dialog's provider lives while its frame handler does; a form's is done
  // once made (its form skin provider stays with the form).
  bool Alive() const override { return ListSW && !ListSW->Destroyed; }

  // The frame handler, then a handler for every child control; true.
  bool InitSkin(HWND Handle);
  // Handlers for Handle's descendants (a child's own children first); windows that have one are skipped.
  bool InitHwndControls(HWND Handle);
  // A handler for one child control; false for a null window.
  bool AddControl(HWND Handle);
  // The visible child windows printed into DC, each at its place.
  static void PrintHwndControls(HWND Handle, HDC DC);
  void InitForm(TCustomForm* Form);

  TCustomForm* Form = nullptr;     // a form's provider
  TacHandlerPtr<TacMainWnd> ListSW;  // a dialog's frame handler
  std::vector<TacHandlerPtr<TacMainWnd>> acSkinnedCtrls;
  // The dialog's frame handler validates WM_PAINT without painting until an edit or list is met.
  bool WMPaintForbidden = true;
};

// A standard dialog is skinned only while fewer hooked dialogs than this are visible.
inline int MaxVisibleDialogs = 2;
// A form whose Tag holds all these bits is never skinned by the hook.
inline constexpr intptr_t SkipSkinTag = 0x100;
// Where the next foreign dialog is placed (-1: where it asks).
inline int NextDialogLeft = -1, NextDialogTop = -1;

// Filled in by the form skinning: makes a run-time form skin provider for the form.
inline std::function<void(TCustomForm* Form)> CreateFormSkinProvider;
// Filled in by the skinned dialog frame: the frame handler of a standard
// dialog. Until then a plain handler takes the dialog (skin commands and
// child handlers, no frame of its own).
inline std::function<TacHandlerPtr<TacMainWnd>(HWND Wnd, const TacSkinRecords* Manager)> CreateDialogFrameHandler;

// Skins the window when the rules allow it.
void TrySkinWindow(HWND Handle);
TacHookedProvider* FindProvider(HWND Handle);
TCustomForm* FindFormOfWnd(HWND Handle);
bool HasChildOfClass(HWND Handle, const String& LowerClassName);
int VisibleDialogCount();
void SendToChildWindows(HWND Handle, TMessage& Message);
// The manager's creation hook calls into this library from now on.
void InstallHookServices();

// ---- Popup-menu windows (their handler is TacMnuWnd) ----
// Takes a new popup-menu window over (the creation hook, while popups are skinned).
void SkinPopupMenuWindow(HWND Wnd);
// Handlers whose popup window is still there.
int LiveHookedMenus();
void ClearHookedMenus();
