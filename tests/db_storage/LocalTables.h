#pragma once
// The process-wide "MEMORY" and "TEMP" databases for one test, and a table
// in one of them opened through a local session and cursor.

#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <tuple>
#include <vector>

#include "db/storage/VelqorimLocalEngine.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimTempEngine.h"
#include "db/support/DAZMemory.h"

namespace local {

struct TLocalEngine {
  TLocalEngine() {
    DatabaseDataList = new TVelqorimDatabaseDataList;
    DatabaseDataList->Add(new TVelqorimMemoryDatabaseData);
    DatabaseDataList->Add(new TVelqorimTemporaryDatabaseData);
  }
  ~TLocalEngine() {
    delete DatabaseDataList;
    DatabaseDataList = nullptr;
  }
};

struct TColumn {
  const char* Name;
  TABSAdvancedFieldType Type;
  int Size;
};

inline void AddFields(TVelqorimFieldDefs& Defs, std::initializer_list<TColumn> Columns) {
  for (const TColumn& c : Columns) {
    auto* d = Defs.AddCreated();
    d->Name = c.Name;
    d->SetFieldDefDataType(c.Type, c.Size);
  }
}

inline void AddIndex(TVelqorimIndexDefs& Defs, const char* Name, std::initializer_list<const char*> Columns,
                     bool Unique = false) {
  auto* d = Defs.AddCreated();
  d->Name = Name;
  d->Unique = Unique;
  d->SetColumnCount(int(Columns.size()));
  int n = 0;
  for (const char* column : Columns) d->GetIndexColumn(n++).FieldName = column;
}

// A table of one session's database with one cursor and its record and edit buffers.
struct TLocalTable {
  TLocalTable(const char* Database, const char* Name)
      : TLocalTable([&](TVelqorimLocalSession& S) { S.DatabaseName = Database; }, Name) {}
  // A session set up by Configure (a database file, say) before it connects.
  TLocalTable(const std::function<void(TVelqorimLocalSession&)>& Configure, const char* Name) {
    Configure(session);
    session.SetConnected(true);
    cursor.Session = &session;
    cursor.TableName = Name;
  }
  ~TLocalTable() {
    cursor.CloseTable();
    MemoryManager().FreeAndNillMem(record);
    MemoryManager().FreeAndNillMem(edit);
  }

  void Create(TVelqorimFieldDefs& Fields, TVelqorimIndexDefs& Indexes) {
    TVelqorimConstraintDefs constraints;
    cursor.CreateTable(Fields, Indexes, constraints);
    Open();
  }
  void Open() {
    cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
    MemoryManager().FreeAndNillMem(record);
    MemoryManager().FreeAndNillMem(edit);
    record = cursor.AllocateRecordBuffer();
    edit = cursor.AllocateRecordBuffer();
    cursor.CurrentRecordBuffer = record;
    cursor.EditRecordBuffer = edit;
  }

  void Set(int Field, std::optional<int32_t> Value) {
    TABSVariant v;
    if (Value) v.SetAsInteger(*Value);
    cursor.SetFieldValue(v, Field, true);
  }
  std::optional<int32_t> Get(int Field) {
    TABSVariant v;
    cursor.GetFieldValue(v, Field, true);
    if (v.IsNull()) return std::nullopt;
    return v.GetAsInteger();
  }
  // Inserts a record of integer values (absent: NULL); returns the outcome code.
  int Insert(std::initializer_list<std::optional<int32_t>> Values) {
    cursor.InternalInitRecord(record, true);
    int f = 0;
    for (auto v : Values) Set(f++, v);
    cursor.InternalPost(true);
    return cursor.ErrorCode;
  }
  // Starts an edit of the current record (the dataset keeps the old values aside).
  void BeginEdit() {
    std::memcpy(edit, record, static_cast<size_t>(cursor.RecordBufferSize));
    cursor.InternalEdit();
  }
  // Field Field of every visible record in cursor order.
  std::vector<std::optional<int32_t>> Column(int Field) {
    std::vector<std::optional<int32_t>> values;
    cursor.InternalFirst();
    while (cursor.GetRecordBuffer(grmNext) == grrOK) values.push_back(Get(Field));
    return values;
  }

  TVelqorimLocalSession session;
  TVelqorimLocalCursor cursor;
  uint8_t* record = nullptr;
  uint8_t* edit = nullptr;
};

}  // namespace local
