#include "media/MyUtils.h"

#include "platform/os/Files.h"

HMODULE LoadLibraryFromPath(const String& Path, const String& FileName, int& ErrorCode) {
  ErrorCode = 0;
  // ld.so finds a library's own dependencies by soname among the objects
  // already loaded, so loading by absolute path is all a folder load needs.
  const bool inFolder = !Path.empty() && FileExists(Path + FileName);
  HMODULE handle = LoadLibrary(inFolder ? Path + FileName : FileName);
  if (!handle)
    ErrorCode = GetLastLibraryErrorCode() == LOAD_ERROR_NOT_FOUND ? LOAD_ERROR_NOT_FOUND : LOAD_ERROR_NOT_LOADABLE;
  return handle;
}

void* BindEntryPoint(const String& LibraryFileName, HMODULE Handle, const char* ExportName, bool Optional) {
  void* address = GetProcAddress(Handle, ExportName);
  if (!address && !Optional)
    throw EBindError(Format("Load function %s@%s error: %s", {ExportName, LibraryFileName, GetLastLibraryError()}));
  return address;
}

int64_t FileSizeByName(const String& FileName) { return FileName.empty() ? -1 : FileGetSize(ExpandFileName(FileName)); }

void CutAtSeparator(String& Text, std::string_view Separator, bool Remove, String& Head) {
  const size_t at = Separator.empty() ? String::npos : Text.find(Separator);
  if (at == String::npos) {
    Head = Text;
    if (Remove) Text.clear();
    return;
  }
  Head = Text.substr(0, at);
  if (Remove) Text.erase(0, at + Separator.size());
}

String FormatByteSize(int64_t Size) {
  constexpr int64_t KB = 1024, MB = KB * 1024, GB = MB * 1024;
  if (Size > GB) return Format("%.2f GB", {double(Size) / GB});
  if (Size > MB) return Format("%.2f MB", {double(Size) / MB});
  if (Size > KB) return Format("%.2f KB", {double(Size) / KB});
  return Format("%d Byte", {Size});
}

bool ProcessOneMessage() {
  const bool ran = CheckSynchronize(0);
  ProcessPendingMessages();
  return ran;
}
