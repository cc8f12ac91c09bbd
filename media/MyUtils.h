#pragma once
// Small routines the media engine shares: library loading and binding, file
// sizes, text cutting, byte sizes for display, and the main-thread helpers.

#include <cstdint>

#include "platform/os/DynLib.h"
#include "platform/os/Threads.h"  // CallInMainThread, ProcessPendingMessages
#include "platform/rtl/SysUtils.h"

// A required export that a library lacks.
class EBindError : public Exception {
 public:
  using Exception::Exception;
};

// Error numbers LoadLibraryFromPath reports.
constexpr int LOAD_ERROR_NOT_FOUND = 2;  // ENOENT: no such file anywhere searched
constexpr int LOAD_ERROR_NOT_LOADABLE = 8;  // ENOEXEC: found, but the loader refused it

// Loads Path + FileName when Path is not empty and that file exists, otherwise
// FileName through the system search path. Returns nullptr on failure with
// ErrorCode set to one of the numbers above.
HMODULE LoadLibraryFromPath(const String& Path, const String& FileName, int& ErrorCode);

// The address of ExportName in Handle, or nullptr when it is absent and
// Optional. An absent required export raises EBindError with
// "Load function %s@%s error: %s" (export, library file name, loader message).
void* BindEntryPoint(const String& LibraryFileName, HMODULE Handle, const char* ExportName, bool Optional);

// The size of an existing file in bytes, or -1.
int64_t FileSizeByName(const String& FileName);

// Head := Text before the first Separator (all of Text when there is none).
// With Remove, Text keeps only what follows the separator (nothing when absent).
void CutAtSeparator(String& Text, std::string_view Separator, bool Remove, String& Head);

// "1.50 KB", "2.00 MB", "3.25 GB" with the user's decimal separator, or
// "%d Byte" up to and including 1024 bytes.
String FormatByteSize(int64_t Size);

// Serves one round of the main thread's pending calls and window messages;
// true when something was waiting.
bool ProcessOneMessage();
