#include "platform/os/DynLib.h"

#include "platform/os/Files.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

thread_local String tLastError;
thread_local int tLastCode = 0;

void SetLastLibraryError(int code, String text) {
  tLastCode = code;
  tLastError = std::move(text);
}

String TakeDlError(const char* fallback) {
  const char* text = dlerror();
  return text ? String(text) : String(fallback);
}

bool Contains(const String& text, std::string_view part) { return text.find(part) != String::npos; }

}  // namespace

HMODULE LoadLibrary(const String& fileName) {
  dlerror();
  void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module) {
    SetLastLibraryError(0, {});
    return module;
  }
  String text = TakeDlError("cannot load library");
  int code;
  if (fileName.find('/') != String::npos) {
    // By path: the file itself decides between "missing" and "not loadable";
    // an existing file whose own dependencies are missing is a third case.
    struct stat st;
    if (stat(fileName.c_str(), &st) != 0)
      code = ERROR_FILE_NOT_FOUND;
    else if (Contains(text, "cannot open shared object file"))
      code = ERROR_MOD_NOT_FOUND;
    else
      code = ERROR_BAD_EXE_FORMAT;
  } else {
    // By name: the loader only says which file it could not open.
    if (Contains(text, fileName + ": cannot open shared object file"))
      code = ERROR_FILE_NOT_FOUND;
    else if (Contains(text, "cannot open shared object file"))
      code = ERROR_MOD_NOT_FOUND;
    else
      code = ERROR_BAD_EXE_FORMAT;
  }
  SetLastLibraryError(code, std::move(text));
  return nullptr;
}

void* GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) {
    SetLastLibraryError(ERROR_INVALID_HANDLE, "invalid module handle");
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(module, name);
  if (!symbol) {
    SetLastLibraryError(ERROR_PROC_NOT_FOUND, TakeDlError((String("undefined symbol: ") + name).c_str()));
    return nullptr;
  }
  SetLastLibraryError(0, {});
  return symbol;
}

bool FreeLibrary(HMODULE module) {
  if (!module) return false;
  return dlclose(module) == 0;
}

String GetLastLibraryError() { return tLastError; }

int GetLastLibraryErrorCode() { return tLastCode; }

String GetModuleFileName(HMODULE module) {
  if (module) {
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0] != '\0') {
      // Absolute as loaded (symlinks kept, like the name the loader was given).
      if (map->l_name[0] == '/') return map->l_name;
      char cwd[PATH_MAX];
      if (getcwd(cwd, sizeof cwd)) return String(cwd) + "/" + map->l_name;
      return map->l_name;
    }
  }
  // The main program's link map has no name.
  return ExecutablePath();
}
