#pragma once
// What a table's export to an SQL script writes, and the identifier quoting
// the script uses. The export itself is TVelqorimTable::ExportToSQL.

#include "platform/rtl/Classes.h"

class TVelqorimExportToSqlOptions : public TPersistent {
 public:
  // Copies the five choices from another options object; anything else is
  // refused by the framework's assignment.
  void Assign(TPersistent* Source) override;

  bool Structure = true;             // DROP TABLE (see AddDropTable) and CREATE TABLE
  bool AddDropTable = true;          // with Structure, DROP TABLE before CREATE TABLE
  bool BlobSettings = false;         // block size and compression of BLOB columns
  bool Data = false;                 // one INSERT per record
  bool FieldNamesInInserts = false;  // column names in every INSERT
};

// A name as the script writes it: in single quotes (inner quotes doubled)
// when the SQL lexer would not read it back as one plain name, that is when
// it holds a blank, a "-" or anything but letters, digits and "_", starts
// with a digit, or is a reserved word; otherwise as it is.
String QuoteSQLIdentifier(const String& Name);
