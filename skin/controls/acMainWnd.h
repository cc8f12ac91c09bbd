#pragma once
// The window handler base: an object that takes over the messages of a window
// the library paints without owning its class, answers the skin commands for
// it, keeps its cached background and passes everything else on to the
// procedure that was there before. Three kinds of window are taken over alike:
// a foreign window (its window procedure is replaced), a framework control
// (its WindowProc is replaced) and the form of a form skin provider.
//
// Handlers are made attached through CreateWndHandler and freed through their
// owning pointer (TacHandlerPtr), so that the handler's own overrides still run
// while it lets go. ReleaseWndHandler gives the window back exactly as it was:
// the same procedure, the same properties.
//
// The manager of a handler is the loaded skin it paints from (the same value
// the skin commands carry in LParam).

#include <array>
#include <functional>
#include <memory>

#include "platform/vcl/Controls.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinRecords.h"

// What the maker of a handler asks of it.
struct TacSkinParams {
  TControl* Control = nullptr;  // the framework control, or nullptr for a foreign window
  String SkinSection;           // empty: the handler's own section
  bool UseSkinColor = true;
  bool UseSkinFontColor = true;
  // Scroll-bar thickness and button length asked for (-1: the skin's).
  int VertScrollSize = -1, HorzScrollSize = -1;
  int VertScrollBtnSize = -1, HorzScrollBtnSize = -1;
};

// Set while a standard dialog's handlers are being made (they paint in dialog mode).
inline bool DlgModeFlag = false;
// Set by the form adapter while it removes its items: handlers freed then leave the window alone.
inline bool AdapterRemovingItems = false;
// Set by the skin manager that is the default: makes a window its hot control.
inline std::function<void(HWND)> SetActiveControlProc;

class TacMainWnd;
struct TacHandlerDeleter {
  void operator()(TacMainWnd* Handler) const;
};
// The owning pointer of a handler.
template <class T = TacMainWnd>
using TacHandlerPtr = std::unique_ptr<T, TacHandlerDeleter>;

class TacMainWnd : public TObject {
 public:
  TacMainWnd() = default;
  ~TacMainWnd() override;
  TacMainWnd(const TacMainWnd&) = delete;
  TacMainWnd& operator=(const TacMainWnd&) = delete;

  // Takes the window over (called once, by CreateWndHandler): the skin record
  // (ASkinData, or one of its own), the saved parameters, the subclassing.
  void Attach(HWND AHandle, TsCommonData* ASkinData, const TacSkinRecords* ASkinManager, const TacSkinParams& Params,
              bool Repaint);

  // Runs a message through the handler's procedure and returns its result.
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The procedure the window had before. LParam is written back from a framework control's record.
  LRESULT CallPrevWndProc(HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam);
  // The handler's window procedure.
  virtual void acWndProc(TMessage& Message);

  // The handler has a previous procedure to pass messages to.
  bool Subclassing() const { return OldProc || OldWndProc; }
  // The message goes on to the previous procedure; its answer becomes the result.
  void Forward(TMessage& Message) { Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.WParam, Message.LParam); }

  bool DlgMode = false;
  bool Destroyed = false;    // the handler has let go of its window
  bool DontRepaint = false;  // no own repaints while the handler sends messages to its window
  bool OwnSkinData = false;
  bool InDestroying = false;
  bool ParamsChanged = false;
  TRect WndRect, ParentRect;  // screen coordinates
  TColor StdColor = clNone, StdFontColor = clNone;
  HWND ParentWnd = nullptr;
  HWND CtrlHandle = nullptr;
  TSize WndSize;
  TPoint WndPos;  // in the parent's client coordinates
  String Caption;
  int Tag = 0;
  TControlStyle OldCtrlStyle;
  TWndMethod OldWndProc;    // a framework control's (or provider form's) previous WindowProc
  WNDPROC OldProc = nullptr;  // a foreign window's previous procedure
  const TacSkinRecords* SkinManager = nullptr;
  TsCommonData* SkinData = nullptr;  // owned when OwnSkinData
  WNDPROC NewWndProcInstance = nullptr;
  TObject* Adapter = nullptr;  // the form adapter that made the handler, if one did
  bool WindowEnding = false;   // WM_DESTROY or WM_NCDESTROY is being handled

 protected:
  friend struct TacHandlerDeleter;
  friend void ReleaseWndHandler(HWND Handle, bool Repaint, TacMainWnd* Handler);

  virtual void AfterCreation();
  virtual void SaveStdParams() {}
  virtual void RestoreStdParams();
  virtual void SetSkinParams();
  virtual void InitSkinData();
  // The handler has just let go of its window (ReleaseWndHandler).
  virtual void Released() {}
  // The handler is about to be freed: it lets go of its window (its overrides still run).
  virtual void BeforeDestruction();
  // Takes the window's messages. Handlers with their own attachment override it.
  virtual void SubclassWindow(HWND Wnd, bool Repaint);
  // The control whose WindowProc is replaced (the provider's form or the owner control); nullptr for a foreign window.
  TControl* SubclassTarget() const;
  // The skin record's manager is active (skin commands reach the handler's own cases).
  bool ManagerActive() const;
  // The end of the window: the handler lets go and the message reaches what was there before.
  void WMDestroy(TMessage& Message);
  // Handles a skin command; false when it goes on to the previous procedure.
  bool SkinCommand(TMessage& Message);
  // The answers every handler gives alike (skinned, handler, section, colour, record, application).
  bool HandlerAnswer(TMessage& Message);

 private:
  // The state the window procedure instance shares with the handler: a
  // handler freed while somebody subclassed the window after it leaves the
  // instance behind, passing every message to the old procedure.
  struct Link {
    TacMainWnd* Handler = nullptr;
    WNDPROC Old = nullptr;
  };
  std::shared_ptr<Link> FLink;
  // Puts the previous procedure back; false when another party subclassed the window after the handler.
  bool Unsubclass(TControl* Target);
  void UnlinkInstance();
};

// A handler of class T attached to Handle.
template <class T = TacMainWnd>
TacHandlerPtr<T> CreateWndHandler(HWND Handle, TsCommonData* SkinData, const TacSkinRecords* SkinManager,
                                  const TacSkinParams& Params, bool Repaint) {
  TacHandlerPtr<T> h(new T());
  h->Attach(Handle, SkinData, SkinManager, Params, Repaint);
  return h;
}

// The handler lets go of its window: the previous procedure comes back unless
// another party subclassed the window after the handler (then it stays in the
// chain and Destroyed stays false); its parameters are restored and the frame
// repainted (Repaint) when the window is visible.
void ReleaseWndHandler(HWND Handle, bool Repaint, TacMainWnd* Handler);
// The same, then with Free the handler is freed and the variable emptied.
template <class T>
void ReleaseWndHandler(HWND Handle, bool Free, bool Repaint, TacHandlerPtr<T>& Handler) {
  if (!Handler) return;
  ReleaseWndHandler(Handle, Repaint, Handler.get());
  if (Free) Handler.reset();
}

// ---- The handler classes by kind of control ----

using TacHandlerFactory = TacHandlerPtr<TacMainWnd> (*)(HWND, TsCommonData*, const TacSkinRecords*,
                                                          const TacSkinParams&, bool);
struct TacHandlerClass {
  const char* Name;
  // nullptr: no handler of this kind exists yet; the adapter leaves such controls alone.
  TacHandlerFactory Create;
};
// The handler class of each of the skin manager's class-name lists, in the lists' order.
constexpr int kThirdPartyKinds = 23;
extern const std::array<TacHandlerClass, kThirdPartyKinds> ThirdPartyHandlerClasses;

template <class T>
TacHandlerPtr<TacMainWnd> MakeHandlerOf(HWND Handle, TsCommonData* Data, const TacSkinRecords* Manager,
                                        const TacSkinParams& Params, bool Repaint) {
  return CreateWndHandler<T>(Handle, Data, Manager, Params, Repaint);
}

// ---- Services the handlers share ----

// The window's rectangle, parent, parent's rectangle, size and place in the parent's client area.
void UpdateWndGeometry(HWND Wnd, HWND& ParentWnd, TRect& WndRect, TRect& ParentRect, TSize& WndSize, TPoint& WndPos);
void UpdateWndGeometry(TacMainWnd* Handler);
// Rebuilds the record's cached background of Wnd when BGChanged (over the parent's background).
void PrepareCtrlCache(TsCommonData* Data, HWND Wnd, bool DlgMode);
// The cache's corners where the border mask is transparent take the parent's background.
void FillCacheCorners(TsCommonData* Data, int State, TacMainWnd* Handler);
// The window's font (or the control's) on the cache bitmap's canvas.
void SelectCacheFont(TacMainWnd* Handler);
// Fonts of the system's non-client metrics: 1 caption, 2 small caption, 3 menu,
// 4 status, any other the message font. nullptr when they cannot be read; the caller owns it.
HFONT CreateNonClientFont(int Kind);
void SelectNonClientFont(TCanvas* Canvas, int Kind);
// Whether the control shows a look of its own under the mouse or focus.
bool HasHotState(TsCommonData* Data, bool CheckKind);
// The message to the children: a control's child controls, or a window's child windows.
void BroadcastSkinMessage(TControl* Control, HWND Wnd, TMessage& Message);
void SetOrdPropIfExists(TObject* Control, const String& Name, int64_t Value);
int GetOrdPropIfExists(TObject* Control, const String& Name);
int GetColorPropRGB(TObject* Control, const String& Name);
// The frame computed again (UseFrameChange) or only repainted.
void UpdateWndFrame(HWND Wnd, bool UseFrameChange);
// The top-level window's adapter adapts all its controls.
void AdaptTopParent(HWND Wnd);
// Validates the update region without drawing.
void ValidateByEmptyPaint(HWND Wnd);

// ---- The handler of a child control of a standard dialog ----

enum TacDlgCtrlFlag {
  dcRepaintFromCache = 1,  // repaint at once when the dialog's handler has its cache
  dcDlgMode = 2,           // the handler paints in dialog mode
  dcAllowPaint = 4,        // the dialog's handler stops validating WM_PAINT without painting
  dcSpinOffset = 8,        // the spin button's buttons start 2 pixels in
};
struct TacDlgCtrlChoice {
  const char* Handler = nullptr;  // the handler class; nullptr: the control is left alone
  const char* Section = "";
  int Flags = 0;
};
// The handler for a control of class LowerClass (lower case) with these
// styles, visibility and window height. Buttons go by their type (the low
// four bits), so check boxes and radio buttons with their text on the left
// are still check boxes.
TacDlgCtrlChoice ChooseDialogControlHandler(const String& LowerClass, DWORD Style, DWORD ExStyle, bool Visible,
                                            int Height);
// The factory of a handler class by name; nullptr for a class not written yet.
TacHandlerFactory HandlerFactoryOf(const char* Name);
