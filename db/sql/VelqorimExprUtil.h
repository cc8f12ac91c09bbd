#pragma once
// Helpers shared by the expression units.

#include "db/sql/VelqorimExpressions.h"
#include "db/support/DAZExcept.h"

// Codes of the engine's own answers where the SQL layer had none.
constexpr int ErrFunctionArgument = 30507;  // "Invalid argument for function '%s'"
constexpr int ErrFunctionOverflow = 30508;  // "Numeric overflow in function '%s'"
constexpr int ErrSyntax = 30510;            // a missing operand or item
constexpr int ErrNoSubqueries = 30511;
constexpr int ErrNoAutoinc = 30512;

[[noreturn]] inline void RaiseUnknownOperator(int Code, TABSDataOperator Op) {
  throw EABSException(Code, "Unknown operator: '%s'", {OperatorName(Op)});
}
[[noreturn]] inline void RaiseFunctionArgument(TABSDataOperator Op, const char* Name = nullptr) {
  throw EABSException(ErrFunctionArgument, "Invalid argument for function '%s'",
                      {Name ? String(Name) : OperatorName(Op)});
}
[[noreturn]] inline void RaiseFunctionOverflow(const char* Name) {
  throw EABSException(ErrFunctionOverflow, "Numeric overflow in function '%s'", {Name});
}

// Replaces Value by an integer (32 bits, or 64 when it does not fit).
inline void SetIntegerValue(TABSVariant& Value, int64_t v) {
  Value.Clear(bftUnknown);
  if (v >= INT32_MIN && v <= INT32_MAX) Value.SetAsInteger(static_cast<int32_t>(v));
  else Value.SetAsInt64(v);
}
inline void SetDoubleValue(TABSVariant& Value, double v) {
  Value.Clear(bftUnknown);
  Value.SetAsDouble(v);
}

inline bool EqualsASCIIUpper(const String& a, const String& b) { return UpperCase(a) == UpperCase(b); }

// Wraps Node (replacing it in its slot) in a cast to Type unless it already
// has that type or is a cast; answers the node now in the slot.
TVelqorimExprNode* WrapInCast(TVelqorimExprNodePtr& Slot, TABSAdvancedFieldType Type);
