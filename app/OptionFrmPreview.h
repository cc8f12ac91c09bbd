#pragma once
// The options dialog's frame preview and clip marks, apart from its controls:
// the track bar's scale and what moving it decodes, the picture and time
// shown, and the start and end marks. The dialog mirrors TPreviewDisplay
// into its controls after every call and forwards the user's moves here.

#include <cstdint>
#include <limits>
#include <memory>

#include "media/FFDecode.h"
#include "platform/vcl/Graphics.h"

// The inspection decoder as the preview uses it.
class IPreviewDecoder {
 public:
  virtual ~IPreviewDecoder() = default;
  virtual String FileName() = 0;
  virtual int64_t StartTime() = 0;  // microseconds, AV_NOPTS_VALUE unknown
  virtual int64_t Duration() = 0;   // microseconds, AV_NOPTS_VALUE unknown
  virtual String FormatName() = 0;
  virtual String FileInfoText() = 0;
  virtual int VideoStreamCount() = 0;
  virtual int FirstVideoStreamIndex() = 0;
  virtual int FirstAudioStreamIndex() = 0;
  virtual int64_t VideoDurationScaled() = 0;  // of the first video stream, microseconds
  virtual AVRational VideoFrameRate() = 0;
  // The next picture of the first video stream.
  virtual bool Decode() = 0;
  virtual bool DecodePreviousFrame() = 0;
  virtual bool Seek(int64_t PTS, TSeekFlags Flags) = 0;
  // The decoded picture's time, microseconds.
  virtual int64_t PicturePTS() = 0;
  virtual bool CopyToBitmap(TBitmap* Bitmap) = 0;
};

class TDecoderPreview : public IPreviewDecoder {
 public:
  explicit TDecoderPreview(TFFDecoder& Decoder) : FDecoder(Decoder) {}
  String FileName() override { return FDecoder.FileName(); }
  int64_t StartTime() override { return FDecoder.FileStreamInfo().StartTime; }
  int64_t Duration() override;
  String FormatName() override { return FDecoder.FormatName(); }
  String FileInfoText() override { return FDecoder.FileInfoText(); }
  int VideoStreamCount() override { return FDecoder.VideoStreamCount(); }
  int FirstVideoStreamIndex() override { return FDecoder.FirstVideoStreamIndex(); }
  int FirstAudioStreamIndex() override { return FDecoder.FirstAudioStreamIndex(); }
  int64_t VideoDurationScaled() override { return FDecoder.FirstVideoStreamInfo().DurationScaled; }
  AVRational VideoFrameRate() override { return FDecoder.FirstVideoStreamInfo().FrameRate; }
  bool Decode() override { return FDecoder.Decode(-1); }
  bool DecodePreviousFrame() override { return FDecoder.DecodePreviousFrame(-1); }
  bool Seek(int64_t PTS, TSeekFlags Flags) override { return FDecoder.Seek(PTS, Flags); }
  int64_t PicturePTS() override { return FDecoder.FrameInfo().PTS; }
  bool CopyToBitmap(TBitmap* Bitmap) override { return FDecoder.CopyToBitmap(Bitmap); }

 private:
  TFFDecoder& FDecoder;
};

// What the preview's controls show.
struct TPreviewDisplay {
  // TrackBar1
  int Max = 10;
  int Position = 0;
  int SelStart = 0;
  int SelEnd = 0;
  int Frequency = 1;
  int PageSize = 2;
  bool TrackEnabled = false;
  bool SliderVisible = false;
  String PTSText = "00:00:00.000";  // lblPTS
  String StartText = "N/A";         // edtStartTime
  String EndText = "N/A";           // edtEndTime
  bool CutClipEnabled = false;
  bool CutClipChecked = false;
  String FileInfo;  // mmoAVFileInfo
};

class TPreviewCore {
 public:
  static constexpr int64_t NoMark = std::numeric_limits<int64_t>::max();

  TPreviewCore();

  // Empties the preview; with AResetCutClip also the duration, the steps and the clip marks.
  void ClearFrameView(bool AResetCutClip);
  // Attaches a decoder with its file open (not owned; nullptr detaches). The
  // marks stay when it is the same file as before (name, duration, start).
  void SetDecoder(IPreviewDecoder* Decoder);
  // The user moved the track bar to Position.
  void TrackBarChange(int Position);
  void SetStartMark();
  void SetEndMark();
  void NextFrame();
  // The user unchecked or checked Cut Clip.
  void SetCutClipChecked(bool Value) { FDisplay.CutClipChecked = Value; }

  const TPreviewDisplay& Display() const { return FDisplay; }
  // The picture shown; empty (0 x 0) when there is none.
  TBitmap& Bitmap() { return FBitmap; }
  int64_t CurrentPTS() const { return FCurrentPTS; }
  int64_t FirstPTS() const { return FFirstPTS; }
  int64_t StartTime() const { return FStartTime; }
  int64_t EndTime() const { return FEndTime; }
  int64_t Duration() const { return FDuration; }
  int Frames() const { return FFrames; }
  int VideoStreamIndex() const { return FVideoStreamIndex; }
  int AudioStreamIndex() const { return FAudioStreamIndex; }
  IPreviewDecoder* Decoder() const { return FDecoder; }

 private:
  void UpdateTrackBarScale();
  void DecodeAndShowNextFrame();
  void ShowCurrentFrame();
  void UpdateCutClip();
  // Position / Max of the duration, rounded (0 when Max is not above 0).
  int64_t PositionTime(int Position) const;

  TPreviewDisplay FDisplay;
  TBitmap FBitmap;
  IPreviewDecoder* FDecoder = nullptr;
  String FFileName;
  int64_t FFileDuration = AV_NOPTS_VALUE;
  int64_t FFileStart = AV_NOPTS_VALUE;
  int64_t FDuration = 0;
  int FFrames = 0;
  bool FChanging = false;
  int64_t FCurrentPTS = 0;
  int FLastPosition = 0;
  int64_t FFirstPTS = NoMark;
  int64_t FStartTime = NoMark;
  int64_t FEndTime = AV_NOPTS_VALUE;
  int FVideoStreamIndex = -1;
  int FAudioStreamIndex = -1;
};

// Where a SW x SH picture goes inside a DW x DH area, keeping its shape:
// full width with equal bands above and below, or full height with bands
// left and right. Empty for a picture without area.
TRect FittedRect(int SW, int SH, int DW, int DH);

// The numeric edits refuse printable keys other than the digits; control
// keys (backspace, select all, copy, cut, paste, undo) are editing, not text.
bool IsNumericKey(char32_t Key);

// Why an output folder cannot take the outputs.
enum TOutputFolderProblem {
  ofpNone,
  ofpOptical,     // on an optical drive
  ofpUnwritable,  // on a read-only mount, or no file can be made in it
};
// A folder that does not exist is no problem here: the encoder reports it.
TOutputFolderProblem OutputFolderProblem(const String& Folder);
// Whether a file can be made in Folder (an existing folder): a real attempt,
// since permission bits do not tell for every user or file system.
bool FolderTakesFiles(const String& Folder);
