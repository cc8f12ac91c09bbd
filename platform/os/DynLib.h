#pragma once
// Dynamic libraries over dlopen.

#include "platform/os/Errors.h"
#include "platform/rtl/SysUtils.h"

using HMODULE = void*;

// Codes of GetLastLibraryErrorCode (platform/os/Errors.h):
//   ERROR_FILE_NOT_FOUND  the file (or, by name, the library) is missing
//   ERROR_INVALID_HANDLE  a null module
//   ERROR_MOD_NOT_FOUND   the file exists but a library it needs is missing
//   ERROR_PROC_NOT_FOUND  the symbol is missing
//   ERROR_BAD_EXE_FORMAT  the file is not a loadable library

// Loads by path (when it contains '/') or by name through the system search
// path. Returns nullptr on failure; GetLastLibraryError() tells why.
HMODULE LoadLibrary(const String& fileName);
// dlsym; nullptr when missing.
void* GetProcAddress(HMODULE module, const char* name);
bool FreeLibrary(HMODULE module);
// The loader's last error text for this thread (dlerror), and a matching
// numeric code (2 = file not found, 193 = not a loadable library, 127 = missing symbol, 0 = none).
// A successful LoadLibrary or GetProcAddress clears both.
String GetLastLibraryError();
int GetLastLibraryErrorCode();
// Full path of the file a loaded module came from; nullptr gives the executable.
String GetModuleFileName(HMODULE module);
