#include "db/storage/VelqorimDiskRecords.h"

#include <bit>
#include <cstring>

#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"

namespace {

constexpr uint16_t AnyPageType = 255;
constexpr int32_t HighestTrustedState = 2147483645;  // freed pages carry 0x7FFFFFFF
constexpr int EngineSession = -2;

}  // namespace

// ---------------------------------------------------------------- page view

TVelqorimSmallRecordPage::TVelqorimSmallRecordPage(TVelqorimPage* Page, int RecordBufferSize,
                                                   int MaxRecordsOnPage)
    : LPage(Page),
      FRecordBufferSize(RecordBufferSize),
      FMaxRecordsOnPage(MaxRecordsOnPage),
      FRecordDataOffset((MaxRecordsOnPage + 7) / 8) {
  if (RecordBufferSize <= 0 || MaxRecordsOnPage <= 0 ||
      int64_t{FRecordDataOffset} + int64_t{MaxRecordsOnPage} * RecordBufferSize > Page->PageDataSize())
    throw EABSException(20140, "Invalid number of records on page");
}

bool TVelqorimSmallRecordPage::SlotUsed(int Slot) const {
  return Slot >= 0 && Slot < FMaxRecordsOnPage && (LPage->PageData()[Slot / 8] >> (Slot % 8) & 1) != 0;
}

void TVelqorimSmallRecordPage::SetSlotUsed(int Slot, bool Used) {
  uint8_t& byte = LPage->PageData()[Slot / 8];
  const auto bit = static_cast<uint8_t>(1u << (Slot % 8));
  byte = Used ? byte | bit : byte & ~bit;
  LPage->IsDirty = true;
}

uint8_t* TVelqorimSmallRecordPage::SlotData(int Slot) const {
  return LPage->PageData() + FRecordDataOffset + static_cast<size_t>(Slot) * FRecordBufferSize;
}

int TVelqorimSmallRecordPage::FindSlot(int Slot, int Step, bool Used) const {
  const uint8_t* bits = LPage->PageData();
  const uint8_t none = Used ? 0x00 : 0xFF;  // a bitmap byte without a slot of the kind looked for
  const int byteStart = Step > 0 ? 0 : 7;
  while (Slot >= 0 && Slot < FMaxRecordsOnPage) {
    if (Slot % 8 == byteStart && bits[Slot / 8] == none) {
      Slot += 8 * Step;
      continue;
    }
    if (SlotUsed(Slot) == Used) return Slot;
    Slot += Step;
  }
  return -1;
}

int TVelqorimSmallRecordPage::RecordCount() const {
  const uint8_t* bits = LPage->PageData();
  int count = 0;
  for (int i = 0; i < FMaxRecordsOnPage / 8; ++i) count += std::popcount(bits[i]);
  if (FMaxRecordsOnPage % 8 != 0)  // bits beyond the last slot do not count
    count += std::popcount(
        static_cast<uint8_t>(bits[FMaxRecordsOnPage / 8] & ((1u << (FMaxRecordsOnPage % 8)) - 1)));
  return count;
}

void TVelqorimSmallRecordPage::AddRecord(const uint8_t* RecordBuffer, TABSPageItemID& RecordID) {
  const int slot = FindSlot(0, 1, false);
  if (slot < 0) throw EABSException(20141, "Cannot add record to page. Page is full");
  SetSlotUsed(slot, true);
  std::memcpy(SlotData(slot), RecordBuffer, FRecordBufferSize);
  RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
}

bool TVelqorimSmallRecordPage::UpdateRecord(const uint8_t* RecordBuffer, TABSPageItemID RecordID) {
  if (!SlotUsed(RecordID.PageItemNo)) return false;
  std::memcpy(SlotData(RecordID.PageItemNo), RecordBuffer, FRecordBufferSize);
  LPage->IsDirty = true;
  return true;
}

bool TVelqorimSmallRecordPage::DeleteRecord(TABSPageItemID RecordID) {
  if (!SlotUsed(RecordID.PageItemNo)) return false;
  SetSlotUsed(RecordID.PageItemNo, false);
  return true;
}

bool TVelqorimSmallRecordPage::GetRecordBuffer(TABSPageItemID RecordID, uint8_t* RecordBuffer) const {
  if (!SlotUsed(RecordID.PageItemNo)) return false;
  std::memcpy(RecordBuffer, SlotData(RecordID.PageItemNo), FRecordBufferSize);
  return true;
}

void TVelqorimSmallRecordPage::GetFirstRecordID(TABSPageItemID& RecordID) const {
  const int slot = FindSlot(0, 1, true);
  if (slot < 0)
    throw EABSException(20143, "Record not found. PageNo=%d, PageRecordCount=%d",
                        {LPage->PageNo, RecordCount()});
  RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
}

void TVelqorimSmallRecordPage::GetLastRecordID(TABSPageItemID& RecordID) const {
  const int slot = FindSlot(FMaxRecordsOnPage - 1, -1, true);
  if (slot < 0) throw EABSException(20144, "Record not found");
  RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
}

bool TVelqorimSmallRecordPage::GetNextRecordID(TABSPageItemID& RecordID) const {
  const int slot = FindSlot(RecordID.PageItemNo + 1, 1, true);
  if (slot < 0) return false;
  RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
  return true;
}

bool TVelqorimSmallRecordPage::GetPriorRecordID(TABSPageItemID& RecordID) const {
  const int slot = FindSlot(std::min<int>(RecordID.PageItemNo, FMaxRecordsOnPage) - 1, -1, true);
  if (slot < 0) return false;
  RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
  return true;
}

void TVelqorimSmallRecordPage::GetRecordID(int RecNoOnPage, TABSPageItemID& RecordID) const {
  int seen = 0;
  for (int slot = 0; slot < FMaxRecordsOnPage && RecNoOnPage >= 0; ++slot)
    if (SlotUsed(slot) && seen++ == RecNoOnPage) {
      RecordID = {LPage->PageNo, static_cast<uint16_t>(slot)};
      return;
    }
  throw EABSException(20146, "Record not found");
}

void TVelqorimSmallRecordPage::GetRecNoOnPage(TABSPageItemID RecordID, int& RecNoOnPage) const {
  const int end = std::min<int>(RecordID.PageItemNo, FMaxRecordsOnPage);
  RecNoOnPage = 0;
  for (int slot = 0; slot < end; ++slot) RecNoOnPage += SlotUsed(slot);
}

// ---------------------------------------------------------------- manager

TVelqorimDiskRecordManager::TVelqorimDiskRecordManager(TVelqorimDiskPageManager* PageManager,
                                                       TVelqorimBaseFieldManager* FieldManager,
                                                       int32_t aTableID)
    : TableID(aTableID),
      FRecordPageIndex(std::make_unique<TVelqorimBTreeRecordPageIndex>(PageManager)),
      LPageManager(PageManager),
      LFieldManager(FieldManager) {}

TVelqorimDiskRecordManager::~TVelqorimDiskRecordManager() = default;

void TVelqorimDiskRecordManager::Init(int aRecordBufferSize, int aDiskRecordBufferSize, int FieldCount) {
  RecordBufferSize = aRecordBufferSize;
  FDiskRecordBufferSize = aDiskRecordBufferSize;
  FTempDiskRecordBuffer.assign(static_cast<size_t>(std::max(aDiskRecordBufferSize, 0)), 0);
  // floor((D - 1) / (R + 1/8)) in whole numbers.
  const int64_t d = LPageManager->PageDataSize();
  FMaxRecordsOnPage = aDiskRecordBufferSize <= 0
                          ? 0
                          : static_cast<int32_t>(8 * (d - 1) / (8 * int64_t{aDiskRecordBufferSize} + 1));
  if (FMaxRecordsOnPage <= 0)
    throw EABSException(
        20174,
        "Cannot create table. Record is too large to fit in current database page. Please increase "
        "page size of database file or decrease record size");
  FRecordPageIndex->MaxRecordsOnPage = FMaxRecordsOnPage;
  RecordCount = 0;
  TableState = 0;
  FLastAutoIncValues.assign(static_cast<size_t>(std::max(FieldCount, 0)), 0);
}

void TVelqorimDiskRecordManager::LoadMostUpdated(const uint8_t* Buf, int& Offset, int BufSize) {
  if (Offset < 0 || CheckedAdd(Offset, MostUpdatedSize) > BufSize)
    throw EABSException(20293, "Invalid record counters block");
  int32_t state, count;
  std::memcpy(&state, Buf + Offset, 4);
  std::memcpy(&count, Buf + Offset + 4, 4);
  TableState = state;
  RecordCount = static_cast<uint32_t>(count);  // the low half; the high half is cleared
  Offset += MostUpdatedSize;
}

void TVelqorimDiskRecordManager::SaveMostUpdated(uint8_t* Buf, int& Offset, int BufSize) const {
  if (Offset < 0 || CheckedAdd(Offset, MostUpdatedSize) > BufSize)
    throw EABSException(20293, "Invalid record counters block");
  const int32_t state = TableState, count = static_cast<int32_t>(RecordCount);
  std::memcpy(Buf + Offset, &state, 4);
  std::memcpy(Buf + Offset + 4, &count, 4);
  Offset += MostUpdatedSize;
}

void TVelqorimDiskRecordManager::LoadMetadata(TStream& Stream) {
  int32_t root;
  Stream.ReadBuffer(&root, 4);
  FRecordPageIndex->OpenIndex(root);
}

void TVelqorimDiskRecordManager::SaveMetadata(TStream& Stream) const {
  const int32_t root = FRecordPageIndex->RootPageNo();
  Stream.WriteBuffer(&root, 4);
}

void TVelqorimDiskRecordManager::CreateRecordPageIndex() {
  FRecordPageIndex->CreateIndex(EngineSession);
}

bool TVelqorimDiskRecordManager::IsValidRecordPage(const TVelqorimPage& Page) const {
  const TVelqorimDatabaseFreeSpaceManager* fsm = LPageManager->FreeSpaceManager();
  if ((fsm != nullptr && fsm->SuppressDBHeaderErrors) ||
      LPageManager->DBHeader().Version < VelqorimMinimalVersion)
    return true;
  const TVelqorimDiskPageHeader& h = *Page.PageHeader();
  return h.State <= HighestTrustedState && h.PageType == ptTableRecord && h.ObjectID == TableID;
}

void TVelqorimDiskRecordManager::Empty(int SessionID) {
  std::vector<int32_t> pages;
  int32_t page;
  for (bool more = FRecordPageIndex->GetFirstRecordPage(SessionID, page); more;
       more = FRecordPageIndex->GetNextRecordPage(SessionID, page, page))
    pages.push_back(page);
  for (const int32_t p : pages) LPageManager->RemovePage(SessionID, p);
  ++TableState;  // never back to an earlier value: cached pages are stamped with it
  FRecordPageIndex->EmptyIndex(SessionID);
  RecordCount = 0;
}

void TVelqorimDiskRecordManager::Delete(int SessionID) {
  Empty(SessionID);
  FRecordPageIndex->DropIndex(SessionID);
}

bool TVelqorimDiskRecordManager::AddRecord(int SessionID, const uint8_t* RecordBuffer,
                                           TABSPageItemID& RecordID) {
  try {
    int32_t pageNo;
    TVelqorimPage* page;
    if (FRecordPageIndex->FindPageForNewRecord(SessionID, pageNo)) {
      page = LPageManager->GetPage(SessionID, pageNo, ptTableRecord);
    } else {
      page = LPageManager->AddPage(SessionID, ptTableRecord);
      page->PageHeader()->ObjectID = TableID;
    }
    TVelqorimPageHolder hold(*LPageManager, page);
    LFieldManager->MemRecordBufferToDiskRecordBuffer(RecordBuffer, FTempDiskRecordBuffer.data());
    View(page).AddRecord(FTempDiskRecordBuffer.data(), RecordID);
    FRecordPageIndex->AddRecord(SessionID, page->PageNo, 1);
    ++RecordCount;
    ++TableState;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TVelqorimDiskRecordManager::UpdateRecord(int SessionID, const uint8_t* RecordBuffer,
                                              TABSPageItemID RecordID) {
  TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, RecordID.PageNo, ptTableRecord));
  LFieldManager->MemRecordBufferToDiskRecordBuffer(RecordBuffer, FTempDiskRecordBuffer.data());
  if (!View(page.Get()).UpdateRecord(FTempDiskRecordBuffer.data(), RecordID)) return false;
  ++TableState;
  return true;
}

bool TVelqorimDiskRecordManager::DeleteRecord(int SessionID, TABSPageItemID& RecordID) {
  int left;
  {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, RecordID.PageNo, ptTableRecord));
    auto view = View(page.Get());
    if (!view.DeleteRecord(RecordID)) return false;
    left = view.RecordCount();
  }
  --RecordCount;
  ++TableState;
  if (left == 0) LPageManager->RemovePage(SessionID, RecordID.PageNo);
  FRecordPageIndex->DeleteRecord(SessionID, RecordID.PageNo, left);
  return true;
}

void TVelqorimDiskRecordManager::Deliver(const TVelqorimSmallRecordPage& Page,
                                         TABSNavigationInfo& NavigationInfo, TABSPageItemID RecordID,
                                         int ErrorCode) {
  if (!Page.GetRecordBuffer(RecordID, FTempDiskRecordBuffer.data())) {
    if (ErrorCode == 0) return;
    throw EABSException(ErrorCode, "Record not found");
  }
  if (NavigationInfo.RecordBuffer != nullptr)
    LFieldManager->DiskRecordBufferToMemRecordBuffer(FTempDiskRecordBuffer.data(),
                                                     NavigationInfo.RecordBuffer);
  NavigationInfo.RecordID = RecordID;
  NavigationInfo.GetRecordResult = grrOK;
}

void TVelqorimDiskRecordManager::ReadEndRecord(int SessionID, TABSNavigationInfo& NavigationInfo,
                                               bool First) {
  int32_t pageNo;
  if (!(First ? FRecordPageIndex->GetFirstRecordPage(SessionID, pageNo)
              : FRecordPageIndex->GetLastRecordPage(SessionID, pageNo)))
    return;
  TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, pageNo, AnyPageType));
  if (!IsValidRecordPage(*page.Get())) return;
  auto view = View(page.Get());
  TABSPageItemID id;
  First ? view.GetFirstRecordID(id) : view.GetLastRecordID(id);
  Deliver(view, NavigationInfo, id, First ? 20146 : 20148);
}

void TVelqorimDiskRecordManager::ReadNeighbourRecord(int SessionID, TABSNavigationInfo& NavigationInfo,
                                                     bool Forward) {
  const TABSPageItemID from = NavigationInfo.RecordID;
  int32_t nextPageNo;
  {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, from.PageNo, AnyPageType));
    NavigationInfo.GetRecordResult = Forward ? grrEOF : grrBOF;
    if (!IsValidRecordPage(*page.Get())) {
      // Backwards from a page that is no longer the table's: from the end.
      if (Forward) return;
      NavigationInfo.GetRecordResult = grrError;
      return ReadEndRecord(SessionID, NavigationInfo, false);
    }
    auto view = View(page.Get());
    TABSPageItemID id = from;
    if (Forward ? view.GetNextRecordID(id) : view.GetPriorRecordID(id))
      return Deliver(view, NavigationInfo, id, Forward ? 20145 : 20147);
  }
  if (!(Forward ? FRecordPageIndex->GetNextRecordPage(SessionID, from.PageNo, nextPageNo)
                : FRecordPageIndex->GetPriorRecordPage(SessionID, from.PageNo, nextPageNo)))
    return;
  TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, nextPageNo, ptTableRecord));
  auto view = View(page.Get());
  TABSPageItemID id;
  Forward ? view.GetFirstRecordID(id) : view.GetLastRecordID(id);
  Deliver(view, NavigationInfo, id, Forward ? 20146 : 20148);
}

void TVelqorimDiskRecordManager::ReadCurrentRecord(int SessionID, TABSNavigationInfo& NavigationInfo) {
  TVelqorimPageHolder page(*LPageManager,
                           LPageManager->GetPage(SessionID, NavigationInfo.RecordID.PageNo, AnyPageType));
  if (!IsValidRecordPage(*page.Get())) return;
  Deliver(View(page.Get()), NavigationInfo, NavigationInfo.RecordID, 0);
}

void TVelqorimDiskRecordManager::GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo) {
  const TABSGetRecordMode mode = NavigationInfo.GetRecordMode;
  NavigationInfo.GetRecordResult = grrError;
  if (RecordCount == 0) {
    NavigationInfo.GetRecordResult = grrEOF;
    return;
  }
  if (NavigationInfo.FirstPosition) {
    if (mode == grmNext)
      ReadEndRecord(SessionID, NavigationInfo, true);
    else if (mode == grmPrior)
      NavigationInfo.GetRecordResult = grrBOF;
  } else if (NavigationInfo.LastPosition) {
    if (mode == grmPrior)
      ReadEndRecord(SessionID, NavigationInfo, false);
    else if (mode == grmNext)
      NavigationInfo.GetRecordResult = grrEOF;
  } else if (mode == grmCurrent) {
    ReadCurrentRecord(SessionID, NavigationInfo);
  } else {
    ReadNeighbourRecord(SessionID, NavigationInfo, mode == grmNext);
  }
  if (NavigationInfo.GetRecordResult == grrOK)
    NavigationInfo.FirstPosition = NavigationInfo.LastPosition = false;
}

int TVelqorimDiskRecordManager::CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) {
  if (RecordID1.PageNo != RecordID2.PageNo) return RecordID1.PageNo < RecordID2.PageNo ? -1 : 1;
  if (RecordID1.PageItemNo != RecordID2.PageItemNo)
    return RecordID1.PageItemNo < RecordID2.PageItemNo ? -1 : 1;
  return 0;
}

int64_t TVelqorimDiskRecordManager::GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) {
  (void)SessionID, (void)RecordID;
  return RecordCount / 2;
}

void TVelqorimDiskRecordManager::SetRecNo(int SessionID, int64_t RecNo, TABSPageItemID& RecordID) {
  int32_t pageNo, onPage;
  FRecordPageIndex->GetRecordByRecNo(SessionID, RecNo - 1, pageNo, onPage);
  TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, pageNo, ptTableRecord));
  View(page.Get()).GetRecordID(onPage, RecordID);
}

void TVelqorimDiskRecordManager::GetRecNo(int SessionID, TABSPageItemID RecordID, int64_t& RecNo) {
  int onPage;
  {
    TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, RecordID.PageNo, ptTableRecord));
    View(page.Get()).GetRecNoOnPage(RecordID, onPage);
  }
  FRecordPageIndex->GetRecNoByRecord(SessionID, RecordID.PageNo, onPage, RecNo);
  ++RecNo;
}

void TVelqorimDiskRecordManager::RebuildRecordPageIndex(int SessionID) {
  FRecordPageIndex->CreateIndex(SessionID);
  RecordCount = 0;
  const int32_t pageCount = LPageManager->GetPageCount();
  TVelqorimDatabaseFreeSpaceManager* fsm = LPageManager->FreeSpaceManager();
  for (int32_t p = 1; p < pageCount; ++p) {
    if (fsm != nullptr && fsm->IsSystemPage(p)) continue;
    try {
      TVelqorimPageHolder page(*LPageManager, LPageManager->GetPage(SessionID, p, ptTableRecord));
      if (page->PageHeader()->ObjectID != TableID || !IsValidRecordPage(*page.Get())) continue;
      if (fsm != nullptr && !fsm->GetPageUsageFromPFS(p)) continue;
      const int count = View(page.Get()).RecordCount();
      if (count == 0) continue;
      FRecordPageIndex->AddRecord(SessionID, p, count);
      RecordCount += count;
    } catch (const std::exception&) {
      // A page that cannot be read or listed is not this table's.
    }
  }
}
