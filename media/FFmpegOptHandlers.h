#pragma once
// The routines behind the handler rows of a task's option table. Each takes
// the task, o (the options context of the file being parsed; nullptr for
// global rows), Opt (the option word without "-", specifier included) and
// Arg ("1" for rows without an argument), and returns 0 or more, or a
// negative error code with its message in the task's OptionErrorText.
// Stream maps, channel maps and the norm guess of "target" are fatal
// (FatalError) when they fail.

#include <optional>

#include "media/FFmpegOpt.h"

using TOptionHandler = int (*)(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);

// Old names re-dispatched as the per-stream rows that replaced them.
int OptAudioCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVideoCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptSubtitleCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptDataCodec(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVideoFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptAudioFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptDataFrames(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVideoFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptAudioFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptAudioQuality(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
// "vtag" -> "tag:v", "absf" -> "bsf:a" ...
int OptOld2New(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);

// Options of the command-line program that mean nothing here.
int OptNotSupportedIgnore(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptNotSupported(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptRemoved(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
// The hook and join switches travel in the output record, not in option text.
int OptNoOp(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVideoChannel(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVideoStandard(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);

int OptMap(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptMapChannel(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptAttach(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptSdpFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVstatsFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVstats(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptRecordingTimestamp(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptTarget(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptPreset(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptBitrate(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptQscale(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptProfile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptVsync(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptTimecode(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptChannelLayout(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptFilterComplex(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptFilterComplexScript(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptProgress(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
// Seconds as a real number (point or the user's separator) into "ss_microsecond" / "t_microsecond".
int OptTimeStart(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptTimeLength(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptLogLevelHandler(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptMaxAlloc(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
int OptCpuFlags(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
// "index:value": stream index 0..1023 gets the container stream id value.
int OptStreamId(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);
// The task's virtual handler of "VideoHookBitsPixel".
int OptVideoHookBitsPixelRow(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Opt, const String& Arg);

// Routes Key = Value to the libraries (TFFOptions::opt_default) and puts
// what lands in the codec and format options into the file group of o,
// replacing keys already there. Scaler and resampler options stay in the
// task's own dictionaries. The result is opt_default's.
int OptDefaultNew(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& Key, const String& Value);

// The whole content of a file or URL; nothing when it cannot be opened or a
// read fails before its end (logged at llError).
std::optional<String> ReadTextFile(const String& Name);

// Applies presets lines "key=value" ("#" comments and blank lines skipped):
// codec keys through the codec handlers, anything else through OptDefaultNew.
// A line without key or value is logged and skipped. SyntaxPrefix and
// OptionPrefix start the two error messages ("" for presets text, the file
// name for preset files). With HaltOnInvalidOption the first failure ends
// the walk with its code and message; without it the walk goes on.
int ApplyPresetLines(TCustomFFmpegOpt& Task, TOptionsContext* o, const std::vector<String>& Lines,
                     const String& SyntaxPrefix, const String& OptionPrefix);
