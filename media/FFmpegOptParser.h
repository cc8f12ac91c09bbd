#pragma once
// Option text: splitting it into words, and applying a file's option and
// presets texts to a task's option model.

#include <vector>

#include "platform/rtl/SysUtils.h"

// Splits option text into words by the Windows command-line rules: blanks and
// tabs separate words; double quotes group (a lone pair gives an empty word);
// n backslashes before a quote become n/2, and an odd n makes the quote a
// literal; a doubled quote inside quotes is one literal quote and closes the
// quoted stretch; other backslashes stand as written. The text ends at its
// first zero byte. Bytes are copied as they are, so UTF-8 passes untouched.
std::vector<String> SplitCommandLine(std::string_view Text);
