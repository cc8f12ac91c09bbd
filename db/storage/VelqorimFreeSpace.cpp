#include "db/storage/VelqorimFreeSpace.h"

#include <algorithm>
#include <cstring>

#include "db/support/DAZExcept.h"

namespace {
constexpr int PageHeaderSize = static_cast<int>(sizeof(TVelqorimDiskPageHeader));
}

// A map page read from the file for one use; written back only when changed.
class TVelqorimDatabaseFreeSpaceManager::TMapPage {
 public:
  TMapPage(TVelqorimFreeSpaceHost& Host, int32_t PageNo, uint16_t PageType, int TypeErrorCode)
      : FHost(Host), FPageNo(PageNo), FBuffer(static_cast<size_t>(Host.PageSize())) {
    FHost.ReadPageDirect(PageNo, FBuffer.data());
    FOriginal = FBuffer;
    CheckPageType(Header().PageType, PageType, TypeErrorCode);
  }
  // A new map page of PageType with data byte 0 = 1.
  TMapPage(TVelqorimFreeSpaceHost& Host, int32_t PageNo, uint16_t PageType)
      : FHost(Host), FPageNo(PageNo), FBuffer(static_cast<size_t>(Host.PageSize())) {
    TVelqorimDiskPageHeader& h = Header();
    std::memcpy(h.Signature, "VLQP", 4);
    h.PageType = PageType;
    h.NextPageNo = -1;
    h.ObjectID = -1;
    h.RecordID = {-1, 0};
    Data()[0] = 1;
    FOriginal.assign(FBuffer.size(), 0xFF);  // always written
  }
  void Save() {
    if (FBuffer != FOriginal) FHost.WritePageDirect(FPageNo, FBuffer.data());
    FOriginal = FBuffer;
  }
  uint8_t* Data() { return FBuffer.data() + PageHeaderSize; }
  int DataSize() const { return static_cast<int>(FBuffer.size()) - PageHeaderSize; }

 private:
  TVelqorimDiskPageHeader& Header() { return *reinterpret_cast<TVelqorimDiskPageHeader*>(FBuffer.data()); }

  TVelqorimFreeSpaceHost& FHost;
  int32_t FPageNo;
  std::vector<uint8_t> FBuffer, FOriginal;
};

TVelqorimDatabaseFreeSpaceManager::TVelqorimDatabaseFreeSpaceManager(TVelqorimFreeSpaceHost& aHost) : FHost(aHost) {
  TVelqorimDBHeader h;
  FHost.ReadDBHeader(h);
  FDataSize = FHost.PageSize() - PageHeaderSize;
  FPageCountInExtent = std::max<int32_t>(h.PageCountInExtent, 1);
  FPFSPage_PagesAddressed = FDataSize * 8;
  FEAMPage_ExtentsAddressed = FDataSize * 4;
  FEAMPage_PagesAddressed = FDataSize * 4 * FPageCountInExtent;
  FLastUsedPageNo = h.LastUsedPageNo;
  FTotalPageCount = h.TotalPageCount;
}

int32_t TVelqorimDatabaseFreeSpaceManager::EAMPageNo(int Index) const {
  const int32_t p = Index * FEAMPage_PagesAddressed;
  return p % FPFSPage_PagesAddressed == 0 ? p + 1 : p;
}

bool TVelqorimDatabaseFreeSpaceManager::IsSystemPage(int32_t PageNo) const {
  if (PageNo % FPFSPage_PagesAddressed == 0 || PageNo % FEAMPage_PagesAddressed == 0) return true;
  // 64 bits: a damaged link may name the lowest page number there is.
  const int64_t before = int64_t{PageNo} - 1;
  return before % FPFSPage_PagesAddressed == 0 && before % FEAMPage_PagesAddressed == 0;
}

void TVelqorimDatabaseFreeSpaceManager::CheckPageNoForSystemPages(int32_t PageNo) const {
  if (IsSystemPage(PageNo)) throw EABSException(30434, "Cannot delete PFS or EAM page. PageNo=%d", {PageNo});
}

int32_t TVelqorimDatabaseFreeSpaceManager::AddPagesStep() const {
  return FTotalPageCount == 0 ? 6 : std::max(FPageCountInExtent, FTotalPageCount / 10);
}

template <class Work>
auto TVelqorimDatabaseFreeSpaceManager::InHeaderBracket(int LockErrorCode, Work&& Body) {
  if (!RetryOperation(LockTryCount, LockDelayMS, [this] { return FHost.LockDBHeader(); }))
    throw EABSException(LockErrorCode, "Database is locked");
  // The header is written back on every way out, so it agrees with the map pages written so far.
  struct TClose {
    TVelqorimDatabaseFreeSpaceManager& M;
    ~TClose() {
      try {
        TVelqorimDBHeader h;
        M.FHost.ReadDBHeader(h);
        if (h.TotalPageCount != M.FTotalPageCount || h.LastUsedPageNo != M.FLastUsedPageNo) {
          h.TotalPageCount = M.FTotalPageCount;
          h.LastUsedPageNo = M.FLastUsedPageNo;
          M.FHost.WriteDBHeader(h);
        }
      } catch (...) {
        // The work's own failure is the one reported.
      }
      M.FHost.UnlockDBHeader();
    }
  };
  TVelqorimDBHeader h;
  try {
    FHost.ReadDBHeader(h);
  } catch (...) {
    FHost.UnlockDBHeader();
    throw;
  }
  FTotalPageCount = h.TotalPageCount;
  FLastUsedPageNo = h.LastUsedPageNo;
  TClose close{*this};
  return Body();
}

int32_t TVelqorimDatabaseFreeSpaceManager::GetPage() {
  return InHeaderBracket(20231, [this] {
    int32_t page = -1;
    if (!FindFreePage(page)) page = AddPages();
    FLastUsedPageNo = std::max(FLastUsedPageNo, page);
    return page;
  });
}

void TVelqorimDatabaseFreeSpaceManager::FreePage(int32_t PageNo) {
  InHeaderBracket(20232, [this, PageNo] {
    SetUsage(PageNo, false);
    FLastUsedPageNo = FindLastUsedPage();
    const int32_t step = DelPagesStep();
    const int32_t tail = FTotalPageCount - FLastUsedPageNo - 1;
    if (tail >= step) {
      FHost.TruncateFile(tail / step * step);
      TVelqorimDBHeader h;
      FHost.ReadDBHeader(h);
      FTotalPageCount = h.TotalPageCount;
    }
    return 0;
  });
}

bool TVelqorimDatabaseFreeSpaceManager::FindFreePage(int32_t& PageNo) {
  if (FLastUsedPageNo == -1) return false;
  const int last = LastIndex(FEAMPage_PagesAddressed);
  if (FindInEAMPage(last, PageNo)) return true;
  for (int k = 0; k < last; ++k)
    if (FindInEAMPage(k, PageNo)) return true;
  return false;
}

bool TVelqorimDatabaseFreeSpaceManager::FindInEAMPage(int Index, int32_t& PageNo) {
  if (EAMPageNo(Index) >= FTotalPageCount) return false;
  TMapPage eam(FHost, EAMPageNo(Index), ptEAM, 30423);
  int64_t extent = -1;
  for (int b = 0; b < eam.DataSize() && extent < 0; ++b) {
    const uint8_t byte = eam.Data()[b];
    if (byte == 0xFF) continue;
    for (int entry = 0; entry < 4; ++entry)
      if ((byte & (2 << (2 * entry))) == 0) {
        extent = int64_t{Index} * FEAMPage_ExtentsAddressed + b * 4 + entry;
        break;
      }
  }
  if (extent < 0) return false;
  const int64_t first = extent * FPageCountInExtent / FPFSPage_PagesAddressed;
  const int64_t last = ((extent + 1) * FPageCountInExtent - 1) / FPFSPage_PagesAddressed;
  int32_t candidate = -1;
  for (int64_t k = first; k <= last; ++k) {
    const int64_t pfsNo = k * FPFSPage_PagesAddressed;
    if (pfsNo >= FTotalPageCount) continue;
    TMapPage pfs(FHost, static_cast<int32_t>(pfsNo), ptPFS, 30423);
    for (int b = 0; b < pfs.DataSize(); ++b) {
      const uint8_t byte = pfs.Data()[b];
      if (byte == 0xFF) continue;
      candidate = static_cast<int32_t>(pfsNo + b * 8 + __builtin_ctz(static_cast<unsigned>(~byte & 0xFF)));
      break;
    }
  }
  if (candidate < 0 || candidate >= FTotalPageCount) return false;
  SetUsage(candidate, true);
  PageNo = candidate;
  return true;
}

int32_t TVelqorimDatabaseFreeSpaceManager::AddPages() {
  const bool empty = FLastUsedPageNo == -1;
  const int lastPFS = empty ? -1 : LastIndex(FPFSPage_PagesAddressed);
  const int lastEAM = empty ? -1 : LastIndex(FEAMPage_PagesAddressed);
  int32_t candidate = FLastUsedPageNo + 1;
  while (IsSystemPage(candidate)) ++candidate;
  int32_t step = AddPagesStep();
  if (FTotalPageCount + step <= candidate) step = candidate - FTotalPageCount + 1;
  // The file never ends in a system page.
  while (IsSystemPage(FTotalPageCount + step - 1)) ++step;
  FHost.ExtendFile(step);
  TVelqorimDBHeader h;
  FHost.ReadDBHeader(h);
  FTotalPageCount = h.TotalPageCount;
  const int newLastPFS = LastIndex(FPFSPage_PagesAddressed);
  const int newLastEAM = LastIndex(FEAMPage_PagesAddressed);
  for (int k = lastPFS + 1; k <= newLastPFS; ++k) TMapPage(FHost, PFSPageNo(k), ptPFS).Save();
  for (int k = lastEAM + 1; k <= newLastEAM; ++k) TMapPage(FHost, EAMPageNo(k), ptEAM).Save();
  FLastUsedPageNo = candidate;
  for (int k = lastEAM + 1; k <= newLastEAM; ++k) SetPFSUsage(EAMPageNo(k), true);
  for (int k = lastPFS + 1; k <= newLastPFS; ++k) SetEAMUsage(PFSPageNo(k));
  SetUsage(candidate, true);
  return candidate;
}

void TVelqorimDatabaseFreeSpaceManager::SetPFSUsage(int32_t PageNo, bool Used) {
  if (PageNo < 0 || PageNo >= FTotalPageCount)
    throw EABSException(30430, "Page: %d cannot be addressed. TotalPageCount=%d", {PageNo, FTotalPageCount});
  const int32_t k = PageNo / FPFSPage_PagesAddressed, bit = PageNo % FPFSPage_PagesAddressed;
  TMapPage pfs(FHost, PFSPageNo(k), ptPFS, 30424);
  uint8_t& byte = pfs.Data()[bit / 8];
  const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  if (Used && (byte & mask) != 0) throw EABSException(30425, "Page: %d already used", {PageNo});
  if (!Used && (byte & mask) == 0) throw EABSException(30427, "Page: %d already free", {PageNo});
  byte = static_cast<uint8_t>(Used ? byte | mask : byte & ~mask);
  pfs.Save();
}

void TVelqorimDatabaseFreeSpaceManager::SetEAMUsage(int32_t PageNo) {
  if (PageNo < 0 || PageNo >= FTotalPageCount)
    throw EABSException(30431, "Page: %d cannot be addressed. TotalPageCount=%d", {PageNo, FTotalPageCount});
  const int64_t extent = PageNo / FPageCountInExtent;
  bool used = false, free = false;
  for (int64_t p = extent * FPageCountInExtent; p < (extent + 1) * FPageCountInExtent && !(used && free); ++p)
    (GetPageUsageFromPFS(static_cast<int32_t>(p)) ? used : free) = true;
  const uint8_t value = used && !free ? 3 : 1;
  const int k = static_cast<int>(extent / FEAMPage_ExtentsAddressed);
  const int entry = static_cast<int>(extent % FEAMPage_ExtentsAddressed);
  TMapPage eam(FHost, EAMPageNo(k), ptEAM, 30428);
  uint8_t& byte = eam.Data()[entry / 4];
  const int shift = 2 * (entry % 4);
  byte = static_cast<uint8_t>((byte & ~(3 << shift)) | (value << shift));
  eam.Save();
}

bool TVelqorimDatabaseFreeSpaceManager::GetPageUsageFromPFS(int32_t PageNo) {
  const int32_t k = PageNo / FPFSPage_PagesAddressed;
  if (PFSPageNo(k) > FLastUsedPageNo || PFSPageNo(k) >= FTotalPageCount) return false;
  TMapPage pfs(FHost, PFSPageNo(k), ptPFS, 30430);
  const int32_t bit = PageNo % FPFSPage_PagesAddressed;
  return (pfs.Data()[bit / 8] >> (bit % 8) & 1) != 0;
}

int32_t TVelqorimDatabaseFreeSpaceManager::FindLastUsedPage() {
  if (FLastUsedPageNo == -1) return -1;
  for (int k = LastIndex(FPFSPage_PagesAddressed); k >= 0; --k) {
    TMapPage pfs(FHost, PFSPageNo(k), ptPFS, 30432);
    for (int b = pfs.DataSize() - 1; b >= 0; --b) {
      const uint8_t byte = pfs.Data()[b];
      if (byte == 0) continue;
      for (int bit = 7; bit >= 0; --bit) {
        const int32_t page = PFSPageNo(k) + b * 8 + bit;
        if ((byte >> bit & 1) != 0 && !IsSystemPage(page)) return page;
      }
    }
  }
  return -1;
}
