#pragma once
// A small table in one record buffer for expression tests, and evaluation helpers.

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "db/sql/VelqorimExpressions.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"

// Columns in the engine's record layout: null-flag bytes, then one slot per column.
class TTestCursor : public TVelqorimExprCursor {
 public:
  struct Column {
    String Name;
    TABSAdvancedFieldType Type;
    int Size;  // characters for text
    TVelqorimExprFieldInfo Info;
  };

  TTestCursor(std::initializer_list<std::pair<const char*, std::pair<TABSAdvancedFieldType, int>>> cols) {
    int offset = static_cast<int>((cols.size() + 7) / 8);
    for (auto& c : cols) {
      Column col{c.first, c.second.first, c.second.second, {}};
      col.Info.FieldNo = static_cast<int>(FColumns.size());
      col.Info.AdvancedFieldType = col.Type;
      col.Info.BaseFieldType = AdvancedFieldTypeToBaseFieldType(col.Type);
      col.Info.FieldSize = col.Size;
      col.Info.MemoryDataSize = GetBaseFieldTypeDataSize(col.Info.BaseFieldType, col.Size);
      col.Info.MemoryOffset = offset;
      offset += col.Info.MemoryDataSize;
      FColumns.push_back(col);
    }
    FSize = offset;
    FBuffer.assign(static_cast<size_t>(FSize), 0);
    for (size_t i = 0; i < FColumns.size(); ++i) SetNullFlag(FBuffer.data(), static_cast<int>(i), true);
  }

  bool FindFieldDef(const String& Name, bool Visible, TVelqorimExprFieldInfo& Info) override {
    if (Visible) return false;
    for (auto& c : FColumns)
      if (UpperCase(c.Name) == UpperCase(Name)) {
        Info = c.Info;
        return true;
      }
    return false;
  }
  uint8_t* GetCurrentRecordBuffer() override { return FCurrent ? FCurrent : FBuffer.data(); }
  void SetCurrentRecordBuffer(uint8_t* Buffer) override { FCurrent = Buffer; }
  void ReadBlobText(int FieldNo, uint8_t* Buffer, TABSVariant& Value) override {
    (void)Buffer;
    Value.SetAsAnsiString(FBlobs.size() > static_cast<size_t>(FieldNo) ? FBlobs[static_cast<size_t>(FieldNo)] : "");
  }
  uint8_t* AllocateRecordBuffer() override {
    FKeyBuffers.push_back(std::vector<uint8_t>(static_cast<size_t>(FSize), 0));
    return FKeyBuffers.back().data();
  }
  int GetRecordBufferSize() const override { return FSize; }
  void SetFieldValue(const TABSVariant& Value, int FieldNo, bool, uint8_t* RecordBuffer) override {
    uint8_t* b = RecordBuffer ? RecordBuffer : GetCurrentRecordBuffer();
    const auto& info = FColumns[static_cast<size_t>(FieldNo)].Info;
    if (Value.IsNull()) {
      SetNullFlag(b, FieldNo, true);
      return;
    }
    TABSVariant v;
    v.Assign(Value, true);
    v.Cast(info.BaseFieldType);
    SetNullFlag(b, FieldNo, false);
    std::memset(b + info.MemoryOffset, 0, static_cast<size_t>(info.MemoryDataSize));
    v.CopyDataToAddress(b + info.MemoryOffset, info.MemoryDataSize);
  }

  // Test side: set a column of the current row by name.
  void Set(const String& Name, const TABSVariant& Value) {
    for (auto& c : FColumns)
      if (UpperCase(c.Name) == UpperCase(Name)) SetFieldValue(Value, c.Info.FieldNo, true, nullptr);
  }
  void SetInt(const String& Name, int v) {
    TABSVariant x;
    x.SetAsInteger(v);
    Set(Name, x);
  }
  void SetText(const String& Name, const String& v) {
    TABSVariant x;
    x.SetAsAnsiString(UTF8ToAnsi(v));
    Set(Name, x);
  }
  void SetNull(const String& Name) { Set(Name, TABSVariant()); }

  std::vector<AnsiString> FBlobs;

 private:
  static void SetNullFlag(uint8_t* b, int no, bool null) {
    if (null) b[no / 8] |= static_cast<uint8_t>(1u << (no % 8));
    else b[no / 8] &= static_cast<uint8_t>(~(1u << (no % 8)));
  }
  std::vector<Column> FColumns;
  std::vector<uint8_t> FBuffer;
  std::vector<std::vector<uint8_t>> FKeyBuffers;
  uint8_t* FCurrent = nullptr;
  int FSize = 0;
};

// A value as "kind:text": null, int (32), i64, dbl, bool, str (8-bit), wstr, date ...
inline String Describe(const TABSVariant* v) {
  if (!v) return "none";
  if (v->IsNull()) return "null";
  switch (v->DataType()) {
    case bftSignedInt32: return "int:" + std::to_string(v->GetAsInteger());
    case bftSignedInt64: return "i64:" + std::to_string(v->GetAsInt64());
    case bftUnsignedInt16: return "word:" + std::to_string(v->GetAsWord());
    case bftDouble: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", v->GetAsDouble());
      return String("dbl:") + buf;
    }
    case bftLogical: return v->GetAsBoolean() ? "bool:T" : "bool:F";
    case bftVarchar: return "str:" + AnsiToUTF8(v->GetAsAnsiString());
    case bftWideVarchar: return "wstr:" + UTF16ToUTF8(v->GetAsWideString());
    case bftDate: return "date:" + AnsiToUTF8(v->GetAsAnsiString());
    case bftTime: return "time:" + AnsiToUTF8(v->GetAsAnsiString());
    case bftDateTime: return "datetime:" + AnsiToUTF8(v->GetAsAnsiString());
    case bftBlob: return "blob:" + std::to_string(v->DataSize());
    default: return "type" + std::to_string(v->DataType()) + ":" + AnsiToUTF8(v->GetAsAnsiString());
  }
}

// Parses text as a value expression (or a condition) over the cursor.
struct TParsed {
  std::unique_ptr<TVelqorimLexer> lexer;
  std::unique_ptr<TVelqorimExpression> expr;
};

inline TParsed ParseText(const String& text, bool condition, TVelqorimExprCursor* cursor = nullptr,
                         bool caseInsensitive = false) {
  TParsed p;
  p.lexer = std::make_unique<TVelqorimLexer>(text);
  p.expr = std::make_unique<TVelqorimExpression>();
  p.expr->LCursor = cursor;
  p.expr->FCaseInsensitive = caseInsensitive;
  p.lexer->GetNextCommand();
  if (condition) p.expr->ParseForBooleanExpression(nullptr, p.lexer.get());
  else p.expr->ParseForValueExpression(nullptr, p.lexer.get());
  return p;
}

// The value, or "error NNNNN" for an engine error.
inline String Eval(const String& text, bool condition = false, TVelqorimExprCursor* cursor = nullptr,
                   bool caseInsensitive = false) {
  try {
    TParsed p = ParseText(text, condition, cursor, caseInsensitive);
    if (!p.expr->Root()) return "no expression";
    return Describe(p.expr->GetValue(true));
  } catch (const EABSException& e) {
    return "error " + std::to_string(e.NativeError);
  }
}
