#include "skin/controls/acMessageBox.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/vcl/Forms.h"
#include "platform/win/Windows.h"
#include "skin/controls/acHookProvider.h"

unsigned MessageDlgStyle(int DlgType, unsigned Buttons) {
  static constexpr unsigned kIcons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
  unsigned style = DlgType >= 0 && DlgType < 5 ? kIcons[DlgType] : 0;
  if (Buttons & mbOK)
    style |= (Buttons & mbCancel) ? MB_OKCANCEL : MB_OK;
  else if (Buttons & (mbAbort | mbIgnore))
    style |= MB_ABORTRETRYIGNORE;
  else if (Buttons & (mbYes | mbNo))
    style |= (Buttons & mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  else if (Buttons & mbRetry)
    style |= MB_RETRYCANCEL;
  if (Buttons & mbHelp) style |= MB_HELP;
  return style;
}

namespace {

void MessageBoxHelpCallback(HELPINFO* Info) {
  if (Info && Info->dwContextId && MessageBoxHelp) MessageBoxHelp(int(Info->dwContextId));
}

// Where the box being made goes. The dialog provider's placement comes too
// early for it: the window takes its creation rectangle after the hook, so the
// creation data itself is moved.
POINT PendingBoxPlace{-1, -1};
HHOOK PlaceHook = nullptr;

LRESULT PlaceBoxHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_CREATEWND) {
    CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(LParam)->lpcs;
    if (reinterpret_cast<uintptr_t>(cs->lpszClass) == 0x8002 && !(cs->style & WS_CHILD) &&
        (PendingBoxPlace.x != -1 || PendingBoxPlace.y != -1)) {
      cs->x = PendingBoxPlace.x;
      cs->y = PendingBoxPlace.y;
      PendingBoxPlace = POINT{-1, -1};  // the box only, not the dialogs it may open
    }
  }
  return CallNextHookEx(PlaceHook, Code, WParam, LParam);
}

// The application's visible, enabled forms, disabled while a modal box runs.
std::vector<HWND> DisableTaskWindows() {
  std::vector<HWND> disabled;
  if (!Screen) return disabled;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (!f->HandleAllocated()) continue;
    HWND w = f->Handle();
    if (IsWindowVisible(w) && IsWindowEnabled(w)) {
      EnableWindow(w, FALSE);
      disabled.push_back(w);
    }
  }
  return disabled;
}

void EnableTaskWindows(const std::vector<HWND>& Windows) {
  for (HWND w : Windows)
    if (IsWindow(w)) EnableWindow(w, TRUE);
}

}  // namespace

int MessageDlgIndirectPos(const String& Caption, const String& Msg, int DlgType, unsigned Buttons, int HelpCtx, int X,
                          int Y) {
  const String caption = !Caption.empty() || DlgType < 0 || DlgType > 4 ? Caption : String(MessageDlgCaptions[size_t(DlgType)]);
  NextDialogLeft = X;
  NextDialogTop = Y;
  // Put back however the box ends.
  struct Restore {
    ~Restore() { NextDialogLeft = NextDialogTop = -1; }
  } restore;

  TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
  MSGBOXPARAMSW p;
  p.hwndOwner = active && active->HandleAllocated() ? active->Handle() : nullptr;
  p.lpszText = Msg.c_str();
  p.lpszCaption = caption.c_str();
  p.dwStyle = MessageDlgStyle(DlgType, Buttons);
  p.dwContextHelpId = ULONG_PTR(HelpCtx);
  p.lpfnMsgBoxCallback = MessageBoxHelpCallback;

  HWND activeWindow = GetActiveWindow();
  const std::vector<HWND> disabled = DisableTaskWindows();
  PendingBoxPlace = POINT{X, Y};
  HHOOK outerHook = PlaceHook;  // a box opened from within a box
  PlaceHook = SetWindowsHookExW(WH_CBT, &PlaceBoxHook, nullptr, 0);
  const int result = MessageBoxIndirectW(&p);
  if (PlaceHook) UnhookWindowsHookEx(PlaceHook);
  PlaceHook = outerHook;
  PendingBoxPlace = POINT{-1, -1};
  EnableTaskWindows(disabled);
  if (activeWindow && IsWindow(activeWindow)) {
    SetFocus(nullptr);
    SetFocus(activeWindow);
  }
  return result;
}

int MessageDlgIndirect(const String& Msg, int DlgType, unsigned Buttons, int HelpCtx) {
  return MessageDlgIndirectPos("", Msg, DlgType, Buttons, HelpCtx, -1, -1);
}

void InitSmallUnits() {
  String format = FormatSettings().ShortDateFormat;
  std::transform(format.begin(), format.end(), format.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  FourDigitYear = format.find("YYYY") != String::npos;
  // No system library to read the caption from: the program's own text.
  TodayCaption = "Today: ";
  CustomColors = std::make_unique<TStringList>();
  for (int i = 0; i < 18; ++i) CustomColors->Add("FFFFFF");
}

void DoneSmallUnits() {
  TodayCaption.clear();
  CustomColors.reset();
}
