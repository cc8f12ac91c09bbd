#include "db/storage/VelqorimDiskBlobs.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZArrays.h"
#include "db/support/DAZExcept.h"

namespace {

constexpr int EngineSession = -2;
constexpr int LargeHeadSize = 32;  // data on a large value's first page starts here

template <class T>
T Get(const uint8_t* P) {
  T v;
  std::memcpy(&v, P, sizeof v);
  return v;
}

template <class T>
void Put(uint8_t* P, T V) {
  std::memcpy(P, &V, sizeof V);
}

[[noreturn]] void Damaged(int32_t PageNo) {
  throw EABSException(20294, "Damaged BLOB page. PageNo=%d", {PageNo});
}

// Item 255 names a small entry or a large value; the page's head decides
// which reading comes first, and the other one is the fallback.
template <class Large, class Small>
void ByItemNo(bool Ambiguous, bool Large1st, Large&& DoLarge, Small&& DoSmall) {
  if (!Ambiguous) return Large1st ? DoLarge() : DoSmall();
  try {
    Large1st ? DoLarge() : DoSmall();
  } catch (const std::exception&) {
    Large1st ? DoSmall() : DoLarge();
  }
}

}  // namespace

// ---------------------------------------------------------------- shared page

int TVelqorimSmallBlobPage::BlobCount() const {
  return Get<uint16_t>(LPage->PageData());
}

template <class Visit>
void TVelqorimSmallBlobPage::WalkEntries(Visit&& Fn) const {
  const uint8_t* data = LPage->PageData();
  const int count = BlobCount();
  int64_t offset = 2;
  for (int i = 0; i < count; ++i) {
    if (offset + EntryHeadSize > DataSize()) Damaged(LPage->PageNo);
    const int64_t size = Get<int64_t>(data + offset + 6);
    if (size < 0 || size > DataSize() - offset - EntryHeadSize) Damaged(LPage->PageNo);
    if (!Fn(static_cast<int>(offset), int{Get<uint16_t>(data + offset)}, size)) return;
    offset += EntryHeadSize + size;
  }
}

int TVelqorimSmallBlobPage::EntriesEnd() const {
  int end = 2;
  WalkEntries([&](int Offset, int, int64_t Size) {
    end = Offset + EntryHeadSize + static_cast<int>(Size);
    return true;
  });
  return end;
}

int TVelqorimSmallBlobPage::FindEntry(int ID) const {
  int found = -1;
  WalkEntries([&](int Offset, int EntryID, int64_t) {
    if (EntryID == ID) found = Offset;
    return found < 0;
  });
  return found;
}

int TVelqorimSmallBlobPage::GetNewBlobID() const {
  const int count = BlobCount();
  if (count >= VelqorimLargeBlobItemNo) throw EABSException(20172, "Invalid blob field ID");
  std::vector<bool> used(65536);
  WalkEntries([&](int, int EntryID, int64_t) {
    used[EntryID] = true;
    return true;
  });
  for (int k = 0, id = count; k < 65536; ++k, id = id + 1 >= VelqorimLargeBlobItemNo ? 0 : id + 1)
    if (!used[id] && id != VelqorimAmbiguousBlobItemNo) return id;
  throw EABSException(20172, "Invalid blob field ID");
}

void TVelqorimSmallBlobPage::AddBlob(const TVelqorimDiskBlobCache& BlobCache, TABSPageItemID& PageItemID) {
  const int id = GetNewBlobID();
  const int offset = EntriesEnd();
  const auto size = static_cast<int64_t>(BlobCache.BlobData.size());
  if (offset + EntryHeadSize + size > DataSize()) Damaged(LPage->PageNo);
  uint8_t* entry = LPage->PageData() + offset;
  Put<uint16_t>(entry, static_cast<uint16_t>(id));
  Put<int32_t>(entry + 2, BlobCache.NumBlocks);
  Put<int64_t>(entry + 6, size);
  Put<int64_t>(entry + 14, BlobCache.UncompressedSize);
  if (size > 0) std::memcpy(entry + EntryHeadSize, BlobCache.BlobData.data(), static_cast<size_t>(size));
  Put<uint16_t>(LPage->PageData(), static_cast<uint16_t>(BlobCount() + 1));
  LPage->IsDirty = true;
  PageItemID = {LPage->PageNo, static_cast<uint16_t>(id)};
}

void TVelqorimSmallBlobPage::DeleteBlob(TABSPageItemID PageItemID, int& BlobSize) {
  const int offset = FindEntry(PageItemID.PageItemNo);
  if (offset < 0) throw EABSException(20171, "Cannot find blob field");
  const int end = EntriesEnd();
  uint8_t* data = LPage->PageData();
  BlobSize = EntryHeadSize + static_cast<int>(Get<int64_t>(data + offset + 6));
  std::memmove(data + offset, data + offset + BlobSize, static_cast<size_t>(end - offset - BlobSize));
  Put<uint16_t>(data, static_cast<uint16_t>(BlobCount() - 1));
  LPage->IsDirty = true;
}

bool TVelqorimSmallBlobPage::ReadBlob(TVelqorimDiskBlobCache& BlobCache, TABSPageItemID PageItemID) const {
  const int offset = FindEntry(PageItemID.PageItemNo);
  if (offset < 0) return false;
  const uint8_t* entry = LPage->PageData() + offset;
  const auto size = Get<int64_t>(entry + 6);
  BlobCache.NumBlocks = Get<int32_t>(entry + 2);
  BlobCache.UncompressedSize = Get<int64_t>(entry + 14);
  BlobCache.Modified = false;
  BlobCache.BlobData.assign(entry + EntryHeadSize, entry + EntryHeadSize + size);
  return true;
}

// ---------------------------------------------------------------- manager

struct TVelqorimDiskBlobManager::TLargeBlobHead {
  int32_t FirstPageNo = -1;
  int32_t NumBlocks = 0;
  int64_t StoredSize = 0;
  int64_t UncompressedSize = 0;
  int32_t ListPageNo = -1;
  uint16_t ListOffset = 0;
  int32_t ListCount = 0;
  std::vector<int32_t> DataPages;  // the list: every data page in data order
  std::vector<int32_t> ListPages;  // the pages holding the list
};

TVelqorimDiskBlobManager::TVelqorimDiskBlobManager(TVelqorimDiskPageManager* PageManager,
                                                   TVelqorimBaseFieldManager* FieldManager,
                                                   TVelqorimBaseRecordManager* RecordManager)
    : LPageManager(PageManager),
      LFieldManager(FieldManager),
      LRecordManager(RecordManager),
      FBlobPageIndex(std::make_unique<TVelqorimBTreeBlobPageIndex>(PageManager)) {}

TVelqorimDiskBlobManager::~TVelqorimDiskBlobManager() = default;

void TVelqorimDiskBlobManager::CheckCachesReleased() const {
  if (FBlobCacheList.LiveCount() > 0) throw EABSException(20150, "Blob cache not released");
}

void TVelqorimDiskBlobManager::LoadMetadata(TStream& Stream) {
  int32_t root;
  Stream.ReadBuffer(&root, 4);
  FBlobPageIndex->OpenIndex(root);
}

void TVelqorimDiskBlobManager::SaveMetadata(TStream& Stream) const {
  const int32_t root = FBlobPageIndex->RootPageNo();
  Stream.WriteBuffer(&root, 4);
}

void TVelqorimDiskBlobManager::CreateBlobPageIndex() {
  FBlobPageIndex->CreateIndex(EngineSession);
}

bool TVelqorimDiskBlobManager::IsBlobField(int FieldNo) const {
  return IsBlobBaseFieldType(LFieldManager->FieldDefs[FieldNo]->BaseFieldType);
}

void TVelqorimDiskBlobManager::Empty(int SessionID) {
  if (!LFieldManager->BlobFieldsPresent()) return;
  std::vector<uint8_t> record(static_cast<size_t>(LFieldManager->FieldDefs.GetMemoryRecordBufferSize()));
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmNext;
  nav.FirstPosition = true;
  nav.RecordBuffer = record.data();
  for (LRecordManager->GetRecordBuffer(SessionID, nav); nav.GetRecordResult == grrOK;
       LRecordManager->GetRecordBuffer(SessionID, nav))
    DeleteBlobs(SessionID, record.data());
  FBlobPageIndex->EmptyIndex(SessionID);
}

void TVelqorimDiskBlobManager::Delete(int SessionID) {
  if (!LFieldManager->BlobFieldsPresent()) return;
  Empty(SessionID);
  FBlobPageIndex->DropIndex(SessionID);
}

bool TVelqorimDiskBlobManager::IsNull(const uint8_t* RecordBuffer, int FieldNo) const {
  return GetBitInBuffer(FieldNo, RecordBuffer);
}

TABSPageItemID TVelqorimDiskBlobManager::Location(const uint8_t* RecordBuffer, int FieldNo) const {
  return Get<TABSPageItemID>(RecordBuffer + LFieldManager->FieldDefs[FieldNo]->MemoryOffset);
}

void TVelqorimDiskBlobManager::SetLocation(uint8_t* RecordBuffer, int FieldNo,
                                           TABSPageItemID aLocation) const {
  Put(RecordBuffer + LFieldManager->FieldDefs[FieldNo]->MemoryOffset, aLocation);
}

void TVelqorimDiskBlobManager::SetCacheHandle(uint8_t* RecordBuffer, int FieldNo, uint32_t Handle) const {
  Put(RecordBuffer + LFieldManager->FieldDefs[FieldNo]->MemoryOffset + sizeof(TABSPageItemID), Handle);
}

TVelqorimDiskBlobCache* TVelqorimDiskBlobManager::Cache(const uint8_t* RecordBuffer, int FieldNo) {
  if (RecordBuffer == nullptr) return nullptr;
  return FBlobCacheList.Find(
      Get<uint32_t>(RecordBuffer + LFieldManager->FieldDefs[FieldNo]->MemoryOffset + sizeof(TABSPageItemID)));
}

TVelqorimDiskBlobCache& TVelqorimDiskBlobManager::CreateBlobCache(uint8_t* RecordBuffer, int FieldNo) {
  const uint64_t handle = FBlobCacheList.Add(TVelqorimDiskBlobCache{});
  SetCacheHandle(RecordBuffer, FieldNo, static_cast<uint32_t>(handle));
  return *FBlobCacheList.Find(handle);
}

void TVelqorimDiskBlobManager::FreeBlobCache(uint8_t* RecordBuffer, int FieldNo, bool ForceClear) {
  TVelqorimDiskBlobCache* cache = Cache(RecordBuffer, FieldNo);
  if (cache == nullptr || (cache->Modified && !ForceClear)) return;
  FBlobCacheList.Release(
      Get<uint32_t>(RecordBuffer + LFieldManager->FieldDefs[FieldNo]->MemoryOffset + sizeof(TABSPageItemID)));
  SetCacheHandle(RecordBuffer, FieldNo, 0);
}

void TVelqorimDiskBlobManager::ClearBlobInRecordBuffer(uint8_t* RecordBuffer, int FieldNo, bool ForceClear) {
  if (RecordBuffer != nullptr) FreeBlobCache(RecordBuffer, FieldNo, ForceClear);
}

// ---------------------------------------------------------------- storing

TABSPageItemID TVelqorimDiskBlobManager::WriteStoredBlob(int SessionID,
                                                         const TVelqorimDiskBlobCache& aCache) {
  return IsSmallBlob(static_cast<int64_t>(aCache.BlobData.size())) ? WriteSmallBlob(SessionID, aCache)
                                                                   : WriteLargeBlob(SessionID, aCache);
}

TABSPageItemID TVelqorimDiskBlobManager::WriteSmallBlob(int SessionID, const TVelqorimDiskBlobCache& aCache) {
  const int need = static_cast<int>(aCache.BlobData.size()) + TVelqorimSmallBlobPage::EntryHeadSize;
  const int d = LPageManager->PageDataSize();
  int32_t pageNo;
  TVelqorimPage* page = FBlobPageIndex->FindPageForNewBlob(SessionID, need, pageNo)
                            ? LPageManager->GetPage(SessionID, pageNo, ptTableBlob)
                            : LPageManager->AddPage(SessionID, ptTableBlob);
  TVelqorimPageHolder hold(*LPageManager, page);
  TVelqorimSmallBlobPage view(page);
  const int end = view.EntriesEnd();
  if (end + need > d)
    throw EABSException(
        20290,
        "Cannot add blob. Page is full: BlobCount=%d, BlobOffset=%d, BlobSize=%d, PageDataSize=%d, "
        "SizeInBlobPageIndex=%d",
        {view.BlobCount(), end, need, d, FBlobPageIndex->GetBlobPageAllocatedSpace(SessionID, page->PageNo)});
  TABSPageItemID id;
  view.AddBlob(aCache, id);
  FBlobPageIndex->AddBlob(SessionID, need, page->PageNo);
  return id;
}

TABSPageItemID TVelqorimDiskBlobManager::WriteLargeBlob(int SessionID, const TVelqorimDiskBlobCache& aCache) {
  const int64_t d = LPageManager->PageDataSize();
  const auto size = static_cast<int64_t>(aCache.BlobData.size());
  const uint8_t* src = aCache.BlobData.data();
  std::vector<int32_t> dataPages;
  int64_t lastUsed;
  {
    TVelqorimPageHolder first(*LPageManager, LPageManager->AddPage(SessionID, ptTableBlob));
    uint8_t* data = first->PageData();
    Put<uint16_t>(data, 0);
    Put<int32_t>(data + 2, aCache.NumBlocks);
    Put<int64_t>(data + 6, size);
    Put<int64_t>(data + 14, aCache.UncompressedSize);
    const int64_t n = std::min(size, d - LargeHeadSize);
    std::memcpy(data + LargeHeadSize, src, static_cast<size_t>(n));
    dataPages.push_back(first->PageNo);
    lastUsed = LargeHeadSize + n;
  }
  for (int64_t done = std::min(size, d - LargeHeadSize); done < size;) {
    TVelqorimPageHolder page(*LPageManager, LPageManager->AddPage(SessionID, ptTableBlob));
    const int64_t n = std::min(size - done, d);
    std::memcpy(page->PageData(), src + done, static_cast<size_t>(n));
    dataPages.push_back(page->PageNo);
    lastUsed = n;
    done += n;
  }

  // The page list, right after the data when the last data page has room.
  int32_t listPageNo = dataPages.back();
  int64_t offset = lastUsed;
  std::unique_ptr<TVelqorimPageHolder> listPage;
  if (offset >= d) {
    listPage =
        std::make_unique<TVelqorimPageHolder>(*LPageManager, LPageManager->AddPage(SessionID, ptTableBlob));
    listPageNo = listPage->Get()->PageNo;
    offset = 0;
  } else {
    listPage = std::make_unique<TVelqorimPageHolder>(
        *LPageManager, LPageManager->GetPage(SessionID, listPageNo, ptTableBlob));
  }
  const auto listOffset = static_cast<uint16_t>(offset);
  for (size_t written = 0; written < dataPages.size();) {
    TVelqorimPage* page = listPage->Get();
    const size_t fit = static_cast<size_t>((d - offset) / 4);
    const size_t n = std::min(fit, dataPages.size() - written);
    std::memcpy(page->PageData() + offset, dataPages.data() + written, n * 4);
    page->IsDirty = true;
    written += n;
    offset += static_cast<int64_t>(n) * 4;
    if (written < dataPages.size()) {
      TVelqorimPage* next = LPageManager->AddPage(SessionID, ptTableBlob);
      page->PageHeader()->NextPageNo = next->PageNo;
      listPage = std::make_unique<TVelqorimPageHolder>(*LPageManager, next);
      offset = 0;
    }
  }
  listPage.reset();

  TVelqorimPageHolder first(*LPageManager, LPageManager->GetPage(SessionID, dataPages.front(), ptTableBlob));
  Put<int32_t>(first->PageData() + 22, listPageNo);
  Put<uint16_t>(first->PageData() + 26, listOffset);
  Put<int32_t>(first->PageData() + 28, static_cast<int32_t>(dataPages.size()));
  first->IsDirty = true;
  return {dataPages.front(), VelqorimLargeBlobItemNo};
}

// ---------------------------------------------------------------- reading

TVelqorimDiskBlobManager::TLargeBlobHead TVelqorimDiskBlobManager::ReadLargeHead(int SessionID,
                                                                                 int32_t FirstPageNo) {
  TLargeBlobHead head;
  head.FirstPageNo = FirstPageNo;
  {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, FirstPageNo, ptTableBlob));
    const uint8_t* data = page->PageData();
    head.NumBlocks = Get<int32_t>(data + 2);
    head.StoredSize = Get<int64_t>(data + 6);
    head.UncompressedSize = Get<int64_t>(data + 14);
    head.ListPageNo = Get<int32_t>(data + 22);
    head.ListOffset = Get<uint16_t>(data + 26);
    head.ListCount = Get<int32_t>(data + 28);
  }
  // The list must name exactly the pages the size needs, and no more pages
  // than the file has: nothing read from the page decides an allocation alone.
  const int64_t d = LPageManager->PageDataSize();
  const int64_t s = head.StoredSize;
  if (s < 0 || head.UncompressedSize < 0 || head.ListOffset > d || head.ListCount < 1 ||
      head.ListCount > LPageManager->GetPageCount())
    Damaged(FirstPageNo);
  const int64_t needed = s <= d - LargeHeadSize ? 1 : 1 + (s - (d - LargeHeadSize) + d - 1) / d;
  if (needed != head.ListCount) Damaged(FirstPageNo);
  return head;
}

void TVelqorimDiskBlobManager::ReadPageList(int SessionID, TLargeBlobHead& Head) {
  const int64_t d = LPageManager->PageDataSize();
  const int32_t pageCount = LPageManager->GetPageCount();
  int32_t pageNo = Head.ListPageNo;
  int64_t offset = Head.ListOffset;
  Head.DataPages.clear();
  Head.ListPages.clear();
  while (static_cast<int64_t>(Head.DataPages.size()) < Head.ListCount) {
    if (static_cast<int64_t>(Head.ListPages.size()) >= pageCount) Damaged(Head.FirstPageNo);
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, pageNo, ptTableBlob));
    Head.ListPages.push_back(pageNo);
    const int64_t n =
        std::min<int64_t>((d - offset) / 4, Head.ListCount - static_cast<int64_t>(Head.DataPages.size()));
    for (int64_t i = 0; i < n; ++i) Head.DataPages.push_back(Get<int32_t>(page->PageData() + offset + i * 4));
    pageNo = page->PageHeader()->NextPageNo;
    offset = 0;
  }
  if (Head.DataPages.front() != Head.FirstPageNo) Damaged(Head.FirstPageNo);
}

void TVelqorimDiskBlobManager::ReadLargeBlob(int SessionID, int32_t FirstPageNo,
                                             TVelqorimDiskBlobCache& aCache) {
  TLargeBlobHead head = ReadLargeHead(SessionID, FirstPageNo);
  ReadPageList(SessionID, head);
  const int64_t d = LPageManager->PageDataSize();
  std::vector<uint8_t> bytes(static_cast<size_t>(head.StoredSize));
  int64_t done = 0;
  for (size_t i = 0; i < head.DataPages.size() && done < head.StoredSize; ++i) {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, head.DataPages[i], ptTableBlob));
    const int64_t from = i == 0 ? LargeHeadSize : 0;
    const int64_t n = std::min(head.StoredSize - done, d - from);
    std::memcpy(bytes.data() + done, page->PageData() + from, static_cast<size_t>(n));
    done += n;
  }
  aCache.NumBlocks = head.NumBlocks;
  aCache.UncompressedSize = head.UncompressedSize;
  aCache.Modified = false;
  aCache.BlobData = std::move(bytes);
}

void TVelqorimDiskBlobManager::ReadSmallBlob(int SessionID, TABSPageItemID aLocation,
                                             TVelqorimDiskBlobCache& aCache) {
  TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, aLocation.PageNo, ptTableBlob));
  // A location whose entry is gone is an error, not an empty value.
  if (!TVelqorimSmallBlobPage(page.Get()).ReadBlob(aCache, aLocation))
    throw EABSException(20171, "Cannot find blob field");
}

bool TVelqorimDiskBlobManager::LooksLikeLargeBlob(int SessionID, int32_t PageNo) {
  try {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, PageNo, ptTableBlob));
    const int64_t d = LPageManager->PageDataSize();
    const int64_t s = Get<int64_t>(page->PageData() + 6);
    const int64_t n = Get<int32_t>(page->PageData() + 28);
    return (n - 2) * d < s && s < n * d;
  } catch (const std::exception&) {
    return false;
  }
}

void TVelqorimDiskBlobManager::ReadStoredBlob(int SessionID, TABSPageItemID aLocation,
                                              TVelqorimDiskBlobCache& aCache) {
  const bool ambiguous = aLocation.PageItemNo == VelqorimAmbiguousBlobItemNo;
  const bool large = aLocation.PageItemNo == VelqorimLargeBlobItemNo ||
                     (ambiguous && LooksLikeLargeBlob(SessionID, aLocation.PageNo));
  ByItemNo(
      ambiguous, large, [&] { ReadLargeBlob(SessionID, aLocation.PageNo, aCache); },
      [&] { ReadSmallBlob(SessionID, aLocation, aCache); });
}

void TVelqorimDiskBlobManager::ReadBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo) {
  if (Cache(RecordBuffer, FieldNo) != nullptr || IsNull(RecordBuffer, FieldNo)) return;
  const TABSPageItemID where = Location(RecordBuffer, FieldNo);
  if (!HasStoredValue(where)) return;
  TVelqorimDiskBlobCache value;
  ReadStoredBlob(SessionID, where, value);
  CreateBlobCache(RecordBuffer, FieldNo) = std::move(value);
}

// ---------------------------------------------------------------- freeing

void TVelqorimDiskBlobManager::DeleteSmallBlob(int SessionID, TABSPageItemID aLocation) {
  int size, left;
  {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, aLocation.PageNo, ptTableBlob));
    TVelqorimSmallBlobPage view(page.Get());
    view.DeleteBlob(aLocation, size);
    left = view.BlobCount();
  }
  if (left == 0) LPageManager->RemovePage(SessionID, aLocation.PageNo);
  FBlobPageIndex->DeleteBlob(SessionID, size, aLocation.PageNo);
}

void TVelqorimDiskBlobManager::DeleteLargeBlob(int SessionID, int32_t FirstPageNo) {
  TLargeBlobHead head = ReadLargeHead(SessionID, FirstPageNo);
  ReadPageList(SessionID, head);
  // Each page once, however the list names them.
  std::set<int32_t> pages(head.DataPages.begin(), head.DataPages.end());
  pages.insert(head.ListPages.begin(), head.ListPages.end());
  for (const int32_t p : pages) LPageManager->RemovePage(SessionID, p);
}

void TVelqorimDiskBlobManager::DeleteStoredBlob(int SessionID, TABSPageItemID& aLocation) {
  const bool ambiguous = aLocation.PageItemNo == VelqorimAmbiguousBlobItemNo;
  const bool large = aLocation.PageItemNo == VelqorimLargeBlobItemNo ||
                     (ambiguous && LooksLikeLargeBlob(SessionID, aLocation.PageNo));
  ByItemNo(
      ambiguous, large, [&] { DeleteLargeBlob(SessionID, aLocation.PageNo); },
      [&] { DeleteSmallBlob(SessionID, aLocation); });
  aLocation = {-1, 0xFFFF};
}

// ---------------------------------------------------------------- record buffers

void TVelqorimDiskBlobManager::WriteBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo) {
  TVelqorimDiskBlobCache* cache = Cache(RecordBuffer, FieldNo);
  if (cache == nullptr || !cache->Modified) return;
  TABSPageItemID where = Location(RecordBuffer, FieldNo);
  if (HasStoredValue(where)) DeleteStoredBlob(SessionID, where);
  if (cache->UncompressedSize > 0) where = WriteStoredBlob(SessionID, *cache);
  SetLocation(RecordBuffer, FieldNo, where);
  cache->Modified = false;
  ClearBlobInRecordBuffer(RecordBuffer, FieldNo, false);
}

void TVelqorimDiskBlobManager::WriteBlobs(int SessionID, uint8_t* RecordBuffer) {
  for (int i = 0; i < LFieldManager->FieldDefs.Count(); ++i)
    if (IsBlobField(i)) WriteBlob(SessionID, RecordBuffer, i);
}

void TVelqorimDiskBlobManager::DeleteBlob(int SessionID, uint8_t* RecordBuffer, int FieldNo) {
  if (IsNull(RecordBuffer, FieldNo)) return;
  TABSPageItemID where = Location(RecordBuffer, FieldNo);
  if (HasStoredValue(where)) DeleteStoredBlob(SessionID, where);
  if (TVelqorimDiskBlobCache* cache = Cache(RecordBuffer, FieldNo)) cache->Modified = false;
}

void TVelqorimDiskBlobManager::DeleteBlobs(int SessionID, uint8_t* RecordBuffer) {
  for (int i = 0; i < LFieldManager->FieldDefs.Count(); ++i)
    if (IsBlobField(i)) DeleteBlob(SessionID, RecordBuffer, i);
}

void TVelqorimDiskBlobManager::CopyBlobFromRecordBufferToStream(int SessionID, uint8_t* RecordBuffer,
                                                                int FieldNo,
                                                                TABSBLOBDescriptor& BLOBDescriptor,
                                                                TStream& Stream) {
  if (IsNull(RecordBuffer, FieldNo)) {
    BLOBDescriptor.NumBlocks = 0;
    BLOBDescriptor.UncompressedSize = 0;
    return;
  }
  if (Cache(RecordBuffer, FieldNo) == nullptr) ReadBlob(SessionID, RecordBuffer, FieldNo);
  const TVelqorimDiskBlobCache* cache = Cache(RecordBuffer, FieldNo);
  if (cache == nullptr) throw EABSException(20162, "Cannot read BLOB field value");
  if (!cache->BlobData.empty())
    Stream.WriteBuffer(cache->BlobData.data(), static_cast<int64_t>(cache->BlobData.size()));
  BLOBDescriptor.NumBlocks = cache->NumBlocks;
  BLOBDescriptor.UncompressedSize = cache->UncompressedSize;
}

void TVelqorimDiskBlobManager::CopyBlobFromStreamToRecordBuffer(uint8_t* RecordBuffer, int FieldNo,
                                                                TABSStream& Stream) {
  if (!Stream.Modified()) return;
  auto& local = dynamic_cast<TVelqorimLocalBLOBStream&>(Stream);
  FreeBlobCache(RecordBuffer, FieldNo, true);
  TVelqorimDiskBlobCache value;
  value.NumBlocks = static_cast<int32_t>(local.Compressed().BLOBDescriptor().NumBlocks);
  value.UncompressedSize = local.Compressed().Size();
  value.Modified = true;
  TABSStream& work = local.WorkStream();
  const int64_t size = work.Size();
  if (size > 0) {
    value.BlobData.resize(static_cast<size_t>(size));
    work.SetPosition(0);
    work.ReadBuffer(value.BlobData.data(), size);
  }
  CreateBlobCache(RecordBuffer, FieldNo) = std::move(value);
  SetBitInBuffer(local.Size() == 0, FieldNo, RecordBuffer);
}

void TVelqorimDiskBlobManager::GetDirectBlobInfoFromRecordBuffer(
    int SessionID, uint8_t* RecordBuffer, int FieldNo, TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor,
    uint8_t*& pBlobData) {
  BLOBDescriptor = {};
  pBlobData = nullptr;
  if (IsNull(RecordBuffer, FieldNo)) return;
  if (Cache(RecordBuffer, FieldNo) == nullptr) ReadBlob(SessionID, RecordBuffer, FieldNo);
  TVelqorimDiskBlobCache* cache = Cache(RecordBuffer, FieldNo);
  if (cache == nullptr) throw EABSException(20291, "Cannot read BLOB field value");
  BLOBDescriptor.NumBlocks = cache->NumBlocks;
  BLOBDescriptor.UncompressedSize = cache->UncompressedSize;
  BLOBDescriptor.CompressedSize = static_cast<int64_t>(cache->BlobData.size());
  pBlobData = cache->BlobData.empty() ? nullptr : cache->BlobData.data();
}

void TVelqorimDiskBlobManager::SetDirectBlobInfoFromRecordBuffer(
    int SessionID, uint8_t* RecordBuffer, int FieldNo,
    const TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, const uint8_t* pBlobData) {
  (void)SessionID;
  FreeBlobCache(RecordBuffer, FieldNo, true);
  TVelqorimDiskBlobCache value;
  value.NumBlocks = BLOBDescriptor.NumBlocks;
  value.UncompressedSize = BLOBDescriptor.UncompressedSize;
  value.Modified = true;
  if (BLOBDescriptor.CompressedSize > 0)
    value.BlobData.assign(pBlobData, pBlobData + BLOBDescriptor.CompressedSize);
  CreateBlobCache(RecordBuffer, FieldNo) = std::move(value);
  SetBitInBuffer(BLOBDescriptor.CompressedSize == 0, FieldNo, RecordBuffer);
}
