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

class TCustomFFmpegOpt;
struct TOptionsContext;

// Rows of a task's option table (the end row not counted).
constexpr int OptionTableRowCount = 178;

// Writes the task's option table once: handler rows call the routines of
// FFmpegOptHandlers.h on this task, field rows write the task's fields or the
// options context of the file being parsed. A second call does nothing.
void BuildOptionTable(TCustomFFmpegOpt& Task);

// Prepares o for the parse of one file: every field at its default, the
// task's parse context emptied, o.Group pointing at its file group.
void InitOptionsContext(TCustomFFmpegOpt& Task, TOptionsContext& o);
// Gives back everything the parse of one file collected.
void UninitOptionsContext(TCustomFFmpegOpt& Task, TOptionsContext& o);

// Applies a file's option text and presets text to o and the task: the log
// level first, then the task-wide (global) options, then the presets, then
// the file's own options; library options routed from the text sit in the
// file group before the presets, so a preset overrides them.
//
// FileFlags is ofInput or ofOutput (an option of the other kind fails);
// FileName and GroupName ("input file", "output file") appear in messages.
// Returns 0, or with HaltOnInvalidOption a negative code, FLastErrMsg then
// holding the option messages and the text of the code. Without
// HaltOnInvalidOption failures are logged and 0 is returned. Exceptions of
// value readers and handlers (FFmpegException for fatal ones) pass through.
int ParseOptions(TCustomFFmpegOpt& Task, TOptionsContext& o, const String& OptionText, int FileFlags,
                 const String& FileName, const String& GroupName, const String& PresetsText);

// Presets text: "key=value" lines (or entries separated by "<CRLF>").
int ParsePresets(TCustomFFmpegOpt& Task, TOptionsContext& o, const String& PresetsText, const String& GroupName);
