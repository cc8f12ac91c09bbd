#include "skin/controls/ShellFolder.h"

#include <sys/stat.h>

#include <cerrno>

bool DirExists(const String& Dir) {
  struct stat st {};
  if (::stat(Dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  // Only answers that say the path names nothing are "no"; anything else
  // (a folder we may not look into) is taken as existing.
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return false;
    default:
      return true;
  }
}
