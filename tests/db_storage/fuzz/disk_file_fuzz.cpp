// Opens a mutated database file and reads everything a table keeps in it:
// the record-page and BLOB-page trees, the records in both directions, their
// numbers, every BLOB value, a recount of the pages, and one change of each
// kind that is then cancelled. Engine errors are the expected answer to a
// damaged file; anything the sanitizers see is a finding.
//
// The file's table has a fixed layout (the seeds' own): its record-page tree
// is rooted at page 2 and its BLOB-page tree at page 3, the first pages a new
// file hands out. With DISK_FUZZ_SEEDS naming an empty folder, the target
// first writes its seed files there.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/VelqorimDiskBlobs.h"
#include "db/storage/VelqorimDiskRecords.h"
#include "db/support/DAZArrays.h"
#include "platform/os/Files.h"

namespace {

constexpr int Session = 0;
constexpr int EngineSession = -2;
constexpr int32_t TableID = 5;
constexpr int BlobField = 2;
constexpr int32_t RecordTreeRoot = 2;
constexpr int32_t BlobTreeRoot = 3;

// (id integer, name string(20), data BLOB) with its managers over Pm.
struct TTable {
  explicit TTable(TVelqorimDiskPageManager& Pm) : Fields(nullptr) {
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftInteger, 0);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftString, 20);
    Fields.FieldDefs.AddCreated()->SetFieldDefDataType(aftBlob, 0);
    Fields.RecalcFieldOffsets();
    Records = std::make_unique<TVelqorimDiskRecordManager>(&Pm, &Fields, TableID);
    Records->Init(Fields.FieldDefs.GetMemoryRecordBufferSize(), Fields.FieldDefs.GetDiskRecordBufferSize(),
                  3);
    Blobs = std::make_unique<TVelqorimDiskBlobManager>(&Pm, &Fields, Records.get());
  }
  std::vector<uint8_t> NewRecord() const {
    return std::vector<uint8_t>(static_cast<size_t>(Fields.FieldDefs.GetMemoryRecordBufferSize()), 0);
  }
  TVelqorimBaseFieldManager Fields;
  std::unique_ptr<TVelqorimDiskRecordManager> Records;
  std::unique_ptr<TVelqorimDiskBlobManager> Blobs;
};

String ScratchName() {
  return GetTempDir() + "/velqorim-fuzz-" + std::to_string(::getpid()) + ".vdb";
}

void WriteSeed(const String& Name, uint16_t PageSize, int RecordCount, size_t LargeSize) {
  TVelqorimDiskPageManager pm;
  pm.CreateAndOpenDatabase(Name, TABSPassword{}, PageSize, 8);
  TTable table(pm);
  table.Records->CreateRecordPageIndex();
  table.Blobs->CreateBlobPageIndex();
  pm.ApplyChanges(EngineSession);
  for (int32_t i = 0; i < RecordCount; ++i) {
    auto record = table.NewRecord();
    std::memcpy(record.data() + table.Fields.FieldDefs[0]->MemoryOffset, &i, 4);
    std::snprintf(reinterpret_cast<char*>(record.data() + table.Fields.FieldDefs[1]->MemoryOffset), 21, "r%d",
                  i);
    std::vector<uint8_t> bytes(i % 3 == 2 ? LargeSize : static_cast<size_t>(10 + 7 * i),
                               static_cast<uint8_t>(i));
    TABSPartialTemporaryBLOBDescriptor d{1, static_cast<int64_t>(bytes.size()),
                                         static_cast<int64_t>(bytes.size())};
    table.Blobs->SetDirectBlobInfoFromRecordBuffer(Session, record.data(), BlobField, d, bytes.data());
    table.Blobs->WriteBlobs(Session, record.data());
    TABSPageItemID id;
    table.Records->AddRecord(Session, record.data(), id);
  }
  pm.ApplyChanges(Session);
}

void WriteSeeds(const std::string& Folder) {
  const struct {
    const char* Name;
    uint16_t PageSize;
    int Records;
    size_t Large;
  } seeds[] = {
      {"small-pages", 1024, 24, 2500}, {"few-records", 1024, 3, 1100}, {"large-pages", 4096, 12, 9000}};
  for (const auto& s : seeds) WriteSeed(Folder + "/" + s.Name + ".vdb", s.PageSize, s.Records, s.Large);
}

// Reads and changes what it can; every engine error ends that step only.
void Exercise(TVelqorimDiskPageManager& Pm) {
  TTable table(Pm);
  table.Records->RecordPageIndex().OpenIndex(RecordTreeRoot);
  table.Blobs->BlobPageIndex().OpenIndex(BlobTreeRoot);
  table.Records->RecordCount = 1 << 30;  // the stored count is not part of this file layout
  auto step = [](auto&& Work) {
    try {
      Work();
    } catch (const std::exception&) {
    }
  };
  auto record = table.NewRecord();
  std::vector<TABSPageItemID> ids;
  for (const bool forward : {true, false})
    step([&] {
      TABSNavigationInfo nav;
      nav.GetRecordMode = forward ? grmNext : grmPrior;
      nav.FirstPosition = forward;
      nav.LastPosition = !forward;
      nav.RecordBuffer = record.data();
      for (int n = 0; n < 4096; ++n) {
        table.Records->GetRecordBuffer(Session, nav);
        if (nav.GetRecordResult != grrOK) break;
        if (forward) ids.push_back(nav.RecordID);
        step([&] {
          TABSBLOBDescriptor d;
          TMemoryStream bytes;
          table.Blobs->CopyBlobFromRecordBufferToStream(Session, record.data(), BlobField, d, bytes);
        });
        table.Blobs->ClearBlobInRecordBuffer(record.data(), BlobField, true);
      }
    });
  step([&] {
    int64_t recNo = 0;
    TABSPageItemID id;
    table.Records->SetRecNo(Session, 1, id);
    table.Records->GetRecNo(Session, id, recNo);
  });
  step([&] {
    int32_t page;
    table.Blobs->BlobPageIndex().FindPageForNewBlob(Session, 40, page);
  });
  // Changes on the damaged pages, then thrown away.
  if (!ids.empty())
    step([&] {
      TABSPageItemID id = ids.front();
      TABSNavigationInfo nav;
      nav.RecordID = id;
      nav.RecordBuffer = record.data();
      table.Records->GetRecordBuffer(Session, nav);
      table.Blobs->DeleteBlobs(Session, record.data());
      table.Records->DeleteRecord(Session, id);
    });
  step([&] {
    auto added = table.NewRecord();
    SetBitInBuffer(true, BlobField, added.data());
    const std::vector<uint8_t> bytes(300, 7);
    TABSPartialTemporaryBLOBDescriptor d{1, 300, 300};
    table.Blobs->SetDirectBlobInfoFromRecordBuffer(Session, added.data(), BlobField, d, bytes.data());
    table.Blobs->WriteBlobs(Session, added.data());
    table.Blobs->ClearBlobInRecordBuffer(added.data(), BlobField, true);
    TABSPageItemID id;
    table.Records->AddRecord(Session, added.data(), id);
  });
  step([&] { table.Records->RebuildRecordPageIndex(Session); });
  step([&] { table.Records->ValidateRecordPageIndex(Session); });
  Pm.CancelChanges(Session);
  Pm.CancelChanges(EngineSession);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* folder = std::getenv("DISK_FUZZ_SEEDS");
  if (folder != nullptr && *folder != 0) {
    // Only into an empty folder: a run's findings are never overwritten.
    std::ifstream probe(std::string(folder) + "/small-pages.vdb");
    if (!probe) WriteSeeds(folder);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const String name = ScratchName();
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  }
  try {
    TVelqorimDiskPageManager pm;
    bool readOnly = false, repair = false, multiUser = false;
    TABSPassword password;
    password.Password = "fuzz";
    pm.OpenDatabase(name, password, readOnly, repair, false, multiUser);
    // Small retry counts: a damaged file must not make the target wait.
    pm.FreeSpaceManager()->LockTryCount = 2;
    pm.FreeSpaceManager()->LockDelayMS = 0;
    Exercise(pm);
  } catch (const std::exception&) {
  }
  ::unlink(name.c_str());
  return 0;
}
