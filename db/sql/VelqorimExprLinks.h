#pragma once
// What the expression layer needs of the rows it reads, kept narrow so that
// cursors, relational operators and subqueries plug in without the
// expression layer knowing their classes.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/support/DAZVariant.h"

class TVelqorimExpression;

// A column of a cursor's field list as the column nodes bind it.
struct TVelqorimExprFieldInfo {
  int FieldNo = -1;
  int MemoryOffset = 0;
  int MemoryDataSize = 0;
  TABSAdvancedFieldType AdvancedFieldType = aftUnknown;
  TABSBaseFieldType BaseFieldType = bftUnknown;
  int FieldSize = 0;  // declared length of text and byte types
};

// The cursor side: a table's field list, its record buffers and BLOB text.
class TVelqorimExprCursor {
 public:
  virtual ~TVelqorimExprCursor() = default;
  // Looks the name up (case ignored) in FieldDefs, or in VisibleFieldDefs
  // when Visible; a visible entry answers the table field it shows.
  virtual bool FindFieldDef(const String& Name, bool Visible, TVelqorimExprFieldInfo& Info) = 0;
  virtual uint8_t* GetCurrentRecordBuffer() = 0;
  virtual void SetCurrentRecordBuffer(uint8_t* Buffer) = 0;
  // The whole text of a CLOB field of the record in Buffer (ANSI or wide by the field's type).
  virtual void ReadBlobText(int FieldNo, uint8_t* Buffer, TABSVariant& Value) = 0;
  // Index scan keys: a fresh zero-filled record buffer, its size, and the
  // cursor's value store into a record buffer.
  virtual uint8_t* AllocateRecordBuffer() = 0;
  virtual int GetRecordBufferSize() const = 0;
  virtual void SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess, uint8_t* RecordBuffer) = 0;
};

// A result column of a relational operator.
struct TVelqorimAOColumnInfo {
  String FieldName;
  TABSAdvancedFieldType AdvancedFieldType = aftUnknown;
  int FieldSize = 0;
  int FieldPrecision = 0;
};

// The relational operator side (the operator tree builds on this base).
class TVelqorimAO {
 public:
  virtual ~TVelqorimAO() = default;
  // How many columns match the name and qualifier; their numbers are appended
  // to FieldNumbers when given. Unhide makes matches visible.
  virtual int FieldExists(const String& FieldName, const String& TableName, bool Unhide,
                          std::vector<int>* FieldNumbers, bool UnhideChildrenOnly, bool ScanOnlyVisibleFields) = 0;
  virtual TVelqorimAOColumnInfo GetColumnInfo(int FieldNo) = 0;
  virtual void GetFieldValue(TABSVariant& Value, int FieldNo, bool bCopy, bool AccessToHidden) = 0;
  virtual TVelqorimAO* GetLeftAO() { return nullptr; }
  virtual TVelqorimAO* GetRightAO() { return nullptr; }
  virtual bool IsOuterJoin() const { return false; }
  virtual bool IsGroupBy() const { return false; }
  // Takes the expression as (part of) its filter.
  virtual void SetFilter(std::unique_ptr<TVelqorimExpression> FilterExpr) = 0;

  // Columns of nested queries bound to this operator's current row so far:
  // a nested query whose building raised it reads the enclosing row.
  int64_t OuterReferences = 0;
};
