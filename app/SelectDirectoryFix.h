#pragma once
// The folder dialog: the folder browser centred on its parent form (or on
// the main window's monitor), opening with the initial folder selected.

#include "platform/vcl/Forms.h"

enum TSelectDirExtOpt { sdNewFolder, sdShowEdit, sdShowShares, sdNewUI, sdShowFiles, sdValidateDir };
using TSelectDirExtOpts = TSet<TSelectDirExtOpt>;

// The browser's flags for the options: file-system folders only, no domains,
// and what each option switches on or off.
UINT BrowseFlags(TSelectDirExtOpts Options);
// Where the browser goes: its centre on the reference rectangle's centre
// (halves truncated), keeping its size.
TPoint CentredPosition(const TRect& Reference, const TRect& Browser);

// The error shown when a typed name is not a folder (with the validation
// option); %s: the typed name.
inline constexpr const char* InvalidPathText = "\"%s\" is not a valid path.";

// Shows the folder browser with Caption. Root (a folder) limits what can be
// chosen; an empty one is the whole tree. Directory is the folder selected at
// first (emptied when it does not exist); true when the user chose one, which
// Directory then holds with a trailing delimiter.
bool SelectFolder(const String& Caption, const String& Root, String& Directory, TWinControl* Parent,
                  TSelectDirExtOpts Options);
