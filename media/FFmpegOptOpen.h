#pragma once
// Opening the files of a conversion task: its inputs with their streams, its
// output with the output streams, maps, metadata, chapters, attachments and
// programs, and join mode (several inputs written one after the other into
// one output).
//
// The routines are services of the option model and take the task first.
// Conventions: an int result is 0 or more on success, or negative with the
// task's FLastErrMsg set; "fatal" failures raise FFmpegException through
// Task.FatalError. Everything runs in the thread that adds the task's files,
// never while the task converts.
//
// The output file is never created, emptied or replaced here: the muxer
// context is prepared, and OpenOutputIO opens the file when the task starts
// writing (right before the header is written). An existing file therefore
// stays as it was when the output is discarded or the task ends before it
// writes anything.

#include "media/FFmpegOpt.h"

// ---------------------------------------------------------------------------
// Inputs

// Parses the input's option and presets texts into o (a context prepared by
// InitOptionsContext), opens AFileName and registers one TInputFile and its
// TInputStreams. Result: the new file's index. The caller releases o
// afterwards (UninitOptionsContext).
int OpenInputFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AOptions, const String& AFileName,
                  const String& APresets);
// The same with the options already parsed into o.
int OpenInputFileParsed(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AFileName);
// Creates the input stream records of an opened input (fatal on failure; the
// records made so far are taken back again).
void AddInputStreams(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* ic);
// Writes the stream's extradata to AFileName (or its "filename" tag).
void DumpAttachment(TCustomFFmpegOpt& Task, AVStream* st, const String& AFileName);
// True when AFileName may be written ("-y"/"-n"; never asks).
bool CheckFileOverwrite(TCustomFFmpegOpt& Task, const String& AFileName);

// Looks at the codec options that no stream of a file took (Taken: the
// streams' own option dictionaries). One that is not a decoding option for
// an input (encoding option for an output) sets FLastErrMsg and gives -22;
// the others are warned about.
int CheckUnusedCodecOptions(TCustomFFmpegOpt& Task, const AVDictionary* CodecOpts,
                            const std::vector<const AVDictionary*>& Taken, bool Output, int FileIndex,
                            const String& FileName);

// The "tag" option's text: a number (0x prefix accepted), or else the first
// four bytes, first byte lowest; a shorter text is padded with zero bytes.
uint32_t ParseCodecTag(const char* Text);

// ---------------------------------------------------------------------------
// Output streams. o is the options context of the output being opened, oc
// its muxer context, Source the global index of the feeding input stream or -1.

TOutputStream* NewOutputStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                               AVMediaType Type, int Source);
TOutputStream* NewVideoStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source);
TOutputStream* NewAudioStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source);
TOutputStream* NewSubtitleStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source);
TOutputStream* NewDataStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source);
TOutputStream* NewUnknownStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int Source);
TOutputStream* NewAttachmentStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                                   int Source);
void ChooseEncoder(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, TOutputStream* ost);
// The stream's filter description ("null"/"anull" when none was given).
String GetOutputStreamFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                              TOutputStream* ost);
void CheckStreamCopyFilters(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc,
                            TOutputStream* ost, AVMediaType Type);
// 64 comma-separated coefficients into Dest (fatal on a short list).
void ParseMatrixCoeffs(TCustomFFmpegOpt& Task, uint16_t* Dest, const char* Text);
// The wider pixel-format lists of the MJPEG and LJPEG encoders under
// unofficial strictness; Default for every other codec.
const AVPixelFormat* UnofficialPixelFormats(AVCodecID CodecId, const AVPixelFormat* Default);
// Releases every output stream of the task (join copies share what segment 0 owns).
void FreeOutputStreams(TCustomFFmpegOpt& Task);
// Releases the output streams from index From on; graph outputs fed to them
// are unbound.
void RemoveOutputStreams(TCustomFFmpegOpt& Task, size_t From);

// ---------------------------------------------------------------------------
// Outputs

// Parses the output's option and presets texts into o and prepares the
// output AFileName: muxer context, output streams, metadata, chapters,
// programs, complex graphs, and with AJoin and several inputs the join
// segments. Result: the new output file's index. The file itself is opened
// by OpenOutputIO.
int OpenOutputFile(TCustomFFmpegOpt& Task, TOptionsContext* o, const String& AOptions, bool AJoin,
                   const String& AFileName, const String& APresets);
// The same with the options already parsed into o.
int OpenOutputFileParsed(TCustomFFmpegOpt& Task, TOptionsContext* o, bool AJoin, const String& AFileName);
// Opens (creates or replaces) the output file of Task.Foutput_files[Index]
// for writing, unless its format does its own I/O or it is open already.
// Called when the task starts writing, before the header; 0 or a library
// code with FLastErrMsg set.
int OpenOutputIO(TCustomFFmpegOpt& Task, int Index);
// Creates the output stream fed by a complex graph's output pad.
void InitOutputFilter(TCustomFFmpegOpt& Task, TOutputFilter* ofilter, TOptionsContext* o,
                      AVFormatContext* oc);
// InitComplexFilterGraph for every graph / ConfigureFilterGraph for every
// graph not configured yet; the first negative code, else 0.
int InitComplexFilters(TCustomFFmpegOpt& Task);
int ConfigureComplexFilters(TCustomFFmpegOpt& Task);
// Copies the chapters of ifile that fall into ofile's window; 0 or -12.
int CopyChapters(TInputFile* ifile, TOutputFile* ofile, bool copy_metadata);

// The automatic choice among the input streams [First, Last) of the task:
// the global input-stream index for the type, or -1. Video: largest picture,
// streams whose packets were read during probing first, attached pictures
// last (or only those when the muxer stores covers as "APIC"). Audio: most
// channels, likewise. Subtitle and data follow the muxer's default codec.
int SelectVideoStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last);
int SelectAudioStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last);
int SelectSubtitleStream(TCustomFFmpegOpt& Task, TOptionsContext* o, AVFormatContext* oc, int First,
                         int Last);
int SelectDataStream(TCustomFFmpegOpt& Task, AVFormatContext* oc, int First, int Last);

// ---------------------------------------------------------------------------
// Join mode

// Builds a join segment for every input after the first; 0, or -1 with the
// whole output undone.
int SetupJoin(TCustomFFmpegOpt& Task, TOptionsContext* o);
// Builds segment k; the new output file record's index, or -1.
int JoinInput(TCustomFFmpegOpt& Task, TOptionsContext* o, int k);
// The active output-stream range [From, To] of join segment JoinFileIndex
// (all streams without join mode).
void ActiveOutputRange(const TCustomFFmpegOpt& Task, int JoinFileIndex, int& From, int& To);
