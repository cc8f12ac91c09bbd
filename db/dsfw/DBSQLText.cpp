// What provider support reads from SQL text: the table of a single-table
// SELECT and the index its ORDER BY asks for.

#include <cctype>
#include <vector>

#include "db/dsfw/DB.h"

namespace {

struct TSQLWord {
  String Text;
  bool Name = false;  // a word or a quoted name (not a string literal or symbol)
  bool Quoted = false;
  int Depth = 0;      // parentheses around it
};

// Words, quoted names and symbols of SQL text; string literals and comments
// are skipped, parentheses counted.
std::vector<TSQLWord> SplitSQL(const String& SQL) {
  std::vector<TSQLWord> words;
  int depth = 0;
  size_t i = 0;
  const size_t n = SQL.size();
  auto closing = [](char c) { return c == '[' ? ']' : c; };
  while (i < n) {
    const char c = SQL[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '-' && i + 1 < n && SQL[i + 1] == '-') {
      while (i < n && SQL[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && SQL[i + 1] == '*') {
      const size_t end = SQL.find("*/", i + 2);
      i = end == String::npos ? n : end + 2;
    } else if (c == '\'') {
      // A string literal; '' inside stays in it.
      for (++i; i < n; ++i)
        if (SQL[i] == '\'') {
          if (i + 1 < n && SQL[i + 1] == '\'') {
            ++i;
            continue;
          }
          ++i;
          break;
        }
      words.push_back({"'", false, false, depth});
    } else if (c == '"' || c == '[' || c == '`') {
      const size_t end = SQL.find(closing(c), i + 1);
      const size_t stop = end == String::npos ? n : end;
      words.push_back({SQL.substr(i + 1, stop - i - 1), true, true, depth});
      i = stop == n ? n : stop + 1;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
      const size_t start = i;
      while (i < n && (std::isalnum(static_cast<unsigned char>(SQL[i])) || SQL[i] == '_' || SQL[i] == '$' ||
                       static_cast<unsigned char>(SQL[i]) >= 0x80))
        ++i;
      words.push_back({SQL.substr(start, i - start), true, false, depth});
    } else {
      if (c == ')') --depth;
      words.push_back({String(1, c), false, false, depth});
      if (c == '(') ++depth;
      ++i;
    }
  }
  return words;
}

bool IsWord(const TSQLWord& W, const char* Word) { return W.Name && !W.Quoted && SameText(W.Text, Word); }

bool IsAnyWord(const TSQLWord& W, std::initializer_list<const char*> Words) {
  for (const char* w : Words)
    if (IsWord(W, w)) return true;
  return false;
}

// The position after a possibly qualified name ("db"."table", t.column) starting at I; Last is its last part.
size_t ReadName(const std::vector<TSQLWord>& Words, size_t I, String& Last) {
  Last = Words[I].Text;
  ++I;
  while (I + 1 < Words.size() && Words[I].Text == "." && !Words[I].Name && Words[I + 1].Name) {
    Last = Words[I + 1].Text;
    I += 2;
  }
  return I;
}

}  // namespace

String GetTableNameFromSQL(const String& SQL) {
  const std::vector<TSQLWord> words = SplitSQL(SQL);
  if (words.empty() || !IsWord(words[0], "SELECT")) return String();
  size_t i = 1;
  while (i < words.size() && !(words[i].Depth == 0 && IsWord(words[i], "FROM"))) ++i;
  ++i;
  // A database file named by a string: 'file'.table
  if (i + 2 < words.size() && words[i].Text == "'" && !words[i].Name && words[i + 1].Text == ".") i += 2;
  if (i >= words.size() || !words[i].Name) return String();
  if (IsWord(words[i], "MEMORY") && i + 1 < words.size() && words[i + 1].Name) ++i;
  String table;
  i = ReadName(words, i, table);
  if (i < words.size() && IsWord(words[i], "AS")) ++i;
  if (i < words.size() && words[i].Name &&
      !IsAnyWord(words[i], {"WHERE", "GROUP", "HAVING", "ORDER", "UNION", "EXCEPT", "MINUS", "INTERSECT", "JOIN",
                            "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "PASSWORD", "TOP"}))
    ++i;  // an alias
  // Joins and lists of tables have no one table.
  if (i < words.size() &&
      (words[i].Text == "," || IsAnyWord(words[i], {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL"})))
    return String();
  return table;
}

TIndexDef* GetIndexForOrderBy(const String& SQL, TDataSet* DataSet) {
  const std::vector<TSQLWord> words = SplitSQL(SQL);
  size_t i = words.size();
  for (size_t k = 0; k + 1 < words.size(); ++k)
    if (words[k].Depth == 0 && IsWord(words[k], "ORDER") && IsWord(words[k + 1], "BY")) i = k + 2;
  if (i >= words.size()) return nullptr;
  String fields, desc;
  int count = 0, descending = 0;
  while (i < words.size()) {
    String name;
    if (!words[i].Name) return nullptr;
    const bool ordinal = !words[i].Quoted && std::isdigit(static_cast<unsigned char>(words[i].Text[0]));
    i = ReadName(words, i, name);
    if (ordinal) {
      // A column's number in the select list.
      int n = 0;
      if (DataSet == nullptr || !TryStrToInt(name, n) || n < 1 || n > DataSet->Fields().Count()) return nullptr;
      name = DataSet->Fields()[n - 1]->FieldName;
    }
    bool isDesc = false;
    if (i < words.size() && IsAnyWord(words[i], {"ASC", "DESC", "ASCENDING", "DESCENDING"})) {
      isDesc = IsWord(words[i], "DESC") || IsWord(words[i], "DESCENDING");
      ++i;
    }
    fields += (count > 0 ? ";" : "") + name;
    if (isDesc) {
      desc += (descending > 0 ? ";" : "") + name;
      ++descending;
    }
    ++count;
    if (i >= words.size() || words[i].Text == ";") break;
    if (words[i].Text != ",") return nullptr;
    ++i;
  }
  auto* def = new TIndexDef;
  def->Fields = fields;
  def->DescFields = desc;
  if (descending == count) def->Options |= ixDescending;
  return def;
}
