#pragma once
// Folders of the file system as the skinned controls and dialogs see them.

#include "platform/rtl/SysUtils.h"

// True when Dir names an existing folder (a link to a folder counts); a
// folder whose attributes cannot be read counts as existing. Never raises.
bool DirExists(const String& Dir);
