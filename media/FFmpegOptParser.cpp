#include "media/FFmpegOptParser.h"

#include "media/FFLog.h"
#include "media/FFmpegOptHandlers.h"

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

// ---------------------------------------------------------------------------
// Applying a file's texts

void InitOptionsContext(TCustomFFmpegOpt& Task, TOptionsContext& o) {
  o = TOptionsContext{};
  Task.FOptions->init_parse_context();
  o.Group = &Task.FOptions->OptionParseContext().file_opts;
}

void UninitOptionsContext(TCustomFFmpegOpt& Task, TOptionsContext& o) {
  o = TOptionsContext{};
  Task.FOptions->uninit_parse_context();
}

namespace {

// Every line break (CR LF, CR or LF) as Break.
String NormalizeLineBreaks(std::string_view Text, std::string_view Break) {
  String out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '\r') {
      if (i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
      out += Break;
    } else if (Text[i] == '\n') {
      out += Break;
    } else {
      out += Text[i];
    }
  }
  return out;
}

// Applies a collected group. Without HaltOnInvalidOption a failing option is
// skipped alone and the options after it still apply; Failure keeps the first code.
int ApplyGroup(TCustomFFmpegOpt& Task, TOptionsContext* o, const TOptionGroup& Group, const String& GroupName,
               int Flags, const String& FileName, int& Failure) {
  TFFOptions& opts = *Task.FOptions;
  if (Task.HaltOnInvalidOption) return opts.ParseOptionGroup(o, Group, GroupName, Flags, FileName);
  for (const TOption& option : Group.opts) {
    TOptionGroup one;
    one.opts.push_back(option);
    const int r = opts.ParseOptionGroup(o, one, GroupName, Flags, FileName);
    if (r < 0 && Failure >= 0) Failure = r;
  }
  return 0;
}

}  // namespace

int ParsePresets(TCustomFFmpegOpt& Task, TOptionsContext& o, const String& PresetsText, const String& GroupName) {
  if (PresetsText.empty()) return 0;
  GlobalLogger()->Log(&Task, llInfo,
                      Format("ParsePresets for %s:%s%s", {GroupName, "\r\n", NormalizeLineBreaks(PresetsText, "\r\n")}));
  // "<CRLF>" separates entries of a presets text written on one line.
  const String text = StringReplace(NormalizeLineBreaks(Trim(PresetsText), "\n"), "<CRLF>", "\n");
  std::vector<String> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == String::npos) break;
    start = end + 1;
  }
  return ApplyPresetLines(Task, &o, lines, "", "");
}

int ParseOptions(TCustomFFmpegOpt& Task, TOptionsContext& o, const String& OptionText, int FileFlags,
                 const String& FileName, const String& GroupName, const String& PresetsText) {
  BuildOptionTable(Task);
  TFFOptions& opts = *Task.FOptions;
  opts.OptionErrorText.clear();
  int r = 0;
  if (!OptionText.empty()) {
    GlobalLogger()->Log(&Task, llInfo, Format("ParseOptions for %s: %s", {GroupName, OptionText}));
    const std::vector<String> words = SplitCommandLine(OptionText);
    opts.ParseLogLevel(words, Task.FOptionDef);
    opts.OptionErrorText.clear();
    r = opts.parse_options(words, Task.FOptionDef, Task.HaltOnInvalidOption);
    TOptionParseContext& ctx = opts.OptionParseContext();
    int skipped = 0;
    if (r >= 0 && !ctx.global_opts.opts.empty())
      r = ApplyGroup(Task, nullptr, ctx.global_opts, "global", 0, "", skipped);
    if (r >= 0) r = ParsePresets(Task, o, PresetsText, GroupName);
    if (r >= 0 && !ctx.file_opts.opts.empty())
      r = ApplyGroup(Task, &o, ctx.file_opts, GroupName, FileFlags, FileName, skipped);
    if (r >= 0) r = skipped;
  } else {
    r = ParsePresets(Task, o, PresetsText, GroupName);
  }
  if (r < 0) {
    const String text = ErrorCodeToText(r);
    GlobalLogger()->Log(&Task, llFatal, text);
    if (Task.HaltOnInvalidOption)
      Task.FLastErrMsg = opts.OptionErrorText.empty() ? text : opts.OptionErrorText + "\r\n" + text;
  }
  return Task.HaltOnInvalidOption ? r : 0;
}
