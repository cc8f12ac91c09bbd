#pragma once
// The option text of one conversion, built from the options dialog's choices
// and what the inspection decoder knows of the input. Pure: the dialog reads
// its controls into TOptionChoices and the decoder into TSourceFacts; file
// tests, encoder look-ups and the processor count come through TBuildEnv.

#include <cstdint>
#include <functional>
#include <limits>

#include "media/FFEncode.h"

// The item lists of the dialog's choice controls, index 0 first. The dialog
// fills its controls from these, so the builder and the dialog agree on indexes.
inline constexpr const char* FormatItems[] = {"VCD", "DVD", "3GP", "AVI",  "FLV",  "iPod", "MKV", "MOV",
                                              "MP4", "OGG", "PSP", "RM10", "RM20", "SWF",  "WMV", "WebM",
                                              "M1V", "M2V", "AAC", "AC3",  "MP2",  "MP3",  "WAV", "WMA"};
inline constexpr const char* NormItems[] = {"Auto", "PAL", "NTSC"};
inline constexpr const char* AudioChannelItems[] = {"Auto", "Mono", "Stereo"};
inline constexpr const char* AudioSampleRateItems[] = {"Auto", "8000", "11025", "22050", "44100", "48000"};
inline constexpr const char* FrameSizeItems[] = {
    "Auto - Original",    "Half - Size",        "128x96 - sqcif",     "176x144 - qcif",
    "352x288 - cif",      "704x576 - 4cif",     "160x120 - qqvga",    "320x240 - qvga",
    "640x480 - vga",      "800x600 - svga",     "1024x768 - xga",     "1600x1200 - uxga",
    "2048x1536 - qxga",   "1280x1024 - sxga",   "2560x2048 - qsxga",  "5120x4096 - hsxga",
    "852x480 - wvga",     "1366x768 - wxga",    "1600x1024 - wsxga",  "1920x1200 - wuxga",
    "2560x1600 - woxga",  "3200x2048 - wqsxga", "3840x2400 - wquxga", "6400x4096 - whsxga",
    "7680x4800 - whuxga", "320x200 - cga",      "640x350 - ega",      "852x480 - hd480",
    "1280x720 - hd720",   "1920x1080 - hd1080"};
inline constexpr const char* FrameRateItems[] = {"Auto", "10", "15", "25", "30"};
inline constexpr const char* AspectRatioItems[] = {"Auto", "4:3", "16:9", "37:20", "47:20"};
inline constexpr const char* AudioCodecItems[] = {"Auto", "AAC", "AC3", "FLAC", "MP3"};
inline constexpr const char* VideoCodecItems[] = {"Auto", "DivX", "XviD", "X264"};

// The dialog's choices as its controls hold them; the defaults are the
// controls' defaults.
struct TOptionChoices {
  int Format = 3;  // "AVI"
  int Norm = 0;
  int AudioChannels = 0;
  int AudioSampleRate = 0;
  int FrameSize = 0;
  int FrameRate = 4;  // "30"
  int AspectRatio = 0;
  int AudioCodec = 0;
  int VideoCodec = 0;

  String AudioBitRate = "320";
  String VideoBitRate = "1500";
  String AudioVolume = "256";
  String Rotate = "45";
  String CropTop = "0", CropBottom = "0", CropLeft = "0", CropRight = "0";
  String PadTop = "0", PadBottom = "0", PadLeft = "0", PadRight = "0";
  String OutPath;  // a folder, or the "same as input" text

  bool AudioVolumeOn = false;
  bool CutClipEnabled = true;
  bool CutClip = false;
  bool Crop = false, Pad = false;
  bool VertFlip = false, HoriFlip = false, Deinterlace = false, Negate = false, RotateOn = false;
  bool Brightness = false, Saturation = false, Hue = false;
  int BrightnessPosition = 0, SaturationPosition = 0, HuePosition = 0;  // -100 .. 100
  bool WaterMark = false;
  bool Overwrite = false;
  // Hidden in the dialog; kept so the hook switches stay wired end to end.
  bool AudioHook = false, VideoInputHook = false, VideoOutputHook = false;
};

// What the inspection decoder knows of the input. Times in microseconds.
struct TSourceFacts {
  String FileName;
  String ForceFormat;
  int VideoStreamIndex = -1;                               // first video stream, negative when there is none
  int VideoWidth = 0, VideoHeight = 0;                     // of that stream
  int FrameWidth = 0, FrameHeight = 0;                     // of the last decoded picture
  int64_t FirstPTS = std::numeric_limits<int64_t>::max();  // the largest value: no timestamp
  int64_t StartTime = 0, EndTime = 0;                      // the clip marks
};

struct TBuildEnv {
  String SameAsInput;    // the output-folder text that means "the input's own folder"
  String WaterMarkFile;  // full name of the watermark picture
  // A file of this name exists on disk.
  std::function<bool(const String&)> FileExists;
  // Another row of the task list already holds this output name.
  std::function<bool(const String&)> NameHeld;
  std::function<bool(const char*)> EncoderExists;
  int ProcessorCount = 1;
  // A line for the program's log (what the builder chose in the user's stead).
  std::function<void(const String&)> Log;
};
// Files on disk, encoders of the loaded libraries, the machine's processors;
// nothing held by other rows.
TBuildEnv DefaultBuildEnv();

void BuildInputOptions(const TOptionChoices& Choices, const TSourceFacts& Source, TInputOptions& Options);
// May switch Choices.Norm from "Auto" to "PAL" for the disc formats, as the
// dialog shows it afterwards.
void BuildOutputOptions(TOptionChoices& Choices, const TSourceFacts& Source, const TBuildEnv& Env,
                        TOutputOptions& Options);

// An edit whose value the builder cannot use: its name in the dialog and a
// message naming the field. An empty Edit: every value is usable.
struct TChoiceProblem {
  String Edit;
  String Message;
};
// Checks the numeric edits that take part in the option text: each holds a
// whole number (blank ones get their defaults back when the dialog closes),
// and a crop leaves some picture.
TChoiceProblem CheckChoices(const TOptionChoices& Choices, const TSourceFacts& Source);

// Text of a numeric edit usable in option text: decimal digits with at most
// one point, not empty, not starting with the point.
bool IsNumberText(std::string_view Text);

// A file name as a value inside a filter graph description: quoted for the
// filter's option parser, then escaped for the graph parser.
String FilterGraphFileName(std::string_view FileName);
// The text between a pair of double quotes that the option-text splitter
// gives back unchanged as one argument.
String QuoteForSplitter(std::string_view Text);
