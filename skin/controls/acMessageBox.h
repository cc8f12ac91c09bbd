#pragma once
// The library's message box, and the small values other units read at
// start-up: the calendar's "today" caption, the date format's year width and
// the colour dialog's custom colours.

#include <array>
#include <functional>
#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// Dialog types, as MessageDlgIndirect takes them.
enum : int { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };
// Bits of the button set.
enum : unsigned { mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3, mbAbort = 1u << 4,
                  mbRetry = 1u << 5, mbIgnore = 1u << 6, mbHelp = 1u << 10 };

// Default captions by dialog type.
inline const std::array<const char*, 5> MessageDlgCaptions{"Warning", "Error", "Information", "Confirm", ""};

// The MB_* style the box is shown with: icon by type, one button layout (the
// first of OK, Abort/Ignore, Yes/No, Retry that the set holds) and MB_HELP.
unsigned MessageDlgStyle(int DlgType, unsigned Buttons);

// Shows the message box as a modal "#32770" window (skinned by the creation
// hook when the application is skinned) owned by the active form, with the
// other forms disabled meanwhile; answers the pressed button's id (IDOK ...).
// An empty caption takes the type's default; X, Y place the box (-1: centred).
int MessageDlgIndirectPos(const String& Caption, const String& Msg, int DlgType, unsigned Buttons, int HelpCtx, int X,
                          int Y);
int MessageDlgIndirect(const String& Msg, int DlgType, unsigned Buttons, int HelpCtx);
// Called by the box's Help button with its non-zero context (the application's help).
inline std::function<void(int HelpCtx)> MessageBoxHelp;

// ---- Start-up values ----
inline bool FourDigitYear = false;  // the short date format shows four-digit years
inline String TodayCaption;         // the calendar's "today" line
inline std::unique_ptr<TStringList> CustomColors;  // 18 custom colours, six hex digits each
// Fills the values above (a second call refreshes them); DoneSmallUnits clears them.
void InitSmallUnits();
void DoneSmallUnits();
