// A table as an SQL script in the engine's own dialect, written so that the
// SQL processor runs it back into an equal table: every value is written in a
// form that reads back exactly (numbers with all their digits, times with
// their milliseconds, binary data as MIME Base64 inside MimeToBin).

#include "db/sql/VelqorimTableExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "db/sql/VelqorimExpressions.h"
#include "db/sql/VelqorimLexer.h"
#include "db/sql/VelqorimTable.h"
#include "db/support/DAZCompression.h"
#include "db/support/DAZDecUtil.h"
#include "db/support/DAZUnicode.h"

void TVelqorimExportToSqlOptions::Assign(TPersistent* Source) {
  auto* Options = dynamic_cast<TVelqorimExportToSqlOptions*>(Source);
  if (Options == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  Structure = Options->Structure;
  AddDropTable = Options->AddDropTable;
  BlobSettings = Options->BlobSettings;
  Data = Options->Data;
  FieldNamesInInserts = Options->FieldNamesInInserts;
}

namespace {

// A text literal: single quotes, inner ones doubled.
String Quoted(const String& Text) {
  String Result = "'";
  for (char c : Text) Result += c == '\'' ? String("''") : String(1, c);
  return Result + "'";
}

}  // namespace

String QuoteSQLIdentifier(const String& Name) {
  auto plain = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  };
  bool quote = Name.empty() || (Name[0] >= '0' && Name[0] <= '9') || FindReservedWord(Name) >= 0;
  for (char c : Name) quote = quote || !plain(c);
  return quote ? Quoted(Name) : Name;
}

namespace {

const char* const LineBreak = "\r\n";

bool IsStringType(TABSAdvancedFieldType Type) {
  return Type == aftChar || Type == aftString || Type == aftWideChar || Type == aftWideString || Type == aftGuid;
}

bool IsSizedType(TABSAdvancedFieldType Type) {
  return Type == aftChar || Type == aftString || Type == aftWideChar || Type == aftWideString || Type == aftBytes ||
         Type == aftVarBytes;
}

// The shortest text that reads back as the same double; with a point or an
// exponent, so that it reads as a floating value (-0 stays negative).
String DoubleText(double Value) {
  char Buffer[64];
  const auto r = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
  String Text(Buffer, r.ptr);
  if (Text.find_first_of(".eEn") == String::npos) Text += ".0";
  return Text;
}

// An extended value that a double holds exactly is written as that double;
// any other with all 21 significant digits, which the SQL reader takes as
// extended.
String ExtendedText(long double Value) {
  const double d = static_cast<double>(Value);
  if (static_cast<long double>(d) == Value) return DoubleText(d);
  char Buffer[64];
  std::snprintf(Buffer, sizeof Buffer, "%.20Le", Value);
  return Buffer;
}

String MimeToBin(const void* Data, size_t Size) {
  return "MimeToBin('" + StringFormat_MIME64.StrTo(Data, static_cast<int>(Size)) + "')";
}

// The text of a text value (8-bit, 16-bit or a memo's bytes) as UTF-8.
String ValueText(const TABSVariant& Value) {
  if (Value.IsWideStringDataType() || Value.DataType() == bftWideClob) {
    if (Value.DataType() == bftWideClob) {
      WideString Text(static_cast<size_t>(Value.DataSize()) / 2, u'\0');
      std::memcpy(Text.data(), Value.pData(), Text.size() * 2);
      return UTF16ToUTF8(Text);
    }
    return UTF16ToUTF8(Value.GetAsWideString());
  }
  if (Value.DataType() == bftClob || Value.DataType() == bftBlob)
    return AnsiToUTF8(std::string_view(Value.pData(), static_cast<size_t>(Value.DataSize())));
  return AnsiToUTF8(Value.GetAsAnsiString());
}

// Hours, minutes, seconds and (when not 0) milliseconds of a time of day in
// milliseconds, as "HH:NN:SS[.ZZZ]".
String TimeText(int32_t MilliSeconds, bool& HasMilliSeconds) {
  const int32_t t = std::abs(MilliSeconds);
  const int ms = t % 1000, s = t / 1000 % 60, n = t / 60000 % 60, h = t / 3600000;
  HasMilliSeconds = ms != 0;
  char Buffer[32];
  if (HasMilliSeconds) std::snprintf(Buffer, sizeof Buffer, "%.2d:%.2d:%.2d.%.3d", h, n, s, ms);
  else std::snprintf(Buffer, sizeof Buffer, "%.2d:%.2d:%.2d", h, n, s);
  return Buffer;
}

String DateText(int32_t DAZDate) {
  int y, m, d;
  ABSDecodeDate(DAZDateToTDate(DAZDate), y, m, d);
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "%.4d-%.2d-%.2d", y, m, d);
  return Buffer;
}

// A non-null value of a column of the declared type as an SQL literal that
// reads back as the same value.
String SQLValueText(const TABSVariant& Value, TABSAdvancedFieldType Type, int Size) {
  switch (Type) {
    case aftChar: case aftString: case aftWideChar: case aftWideString: case aftGuid: case aftMemo: {
      const String Text = ValueText(Value);
      // A script's lines may be split and joined again (a query's SQL lines
      // end in LF alone), so text holding a CR goes as the column's own units.
      if (Text.find('\r') == String::npos) return Quoted(Text);
      if (Value.DataType() == bftClob) return MimeToBin(Value.pData(), static_cast<size_t>(Value.DataSize()));
      if (Value.IsWideStringDataType()) {
        const WideString Units = Value.GetAsWideString();
        return MimeToBin(Units.data(), Units.size() * 2);
      }
      const AnsiString Units = Value.GetAsAnsiString();
      return MimeToBin(Units.data(), Units.size());
    }
    case aftShortint: case aftSmallint: case aftInteger: case aftLargeint: case aftByte: case aftWord:
    case aftCardinal: case aftAutoInc: case aftAutoIncShortint: case aftAutoIncSmallint: case aftAutoIncInteger:
    case aftAutoIncLargeint: case aftAutoIncByte: case aftAutoIncWord: case aftAutoIncCardinal:
      return std::to_string(Value.GetAsInt64());
    case aftSingle: case aftDouble: case aftCurrency:
      return DoubleText(Value.GetAsDouble());
    case aftExtended:
      return ExtendedText(Value.GetAsExtended());
    case aftBoolean:
      return Value.GetAsBoolean() ? "True" : "False";
    case aftDate:
      return "'" + DateText(Value.GetAsDAZDate()) + "'";
    case aftTime: {
      bool ms;
      const String Text = TimeText(Value.GetAsDAZTime(), ms);
      // Whole seconds keep the function form; milliseconds need the literal, which reads them too.
      return ms ? "'" + Text + "'" : "ToDate('" + Text + "','HH24:NN:SS')";
    }
    case aftDateTime: case aftTimeStamp: {
      const TABSDateTime v = Value.GetAsDAZDateTime();
      bool ms;
      return "'" + DateText(v.Date) + " " + TimeText(v.Time, ms) + "'";
    }
    case aftBytes: case aftVarBytes: {
      // A BYTES value is its column's size; a VARBYTES value carries one spare byte after its own.
      const size_t n = Type == aftBytes ? std::min(static_cast<size_t>(Value.DataSize()), static_cast<size_t>(Size))
                                        : static_cast<size_t>(std::max(Value.DataSize() - 1, 0));
      return MimeToBin(Value.pData(), n);
    }
    case aftBlob: case aftGraphic: case aftFormattedMemo: case aftWideMemo:
      return MimeToBin(Value.pData(), static_cast<size_t>(Value.DataSize()));
    default:
      return "NULL";
  }
}

// A column's default: string types as text literals, expression texts (NOW,
// CURRENT_DATE ...) of other types bare, any other value as a literal.
String DefaultText(const TABSVariant& Value, TABSAdvancedFieldType Type, int Size) {
  if (!IsStringType(Type) && Value.IsStringDataType() && IsDefaultValueExpression(Value)) return ValueText(Value);
  return SQLValueText(Value, Type, Size);
}

String ColumnText(const TVelqorimAdvFieldDef& Def, bool BlobSettings) {
  String Text = "  " + QuoteSQLIdentifier(Def.Name);
  Text += Def.DataType == aftString ? String(" VARCHAR") : " " + AdvancedFieldTypeToSQLName(Def.DataType);
  if (IsSizedType(Def.DataType)) Text += "(" + std::to_string(Def.Size) + ")";
  if (BlobSettings && IsBlobAdvancedFieldType(Def.DataType)) {
    Text += " BLOBBlockSize " + std::to_string(Def.BLOBBlockSize) + " BLOBCompressionAlgorithm " +
            CompressionAlgorithmToString(Def.BLOBCompressionAlgorithm) + " BLOBCompressionMode " +
            std::to_string(Def.BLOBCompressionMode);
  }
  if (!Def.DefaultValue.IsNull()) Text += " DEFAULT " + DefaultText(Def.DefaultValue, Def.DataType, Def.Size);
  if (Def.Required) Text += " NOT NULL";
  if (!Def.MinValue.IsNull()) Text += " MINVALUE " + SQLValueText(Def.MinValue, Def.DataType, Def.Size);
  if (!Def.MaxValue.IsNull()) Text += " MAXVALUE " + SQLValueText(Def.MaxValue, Def.DataType, Def.Size);
  return Text;
}

bool ListHolds(const TStringList& List, const String& Name) {
  for (int i = 0; i < List.Count(); ++i)
    if (UpperCase(List.Strings(i)) == UpperCase(Name)) return true;
  return false;
}

String IndexText(const TVelqorimAdvIndexDef& Def) {
  String Text = (Def.Options & ixPrimary) ? "  PRIMARY KEY" : (Def.Options & ixUnique) ? "  UNIQUE INDEX" : "  INDEX";
  if (!Def.Name.empty()) Text += " " + QuoteSQLIdentifier(Def.Name);
  Text += " (";
  TStringList Fields, Desc, CaseIns;
  SplitFieldList(Fields, Def.Fields);
  SplitFieldList(Desc, Def.DescFields);
  SplitFieldList(CaseIns, Def.CaseInsFields);
  for (int i = 0; i < Fields.Count(); ++i) {
    if (i > 0) Text += ", ";
    Text += QuoteSQLIdentifier(Fields.Strings(i));
    if (ListHolds(Desc, Fields.Strings(i))) Text += " DESC";
    if (ListHolds(CaseIns, Fields.Strings(i))) Text += " NOCASE";
  }
  return Text + ")";
}

}  // namespace

void TVelqorimTable::WriteScriptText(TStream& Stream, const String& Text) {
  // UTF-8 whatever the stream: an 8-bit code page would lose wide text, and
  // the SQL processor reads its scripts as UTF-8.
  Stream.WriteString(Text);
}

void TVelqorimTable::WriteScriptStructure(TStream& Stream) {
  const String Table = QuoteSQLIdentifier(FTableName);
  if (FExportToSqlOptions->AddDropTable) WriteScriptText(Stream, "DROP TABLE " + Table + ";" + LineBreak);
  WriteScriptText(Stream, "CREATE TABLE " + Table + " (" + LineBreak);
  for (int i = 0; i < AdvFieldDefs().Count(); ++i) {
    if (i > 0) WriteScriptText(Stream, String(",") + LineBreak);
    WriteScriptText(Stream, ColumnText(*AdvFieldDefs()[i], FExportToSqlOptions->BlobSettings));
  }
  // Indexes the engine made for a while (sorting, searches) are no part of the table.
  IndexDefs().Updated = false;
  UpdateIndexDefs();
  TVelqorimAdvIndexDefs Indexes;
  Indexes.Assign(AdvIndexDefs(), true);
  for (int i = 0; i < Indexes.Count(); ++i)
    WriteScriptText(Stream, String(", ") + LineBreak + IndexText(*Indexes[i]));
  WriteScriptText(Stream, String(LineBreak) + ");" + LineBreak);
}

void TVelqorimTable::WriteScriptData(TStream& Stream) {
  String Head = "INSERT INTO " + QuoteSQLIdentifier(FTableName) + " ";
  if (FExportToSqlOptions->FieldNamesInInserts) {
    Head += "(";
    for (int i = 0; i < AdvFieldDefs().Count(); ++i)
      Head += (i > 0 ? ", " : "") + QuoteSQLIdentifier(AdvFieldDefs()[i]->Name);
    Head += ") ";
  }
  Head += "values (";
  TABSVariant Value;
  First();
  while (!Eof()) {
    String Line = Head;
    for (int i = 0; i < AdvFieldDefs().Count(); ++i) {
      const TVelqorimAdvFieldDef& Def = *AdvFieldDefs()[i];
      GetFieldValue(Value, i, false);
      if (i > 0) Line += ", ";
      Line += Value.IsNull() ? String("NULL") : SQLValueText(Value, Def.DataType, Def.Size);
    }
    WriteScriptText(Stream, Line + ");" + LineBreak);
    Next();
  }
}

void TVelqorimTable::ExportToSQL(TStream& Stream) {
  CheckInactive();
  Open();
  try {
    if (FExportToSqlOptions->Structure) WriteScriptStructure(Stream);
    if (FExportToSqlOptions->Data) WriteScriptData(Stream);
    WriteScriptText(Stream, LineBreak);
  } catch (...) {
    CloseQuietly();
    throw;
  }
  Close();
}

void TVelqorimTable::ExportToSQL(const String& FileName) {
  CheckInactive();  // before an existing file is emptied
  TFileStream Stream(FileName, fmCreate | fmShareDenyWrite);
  ExportToSQL(Stream);
}

String TVelqorimTable::ExportToSQL() {
  TStringStream Stream;
  ExportToSQL(Stream);
  return Stream.DataString();
}
