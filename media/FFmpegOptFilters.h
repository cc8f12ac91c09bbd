#pragma once
// The filter graphs of a conversion task: one simple graph per encoded audio
// or video output stream, and complex graphs given as text, bound to input
// streams by their pad labels. Configuring a graph builds it anew from the
// current stream parameters (sources, sinks and the filters the options
// imply), so the same routine serves a re-configuration.
//
// Every number the engine writes into filter arguments uses a point as
// decimal separator, whatever the user's locale.
//
// Int results are 0 or a negative library code; fatal conditions raise
// FFmpegException through Task.FatalError.

#include "media/FFmpegOpt.h"

// The encoder's pixel format closest to Target (Target itself when the
// encoder takes it or lists nothing).
AVPixelFormat ChoosePixelFmt(AVCodecContext* EncCtx, const AVCodec* Codec, AVPixelFormat Target);

// Argument texts of the format filters in front of a sink: the encoder
// context's own value, else every value the encoder lists joined by "|";
// empty when neither is known. ChoosePixFmts may switch off automatic
// conversion on Graph when the stream keeps its pixel format.
String ChoosePixFmts(TOutputStream* ost, AVFilterGraph* Graph);
String ChooseSampleFmts(TOutputStream* ost);
String ChooseSampleRates(TOutputStream* ost);
String ChooseChannelLayouts(TOutputStream* ost);

// A graph from one input stream to one output stream, described by the
// output stream's filter text; appended to the task's graphs.
TFilterGraph* InitSimpleFilterGraph(TCustomFFmpegOpt& Task, TInputStream* ist, TOutputStream* ost);
// Learns the inputs (binding them to input streams) and the outputs of a
// complex graph from its text.
int InitComplexFilterGraph(TCustomFFmpegOpt& Task, TFilterGraph* fg);
void InitInputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, AVFilterInOut* in);
// Builds and configures the library graph of fg (again).
int ConfigureFilterGraph(TCustomFFmpegOpt& Task, TFilterGraph* fg);
int ConfigureInputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TInputFilter* ifilter, AVFilterInOut* in);
int ConfigureOutputFilter(TCustomFFmpegOpt& Task, TFilterGraph* fg, TOutputFilter* ofilter,
                          AVFilterInOut* out);

// Appends a trim ("trim"/"atrim") after *Last (pad *Pad) unless both limits
// are open; times in microseconds. *Last and *Pad follow the new filter.
int InsertTrim(AVFilterGraph* Graph, int64_t StartTime, int64_t Duration, AVFilterContext** Last, int* Pad,
               const String& FilterName);
// Appends the named filter with Args after *Last (pad *Pad), as instance
// InstanceName (the filter's name when empty).
int InsertFilter(AVFilterGraph* Graph, AVFilterContext** Last, int* Pad, const char* FilterName,
                 const String& Args, const String& InstanceName = String());
// "filter" or "filter:pad" of a parsed pad.
String DescribeFilterLink(AVFilterInOut* InOut, bool IsInput);
// 1 when one of the graph's inputs is fed by ist.
int InputStreamInFilterGraph(TFilterGraph* fg, TInputStream* ist);
// The picture canvas of a subtitle stream that feeds a video pad.
int Sub2VideoPrepare(TCustomFFmpegOpt& Task, TInputStream* ist);

// printf-style text with a point as decimal separator.
String PointFormat(const char* Fmt, ...) __attribute__((format(printf, 1, 2)));
