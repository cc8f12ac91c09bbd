// The file-search component: walks target folders depth first and reports
// every entry that its criteria accept.

#include "filesearch/FindFile.h"

#include <dirent.h>

#include <algorithm>
#include <array>

namespace {

// Attributes that keep the walk out of a subfolder when the criteria refuse them.
constexpr uint32_t kSubfolderAttrMask = faHidden | faSysFile | TAttributesCriteria::faDevice | faTemporary |
                                        TAttributesCriteria::faOffline | TAttributesCriteria::faEncrypted |
                                        TAttributesCriteria::faVirtual;
static_assert(kSubfolderAttrMask == 0x15146);

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

  // The tail's last character (lower case), or -1 when the tail cannot tell
  // names apart by their last byte.
  int LastChar() const { return usable_ && !tail_.empty() ? static_cast<unsigned char>(tail_.back()) : -1; }

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

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

// Sorts out, for each name, the masks worth the full matcher. A mask ending
// in a literal ASCII tail (like "*.MP4") can only match a name whose last
// byte, when ASCII, is the tail's last character in either case: the masks
// are filed under that character, so a name meets only its few candidates.
class TFindFile::TMaskFilter {
 public:
  explicit TMaskFilter(const TStringList& masks) {
    for (int m = 0; m < masks.Count(); ++m) {
      masks_.push_back(masks[m]);
      tails_.emplace_back(masks_.back());
      const int last = tails_.back().LastChar();
      (last < 0 ? anyName_ : byLastChar_[static_cast<size_t>(last)]).push_back(static_cast<size_t>(m));
    }
  }

  // Every (mask, entry index) pair where the mask matches the entry's name.
  std::vector<std::pair<size_t, size_t>> Pick(const std::vector<TFolderEntry>& entries) const {
    std::vector<std::pair<size_t, size_t>> picked;
    for (size_t k = 0; k < entries.size(); ++k) {
      const String& name = entries[k].Name;
      const auto consider = [&](size_t m) {
        if (tails_[m].MayMatch(name) && MatchesMask(name, masks_[m])) picked.emplace_back(m, k);
      };
      const auto last = static_cast<unsigned char>(AsciiLower(name.empty() ? '\0' : name.back()));
      if (last >= byLastChar_.size()) {
        for (size_t m = 0; m < masks_.size(); ++m) consider(m);
        continue;
      }
      for (size_t m : byLastChar_[last]) consider(m);
      for (size_t m : anyName_) consider(m);
    }
    return picked;
  }

 private:
  std::vector<String> masks_;
  std::vector<TMaskTail> tails_;
  std::array<std::vector<size_t>, 128> byLastChar_;
  std::vector<size_t> anyName_;  // masks that any name may match
};

// Lets a queued end notice tell whether its component still exists. Only the
// main thread reads or writes Owner.
struct TFindFile::TNoticeToken {
  TFindFile* Owner;
};

// ---------------------------------------------------------------------------
// TFileDetails

TFileDetails::TFileDetails(String ALocation, const TSearchRec& FindData)
    : Location(std::move(ALocation)), Name(FindData.Name), fStatus(FromSearchRec(FindData)) {}

TFileDetails::TStatus TFileDetails::FromSearchRec(const TSearchRec& FindData) {
  TStatus s;
  s.Attributes = static_cast<uint32_t>(FindData.Attr);
  s.Size = FindData.Size;
  // The modification time comes converted already; times equal to it (often
  // all three) need no conversion of their own.
  const auto toLocal = [&FindData](TDateTime utc) {
    return utc == FindData.LastWriteTime ? FindData.Time : FileTimeToLocalDateTime(utc);
  };
  s.CreatedTime = toLocal(FindData.CreationTime);
  s.ModifiedTime = FindData.Time;
  s.AccessedTime = toLocal(FindData.LastAccessTime);
  return s;
}

const TFileDetails::TStatus& TFileDetails::Described() const {
  if (!fStatus) {
    TOpenFolder folder(Location, true);
    TSearchRec rec;
    fStatus = folder.Describe(Name, rec) ? FromSearchRec(rec) : TStatus{};
  }
  return *fStatus;
}

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
  NeedsStatus = ActiveCriteria->NeedsStatus();
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
    const TMaskFilter masks(ActiveTarget->FileMasks());
    ActiveMasks = &masks;
    VisitedFolders.clear();
    // A target folder given as a symlink is followed; links below it are not.
    TOpenFolder folder(ActiveTarget->Folder(), true);
    SearchIn(ActiveTarget->Folder(), folder);
  }
  ActiveTarget = nullptr;
  ActiveMasks = nullptr;
  VisitedFolders.clear();
}

void TFindFile::SearchIn(const String& Folder, TOpenFolder& listing) {
  if (fAborted.load()) return;
  TLevelGuard level(fCurrentLevel);
  // A folder reached a second time (a bind mount of an ancestor) would loop.
  if (listing.Valid() && !VisitedFolders.insert({listing.Device(), listing.Inode()}).second) return;
  const TFolderIgnore ignore = DoFolderChange(Folder);
  if (!listing.Valid()) return;  // unreadable: skipped

  const TTargetPath& target = *ActiveTarget;
  const bool wantFiles = (ignore == fiNone || ignore == fiJustSubfolders) && level.Value() >= target.MinLevel;
  const bool wantFolders = target.Recursive && (ignore == fiNone || ignore == fiJustThis) &&
                           (target.MaxLevel == 0 || target.MaxLevel > level.Value());
  if (!wantFiles && !wantFolders) return;
  const std::vector<TFolderEntry> entries = listing.ReadAll();
  const auto byName = [&entries](size_t a, size_t b) { return ListingOrder(entries[a].Name, entries[b].Name); };
  TSearchRec rec;

  if (wantFiles) {
    // Mask by mask, each in listing order; a name two masks select is reported twice.
    std::vector<std::pair<size_t, size_t>> picked = ActiveMasks->Pick(entries);
    std::sort(picked.begin(), picked.end(), [&byName](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : byName(a.second, b.second);
    });
    for (const auto& [mask, k] : picked) {
      if (fAborted.load()) return;
      const TFolderEntry& entry = entries[k];
      // What the listing tells is enough unless a criterion needs the status;
      // then the entry is described once for criteria and event alike.
      const int typeAttr = NeedsStatus ? -1 : EntryTypeAttributes(entry.Type, entry.Name);
      RecDescribed = typeAttr < 0;
      if (RecDescribed) {
        if (!listing.Describe(entry.Name, rec)) continue;
      } else {
        rec = TSearchRec{};
        rec.Name = entry.Name;
        rec.Attr = typeAttr;
      }
      if (IsAcceptable(Folder, rec)) DoFileMatch(Folder, rec);
    }
  }

  if (wantFolders) {
    const auto enterable = [this](const TSearchRec& r) {
      const auto attr = static_cast<uint32_t>(r.Attr);
      return (attr & faDirectory) && !(attr & faSymLink) && !(attr & SubfolderOffAttrs);
    };
    std::vector<size_t> picked;
    for (size_t k = 0; k < entries.size(); ++k) {
      // Symlinks are never entered: a link to an ancestor would recurse for ever.
      if (entries[k].Type == DT_DIR || entries[k].Type == DT_UNKNOWN) picked.push_back(k);
    }
    std::sort(picked.begin(), picked.end(), byName);
    for (size_t k : picked) {
      if (fAborted.load()) return;
      const String& name = entries[k].Name;
      if (entries[k].Type == DT_DIR) {
        // A listed folder's attributes that can keep the walk out follow from its name.
        if (static_cast<uint32_t>(FolderAttributes(name)) & SubfolderOffAttrs) continue;
      } else if (!listing.Describe(name, rec) || !enterable(rec)) {
        continue;
      }
      TOpenFolder subfolder(listing, name);
      // Gone, or replaced by a file or a link since the listing: not entered.
      // A folder that cannot be read is still announced.
      if (!subfolder.Valid() && (!listing.Describe(name, rec) || !enterable(rec))) continue;
      SearchIn(Folder + name + PathDelim, subfolder);
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
  // An entry the walk did not describe is described when the handler asks.
  TFileDetails details = RecDescribed ? TFileDetails(Folder, FindData) : TFileDetails(Folder, FindData.Name);
  OnFileMatch(this, details);
}

bool TFindFile::IsAcceptable(const String& Folder, const TSearchRec& FindData) {
  return !fAborted.load() && ActiveCriteria->Matches(Folder, FindData);
}
