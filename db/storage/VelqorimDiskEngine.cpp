#include "db/storage/VelqorimDiskEngine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "db/storage/VelqorimSafeInt.h"
#include "db/support/DAZExcept.h"
#include "platform/os/Files.h"

bool DesignTimeFlag = false;

TVelqorimRetryConfig& RetryConfig() {
  static TVelqorimRetryConfig config;
  return config;
}

namespace {
void SleepMS(int DelayMS) {
  if (DelayMS > 0) std::this_thread::sleep_for(std::chrono::milliseconds(DelayMS));
}
String ErrorText(int Errno) { return std::system_category().message(Errno); }
}  // namespace

bool RetryOperation(int TryCount, int DelayMS, const std::function<bool()>& Operation) {
  for (int i = 0; i < TryCount; ++i) {
    if (Operation()) return true;
    SleepMS(DelayMS);
  }
  return false;
}

bool IsCriticalFileError(int Errno) {
  switch (Errno) {
    case EACCES: case EPERM: case EBADF: case EIO: case ENXIO: case ESTALE: case ENOTCONN: case ECONNRESET:
    case ENETDOWN: case ENETUNREACH: case EHOSTUNREACH:
      return true;
    default:
      return false;
  }
}

String GetPageTypeName(uint16_t PageType) {
  static const char* const names[] = {"Unknown Page", "Empty Page", "EAM Page", "PFS Page",
                                      "FileSystemDirectory Page", "ActiveSessionList Page", "TableList Page",
                                      "TableLocks Page", "TableMetaData Page", "TableMostUpdated Page",
                                      "TableRecord Page", "TableBlob Page", "TableIndex Page"};
  if (PageType > ptTableIndex) throw EABSException(30382, "Unknown Page Type: (%d)", {int{PageType}});
  return names[PageType];
}

void CheckPageType(uint16_t Found, uint16_t Expected, int NativeErrorCode) {
  if (Found == Expected) return;
  throw EABSException(NativeErrorCode, "Wrong page type. Found '%s', but expecting: '%s'",
                      {GetPageTypeName(Found), GetPageTypeName(Expected)});
}

std::vector<uint8_t> NewDatabaseFileHeader(uint16_t PageSize, uint16_t PageCountInExtent) {
  std::vector<uint8_t> bytes(VelqorimFirstPageOffset, 0);
  TVelqorimDBHeader h{};
  std::memcpy(h.Signature, VelqorimSignature, VelqorimSignatureSize);
  h.HeaderSize = sizeof(TVelqorimDBHeader);
  h.Version = VelqorimFormatVersion;
  h.PageSize = PageSize;
  h.PageCountInExtent = PageCountInExtent;
  h.TotalPageCount = 0;
  h.LastUsedPageNo = -1;
  h.State = 0;
  h.WriteChangesState = VelqorimChangesWritten;
  std::memcpy(bytes.data(), &h, sizeof h);
  const int16_t cryptoSize = sizeof(TVelqorimCryptoHeader), lockedSize = sizeof(TVelqorimLockedBytes);
  std::memcpy(bytes.data() + VelqorimCryptoHeaderOffset, &cryptoSize, 2);
  std::memcpy(bytes.data() + VelqorimLockedBytesOffset, &lockedSize, 2);
  return bytes;
}

// ---------------------------------------------------------------------------

TVelqorimDatabaseFile::TVelqorimDatabaseFile() = default;

TVelqorimDatabaseFile::~TVelqorimDatabaseFile() { CloseHandle(); }

void TVelqorimDatabaseFile::CheckOpened(const char* Operation) const {
  if (!FIsOpened) throw EABSException(30376, "Cannot perform this operation (%s) on a closed file", {Operation});
}

void TVelqorimDatabaseFile::CheckClosed(const char* Operation) const {
  if (FIsOpened) throw EABSException(30377, "Cannot perform this operation (%s) on a opened file", {Operation});
}

int TVelqorimDatabaseFile::OpenHandle(bool Create) {
  auto file = NewDbFile();
  int rc = file->Open(FFileName, Create, FAccessMode == amReadOnly);
  if (rc != 0) return rc;
  if (FAccessMode == amReadWrite && !file->CanLockExclusive()) return EACCES;
  // Share modes: the presence lock is shared by every open and exclusive for
  // an exclusive open; writers and deny-writers mark themselves and then look
  // for the other kind, so two racing opens may both fail but never both pass.
  const bool exclusive = FShareMode == smExclusive;
  rc = file->Lock(ShareLockOffset, 1, exclusive);
  if (rc == 0 && exclusive && !file->CanLockExclusive()) {
    bool conflict = false;
    rc = file->TestLock(ShareLockOffset, 1, true, conflict);
    if (rc == 0 && conflict) rc = EAGAIN;
  }
  auto markAndCheck = [&](int64_t Mine, int64_t Theirs) {
    if (rc != 0) return;
    rc = file->Lock(Mine, 1, false);
    bool conflict = false;
    if (rc == 0) rc = file->TestLock(Theirs, 1, true, conflict);
    if (rc == 0 && conflict) rc = EAGAIN;
  };
  if (FAccessMode == amReadWrite) markAndCheck(ShareWriterOffset, ShareDenyWriteOffset);
  if (FShareMode == smShareDenyWrite) markAndCheck(ShareDenyWriteOffset, ShareWriterOffset);
  if (rc != 0) {
    file->Close();  // releases every lock of the handle
    return rc == EAGAIN ? EBUSY : rc;
  }
  FHandle = std::move(file);
  return 0;
}

void TVelqorimDatabaseFile::CloseHandle() {
  FSizeSeen = -1;
  if (FHandle) FHandle->Close();
  FHandle.reset();
  FHeld.clear();
}

void TVelqorimDatabaseFile::CreateAndOpenFile(const String& FileName) {
  CheckClosed("CreateFile");
  if (FileName.empty()) throw EABSException(30374, "Cannot create file with blank FileName");
  FFileName = FileName;
  FAccessMode = amReadWrite;
  FShareMode = smExclusive;
  // An existing file (a read-only one too) is replaced, unless another handle has it open.
  if (::access(FileName.c_str(), F_OK) == 0) {
    const int rc = OpenHandle(false);
    if (rc != 0 && rc != EACCES)
      throw EABSException(30361, "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                          {FileName, rc, ErrorText(rc)});
    CloseHandle();
    if (::unlink(FileName.c_str()) != 0 && errno != ENOENT) {
      const int e = errno;
      throw EABSException(30361, "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                          {FileName, e, ErrorText(e)});
    }
  }
  const int rc = OpenHandle(true);
  if (rc != 0)
    throw EABSException(30361, "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                        {FileName, rc, ErrorText(rc)});
  FIsOpened = true;
  FPosition = 0;
}

void TVelqorimDatabaseFile::OpenFile(const String& FileName, TVelqorimAccessMode AccessMode,
                                     TVelqorimShareMode ShareMode) {
  CheckClosed("OpenFile");
  if (AccessMode > amReadWrite) throw EABSException(30366, "Unknown Access mode: '%d'", {int{AccessMode}});
  if (ShareMode > smShareDenyWrite) throw EABSException(30367, "Unknown Share mode: '%d'", {int{ShareMode}});
  FFileName = FileName;
  FAccessMode = AccessMode;
  FShareMode = ShareMode;
  const int rc = OpenHandle(false);
  if (rc != 0)
    throw EABSException(30364, "Cannot open file:'%s' Error code: %d. ErrorMessage: %s",
                        {FileName, rc, ErrorText(rc)});
  FIsOpened = true;
  FPosition = 0;
}

void TVelqorimDatabaseFile::CloseFile() {
  CheckOpened("CloseFile");
  const int rc = FHandle->Close();
  CloseHandle();
  FIsOpened = false;
  if (rc != 0)
    throw EABSException(30365, "Cannot close file:'%s' Error code: %d. ErrorMessage: %s",
                        {FFileName, rc, ErrorText(rc)});
}

void TVelqorimDatabaseFile::DeleteFile() {
  CheckClosed("DeleteFile");
  // Refused while any handle, of any process, has the file open.
  auto probe = NewDbFile();
  int rc = probe->Open(FFileName, false, true);
  if (rc == 0) {
    bool conflict = false;
    rc = probe->TestLock(ShareLockOffset, 1, true, conflict);
    if (rc == 0 && conflict) rc = EBUSY;
    probe->Close();
  }
  if (rc == 0 && ::unlink(FFileName.c_str()) != 0) rc = errno;
  if (rc != 0)
    throw EABSException(30362, "Cannot delete file: '%s' Error code: %d. ErrorMessage: %s",
                        {FFileName, rc, ErrorText(rc)});
}

void TVelqorimDatabaseFile::RenameFile(const String& OldFileName, const String& NewFileName, bool Replace) {
  errno = 0;
  if (Replace ? ::rename(OldFileName.c_str(), NewFileName.c_str()) != 0 : !::RenameFile(OldFileName, NewFileName)) {
    const int e = errno != 0 && errno != EINVAL ? errno : EEXIST;
    throw EABSException(30378, "Cannot rename file '%s' to '%s' ErrorCode:%d. ErrorMessage: %s",
                        {OldFileName, NewFileName, e, ErrorText(e)});
  }
  // The new name must survive a crash too: sync the folder.
  const auto slash = NewFileName.rfind('/');
  const String folder = slash == String::npos ? "." : NewFileName.substr(0, std::max<size_t>(slash, 1));
  if (auto dir = NewDbFile(); dir->Open(folder, false, true) == 0) {
    dir->Sync(false);
    dir->Close();
  }
}

void TVelqorimDatabaseFile::OpenFileForDesignTime() {
  if (DesignOpenCount == 0) OpenFile(FFileName, FAccessMode, FShareMode);
  ++DesignOpenCount;
}

void TVelqorimDatabaseFile::CloseFileForDesignTime() {
  if (DesignOpenCount == 0) return;
  if (--DesignOpenCount == 0) CloseFile();
}

bool TVelqorimDatabaseFile::ReopenDatabaseFile() {
  int64_t size = 0;
  if (FHandle && FHandle->GetSize(size) == 0) return true;
  const int tries = RetryConfig().ReopenTryCount;
  for (int i = 0; i < tries; ++i) {
    CloseHandle();  // the held byte locks went with the handle
    if (OpenHandle(false) == 0) return true;
    if (i + 1 < tries) SleepMS(RetryConfig().ReopenDelayMS);
  }
  return false;
}

int64_t TVelqorimDatabaseFile::GetSize() {
  CheckOpened("GetSize");
  int64_t size = 0;
  int rc = FHandle->GetSize(size);
  if (rc != 0 && ReopenDatabaseFile()) rc = FHandle->GetSize(size);
  if (rc != 0)
    throw EABSException(30371, "Cannot Get File Size for file: '%s'. ErrorCode:%d. ErrorMessage: %s",
                        {FFileName, rc, ErrorText(rc)});
  FSizeSeen = size;
  return size;
}

int64_t TVelqorimDatabaseFile::SizeAtLeast(int64_t Bytes) {
  if (FSizeSeen >= Bytes) return FSizeSeen;
  return GetSize();
}

void TVelqorimDatabaseFile::SetSize(int64_t Value) {
  CheckOpened("SetSize");
  int rc = FHandle->SetSize(Value);
  if (rc != 0 && ReopenDatabaseFile()) rc = FHandle->SetSize(Value);
  FSizeSeen = -1;
  if (rc != 0) FHadWriteError = true;
  if (rc != 0)
    throw EABSException(30370, "Cannot Truncate File '%s' to %d bytes. ErrorCode:%d. ErrorMessage: %s",
                        {FFileName, Value, rc, ErrorText(rc)});
}

void TVelqorimDatabaseFile::SetPosition(int64_t Value) {
  CheckOpened("SetPosition");
  if (Value < 0)
    throw EABSException(30372, "Cannot Set File Position to %d. FileName='%s'. FilePosition = %d, FileSize = %d",
                        {Value, FFileName, FPosition, GetSize()});
  FPosition = Value;
}

bool TVelqorimDatabaseFile::TryRead(void* Buffer, int64_t Count, int64_t Position, int& Error) {
  int64_t done = 0;
  Error = FHandle->Read(Buffer, Count, Position, done);
  if (Error == 0 && done != Count) Error = EIO;  // a short read is an error, never a half-filled page
  if (Error == 0) FPosition = CheckedAdd(Position, Count);
  return Error == 0;
}

bool TVelqorimDatabaseFile::ReadBuffer(void* Buffer, int64_t Count, int64_t Position) {
  CheckOpened("ReadBuffer");
  int error = 0;
  if (TryRead(Buffer, Count, Position, error)) return true;
  return ReopenDatabaseFile() && TryRead(Buffer, Count, Position, error);
}

void TVelqorimDatabaseFile::ReadBuffer(void* Buffer, int64_t Count, int64_t Position, int ErrorCode) {
  CheckOpened("ReadBuffer");
  int error = 0;
  bool ok = TryRead(Buffer, Count, Position, error);
  if (!ok && error != EIO) ok = ReopenDatabaseFile() && TryRead(Buffer, Count, Position, error);
  if (ok) return;
  int64_t size = -1;
  FHandle->GetSize(size);
  throw EABSException(ErrorCode,
                      "Cannot Read from file: '%s' Position = %d, Count = %d, FilePosition = %d, FileSize = %d, "
                      "ErrorCode:%d. ErrorMessage: %s",
                      {FFileName, Position, Count, FPosition, size, error, ErrorText(error)});
}

void TVelqorimDatabaseFile::WriteBuffer(const void* Buffer, int64_t Count, int64_t Position, int ErrorCode) {
  CheckOpened("WriteBuffer");
  int64_t done = 0;
  int rc = FHandle->Write(Buffer, Count, Position, done);
  if (rc != 0 && !IsCriticalFileError(rc) && rc != ENOSPC && ReopenDatabaseFile())
    rc = FHandle->Write(Buffer, Count, Position, done);
  if (rc == 0) {
    FPosition = CheckedAdd(Position, Count);
    return;
  }
  FHadWriteError = true;
  int64_t size = -1;
  FHandle->GetSize(size);
  throw EABSException(ErrorCode,
                      "Cannot Write to file: '%s' Position = %d, Count = %d, FilePosition = %d, FileSize = %d, "
                      "ErrorCode:%d. ErrorMessage: %s",
                      {FFileName, Position, Count, FPosition, size, rc, ErrorText(rc)});
}

void TVelqorimDatabaseFile::FlushFileBuffers() {
  CheckOpened("FlushFileBuffers");
  int rc = FHandle->Sync(false);
  if (rc != 0 && ReopenDatabaseFile()) rc = FHandle->Sync(false);
  if (rc != 0) FHadWriteError = true;
  if (rc != 0)
    throw EABSException(30379, "Cannot flush file buffers for file: '%s'. ErrorCode:%d. ErrorMessage: %s",
                        {FFileName, rc, ErrorText(rc)});
}

bool TVelqorimDatabaseFile::OverlapsHeld(int64_t Offset, int64_t Count) const {
  return std::any_of(FHeld.begin(), FHeld.end(), [&](const THeldRange& r) {
    return Offset < r.Offset + r.Count && r.Offset < Offset + Count;
  });
}

bool TVelqorimDatabaseFile::LockByte(int64_t Offset, int Count) {
  CheckOpened("LockByte");
  if (Count <= 0 || OverlapsHeld(Offset, Count)) return false;  // locks never nest within one handle
  int rc = FHandle->Lock(Offset, Count, true);
  if (rc != 0 && IsCriticalFileError(rc)) {
    FWasCriticalError = true;
    if (ReopenDatabaseFile()) rc = FHandle->Lock(Offset, Count, true);
  }
  if (rc != 0) return false;
  FHeld.push_back({Offset, Count});
  return true;
}

bool TVelqorimDatabaseFile::UnlockByte(int64_t Offset, int Count) {
  CheckOpened("UnlockByte");
  const auto it = std::find_if(FHeld.begin(), FHeld.end(),
                               [&](const THeldRange& r) { return r.Offset == Offset && r.Count == Count; });
  if (it == FHeld.end()) return DesignTimeFlag;  // only a range locked exactly so can be unlocked
  const int rc = FHandle->Unlock(Offset, Count);
  if (rc != 0 && IsCriticalFileError(rc)) FWasCriticalError = true;
  // A lock the handle lost (critical error) is not held any more either.
  if (rc == 0 || IsCriticalFileError(rc)) FHeld.erase(it);
  return rc == 0;
}

bool TVelqorimDatabaseFile::IsRegionLocked(int64_t Offset, int Count) {
  CheckOpened("IsRegionLocked");
  if (OverlapsHeld(Offset, Count)) return true;
  bool conflict = false;
  // Never try-lock-then-unlock: that would release a lock of our own.
  const int rc = FHandle->TestLock(Offset, Count, true, conflict);
  return rc != 0 || conflict;
}

bool TVelqorimDatabaseFile::FindSignature(int64_t& Offset) {
  CheckOpened("FindSignature");
  const int64_t saved = FPosition;
  const int64_t size = GetSize();
  constexpr int64_t window = 10000;
  std::vector<uint8_t> buffer(window);
  auto accepted = [&](const uint8_t* p, int64_t At, int64_t Available) {
    if (std::memcmp(p, VelqorimSignature, VelqorimSignatureSize) != 0) return false;
    int16_t headerSize = 0;
    if (Available >= VelqorimSignatureSize + 2) {
      std::memcpy(&headerSize, p + VelqorimSignatureSize, 2);
    } else {
      int64_t done = 0;
      if (FHandle->Read(&headerSize, 2, At + VelqorimSignatureSize, done) != 0 || done != 2) return false;
    }
    return headerSize == static_cast<int16_t>(sizeof(TVelqorimDBHeader));
  };
  bool found = false;
  for (int64_t start = 0; start < size && !found; start += window - VelqorimSignatureSize) {
    int64_t done = 0;
    if (FHandle->Read(buffer.data(), std::min(window, size - start), start, done) != 0) break;
    for (int64_t i = 0; i + VelqorimSignatureSize <= done; ++i)
      if (accepted(buffer.data() + i, start + i, done - i)) {
        Offset = start + i;
        found = true;
        break;
      }
    if (done < window) break;
  }
  FPosition = saved;
  return found;
}
