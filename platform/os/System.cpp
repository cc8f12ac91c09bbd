#include "platform/os/System.h"

#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/os/Files.h"

extern char** environ;

namespace {

// An absolute directory from an environment variable; relative values are
// invalid by the XDG rules and ignored.
String AbsoluteEnvDir(const char* name) {
  const char* value = getenv(name);
  if (!value || value[0] != PathDelim) return {};
  return ExcludeTrailingPathDelimiter(value);
}

String ConfigHome() {
  String dir = AbsoluteEnvDir("XDG_CONFIG_HOME");
  if (!dir.empty()) return dir;
  String home = GetHomeDir();
  return home.empty() ? String() : home + "/.config";
}

String DataHome() {
  String dir = AbsoluteEnvDir("XDG_DATA_HOME");
  if (!dir.empty()) return dir;
  String home = GetHomeDir();
  return home.empty() ? String() : home + "/.local/share";
}

// The value of key in user-dirs.dirs: lines KEY="$HOME/sub" or KEY="/abs".
String UserDirFromFile(const String& key) {
  const String config = ConfigHome();
  if (config.empty()) return {};
  std::ifstream in(config + "/user-dirs.dirs");
  String line, found;
  while (std::getline(in, line)) {
    String text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    size_t eq = text.find('=');
    if (eq == String::npos || Trim(std::string_view(text).substr(0, eq)) != key) continue;
    String value = Trim(std::string_view(text).substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    String unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      unescaped += value[i];
    }
    found = unescaped;  // the last assignment wins, as when the file is sourced
  }
  if (found.rfind("$HOME", 0) == 0) {
    String home = GetHomeDir();
    if (home.empty()) return {};
    found = home + found.substr(5);
  }
  if (found.empty() || found[0] != PathDelim) return {};
  return ExcludeTrailingPathDelimiter(found);
}

String UserDir(const char* key, const char* fallbackName) {
  String dir = UserDirFromFile(key);
  if (!dir.empty()) return dir;
  dir = AbsoluteEnvDir(key);
  if (!dir.empty()) return dir;
  String home = GetHomeDir();
  if (home.empty()) return {};
  String candidate = home + "/" + fallbackName;
  return DirectoryExists(candidate) ? candidate : home;
}

// /proc/mounts escapes blanks, tabs, newlines and backslashes as \ooo.
String UnescapeMountField(std::string_view field) {
  String out;
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) && octal(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += field[i];
  }
  return out;
}

bool HasOption(std::string_view options, std::string_view option) {
  while (!options.empty()) {
    size_t comma = options.find(',');
    if (options.substr(0, comma) == option) return true;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return false;
}

bool MountHolds(const String& mountPoint, const String& path) {
  if (mountPoint == "/") return true;
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == PathDelim);
}

struct LanguageCode {
  const char* code;
  uint16_t id;
};

// ISO 639 codes and the documented primary language ids.
constexpr LanguageCode kLanguages[] = {
    {"ar", 0x01},  {"bg", 0x02},  {"ca", 0x03},  {"zh", 0x04},  {"cs", 0x05},  {"da", 0x06},  {"de", 0x07},
    {"el", 0x08},  {"en", 0x09},  {"es", 0x0A},  {"fi", 0x0B},  {"fr", 0x0C},  {"he", 0x0D},  {"iw", 0x0D},
    {"hu", 0x0E},  {"is", 0x0F},  {"it", 0x10},  {"ja", 0x11},  {"ko", 0x12},  {"nl", 0x13},  {"no", 0x14},
    {"nb", 0x14},  {"nn", 0x14},  {"pl", 0x15},  {"pt", 0x16},  {"rm", 0x17},  {"ro", 0x18},  {"ru", 0x19},
    {"hr", 0x1A},  {"sr", 0x1A},  {"bs", 0x1A},  {"sk", 0x1B},  {"sq", 0x1C},  {"sv", 0x1D},  {"th", 0x1E},
    {"tr", 0x1F},  {"ur", 0x20},  {"id", 0x21},  {"uk", 0x22},  {"be", 0x23},  {"sl", 0x24},  {"et", 0x25},
    {"lv", 0x26},  {"lt", 0x27},  {"tg", 0x28},  {"fa", 0x29},  {"vi", 0x2A},  {"hy", 0x2B},  {"az", 0x2C},
    {"eu", 0x2D},  {"mk", 0x2F},  {"xh", 0x34},  {"zu", 0x35},  {"af", 0x36},  {"ka", 0x37},  {"fo", 0x38},
    {"hi", 0x39},  {"mt", 0x3A},  {"se", 0x3B},  {"ga", 0x3C},  {"ms", 0x3E},  {"kk", 0x3F},  {"ky", 0x40},
    {"sw", 0x41},  {"tk", 0x42},  {"uz", 0x43},  {"tt", 0x44},  {"bn", 0x45},  {"pa", 0x46},  {"gu", 0x47},
    {"or", 0x48},  {"ta", 0x49},  {"te", 0x4A},  {"kn", 0x4B},  {"ml", 0x4C},  {"as", 0x4D},  {"mr", 0x4E},
    {"sa", 0x4F},  {"mn", 0x50},  {"bo", 0x51},  {"cy", 0x52},  {"km", 0x53},  {"lo", 0x54},  {"gl", 0x56},
    {"si", 0x5B},  {"am", 0x5E},  {"ne", 0x61},  {"fy", 0x62},  {"ps", 0x63},  {"fil", 0x64}, {"ha", 0x68},
    {"yo", 0x6A},  {"lb", 0x6E},  {"ig", 0x70},  {"br", 0x7E},  {"ug", 0x80},  {"mi", 0x81},  {"oc", 0x82},
    {"co", 0x83},  {"rw", 0x87},  {"wo", 0x88},  {"gd", 0x91},  {"ku", 0x92},
};

// A URL goes to the opener unchecked: a scheme of letters followed by ':'.
bool LooksLikeUrl(const String& path) {
  size_t colon = path.find(':');
  if (colon == String::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = path[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))))
      return false;
  }
  return true;
}

}  // namespace

String GetHomeDir() {
  String home = AbsoluteEnvDir("HOME");
  if (!home.empty()) return home;
  struct passwd entry;
  struct passwd* result = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
    return ExcludeTrailingPathDelimiter(result->pw_dir);
  return {};
}

String GetKnownFolder(TKnownFolder folder) {
  switch (folder) {
    case kfAppData: return ConfigHome();
    case kfLocalAppData: return DataHome();
    case kfDesktop: return UserDir("XDG_DESKTOP_DIR", "Desktop");
    case kfDocuments: return UserDir("XDG_DOCUMENTS_DIR", "Documents");
    case kfPictures: return UserDir("XDG_PICTURES_DIR", "Pictures");
    case kfVideos: return UserDir("XDG_VIDEOS_DIR", "Videos");
    case kfMusic: return UserDir("XDG_MUSIC_DIR", "Music");
    case kfTemp: return ExcludeTrailingPathDelimiter(GetTempDir());
  }
  return {};
}

unsigned DriveTypeOfFileSystem(std::string_view fs) {
  if (fs == "iso9660" || fs == "udf") return DRIVE_CDROM;
  if (fs == "tmpfs" || fs == "ramfs") return DRIVE_RAMDISK;
  if (fs.rfind("nfs", 0) == 0 || fs == "cifs" || fs.rfind("smb", 0) == 0 || fs == "ncpfs" || fs == "afs" ||
      fs == "ceph" || fs == "glusterfs" || fs == "fuse.sshfs")
    return DRIVE_REMOTE;
  return DRIVE_FIXED;
}

bool FindMount(const String& path, TMountInfo& info, const String& mountTable) {
  if (path.empty()) return false;
  String full = ExpandFileName(path);
  char resolved[PATH_MAX];
  if (realpath(full.c_str(), resolved)) full = resolved;  // a symlink lives on its target's mount

  std::ifstream in(mountTable);
  if (!in) return false;
  bool found = false;
  String line;
  while (std::getline(in, line)) {
    std::vector<std::string_view> fields;
    std::string_view rest(line);
    while (!rest.empty() && fields.size() < 4) {
      size_t start = rest.find_first_not_of(" \t");
      if (start == std::string_view::npos) break;
      rest.remove_prefix(start);
      size_t end = rest.find_first_of(" \t");
      fields.push_back(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    if (fields.size() < 4 || fields[0].front() == '#') continue;
    String mountPoint = UnescapeMountField(fields[1]);
    if (!MountHolds(mountPoint, full)) continue;
    // Longest mount point wins; among equals the later one, which is mounted on top.
    if (found && mountPoint.size() < info.MountPoint.size()) continue;
    info.MountPoint = mountPoint;
    info.Device = UnescapeMountField(fields[0]);
    info.FileSystem = String(fields[2]);
    info.ReadOnly = HasOption(fields[3], "ro");
    info.DriveType = DriveTypeOfFileSystem(info.FileSystem);
    found = true;
  }
  return found;
}

unsigned GetDriveType(const String& path, const String& mountTable) {
  TMountInfo info;
  return FindMount(path, info, mountTable) ? info.DriveType : DRIVE_NO_ROOT_DIR;
}

int ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

uint16_t PrimaryLanguageOfLocale(std::string_view name) {
  size_t end = name.find_first_of("_.@-");
  String language = LowerCase(name.substr(0, end));
  if (language.empty() || language == "c" || language == "posix") return LANG_ENGLISH;
  for (const LanguageCode& entry : kLanguages) {
    if (language == entry.code) return entry.id;
  }
  return LANG_NEUTRAL;
}

String GetUserLocaleName() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value && value[0] != '\0') return value;
  }
  return {};
}

uint16_t GetUserDefaultLangID() {
  return MakeLangID(PrimaryLanguageOfLocale(GetUserLocaleName()), SUBLANG_DEFAULT);
}

uint32_t GetUserDefaultLCID() { return GetUserDefaultLangID(); }

String GetEnvironmentVariable(const String& name) {
  const char* value = getenv(name.c_str());
  return value ? String(value) : String();
}

bool SetEnvironmentVariable(const String& name, const String& value) {
  return !name.empty() && setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentVariable(const String& name) { return !name.empty() && unsetenv(name.c_str()) == 0; }

namespace {

std::mutex& OpenerLock() {
  static std::mutex lock;
  return lock;
}
String& Opener() {
  static String opener = "xdg-open";
  return opener;
}

// What a failed opener said: its error output's last lines, else its status.
String OpenerFailure(int status, const String& errors) {
  String text = errors;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  constexpr size_t kMost = 1000;
  if (text.size() > kMost) text = "..." + text.substr(text.size() - kMost);
  if (!text.empty()) return text;
  if (WIFEXITED(status)) return "the opener exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "the opener was ended by signal " + std::to_string(WTERMSIG(status));
  return "the opener failed";
}

}  // namespace

void SetShellOpener(const String& program) {
  std::lock_guard lock(OpenerLock());
  Opener() = program.empty() ? String("xdg-open") : program;
}

bool ShellOpen(const String& path, TShellOpenFailed onFailed) {
  if (path.empty()) return false;
  String target = path;
  if (!LooksLikeUrl(path)) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    target = ExpandFileName(path);  // absolute, so that it cannot be read as an option
  }
  String program;
  {
    std::lock_guard lock(OpenerLock());
    program = Opener();
  }
  // The opener's error output comes back through a pipe, for the failure's reason.
  int errPipe[2] = {-1, -1};
  if (pipe2(errPipe, O_CLOEXEC) != 0) errPipe[0] = errPipe[1] = -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (errPipe[1] >= 0) posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  char* argv[] = {program.data(), target.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (errPipe[1] >= 0) close(errPipe[1]);
  if (rc != 0) {
    if (errPipe[0] >= 0) close(errPipe[0]);
    if (onFailed) onFailed(program + ": " + strerror(rc));
    return false;
  }
  // The opener may outlive the call; reap it in the background so it leaves
  // no zombie. Programs it starts may keep the pipe open: read only what is
  // there once it ended.
  std::thread([pid, fd = errPipe[0], onFailed = std::move(onFailed)] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    String errors;
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      char buf[4096];
      ssize_t n;
      while ((n = read(fd, buf, sizeof buf)) > 0 && errors.size() < 65536) errors.append(buf, size_t(n));
      close(fd);
    }
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok && onFailed) onFailed(OpenerFailure(status, errors));
  }).detach();
  return true;
}
