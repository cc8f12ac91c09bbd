#pragma once
// The message box as a modal "#32770" window of the layer, the same on every
// backend: an icon (MB_ICON*), the text, and a row of push buttons for
// MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO and
// MB_RETRYCANCEL, plus Help with MB_HELP; MB_DEFBUTTON2..4 pick the default.
// The text is the static control 0xFFFF and each button has its answer's id.
// The owner's top-level window is disabled while the box runs; the owner gets
// WM_ENTERIDLE (MSGF_DIALOGBOX, the box) whenever the box's loop runs out of
// input. The dialog manager's keys apply (IsDialogMessageW): Enter answers
// with the focused button, Escape and the close request with Cancel where
// there is one (OK for a lone OK button), Tab and the arrows move between the
// buttons. Returns the answer (IDOK ...), 0 when the window
// could not be made.

#include <string>

#include "platform/win/Windows.h"

// The Help button calls the callback MessageBoxIndirectW was given.
int ShowMessageBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT type);

// One turn of a modal loop: takes the next message (true), or, when none is
// pending, first tells idleOwner (WM_ENTERIDLE with kind and loopWindow) once,
// then waits (false: look again).
bool NextModalMessage(MSG* msg, HWND idleOwner, WPARAM kind, HWND loopWindow, bool* idleSent);
