#include "media/FFmpegOptParser.h"

std::vector<String> SplitCommandLine(std::string_view Text) {
  if (const auto end = Text.find('\0'); end != std::string_view::npos) Text = Text.substr(0, end);
  std::vector<String> words;
  size_t p = 0;
  const size_t n = Text.size();
  for (;;) {
    while (p < n && (Text[p] == ' ' || Text[p] == '\t')) ++p;
    if (p >= n) break;
    String word;
    bool inQuote = false;
    while (p < n) {
      size_t slashes = 0;
      while (p < n && Text[p] == '\\') {
        ++p;
        ++slashes;
      }
      if (p < n && Text[p] == '"') {
        word.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          word += '"';
        } else if (inQuote && p + 1 < n && Text[p + 1] == '"') {
          // A doubled quote inside quotes: one literal quote, and the stretch ends.
          ++p;
          word += '"';
          inQuote = false;
        } else {
          inQuote = !inQuote;
        }
        ++p;
        continue;
      }
      word.append(slashes, '\\');
      if (p >= n) break;
      if (!inQuote && (Text[p] == ' ' || Text[p] == '\t')) break;
      word += Text[p++];
    }
    words.push_back(std::move(word));
  }
  return words;
}
