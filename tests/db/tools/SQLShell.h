#pragma once
// Runs SQL scripts through the processor and prints result rows as text: the
// test shell's and the conformance runners' common ground.

#include <string>
#include <vector>

#include "db/sql/VelqorimSQLProcessor.h"
#include "db/support/DAZUnicode.h"

namespace sqlshell {

// A value as the shell prints it: NULL, integers as digits, others as their text.
inline std::string ValueText(const TABSVariant& v) {
  if (v.IsNull()) return "NULL";
  if (IsIntegerBaseFieldType(v.DataType())) return std::to_string(v.GetAsInt64());
  if (v.DataType() == bftLogical) return v.GetAsBoolean() ? "TRUE" : "FALSE";
  if (v.IsNumericDataType()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v.GetAsDouble());
    return buf;
  }
  return AnsiToUTF8(v.GetAsAnsiString());
}

// The visible values of every result row.
inline std::vector<std::vector<std::string>> ResultRows(TVelqorimAOBase* R) {
  std::vector<std::vector<std::string>> out;
  if (!R) return out;
  for (auto& row : R->Rows) {
    std::vector<std::string> r;
    for (size_t i = 0; i < R->Columns.size(); ++i)
      if (!R->Columns[i].Hidden) r.push_back(ValueText(row[i]));
    out.push_back(std::move(r));
  }
  return out;
}

// Runs Script and gives its last result's rows, one line each, values joined by '|'.
inline std::string Run(TVelqorimSQLProcessor& P, const std::string& Script) {
  P.PrepareStatement(Script);
  std::string text;
  for (auto& r : ResultRows(P.OpenQuery())) {
    for (size_t i = 0; i < r.size(); ++i) text += (i ? "|" : "") + r[i];
    text += "\n";
  }
  return text;
}

}  // namespace sqlshell
