#pragma once
// Date formats of the SQL date functions ("YYYY-MM-DD HH24:NN:SS"): a format
// is split once into tokens, then formats and reads date-times by them.

#include <cstdint>
#include <vector>

#include "db/support/DAZTypes.h"

enum TDateFormatType : uint8_t {
  dfYYYY, dfYY, dfYEAR, dfQ, dfMONTH, dfMON, dfMM, dfM, dfRM, dfDDD, dfDD, dfDAY, dfDY, dfDW, dfD,
  dfHH12, dfHH24, dfHH, dfH12, dfH24, dfH, dfNN, dfN, dfSS, dfS, dfAMPM, dfText
};

struct TDateFormatToken {
  TDateFormatType TokenType;
  String Text;  // the format's characters that made the word, or the literal text
};

class TDateFormater {
 public:
  explicit TDateFormater(const String& DateFormat);

  // The date-time as text. Month and day names come from the engine's format
  // settings; HH, HH12, H and H12 give 12-hour clock hours (12, 1 .. 11).
  String ToString(TDateTime dt) const;
  // Reads a date-time by the format. Names of months and days are read (and
  // must match); 12-hour hours combine with AMPM. A date part left out gives
  // 1899-12-30. EConvertError for text that does not fit, 30129 for a missing AM/PM word.
  TDateTime ToDate(const String& str) const;
  // The longest text ToString can write.
  int GetStringMaxSize() const;
  // aftDate, aftTime or aftDateTime (both or neither).
  TABSAdvancedFieldType GetDataType() const;
  // One line per token: "<n> <dfWORD> = '<text>'".
  String DebugGetTotenList() const;

  const std::vector<TDateFormatToken>& Tokens() const { return FDateFormat; }

 private:
  std::vector<TDateFormatToken> FDateFormat;
};

// The format word of a token type ("YYYY" .. "AMPM"; "Text" for dfText).
const char* DateFormatWord(TDateFormatType Type);
