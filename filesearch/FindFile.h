#pragma once
// File search: criteria that decide whether a directory entry matches, the
// folders they name, and the component that walks those folders and reports
// each match, in the calling thread or in a search thread.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/os/Files.h"
#include "platform/os/Threads.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// Matching helpers

// Case tables for the content matcher; built on first use. The
// program calls it once at start-up so that no search pays for it.
void BuildCaseTables();

// Cuts text at every separator, trims the pieces and drops empty ones and
// repeats (compared ignoring case unless caseSensitive), keeping first order.
std::vector<String> SplitValues(std::string_view text, char separator = ';', bool caseSensitive = false);

// The path filters' wildcard match, ignoring case: "*" any run, "?" one
// character, except that a "?" right after a "*" or in the mask's final run
// may also match nothing ("a?" matches "a", "*.??" matches "x.c").
bool WildcardMatch(std::string_view text, std::string_view mask);

// V within the inclusive bounds; a bound of 0 is not applied. A whole-number
// bound compares dates only (a date-only Before includes that whole day), a
// bound below 1 compares the time of day only.
bool IsDateTimeInRange(TDateTime V, TDateTime Before, TDateTime After);

// A file time in UTC (as the enumeration gives it) as local date-time.
TDateTime FileTimeToLocalDateTime(TDateTime Utc);

// ---------------------------------------------------------------------------
// Target paths: the folders a search walks, each with its masks

class TTargetPath {
 public:
  TTargetPath();

  const String& Folder() const { return fFolder; }  // full path with a trailing '/'
  void SetFolder(const String& Value) { fFolder = Value; }
  TStringList& FileMasks() { return fFileMasks; }
  const TStringList& FileMasks() const { return fFileMasks; }
  bool Recursive = true;
  uint16_t MinLevel = 0;
  uint16_t MaxLevel = 0;  // 0 = unlimited

 private:
  String fFolder;
  TStringList fFileMasks;
};

class TTargetPaths {
 public:
  int Count() const { return static_cast<int>(fItems.size()); }
  TTargetPath& Items(int Index) const { return *fItems.at(static_cast<size_t>(Index)); }
  // The target for Folder (full path with trailing '/'), or nullptr. Folders
  // compare case-sensitively, as the file system names them.
  TTargetPath* Find(const String& Folder) const;
  void Delete(int Index) { fItems.erase(fItems.begin() + Index); }
  void Clear() { fItems.clear(); }

  // PathInfo is a folder text (see ParseFolderInfo) followed by one mask.
  TTargetPath& AddPath(const String& PathInfo, bool Recursive, uint16_t MinLevel, uint16_t MaxLevel);
  // Adds FileMasks (or "*.*" when empty) to the target for FolderInfo, which
  // is created or takes the folder text's recursion and levels.
  TTargetPath& AddFolderAndMasks(const String& FolderInfo, const std::vector<String>& FileMasks, bool Recursive,
                                 uint16_t MinLevel, uint16_t MaxLevel);

 private:
  std::vector<std::unique_ptr<TTargetPath>> fItems;
};

// The folder syntax: "min-max>folder" or "max>folder" (recursive, levels),
// ">folder" (recursive), "<folder" (this folder only), or a plain folder
// taking the given defaults. Returns the full path with a trailing '/'.
String ParseFolderInfo(const String& FolderInfo, bool& Recursive, uint16_t& MinLevel, uint16_t& MaxLevel);

// ---------------------------------------------------------------------------
// Criteria

class TCustomCriteria : public TObject {
 public:
  // Copies the settings of a criteria object of the same class; any other
  // class raises EConvertError.
  virtual void Assign(const TCustomCriteria& Source);
  virtual void Clear() = 0;
};

class TFileCriteria : public TCustomCriteria {
 public:
  TFileCriteria();
  TFileCriteria(const TFileCriteria&) = delete;
  TFileCriteria& operator=(const TFileCriteria&) = delete;

  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;

  const String& FileName() const { return fFileName; }  // masks separated by ";"
  void SetFileName(const String& Value);
  const String& Location() const { return fLocation; }  // folder texts separated by ";"
  void SetLocation(const String& Value);
  TStringList& Paths() { return fPaths; }  // one folder text plus mask per line
  const TStringList& Paths() const { return fPaths; }
  void SetPaths(const TStrings& Value) { fPaths.Assign(Value); }
  bool Subfolders() const { return fSubfolders; }
  void SetSubfolders(bool Value);
  uint16_t MinLevel() const { return fMinLevel; }
  void SetMinLevel(uint16_t Value);
  uint16_t MaxLevel() const { return fMaxLevel; }
  void SetMaxLevel(uint16_t Value);
  // ">mask" accepts, "<mask" or "mask" refuses; the first that matches decides.
  TStringList& Filters() { return fFilters; }
  const TStringList& Filters() const { return fFilters; }
  void SetFilters(const TStrings& Value) { fFilters.Assign(Value); }

  // The path filters on Folder (with trailing '/') plus FileName.
  bool Matches(const String& Folder, const String& FileName) const;
  // Built on first use and kept until a setting it depends on changes.
  TTargetPaths& GetTargetPaths();

 private:
  void DropTargetPaths() { fTargetPaths.reset(); }

  String fFileName;
  String fLocation;
  TStringList fPaths;
  bool fSubfolders = true;
  uint16_t fMinLevel = 0;
  uint16_t fMaxLevel = 0;
  TStringList fFilters;
  std::unique_ptr<TTargetPaths> fTargetPaths;
};

enum TFileAttributeStatus { fsIgnore, fsSet, fsUnset, fsAnySet, fsAnyUnset };

class TAttributesCriteria : public TCustomCriteria {
 public:
  // Bits the criteria can name beyond those of the platform's enumeration,
  // which never sets them: they only matter as "must be clear".
  static constexpr uint32_t faDevice = 0x40;
  static constexpr uint32_t faSparseFile = 0x200;
  static constexpr uint32_t faCompressed = 0x800;
  static constexpr uint32_t faOffline = 0x1000;
  static constexpr uint32_t faNotContentIndexed = 0x2000;
  static constexpr uint32_t faEncrypted = 0x4000;
  static constexpr uint32_t faVirtual = 0x10000;

  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;

  // The status of one attribute bit, and setting it.
  TFileAttributeStatus GetStatus(uint32_t Attribute) const;
  void SetStatus(uint32_t Attribute, TFileAttributeStatus Value);

  TFileAttributeStatus Readonly() const { return GetStatus(faReadOnly); }
  void SetReadonly(TFileAttributeStatus V) { SetStatus(faReadOnly, V); }
  TFileAttributeStatus Hidden() const { return GetStatus(faHidden); }
  void SetHidden(TFileAttributeStatus V) { SetStatus(faHidden, V); }
  TFileAttributeStatus System() const { return GetStatus(faSysFile); }
  void SetSystem(TFileAttributeStatus V) { SetStatus(faSysFile, V); }
  TFileAttributeStatus Directory() const { return GetStatus(faDirectory); }
  void SetDirectory(TFileAttributeStatus V) { SetStatus(faDirectory, V); }
  TFileAttributeStatus Archive() const { return GetStatus(faArchive); }
  void SetArchive(TFileAttributeStatus V) { SetStatus(faArchive, V); }
  TFileAttributeStatus Device() const { return GetStatus(faDevice); }
  void SetDevice(TFileAttributeStatus V) { SetStatus(faDevice, V); }
  TFileAttributeStatus Normal() const { return GetStatus(faNormal); }
  void SetNormal(TFileAttributeStatus V) { SetStatus(faNormal, V); }
  TFileAttributeStatus Temporary() const { return GetStatus(faTemporary); }
  void SetTemporary(TFileAttributeStatus V) { SetStatus(faTemporary, V); }
  TFileAttributeStatus SparseFile() const { return GetStatus(faSparseFile); }
  void SetSparseFile(TFileAttributeStatus V) { SetStatus(faSparseFile, V); }
  // Symbolic links carry this bit.
  TFileAttributeStatus ReparsePoint() const { return GetStatus(faSymLink); }
  void SetReparsePoint(TFileAttributeStatus V) { SetStatus(faSymLink, V); }
  TFileAttributeStatus Compressed() const { return GetStatus(faCompressed); }
  void SetCompressed(TFileAttributeStatus V) { SetStatus(faCompressed, V); }
  TFileAttributeStatus Offline() const { return GetStatus(faOffline); }
  void SetOffline(TFileAttributeStatus V) { SetStatus(faOffline, V); }
  TFileAttributeStatus NotContentIndexed() const { return GetStatus(faNotContentIndexed); }
  void SetNotContentIndexed(TFileAttributeStatus V) { SetStatus(faNotContentIndexed, V); }
  TFileAttributeStatus Encrypted() const { return GetStatus(faEncrypted); }
  void SetEncrypted(TFileAttributeStatus V) { SetStatus(faEncrypted, V); }
  TFileAttributeStatus Virtual() const { return GetStatus(faVirtual); }
  void SetVirtual(TFileAttributeStatus V) { SetStatus(faVirtual, V); }

  uint32_t OnAttributes() const { return fOnAttributes; }
  uint32_t OffAttributes() const { return fOffAttributes; }
  uint32_t AnyOnAttributes() const { return fAnyOnAttributes; }
  uint32_t AnyOffAttributes() const { return fAnyOffAttributes; }

  bool Matches(uint32_t Attr) const;

 private:
  uint32_t fOnAttributes = 0;
  // Hidden, system and directory entries are refused until told otherwise.
  uint32_t fOffAttributes = faHidden | faSysFile | faDirectory;
  uint32_t fAnyOnAttributes = 0;
  uint32_t fAnyOffAttributes = 0;
};

class TDateTimeCriteria : public TCustomCriteria {
 public:
  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;
  // File times in UTC; each pair with a bound applies to local time.
  bool Matches(TDateTime Created, TDateTime Modified, TDateTime Accessed) const;

  // 0 = no bound.
  TDateTime CreatedBefore = 0;
  TDateTime CreatedAfter = 0;
  TDateTime ModifiedBefore = 0;
  TDateTime ModifiedAfter = 0;
  TDateTime AccessedBefore = 0;
  TDateTime AccessedAfter = 0;
};

class TSizeCriteria : public TCustomCriteria {
 public:
  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;
  bool Matches(int64_t Size) const;

  int64_t Min = 0;  // 0 = no bound
  int64_t Max = 0;  // 0 = no bound
};

// Bits of TContentSearchOptions.
enum TContentSearchOption : uint8_t { csoCaseSensitive = 1, csoWholeWord = 2, csoNegate = 4 };
using TContentSearchOptions = uint8_t;

// The phrase in each encoding a file may hold.
struct TStringVariants {
  String Ansi;          // the 8-bit code page (UTF-8 here)
  WideString Unicode;   // UTF-16
  String Utf8;
};

// True when the file holds the phrase (inverted by csoNegate). The file's
// byte-order mark picks UTF-16 (either order) or UTF-8, otherwise 8-bit text.
// Raises Exception when the file cannot be opened or read.
bool FileContainsPhrase(const String& FileName, const TStringVariants& Phrase, TContentSearchOptions Options);

class TContentCriteria : public TCustomCriteria {
 public:
  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;

  const String& Phrase() const { return fPhrase; }
  void SetPhrase(const String& Value);
  const TStringVariants& PhraseVariants() const { return fPhraseVariants; }
  TContentSearchOptions Options = 0;

  // True for an empty phrase; false for a file that cannot be read, also
  // with csoNegate.
  bool Matches(const String& FileName) const;

 private:
  String fPhrase;
  TStringVariants fPhraseVariants;
};

class TSearchCriteria : public TCustomCriteria {
 public:
  TSearchCriteria();
  TSearchCriteria(const TSearchCriteria&) = delete;
  TSearchCriteria& operator=(const TSearchCriteria&) = delete;

  void Assign(const TCustomCriteria& Source) override;
  void Clear() override;

  TFileCriteria& Files() { return *fFiles; }
  const TFileCriteria& Files() const { return *fFiles; }
  void SetFiles(const TFileCriteria& Value) { fFiles->Assign(Value); }
  TAttributesCriteria& Attributes() { return *fAttributes; }
  const TAttributesCriteria& Attributes() const { return *fAttributes; }
  void SetAttributes(const TAttributesCriteria& Value) { fAttributes->Assign(Value); }
  TDateTimeCriteria& TimeStamp() { return *fTimeStamp; }
  const TDateTimeCriteria& TimeStamp() const { return *fTimeStamp; }
  void SetTimeStamp(const TDateTimeCriteria& Value) { fTimeStamp->Assign(Value); }
  TSizeCriteria& Size() { return *fSize; }
  const TSizeCriteria& Size() const { return *fSize; }
  void SetSize(const TSizeCriteria& Value) { fSize->Assign(Value); }
  TContentCriteria& Content() { return *fContent; }
  const TContentCriteria& Content() const { return *fContent; }
  void SetContent(const TContentCriteria& Value) { fContent->Assign(Value); }

  // Attributes, size, times, path filters, then content (the dearest) last.
  bool Matches(const String& Folder, const TSearchRec& FindData) const;
  // Whether Matches needs more of an entry than its name and the attributes
  // its listing tells (EntryTypeAttributes): its size, times or read-only flag.
  bool NeedsStatus() const;

 private:
  std::unique_ptr<TFileCriteria> fFiles;
  std::unique_ptr<TAttributesCriteria> fAttributes;
  std::unique_ptr<TDateTimeCriteria> fTimeStamp;
  std::unique_ptr<TSizeCriteria> fSize;
  std::unique_ptr<TContentCriteria> fContent;
};

// ---------------------------------------------------------------------------
// The search component

// What a match event receives. The walk describes an entry only when a
// criterion needs its status; otherwise attributes, size and times are read
// from the file system on first use, once, and kept.
class TFileDetails {
 public:
  TFileDetails() = default;
  TFileDetails(String ALocation, String AName) : Location(std::move(ALocation)), Name(std::move(AName)) {}
  // An entry described already (times of FindData in UTC).
  TFileDetails(String ALocation, const TSearchRec& FindData);

  String Location;  // the folder, with a trailing '/'
  String Name;

  uint32_t Attributes() const { return Described().Attributes; }
  int64_t Size() const { return Described().Size; }
  TDateTime CreatedTime() const { return Described().CreatedTime; }  // local time
  TDateTime ModifiedTime() const { return Described().ModifiedTime; }
  TDateTime AccessedTime() const { return Described().AccessedTime; }

 private:
  struct TStatus {
    uint32_t Attributes = 0;
    int64_t Size = 0;
    TDateTime CreatedTime = 0;
    TDateTime ModifiedTime = 0;
    TDateTime AccessedTime = 0;
  };
  static TStatus FromSearchRec(const TSearchRec& FindData);
  // An entry gone by then reads as all zero.
  const TStatus& Described() const;

  mutable std::optional<TStatus> fStatus;
};

enum TFolderIgnore { fiNone, fiJustThis, fiJustSubfolders, fiThisAndSubfolders };

using TFileMatchEvent = std::function<void(TObject* Sender, TFileDetails& FileInfo)>;
using TFolderChangeEvent = std::function<void(TObject* Sender, const String& Folder, TFolderIgnore& IgnoreFolder)>;

class TFindFile;

class TSearchThread : public TThread {
 public:
  explicit TSearchThread(TFindFile* AOwner);
  ~TSearchThread() override;

  TFindFile* const Owner;
  // What ended the walk abnormally, handed to the creating thread.
  std::exception_ptr Failure;

 protected:
  void Execute() override;
};

// Walks the folders of its criteria and fires OnFileMatch for every entry that
// matches. Inline (the default) everything happens inside Execute. Threaded,
// Execute returns at once: OnFolderChange and OnFileMatch then run in the
// search thread (handlers must be safe there) and OnSearchFinish runs on the
// main thread, which must keep serving the dispatcher; an exception that ends
// a threaded search is raised on the main thread after OnSearchFinish.
// Create, execute and free the component on the main thread.
//
// The walk never enters symlinked folders and enters each folder at most once
// per target, so links and bind mounts cannot make it loop.
class TFindFile : public TComponent {
 public:
  explicit TFindFile(TComponent* AOwner);
  // Aborts a running search and, in threaded mode, waits for its thread
  // before anything is freed; OnSearchFinish does not fire then.
  ~TFindFile() override;

  TSearchCriteria& Criteria() { return *fCriteria; }
  void SetCriteria(const TSearchCriteria& Value) { fCriteria->Assign(Value); }
  bool Threaded = false;
  TThreadPriority ThreadPriority = tpNormal;

  bool Busy() const { return fBusy.load(); }
  bool Aborted() const { return fAborted.load(); }
  // Depth of the folder being searched: 1 for a target folder, 2 below it ...
  uint16_t CurrentLevel() const { return fCurrentLevel.load(std::memory_order_relaxed); }

  // Starts a search; does nothing while one runs. Inline, exceptions of the
  // criteria or the handlers reach the caller after the search has ended.
  void Execute();
  // Asks a running search to stop; any thread may call it.
  void Abort();

  TFileMatchEvent OnFileMatch;
  TFolderChangeEvent OnFolderChange;
  TNotifyEvent OnSearchBegin;
  TNotifyEvent OnSearchFinish;

 protected:
  virtual void DoSearchBegin();
  virtual void DoSearchFinish();
  virtual TFolderIgnore DoFolderChange(const String& Folder);
  virtual void DoFileMatch(const String& Folder, const TSearchRec& FindData);
  virtual bool IsAcceptable(const String& Folder, const TSearchRec& FindData);

 private:
  friend class TSearchThread;
  struct TNoticeToken;
  class TMaskFilter;

  void BeginSearch();
  void EndSearch();
  void Search();
  // Folder is open as listing.
  void SearchIn(const String& Folder, TOpenFolder& listing);
  void SearchThreadDone();

  std::unique_ptr<TSearchCriteria> fCriteria;
  std::atomic<bool> fAborted{false};
  std::atomic<bool> fBusy{false};
  std::atomic<uint16_t> fCurrentLevel{0};

  std::unique_ptr<TSearchCriteria> ActiveCriteria;
  TTargetPath* ActiveTarget = nullptr;
  const TMaskFilter* ActiveMasks = nullptr;  // the active target's
  uint32_t SubfolderOffAttrs = 0;
  bool NeedsStatus = false;  // of the active criteria
  bool RecDescribed = false;  // whether the entry in hand was described in full
  std::set<std::pair<dev_t, ino_t>> VisitedFolders;  // of the active target
  TSearchThread* SearchThread = nullptr;
  // Shared with the queued end notice, which does nothing once the component
  // has gone.
  std::shared_ptr<TNoticeToken> fNoticeToken;
};
