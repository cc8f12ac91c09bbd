#pragma once
// Files and folders: directory enumeration with the documented attribute bits,
// file masks, existence tests, folder creation and path helpers. Paths are
// UTF-8 with '/' as the delimiter.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/os/Errors.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

constexpr char PathDelim = '/';

// Attribute bits, with the documented values (callers store them).
constexpr int faReadOnly = 0x01;   // owner may not write, or this process may not
constexpr int faHidden = 0x02;     // name starts with '.' (except "." and "..")
constexpr int faSysFile = 0x04;    // devices, pipes, sockets
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;  // a folder, or a symlink to one
constexpr int faArchive = 0x20;    // every regular file
constexpr int faNormal = 0x80;
constexpr int faTemporary = 0x100;
constexpr int faSymLink = 0x400;   // the documented reparse-point flag
constexpr int faAnyFile = 0x1FF;

struct TFindState;

struct TSearchRec {
  String Name;
  int64_t Size = 0;
  int Attr = 0;
  // Modification time in local time.
  TDateTime Time = 0;
  // The file system's times in UTC, as find data carries them.
  // Creation time is the birth time where the file system records one, else
  // the modification time.
  TDateTime CreationTime = 0;
  TDateTime LastAccessTime = 0;
  TDateTime LastWriteTime = 0;
  // Attributes that exclude an entry: those of faHidden, faSysFile, faVolumeID
  // and faDirectory that the search did not ask for.
  int ExcludeAttr = 0;
  std::shared_ptr<TFindState> FindHandle;
};

// Enumerates the folder part of path for names matching its last part (a mask
// with '*' and '?', or a plain name looked up exactly). Entries are returned
// "." and ".." first, then by name ignoring case. Returns 0 with the first
// entry in rec, or ERROR_FILE_NOT_FOUND (nothing matched), ERROR_PATH_NOT_FOUND
// (no such folder) or ERROR_ACCESS_DENIED.
int FindFirst(const String& path, int attr, TSearchRec& rec);
// 0 with the next entry, ERROR_NO_MORE_FILES at the end.
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// One entry of a folder's listing.
struct TFolderEntry {
  String Name;
  unsigned char Type;  // DT_DIR, DT_REG, ... as the listing says; DT_UNKNOWN when it does not
};

// The attributes FindFirst gives a real folder (not a symlink to one) called
// name: faDirectory, faHidden for a dot name, and faReadOnly, which only its
// status tells and this leaves out.
int FolderAttributes(std::string_view name);

// The attributes a listing's entry type (a dirent d_type) and name tell
// without asking for the entry's status: all but faReadOnly. -1 when the type
// cannot tell (a symlink, whose target decides, or an unknown type).
int EntryTypeAttributes(unsigned char type, std::string_view name);

// A folder held open so that its entries can be listed once and described
// by name relative to it: one file-system call for most entries, where
// FindFirst walks the full path and makes three. For walking many folders.
class TOpenFolder {
 public:
  // Opens path (a symlink to a folder only when followLink); Valid() is false
  // when it is no folder or cannot be read.
  TOpenFolder(const String& path, bool followLink);
  // Opens the subfolder name of parent (not a symlink) without walking the
  // path again.
  TOpenFolder(const TOpenFolder& parent, const String& name);
  ~TOpenFolder();
  TOpenFolder(const TOpenFolder&) = delete;
  TOpenFolder& operator=(const TOpenFolder&) = delete;

  bool Valid() const { return fd_ >= 0; }
  // The same for every path that reaches this folder.
  dev_t Device() const { return device_; }
  ino_t Inode() const { return inode_; }

  // Every entry but "." and ".." in the file system's order; empty when it
  // cannot be read. Reads the folder once: a second call gives nothing.
  std::vector<TFolderEntry> ReadAll();
  // Fills rec for the entry name (taken literally, no '/') with the same
  // attributes, size and times as FindFirst and FindNext would, and leaves
  // its FindHandle alone. False when there is no such entry.
  bool Describe(const String& name, TSearchRec& rec);

 private:
  // Whether the folder's mount takes writes, learnt on first need together
  // with this process's user id.
  bool OnWritableMount();
  // Takes fd (closing it on failure); true when the folder is known to be
  // no mount's root, so on the same mount as the folder holding it.
  bool Adopt(int fd);

  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  signed char mountWritable_ = -1;
  uid_t euid_ = 0;
};

// Case-insensitive match with '*' (any run) and '?' (one character). A mask
// ending in ".*" also matches names without an extension, so "*.*" matches
// every name.
bool MatchesMask(std::string_view name, std::string_view mask);

// True for an existing entry that is not a folder (a symlink is followed).
bool FileExists(const String& fileName);
// True for a folder or a symlink to one.
bool DirectoryExists(const String& dir);
// Creates dir and any missing parents; true when dir exists afterwards.
bool ForceDirectories(const String& dir);
bool CreateDir(const String& dir);
bool RemoveDir(const String& dir);
bool DeleteFile(const String& fileName);
// Fails when newName exists already; nothing is overwritten.
bool RenameFile(const String& oldName, const String& newName);
// Local modification time, or -1 when the file does not exist.
TDateTime FileAge(const String& fileName);
// Size in bytes, or -1 when the file does not exist.
int64_t FileGetSize(const String& fileName);

String ExtractFilePath(std::string_view fileName);  // up to and including the last '/'
String ExtractFileDir(std::string_view fileName);   // the same without the trailing '/' (root stays "/")
String ExtractFileName(std::string_view fileName);
String ExtractFileExt(std::string_view fileName);   // ".ext" of the last part, or ""
String ChangeFileExt(std::string_view fileName, std::string_view extension);
String IncludeTrailingPathDelimiter(std::string_view path);
String ExcludeTrailingPathDelimiter(std::string_view path);  // "/" stays "/"
// Absolute form against the current folder with "." and ".." resolved by name.
String ExpandFileName(std::string_view fileName);

// $TMPDIR (when it is a folder) or /tmp, with a trailing '/'.
String GetTempDir();
// Creates a new empty file named dir + prefix + unique characters and returns
// its name, or "" on failure. dir defaults to GetTempDir().
String CreateUniqueTempFile(const String& prefix, const String& dir = String());
String GetCurrentDir();
bool SetCurrentDir(const String& dir);
// Full path of the running program.
String ExecutablePath();
