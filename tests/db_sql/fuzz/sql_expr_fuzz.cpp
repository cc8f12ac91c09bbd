// SQL text through the lexer and the expression parser, then evaluated.
// Input: one byte of switches (bit 0: a condition instead of a value,
// bit 1: ignore case, bit 2: partial keys), then the text.
//
// Every outcome must be an expression or an engine exception; anything else
// (another exception type, a crash, a hang) is a finding.

#include <cstdint>
#include <cstring>

#include "db/sql/VelqorimExpressions.h"
#include "db/support/DAZExcept.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  const uint8_t switches = Data[0];
  const String text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  try {
    TVelqorimLexer lexer(text);
    (void)lexer.Test(true);
    while (lexer.GetNextCommand()) {
      TVelqorimExpression e;
      e.FCaseInsensitive = (switches & 2) != 0;
      e.FPartialKey = (switches & 4) != 0;
      try {
        if (switches & 1) e.ParseForBooleanExpression(nullptr, &lexer);
        else e.ParseForValueExpression(nullptr, &lexer);
        if (!e.Root()) continue;
        e.Init();
        e.Accumulate();
        (void)e.GetValue(true);
        (void)e.GetDataType();
        (void)e.GetDataSize();
      } catch (const Exception&) {
        // engine errors, conversion errors of the value type: expected outcomes
      }
    }
  } catch (const Exception&) {
  }
  return 0;
}
