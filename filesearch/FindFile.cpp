// The file-search component: walks target folders depth first and reports
// every entry that its criteria accept.

#include "filesearch/FindFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Attributes that keep the walk out of a subfolder when the criteria refuse them.
constexpr uint32_t kSubfolderAttrMask = faHidden | faSysFile | TAttributesCriteria::faDevice | faTemporary |
                                        TAttributesCriteria::faOffline | TAttributesCriteria::faEncrypted |
                                        TAttributesCriteria::faVirtual;
static_assert(kSubfolderAttrMask == 0x15146);

struct TDirEntry {
  String Name;
  unsigned char Type;  // d_type; DT_UNKNOWN when the file system does not say
};

// Lists a folder once; the walk then answers every mask and the subfolder
// pass from the list instead of enumerating the folder again per mask.
class TFolderListing {
 public:
  // Opens Folder (a symlink only when followLink); Valid() is false when it
  // cannot be read.
  TFolderListing(const String& Folder, bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(Folder.c_str(), flags);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(dir_ = ::fdopendir(fd))) {
      ::close(fd);
      return;
    }
    Key = {st.st_dev, st.st_ino};
  }
  ~TFolderListing() {
    if (dir_) ::closedir(dir_);
  }
  TFolderListing(const TFolderListing&) = delete;
  TFolderListing& operator=(const TFolderListing&) = delete;

  bool Valid() const { return dir_ != nullptr; }

  // Every entry but "." and "..".
  std::vector<TDirEntry> ReadAll() {
    std::vector<TDirEntry> entries;
    while (struct dirent* e = ::readdir(dir_)) {
      const char* n = e->d_name;
      if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
      entries.push_back({String(n), e->d_type});
    }
    return entries;
  }

  std::pair<dev_t, ino_t> Key{};

 private:
  DIR* dir_ = nullptr;
};

// The enumeration's order: by name ignoring case, then byte order.
bool ListingOrder(const String& a, const String& b) {
  const int c = CompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

// A cheap first test for masks like "*.MP4": a name whose last bytes are
// ASCII and differ from the literal tail cannot match. Anything it cannot
// judge (non-ASCII bytes, tails with "?", the ".*" rule) goes on to the full
// matcher.
class TMaskTail {
 public:
  explicit TMaskTail(const String& mask) {
    const size_t star = mask.rfind('*');
    if (star == String::npos || (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0)) return;
    String tail = mask.substr(star + 1);
    for (char& c : tail) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '?' || u >= 0x80) return;
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    tail_ = std::move(tail);
    usable_ = true;
  }

  bool MayMatch(const String& name) const {
    if (!usable_) return true;
    if (name.size() < tail_.size()) {
      return std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    }
    const char* p = name.data() + (name.size() - tail_.size());
    for (size_t k = 0; k < tail_.size(); ++k) {
      auto c = static_cast<unsigned char>(p[k]);
      if (c >= 0x80) return true;
      if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
      if (c != static_cast<unsigned char>(tail_[k])) return false;
    }
    return true;
  }

 private:
  String tail_;
  bool usable_ = false;
};

// The platform's description of one entry (attributes, size, times), as its
// enumeration gives it. False when the entry vanished meanwhile.
bool ReadEntry(const String& Folder, const String& Name, TSearchRec& rec) {
  // faAnyFile includes hidden, system and directory entries: the criteria judge them.
  int rc = FindFirst(Folder + Name, faAnyFile, rec);
  // A name holding "*" or "?" is taken as a mask: find the entry itself.
  while (rc == ERROR_SUCCESS && rec.Name != Name) rc = FindNext(rec);
  FindClose(rec);
  return rc == ERROR_SUCCESS;
}

// Keeps CurrentLevel in step on every way out of a folder.
class TLevelGuard {
 public:
  explicit TLevelGuard(std::atomic<uint16_t>& level) : level_(level) { level_.fetch_add(1, std::memory_order_relaxed); }
  ~TLevelGuard() { level_.fetch_sub(1, std::memory_order_relaxed); }
  uint16_t Value() const { return level_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint16_t>& level_;
};

}  // namespace

// Lets a queued end notice tell whether its component still exists. Only the
// main thread reads or writes Owner.
struct TFindFile::TNoticeToken {
  TFindFile* Owner;
};

// ---------------------------------------------------------------------------
// TSearchThread

TSearchThread::TSearchThread(TFindFile* AOwner) : TThread(true), Owner(AOwner) {}

TSearchThread::~TSearchThread() { TerminateAndWait(); }

void TSearchThread::Execute() {
  try {
    Owner->Search();
  } catch (...) {
    Failure = std::current_exception();
  }
  // The end notice reaches the main thread after the walk; the token keeps it
  // harmless should the component be freed first.
  std::shared_ptr<TFindFile::TNoticeToken> token = Owner->fNoticeToken;
  QueueInMainThread([token] {
    if (token->Owner) token->Owner->SearchThreadDone();
  });
}

// ---------------------------------------------------------------------------
// TFindFile

TFindFile::TFindFile(TComponent* AOwner)
    : TComponent(AOwner),
      fCriteria(std::make_unique<TSearchCriteria>()),
      fNoticeToken(std::make_shared<TNoticeToken>(TNoticeToken{this})) {}

TFindFile::~TFindFile() {
  Destroying();
  fNoticeToken->Owner = nullptr;
  Abort();
  if (SearchThread) {
    // The thread still reads the criteria snapshot and this component: wait
    // for it before anything goes.
    SearchThread->WaitFor();
    delete SearchThread;
    SearchThread = nullptr;
    EndSearch();
  }
}

void TFindFile::Execute() {
  if (fBusy.load()) return;
  try {
    BeginSearch();
    if (!Threaded) {
      Search();
    } else {
      SearchThread = new TSearchThread(this);
      SearchThread->SetPriority(ThreadPriority);
      SearchThread->Start();
      return;
    }
  } catch (...) {
    if (SearchThread && !SearchThread->ThreadID()) {
      delete SearchThread;  // never started
      SearchThread = nullptr;
    }
    if (!SearchThread) EndSearch();
    throw;
  }
  EndSearch();
}

void TFindFile::Abort() {
  if (fBusy.load()) fAborted.store(true);
}

void TFindFile::BeginSearch() {
  fBusy.store(true);
  fAborted.store(false);
  ActiveCriteria = std::make_unique<TSearchCriteria>();
  ActiveCriteria->Assign(*fCriteria);
  SubfolderOffAttrs = ActiveCriteria->Attributes().OffAttributes() & kSubfolderAttrMask;
  DoSearchBegin();
}

void TFindFile::EndSearch() {
  ActiveCriteria.reset();
  fBusy.store(false);
  DoSearchFinish();
}

void TFindFile::SearchThreadDone() {
  TSearchThread* thread = SearchThread;
  if (!thread) return;
  thread->WaitFor();
  const std::exception_ptr failure = thread->Failure;
  SearchThread = nullptr;
  delete thread;
  EndSearch();
  // Raised on the main thread, where the application shows it.
  if (failure) std::rethrow_exception(failure);
}

void TFindFile::Search() {
  TTargetPaths& targets = ActiveCriteria->Files().GetTargetPaths();
  for (int i = 0; i < targets.Count() && !fAborted.load(); ++i) {
    fCurrentLevel.store(0, std::memory_order_relaxed);
    ActiveTarget = &targets.Items(i);
    VisitedFolders.clear();
    // A target folder given as a symlink is followed; links below it are not.
    SearchIn(ActiveTarget->Folder(), true);
  }
  ActiveTarget = nullptr;
  VisitedFolders.clear();
}

void TFindFile::SearchIn(const String& Folder, bool followLink) {
  if (fAborted.load()) return;
  TLevelGuard level(fCurrentLevel);
  TFolderListing listing(Folder, followLink);
  // A folder reached a second time (a bind mount of an ancestor) would loop.
  if (listing.Valid() && !VisitedFolders.insert(listing.Key).second) return;
  const TFolderIgnore ignore = DoFolderChange(Folder);
  if (!listing.Valid()) return;  // unreadable: skipped

  const TTargetPath& target = *ActiveTarget;
  const bool wantFiles = (ignore == fiNone || ignore == fiJustSubfolders) && level.Value() >= target.MinLevel;
  const bool wantFolders = target.Recursive && (ignore == fiNone || ignore == fiJustThis) &&
                           (target.MaxLevel == 0 || target.MaxLevel > level.Value());
  if (!wantFiles && !wantFolders) return;
  const std::vector<TDirEntry> entries = listing.ReadAll();
  const auto byName = [&entries](size_t a, size_t b) { return ListingOrder(entries[a].Name, entries[b].Name); };
  std::vector<size_t> picked;
  TSearchRec rec;

  if (wantFiles) {
    // Mask by mask, each in listing order; a name two masks select is reported twice.
    const TStringList& masks = target.FileMasks();
    for (int m = 0; m < masks.Count(); ++m) {
      const String mask = masks[m];
      const TMaskTail tail(mask);
      picked.clear();
      for (size_t k = 0; k < entries.size(); ++k) {
        if (tail.MayMatch(entries[k].Name) && MatchesMask(entries[k].Name, mask)) picked.push_back(k);
      }
      std::sort(picked.begin(), picked.end(), byName);
      for (size_t k : picked) {
        if (fAborted.load()) return;
        if (ReadEntry(Folder, entries[k].Name, rec) && IsAcceptable(Folder, rec)) DoFileMatch(Folder, rec);
      }
    }
  }

  if (wantFolders) {
    picked.clear();
    for (size_t k = 0; k < entries.size(); ++k) {
      // Symlinks are never entered: a link to an ancestor would recurse for ever.
      if (entries[k].Type == DT_DIR || entries[k].Type == DT_UNKNOWN) picked.push_back(k);
    }
    std::sort(picked.begin(), picked.end(), byName);
    for (size_t k : picked) {
      if (fAborted.load()) return;
      if (!ReadEntry(Folder, entries[k].Name, rec)) continue;
      const auto attr = static_cast<uint32_t>(rec.Attr);
      if ((attr & faDirectory) && !(attr & faSymLink) && !(attr & SubfolderOffAttrs))
        SearchIn(Folder + entries[k].Name + PathDelim, false);
    }
  }
}

void TFindFile::DoSearchBegin() {
  if (OnSearchBegin) OnSearchBegin(this);
}

void TFindFile::DoSearchFinish() {
  if (OnSearchFinish && !(ComponentState() & csDestroying)) OnSearchFinish(this);
}

TFolderIgnore TFindFile::DoFolderChange(const String& Folder) {
  TFolderIgnore ignore = fiNone;
  if (!fAborted.load() && OnFolderChange) OnFolderChange(this, Folder, ignore);
  return ignore;
}

void TFindFile::DoFileMatch(const String& Folder, const TSearchRec& FindData) {
  if (fAborted.load() || !OnFileMatch) return;
  TFileDetails details;
  details.Location = Folder;
  details.Name = FindData.Name;
  details.Attributes = static_cast<uint32_t>(FindData.Attr);
  details.Size = FindData.Size;
  details.CreatedTime = FileTimeToLocalDateTime(FindData.CreationTime);
  details.ModifiedTime = FileTimeToLocalDateTime(FindData.LastWriteTime);
  details.AccessedTime = FileTimeToLocalDateTime(FindData.LastAccessTime);
  OnFileMatch(this, details);
}

bool TFindFile::IsAcceptable(const String& Folder, const TSearchRec& FindData) {
  return !fAborted.load() && ActiveCriteria->Matches(Folder, FindData);
}
