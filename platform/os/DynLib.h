#pragma once
// Dynamic libraries over dlopen.

#include "platform/rtl/SysUtils.h"

using HMODULE = void*;

// Loads by path (when it contains '/') or by name through the system search
// path. Returns nullptr on failure; GetLastLibraryError() tells why.
HMODULE LoadLibrary(const String& fileName);
// dlsym; nullptr when missing.
void* GetProcAddress(HMODULE module, const char* name);
bool FreeLibrary(HMODULE module);
// The loader's last error text for this thread (dlerror), and a matching
// numeric code (2 = file not found, 193 = not a loadable library, 127 = missing symbol, 0 = none).
String GetLastLibraryError();
int GetLastLibraryErrorCode();
// Full path of the file a loaded module came from.
String GetModuleFileName(HMODULE module);
