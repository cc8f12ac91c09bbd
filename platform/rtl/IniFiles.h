#pragma once
// Settings files of [sections] holding key=value lines, kept in memory.

#include <vector>

#include "platform/rtl/Classes.h"

// The whole file lives in memory; UpdateFile writes it back. Section and key
// names compare ignoring case unless CaseSensitive; keys and values are
// trimmed; when a key repeats, the first one is read and written. A section
// that appears twice reads as one (its first appearance first). Lines starting
// with ';' or '#' are comments: they, blank lines and lines without '=' are
// kept as they were when the file is written back.
class TMemIniFile : public TObject {
 public:
  // Loads the file when it exists (EFOpenError when it exists but cannot be read).
  explicit TMemIniFile(const String& FileName);

  const String& FileName() const { return FFileName; }
  // Points at another file, loading it when Reload (and it exists).
  void Rename(const String& FileName, bool Reload);
  void Clear();
  // Replace the contents with, or copy them out as, the file's lines.
  void SetStrings(const TStrings& List);
  void GetStrings(TStrings& List) const;

  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value) { FCaseSensitive = Value; }

  String ReadString(const String& Section, const String& Ident, const String& Default) const;
  virtual void WriteString(const String& Section, const String& Ident, const String& Value);
  // Decimal, "$hex" or "0xhex"; Default when missing or not an integer.
  int ReadInteger(const String& Section, const String& Ident, int Default) const;
  int64_t ReadInt64(const String& Section, const String& Ident, int64_t Default) const;
  void WriteInteger(const String& Section, const String& Ident, int64_t Value);
  // A number (non-zero = true) or true/false, yes/no; written as 1 or 0.
  bool ReadBool(const String& Section, const String& Ident, bool Default) const;
  void WriteBool(const String& Section, const String& Ident, bool Value);
  // With a point as the decimal separator whatever the user's locale.
  double ReadFloat(const String& Section, const String& Ident, double Default) const;
  void WriteFloat(const String& Section, const String& Ident, double Value);

  bool SectionExists(const String& Section) const;
  bool ValueExists(const String& Section, const String& Ident) const;
  // Key names of a section, every section name (once, in order of first
  // appearance), or a section's name=value lines.
  void ReadSection(const String& Section, TStrings& Strings) const;
  void ReadSections(TStrings& Strings) const;
  void ReadSectionValues(const String& Section, TStrings& Strings) const;
  virtual void EraseSection(const String& Section);
  virtual void DeleteKey(const String& Section, const String& Ident);

  // Writes the contents to FileName (with a UTF-8 mark when the loaded file
  // had one) through a temporary file, so a failed write leaves the old file.
  virtual void UpdateFile();

 private:
  struct Line {
    String Key;    // empty for comments, blank and other lines
    String Value;  // the whole line when Key is empty
    bool IsKey() const { return !Key.empty(); }
  };
  struct Section {
    String Name;
    std::vector<Line> Lines;
  };

  void LoadFile();
  bool SameName(const String& A, const String& B) const;
  // The first key of that name in any section of that name.
  Line* FindKey(const String& Section, const String& Ident);
  const Line* FindKey(const String& Section, const String& Ident) const;
  void CollectKeys(const String& Section, TStrings& Strings, bool WithValues) const;
  // After the section's last non-blank line, so a separating blank line stays last.
  static size_t KeyInsertPoint(const Section& S);

  String FFileName;
  std::vector<String> FPreamble;  // lines before the first section
  std::vector<Section> FSections;  // in file order; a name may repeat
  bool FCaseSensitive = false;
  bool FWriteBOM = false;
};

// The same, written back to the file after every change.
class TIniFile : public TMemIniFile {
 public:
  using TMemIniFile::TMemIniFile;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
};
