#include "platform/os/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

struct TFindState {
  String dir;  // with a trailing '/', or "" for the current folder
  std::vector<String> names;
  size_t next = 0;
};

namespace {

constexpr int kExcludableAttr = faHidden | faSysFile | faVolumeID | faDirectory;

TDateTime UtcDateTime(const statx_timestamp& t) {
  return UnixDateDelta + (static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9) / double{SecsPerDay};
}

TDateTime LocalDateTime(const statx_timestamp& t) {
  time_t seconds = static_cast<time_t>(t.tv_sec);
  struct tm local {};
  localtime_r(&seconds, &local);
  return UtcDateTime(t) + local.tm_gmtoff / double{SecsPerDay};
}

// What an entry's description needs; the kernel may add more.
constexpr unsigned kEntryStatMask =
    STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

// path is relative to dirFd (AT_FDCWD: the current folder) or absolute.
bool StatAt(int dirFd, const char* path, bool follow, struct statx& st) {
  const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
  return statx(dirFd, path, flags, kEntryStatMask, &st) == 0;
}

// faHidden for dot names but "." and "..".
int NameAttributes(std::string_view name) {
  return name.size() > 1 && name[0] == '.' && name != ".." ? faHidden : 0;
}

// True when st says the attribute is known to be clear.
bool KnownClear(const struct statx& st, uint64_t attribute) {
  return (st.stx_attributes_mask & attribute) && !(st.stx_attributes & attribute);
}

// Fills rec from the entry at path (relative to dirFd, as for StatAt), named
// name; false when it vanished meanwhile. For an entry whose owner may write,
// mayWrite(st) may settle from its status alone that this process may too (a
// symlink's target is never judged so); else the kernel is asked.
template <class MayWrite>
bool ReadEntry(int dirFd, const char* path, const String& name, TSearchRec& rec, MayWrite mayWrite) {
  struct statx link {};
  if (!StatAt(dirFd, path, false, link)) return false;
  struct statx target = link;
  int attr = 0;
  if (S_ISLNK(link.stx_mode)) {
    attr |= faSymLink;
    if (!StatAt(dirFd, path, true, target)) target = link;  // dangling: describe the link itself
  }
  if (S_ISDIR(target.stx_mode))
    attr |= faDirectory;
  else if (S_ISREG(target.stx_mode))
    attr |= faArchive;
  else if (!S_ISLNK(target.stx_mode))
    attr |= faSysFile;
  attr |= NameAttributes(name);
  // Read-only as the flag is documented: the owner may not write (which holds
  // even for a privileged process), or this process may not.
  bool readOnly = !(target.stx_mode & S_IWUSR);
  if (!readOnly && ((attr & faSymLink) || !mayWrite(target)))
    readOnly = faccessat(dirFd, path, W_OK, AT_EACCESS) != 0 && errno != ENOENT;
  if (readOnly) attr |= faReadOnly;

  rec.Name = name;
  rec.Attr = attr;
  rec.Size = (attr & faDirectory) ? 0 : static_cast<int64_t>(target.stx_size);
  rec.Time = LocalDateTime(target.stx_mtime);
  rec.LastWriteTime = UtcDateTime(target.stx_mtime);
  rec.LastAccessTime = UtcDateTime(target.stx_atime);
  rec.CreationTime = (target.stx_mask & STATX_BTIME) ? UtcDateTime(target.stx_btime) : rec.LastWriteTime;
  return true;
}

bool AskKernel(const struct statx&) { return false; }

int NextMatch(TSearchRec& rec) {
  TFindState& state = *rec.FindHandle;
  while (state.next < state.names.size()) {
    const String& name = state.names[state.next++];
    const String path = state.dir + name;
    if (ReadEntry(AT_FDCWD, path.c_str(), name, rec, AskKernel) && (rec.Attr & rec.ExcludeAttr) == 0)
      return ERROR_SUCCESS;
  }
  return ERROR_NO_MORE_FILES;
}

bool HasWildcards(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiFold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Iterative wildcard match on case-folded text: one backtrack point (the last
// '*'), so the cost stays linear in name length times mask length.
template <class Char>
bool WildcardMatch(std::basic_string_view<Char> name, std::basic_string_view<Char> mask) {
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t n = 0, m = 0, starM = kNone, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == Char('*')) {
      starM = m++;
      starN = n;
    } else if (m < mask.size() && (mask[m] == Char('?') || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (starM != kNone) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == Char('*')) ++m;
  return m == mask.size();
}

std::u32string FoldToCodePoints(std::string_view text) {
  icu::UnicodeString folded =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  folded.foldCase();
  std::u32string out(static_cast<size_t>(folded.countChar32()), U'\0');
  UErrorCode status = U_ZERO_ERROR;
  folded.toUTF32(reinterpret_cast<UChar32*>(out.data()), static_cast<int32_t>(out.size()), status);
  return out;
}

bool MatchOne(std::string_view name, std::string_view mask) {
  if (IsAscii(name) && IsAscii(mask)) {
    String n(name), m(mask);
    std::transform(n.begin(), n.end(), n.begin(), AsciiFold);
    std::transform(m.begin(), m.end(), m.begin(), AsciiFold);
    return WildcardMatch<char>(n, m);
  }
  std::u32string n = FoldToCodePoints(name), m = FoldToCodePoints(mask);
  return WildcardMatch<char32_t>(n, m);
}

// "." and ".." first, then by name ignoring ASCII case, then byte order.
bool EntryOrder(const String& a, const String& b) {
  auto rank = [](const String& s) { return s == "." ? 0 : s == ".." ? 1 : 2; };
  if (rank(a) != rank(b)) return rank(a) < rank(b);
  int c = CompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

bool IsDirectory(const String& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (MatchOne(name, mask)) return true;
  // "name.*" also matches "name", as documented for file masks.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") return MatchOne(name, mask.substr(0, mask.size() - 2));
  return false;
}

int FindFirst(const String& path, int attr, TSearchRec& rec) {
  FindClose(rec);
  auto state = std::make_shared<TFindState>();
  state->dir = ExtractFilePath(path);
  const String mask = ExtractFileName(path);
  const String folder = state->dir.empty() ? String(".") : state->dir;
  if (mask.empty()) return IsDirectory(folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;

  if (!HasWildcards(mask)) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return IsDirectory(folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    state->names.push_back(mask);
  } else {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    while (struct dirent* entry = readdir(dir)) {
      if (MatchesMask(entry->d_name, mask)) state->names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(state->names.begin(), state->names.end(), EntryOrder);
  }

  rec.ExcludeAttr = ~attr & kExcludableAttr;
  rec.FindHandle = std::move(state);
  if (NextMatch(rec) == ERROR_SUCCESS) return ERROR_SUCCESS;
  FindClose(rec);
  return ERROR_FILE_NOT_FOUND;
}

int FindNext(TSearchRec& rec) {
  if (!rec.FindHandle) return ERROR_INVALID_HANDLE;
  return NextMatch(rec);
}

void FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }

int FolderAttributes(std::string_view name) { return faDirectory | NameAttributes(name); }

int EntryTypeAttributes(unsigned char type, std::string_view name) {
  // The same classes as ReadEntry gives from an entry's mode.
  switch (type) {
    case DT_DIR: return faDirectory | NameAttributes(name);
    case DT_REG: return faArchive | NameAttributes(name);
    case DT_CHR:
    case DT_BLK:
    case DT_FIFO:
    case DT_SOCK: return faSysFile | NameAttributes(name);
    default: return -1;
  }
}

namespace {
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
}  // namespace

TOpenFolder::TOpenFolder(const String& path, bool followLink) {
  Adopt(open(path.c_str(), kFolderOpenFlags | (followLink ? 0 : O_NOFOLLOW)));
}

TOpenFolder::TOpenFolder(const TOpenFolder& parent, const String& name) {
  if (parent.fd_ < 0 || name.find(PathDelim) != String::npos) return;
  const bool sameMount = Adopt(openat(parent.fd_, name.c_str(), kFolderOpenFlags | O_NOFOLLOW));
  // Below the same mount the parent's findings hold.
  if (sameMount) {
    mountWritable_ = parent.mountWritable_;
    euid_ = parent.euid_;
  }
}

bool TOpenFolder::Adopt(int fd) {
  if (fd < 0) return false;
  struct statx st {};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &st) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  device_ = makedev(st.stx_dev_major, st.stx_dev_minor);
  inode_ = st.stx_ino;
  return KnownClear(st, STATX_ATTR_MOUNT_ROOT);
}

TOpenFolder::~TOpenFolder() {
  if (fd_ >= 0) close(fd_);
}

std::vector<TFolderEntry> TOpenFolder::ReadAll() {
  std::vector<TFolderEntry> entries;
  if (fd_ < 0) return entries;
  // The listing comes straight from the kernel: a directory stream would
  // cost two more calls per folder and copy the same records.
  constexpr size_t kBufferBytes = 32768;
  // Records come 8-byte aligned; new gives at least that.
  const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  ssize_t n;
  while ((n = getdents64(fd_, buffer.get(), kBufferBytes)) > 0) {
    const char* base = buffer.get();
    for (ssize_t offset = 0; offset < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(base + offset);
      offset += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      entries.push_back({String(name), entry->d_type});
    }
  }
  return entries;
}

bool TOpenFolder::OnWritableMount() {
  if (mountWritable_ < 0) {
    struct statvfs vfs;
    mountWritable_ = fstatvfs(fd_, &vfs) == 0 && !(vfs.f_flag & ST_RDONLY);
    euid_ = geteuid();
  }
  return mountWritable_ == 1;
}

bool TOpenFolder::Describe(const String& name, TSearchRec& rec) {
  if (fd_ < 0 || name.empty() || name.find(PathDelim) != String::npos) return false;
  // For the owner the kernel tests the owner's mode bits alone, once the
  // mount takes writes and the entry is neither immutable nor a mount of its
  // own (security modules aside); anything else is left to it.
  const auto mayWrite = [this](const struct statx& st) {
    return KnownClear(st, STATX_ATTR_IMMUTABLE) && KnownClear(st, STATX_ATTR_MOUNT_ROOT) &&
           OnWritableMount() && st.stx_uid == euid_;
  };
  return ReadEntry(fd_, name.c_str(), name, rec, mayWrite);
}

bool FileExists(const String& fileName) {
  struct stat st;
  return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& dir) { return !dir.empty() && IsDirectory(dir); }

bool ForceDirectories(const String& dir) {
  if (dir.empty()) return false;
  const String full = ExcludeTrailingPathDelimiter(ExpandFileName(dir));
  if (DirectoryExists(full)) return true;
  const String parent = ExtractFileDir(full);
  if (parent != full && !ForceDirectories(parent)) return false;
  return CreateDir(full) || DirectoryExists(full);  // another process may have won the race
}

bool CreateDir(const String& dir) { return !dir.empty() && mkdir(dir.c_str(), 0777) == 0; }

bool RemoveDir(const String& dir) { return !dir.empty() && rmdir(dir.c_str()) == 0; }

bool DeleteFile(const String& fileName) { return !fileName.empty() && unlink(fileName.c_str()) == 0; }

bool RenameFile(const String& oldName, const String& newName) {
  if (renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse atomically; check first.
  struct stat st;
  if (lstat(newName.c_str(), &st) == 0) return false;
  return rename(oldName.c_str(), newName.c_str()) == 0;
}

TDateTime FileAge(const String& fileName) {
  struct statx st {};
  if (fileName.empty() || !StatAt(AT_FDCWD, fileName.c_str(), true, st) || S_ISDIR(st.stx_mode)) return -1;
  return LocalDateTime(st.stx_mtime);
}

int64_t FileGetSize(const String& fileName) {
  struct stat st;
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

String ExtractFilePath(std::string_view fileName) {
  size_t slash = fileName.rfind(PathDelim);
  return slash == std::string_view::npos ? String() : String(fileName.substr(0, slash + 1));
}

String ExtractFileDir(std::string_view fileName) {
  size_t slash = fileName.rfind(PathDelim);
  if (slash == std::string_view::npos) return {};
  return String(fileName.substr(0, slash == 0 ? 1 : slash));
}

String ExtractFileName(std::string_view fileName) {
  size_t slash = fileName.rfind(PathDelim);
  return String(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

namespace {
// Position of the extension's dot in the last part of fileName, or npos.
size_t ExtensionDot(std::string_view fileName) {
  size_t dot = fileName.rfind('.');
  size_t slash = fileName.rfind(PathDelim);
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string_view::npos;
  return dot;
}
}  // namespace

String ExtractFileExt(std::string_view fileName) {
  size_t dot = ExtensionDot(fileName);
  return dot == std::string_view::npos ? String() : String(fileName.substr(dot));
}

String ChangeFileExt(std::string_view fileName, std::string_view extension) {
  size_t dot = ExtensionDot(fileName);
  return String(fileName.substr(0, dot)) + String(extension);
}

String IncludeTrailingPathDelimiter(std::string_view path) {
  String out(path);
  if (out.empty() || out.back() != PathDelim) out += PathDelim;
  return out;
}

String ExcludeTrailingPathDelimiter(std::string_view path) {
  if (path.size() > 1 && path.back() == PathDelim) path.remove_suffix(1);
  return String(path);
}

String ExpandFileName(std::string_view fileName) {
  if (fileName.empty()) return {};
  String full = fileName.front() == PathDelim ? String(fileName) : IncludeTrailingPathDelimiter(GetCurrentDir()) + String(fileName);
  std::vector<std::string_view> parts;
  std::string_view rest(full);
  while (!rest.empty()) {
    size_t slash = rest.find(PathDelim);
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  String out;
  for (std::string_view part : parts) {
    out += PathDelim;
    out += part;
  }
  if (out.empty())
    out = PathDelim;
  else if (fileName.back() == PathDelim)
    out += PathDelim;  // a folder given as such stays one
  return out;
}

String GetTempDir() {
  const char* env = getenv("TMPDIR");
  if (env && env[0] == PathDelim && IsDirectory(env)) return IncludeTrailingPathDelimiter(env);
  return "/tmp/";
}

String CreateUniqueTempFile(const String& prefix, const String& dir) {
  String pattern = IncludeTrailingPathDelimiter(dir.empty() ? GetTempDir() : dir) + prefix + "XXXXXX";
  int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return {};
  close(fd);
  return pattern;
}

String GetCurrentDir() {
  std::string buffer(PATH_MAX, '\0');
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

bool SetCurrentDir(const String& dir) { return !dir.empty() && chdir(dir.c_str()) == 0; }

String ExecutablePath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return {};
  return String(path, static_cast<size_t>(n));
}
