#pragma once

#include <functional>
// System services: known folders, drive types, processor count, the user's
// language, the environment and opening files with the desktop's programs.

#include <cstdint>

#include "platform/rtl/SysUtils.h"

// Known folders. The values are the documented folder ids (CSIDL_*),
// so that a stored or quoted id maps straight onto them.
enum TKnownFolder {
  kfDesktop = 0x10,       // the desktop's file folder
  kfDocuments = 0x05,
  kfMusic = 0x0D,
  kfVideos = 0x0E,
  kfAppData = 0x1A,       // per-user settings ($XDG_CONFIG_HOME)
  kfLocalAppData = 0x1C,  // per-user data ($XDG_DATA_HOME)
  kfPictures = 0x27,
  kfTemp = 0x100,         // no documented id; this layer's own
};

// The folder, without a trailing delimiter; "" when it cannot be told (no home
// folder, unknown id). Desktop, documents, pictures, videos and music come
// from $XDG_CONFIG_HOME/user-dirs.dirs, then the XDG_*_DIR variables, then
// $HOME/<Desktop|Documents|Pictures|Videos|Music> when that folder exists, else
// $HOME itself.
String GetKnownFolder(TKnownFolder folder);
// The home folder: $HOME, else the password database's entry.
String GetHomeDir();

// Drive types, with the documented numbers.
constexpr unsigned DRIVE_UNKNOWN = 0;
constexpr unsigned DRIVE_NO_ROOT_DIR = 1;
constexpr unsigned DRIVE_REMOVABLE = 2;
constexpr unsigned DRIVE_FIXED = 3;
constexpr unsigned DRIVE_REMOTE = 4;
constexpr unsigned DRIVE_CDROM = 5;
constexpr unsigned DRIVE_RAMDISK = 6;

struct TMountInfo {
  String MountPoint;
  String Device;
  String FileSystem;
  bool ReadOnly = false;
  unsigned DriveType = DRIVE_UNKNOWN;
};

constexpr const char* kDefaultMountTable = "/proc/self/mounts";

// The mount that holds path (made absolute first): the entry of mountTable
// with the longest mount point that is a whole-folder prefix of path. False
// when the table cannot be read or has no entry for it.
bool FindMount(const String& path, TMountInfo& info, const String& mountTable = kDefaultMountTable);
// DRIVE_CDROM for iso9660 and udf, DRIVE_REMOTE for network file systems,
// DRIVE_RAMDISK for tmpfs and ramfs, DRIVE_FIXED otherwise; DRIVE_NO_ROOT_DIR
// for an empty path or no mount.
unsigned GetDriveType(const String& path, const String& mountTable = kDefaultMountTable);
// The drive type a file system type names.
unsigned DriveTypeOfFileSystem(std::string_view fileSystem);

// Processors this process may run on (at least 1).
int ProcessorCount();

// Primary language ids, with the documented numbers (LANG_*).
constexpr uint16_t LANG_NEUTRAL = 0x00;
constexpr uint16_t LANG_ENGLISH = 0x09;
constexpr uint16_t SUBLANG_DEFAULT = 0x01;
constexpr uint16_t MakeLangID(uint16_t primary, uint16_t sub) { return static_cast<uint16_t>((sub << 10) | primary); }
constexpr uint16_t PrimaryLangID(uint32_t langId) { return static_cast<uint16_t>(langId & 0x3FF); }

// The primary language id of a locale name such as "fr_FR.UTF-8", "pt_BR" or
// "de"; LANG_ENGLISH for "C", "POSIX" and empty names, LANG_NEUTRAL for an
// unknown language.
uint16_t PrimaryLanguageOfLocale(std::string_view localeName);
// The user's locale name: the first non-empty of LC_ALL, LC_MESSAGES, LANG.
String GetUserLocaleName();
// The user's language as a language id (primary language with
// the default sub-language); its low 10 bits are the primary language.
uint16_t GetUserDefaultLangID();
uint32_t GetUserDefaultLCID();

// The environment. Setting is not safe while other threads read it.
String GetEnvironmentVariable(const String& name);
bool SetEnvironmentVariable(const String& name, const String& value);
bool UnsetEnvironmentVariable(const String& name);

// Told why the opener failed: it could not be started, or it exited with a
// non-zero status (the reason is then what it wrote to its error output, or
// its exit status). Called on the calling thread when it could not start,
// else on a thread of its own.
using TShellOpenFailed = std::function<void(const String& reason)>;

// Opens a file, a folder or a URL with the desktop's default program
// (xdg-open, started directly, never through a shell). Returns at once: true
// when the file exists (URLs are not checked) and the opener was started.
bool ShellOpen(const String& path, TShellOpenFailed onFailed = nullptr);
// The opener ShellOpen starts, looked up on PATH ("xdg-open" unless set; an
// empty name restores it).
void SetShellOpener(const String& program);
