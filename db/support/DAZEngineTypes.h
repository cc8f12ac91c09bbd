#pragma once
// Small records and enumerations the storage engine and the SQL layer share.
// The numeric values of the one-byte enumerations are stored in files or
// compared as numbers; keep their order.

#include <cstdint>

#include "db/support/DAZCipher.h"
#include "db/support/DAZTypes.h"

enum TABSGetRecordMode : uint8_t { grmCurrent, grmNext, grmPrior };
enum TABSGetRecordResult : uint8_t { grrOK, grrBOF, grrEOF, grrError };

#pragma pack(push, 1)
// One record read: what to read (mode, order, start) in, the outcome out.
struct TABSNavigationInfo {
  TABSGetRecordMode GetRecordMode = grmCurrent;
  int32_t IndexID = -1;
  TABSPageItemID RecordID{-1, 0};
  uint8_t* RecordBuffer = nullptr;
  bool FirstPosition = false;
  bool LastPosition = false;
  TABSGetRecordResult GetRecordResult = grrError;
};

// A disk BLOB's cached copy, kept in a record slot of a memory record.
struct TABSDiskBLOBCache {
  int32_t NumBlocks;
  int64_t UncompressedSize;
  bool Modified;
  // Handle into the engine's BLOB table (never a raw pointer: slots are 32-bit wide).
  uint32_t BlobData;
};

// Head of a temporary table's BLOB entry and of direct BLOB transfers (stored: 20 bytes).
struct TABSPartialTemporaryBLOBDescriptor {
  int32_t NumBlocks;
  int64_t UncompressedSize;
  int64_t CompressedSize;
};
#pragma pack(pop)
static_assert(sizeof(TABSPartialTemporaryBLOBDescriptor) == 20);

constexpr TABSPageItemID ABSNoRecordID{-1, 0};
inline bool operator==(const TABSPageItemID& A, const TABSPageItemID& B) {
  return A.PageNo == B.PageNo && A.PageItemNo == B.PageItemNo;
}

enum TABSBLOBOpenMode : uint8_t { bomWrite, bomRead, bomReadWrite };
enum TABSLockType : uint8_t { ltIS, ltS, ltSIRW, ltXIRW, ltRW, ltU, ltX };
enum TABSConstraintType : uint8_t { ctPK = 0, ctFK = 1, ctUnique = 2, ctNotNull = 3, ctCheck = 4 };
enum TABSBatchMoveType : uint8_t { bmtAppend, bmtAppendUpdate, bmtCopy, bmtDelete, bmtUpdate, bmtSynchronize };
enum TABSJoinType : uint8_t { ajtCross = 0, ajtInner, ajtLeftOuter, ajtRightOuter, ajtFullOuter };
enum TABSUnionType : uint8_t { autUnion = 0, autIntersect, autExcept };
enum TABSQuantifier : uint8_t { qUNDEFINED, qALL, qANY };
enum TABSDateTimeExtractField : uint8_t { dtefYear, dtefMonth, dtefDay, dtefHour, dtefMinute, dtefSecond };
// The expression operators; their values are listed with the expression nodes.
enum TABSDataOperator : uint8_t;

struct TABSSortSpecification {
  AnsiString TableName;
  AnsiString ColumnName;
  bool Descending = false;
};

// A database's password and the cipher of its pages.
struct TABSPassword {
  AnsiString Password;
  TABSCryptoAlgorithm CryptoAlgorithm = craRijndael_128;
};
