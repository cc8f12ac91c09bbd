#pragma once
// A message box as a modal window of the layer: the text, push buttons for
// MB_OK, MB_OKCANCEL, MB_YESNO and MB_YESNOCANCEL (MB_DEFBUTTON2/3 pick the
// default), Enter, Escape, Tab and the arrow keys. The owner's top-level
// window is disabled meanwhile. Returns the button's id (IDOK ...); 0 when
// the window could not be made.

#include <string>

#include "platform/win/Windows.h"

int ShowMessageBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT type);
