// Writes small valid database files as seeds of the file fuzz target: plain
// and enciphered, empty, with catalogue entries and with tables of rows. Each
// seed starts with the switch byte the target reads.
//   dbfile_fuzz_seeds FOLDER

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/os/Files.h"
#include "tests/db_storage/fuzz/DbFileFuzz.h"

namespace {
// A table with two indexes and a BLOB field: rows over several index pages,
// a few BLOBs, one spanning pages.
void AddRows(TVelqorimDiskDatabaseData& D, TVelqorimLocalSession& S, const String& Name) {
  TFuzzCursor t(D, S, Name);
  TVelqorimFieldDefs fields;
  const struct {
    const char* Name;
    TABSAdvancedFieldType Type;
    int Size;
  } columns[] = {{"id", aftInteger, 0}, {"name", aftString, 12}, {"body", aftBlob, 0}};
  for (const auto& c : columns) {
    auto* f = fields.AddCreated();
    f->Name = c.Name;
    f->SetFieldDefDataType(c.Type, c.Size);
  }
  fields[2]->BLOBCompressionAlgorithm = acaZLIB;
  fields[2]->BLOBCompressionMode = 1;
  TVelqorimIndexDefs indexes;
  for (const char* column : {"name", "id"}) {
    auto* index = indexes.AddCreated();
    index->Name = std::string("by_") + column;
    index->SetColumnCount(1);
    index->GetIndexColumn(0).FieldName = column;
  }
  TVelqorimConstraintDefs constraints;
  t.Cursor.CreateTable(fields, indexes, constraints);
  t.Open();
  // Enough rows that each index spans several pages under a root.
  for (int i = 0; i < 60; ++i) {
    t.Cursor.InternalInitRecord(t.Record, true);
    TABSVariant id, name;
    id.SetAsInteger(i);
    t.Cursor.SetFieldValue(id, 0, true);
    name.SetAsAnsiString("row" + std::to_string(i));
    t.Cursor.SetFieldValue(name, 1, true);
    String body;
    for (int b = 0; b < (i == 4 ? 1500 : i < 4 ? 10 * i : 0); ++b) body += static_cast<char>('a' + (b * 7 + i) % 26);
    TABSStream* blob = t.Cursor.InternalCreateBlobStream(true, false, 2, bomWrite, false);
    blob->Write(body.data(), static_cast<int64_t>(body.size()));
    blob->SetModified(true);
    t.Cursor.InternalCloseBLOB(2);
    t.Cursor.InternalPost(true);
  }
}

void Seed(const String& Folder, const String& Name, const char* Password, int Tables, bool Rows = false) {
  const String file = GetTempDir() + "/velqorim-seed-" + std::to_string(::getpid()) + ".vdb";
  {
    TVelqorimDiskDatabaseData d;
    d.DatabaseName = file;
    d.Password()->Password = Password;
    d.PageSize = 512;
    d.MaxSessionCount = 16;
    d.CreateDatabase();
    TVelqorimLocalSession s;
    d.ConnectSession(&s);
    for (int i = 0; i < Tables; ++i) {
      if (Rows) AddRows(d, s, "Table" + std::to_string(i));
      else d.AddTableToList(d.GetNewObjectId(), "Table" + std::to_string(i), 7, 8, 9);
    }
    d.DisconnectSession(&s);
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ::unlink(file.c_str());
  std::ofstream out(Folder + "/" + Name, std::ios::binary);
  out.put(0);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Seed(argv[1], "plain-empty", "", 0);
  Seed(argv[1], "plain-tables", "", 3);
  Seed(argv[1], "enciphered-tables", FuzzPassword, 2);
  Seed(argv[1], "plain-rows", "", 1, true);
  Seed(argv[1], "enciphered-rows", FuzzPassword, 1, true);
  return 0;
}
