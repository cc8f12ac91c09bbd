#pragma once
// Dynamic libraries over dlopen.

#include "platform/rtl/SysUtils.h"

using HMODULE = void*;

// Codes of GetLastLibraryErrorCode, with the original platform's numbers.
constexpr int ERROR_FILE_NOT_FOUND = 2;    // the file (or, by name, the library) is missing
constexpr int ERROR_INVALID_HANDLE = 6;    // a null module
constexpr int ERROR_MOD_NOT_FOUND = 126;   // the file exists but a library it needs is missing
constexpr int ERROR_PROC_NOT_FOUND = 127;  // the symbol is missing
constexpr int ERROR_BAD_EXE_FORMAT = 193;  // the file is not a loadable library

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
