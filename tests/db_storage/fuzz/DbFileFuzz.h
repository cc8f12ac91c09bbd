#pragma once
// What the database file fuzz target and its seed writer share: the password
// they use and the opening of a file through a disk database.

#include <vector>

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"

constexpr const char* FuzzPassword = "fuzz";

// A cursor of session S on table Name of the connected database D, with a record buffer.
struct TFuzzCursor {
  TFuzzCursor(TVelqorimDiskDatabaseData& D, TVelqorimLocalSession& S, const String& Name) : FSession(S) {
    S.DatabaseData = &D;
    Cursor.Session = &S;
    Cursor.TableName = Name;
  }
  ~TFuzzCursor() {
    try {
      Cursor.CloseTable();
    } catch (const EABSException&) {
    }
    if (Record != nullptr) Cursor.FreeRecordBuffer(Record);
    FSession.DatabaseData = nullptr;  // the database is the caller's, not the session's to free
  }
  void Open() {
    Cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
    Record = Cursor.AllocateRecordBuffer();
    Cursor.CurrentRecordBuffer = Record;
  }
  TVelqorimLocalCursor Cursor;
  uint8_t* Record = nullptr;

 private:
  TVelqorimLocalSession& FSession;
};

// Walks the cursor's order to its end: no row limit, so that a walk that
// never ends shows as a timeout of the fuzzer.
inline void WalkToEnd(TVelqorimLocalCursor& Cursor, bool Forward) {
  if (Forward) Cursor.InternalFirst();
  else Cursor.InternalLast();
  while (Cursor.GetRecordBuffer(Forward ? grmNext : grmPrior) == grrOK) (void)Cursor.GetRecNo();
}

// Every index of the open cursor: its whole order both ways, and a range
// from the lowest key up (the walk an indexed "x >= constant" makes).
inline void WalkIndexes(TFuzzCursor& T) {
  TVelqorimLocalCursor& c = T.Cursor;
  std::vector<String> names;
  for (int i = 0; i < c.IndexDefs.Count() && i < 4; ++i) names.push_back(c.IndexDefs[i]->Name);
  std::vector<uint8_t> low(static_cast<size_t>(c.RecordBufferSize), 0);
  for (const String& name : names) {
    try {
      c.SetIndexName(name);
      WalkToEnd(c, true);
      WalkToEnd(c, false);
      c.InternalInitKeyBuffer(low.data());
      c.ApplyRange(low.data(), nullptr, 1, 0, false, false);
      WalkToEnd(c, true);
    } catch (const EABSException&) {
    }
    c.ResetRange();
  }
  c.SetIndexName("");
}

// Opens table Name and reads its rows (at most a few hundred) with every
// BLOB, then walks its indexes.
inline void ReadTable(TVelqorimDiskDatabaseData& D, TVelqorimLocalSession& S, const String& Name) {
  TFuzzCursor t(D, S, Name);
  try {
    t.Open();
    (void)t.Cursor.GetRecordCount();
    t.Cursor.InternalFirst();
    uint8_t buffer[256];
    for (int row = 0; row < 300 && t.Cursor.GetRecordBuffer(grmNext) == grrOK; ++row)
      for (int f = 0; f < t.Cursor.FieldDefs.Count(); ++f) {
        if (!IsBlobBaseFieldType(t.Cursor.FieldDefs[f]->BaseFieldType)) continue;
        TABSStream* blob = t.Cursor.InternalCreateBlobStream(false, false, f, bomRead, true);
        if (blob != nullptr)
          while (blob->Read(buffer, sizeof buffer) > 0) {
          }
        t.Cursor.InternalCloseBLOB(f);
      }
  } catch (const EABSException&) {
    return;
  }
  WalkIndexes(t);
}

// Opens the file as a session would, walks its catalogue, reads every table
// and closes it again. Engine errors are expected outcomes; anything else escapes.
inline void OpenAndWalk(const String& File, bool MultiUser) {
  TVelqorimDiskDatabaseData d;
  d.DatabaseName = File;
  d.Password()->Password = FuzzPassword;
  TVelqorimLocalSession s;
  s.MultiUser = MultiUser;
  try {
    d.ConnectSession(&s);
  } catch (const EABSException&) {
    return;
  }
  try {
    TStringList names;
    d.GetTablesList(names);
    for (int i = 0; i < names.Count(); ++i) {
      int32_t id = 0, meta = 0, most = 0, locks = 0;
      d.OpenTableFromList(names[i], id, meta, most, locks);
    }
    for (int i = 0; i < names.Count() && i < 4; ++i) ReadTable(d, s, names[i]);
    (void)d.GetDBFileConnectionsCount();
    (void)d.GetNewObjectId();
  } catch (const EABSException&) {
  }
  try {
    d.DisconnectSession(&s);
  } catch (const EABSException&) {
  }
}
