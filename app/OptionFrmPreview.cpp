#include "app/OptionFrmPreview.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "app/ConverterText.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"

int64_t TDecoderPreview::Duration() {
  const int64_t d = FDecoder.FileStreamInfo().Duration;
  return d < 0 ? AV_NOPTS_VALUE : d;
}

namespace {

// Round half to even, as the dialog's arithmetic rounds.
int64_t RoundEven(double v) {
  return int64_t(std::nearbyint(v));
}

}  // namespace

TPreviewCore::TPreviewCore() {
  ClearFrameView(true);
}

int64_t TPreviewCore::PositionTime(int Position) const {
  if (FDisplay.Max <= 0) return 0;
  return RoundEven(double(Position) / FDisplay.Max * double(FDuration));
}

void TPreviewCore::ClearFrameView(bool AResetCutClip) {
  FCurrentPTS = 0;
  FDisplay.PTSText = FormatTimeStamp(0);
  FBitmap.SetSize(0, 0);
  FDisplay.TrackEnabled = false;
  FDisplay.Position = 0;
  UpdateTrackBarScale();
  if (AResetCutClip) {
    FDuration = 0;
    FFrames = 0;
    FFirstPTS = NoMark;
    FStartTime = NoMark;
    FEndTime = AV_NOPTS_VALUE;
    FDisplay.SelStart = FDisplay.SelEnd = 0;
    FDisplay.CutClipEnabled = FDisplay.CutClipChecked = false;
    FDisplay.StartText = FDisplay.EndText = "N/A";
  }
}

void TPreviewCore::SetDecoder(IPreviewDecoder* Decoder) {
  if (!Decoder) {
    FDecoder = nullptr;
    return;
  }
  const String name = Decoder->FileName();
  const int64_t duration = Decoder->Duration();
  const int64_t start = Decoder->StartTime();
  const bool same = FDecoder && name == FFileName && duration == FFileDuration && start == FFileStart;
  if (!same) ClearFrameView(true);
  FDecoder = Decoder;
  FFileName = name;
  FFileDuration = duration;
  FFileStart = start;
  FDisplay.FileInfo = Decoder->FileInfoText();
  FVideoStreamIndex = Decoder->FirstVideoStreamIndex();
  FAudioStreamIndex = Decoder->FirstAudioStreamIndex();
  // An image sequence has no timeline to move along.
  FDisplay.TrackEnabled = duration != AV_NOPTS_VALUE && Decoder->FormatName() != "image2";
  if (duration != AV_NOPTS_VALUE) FDuration = duration;
  const AVRational rate = Decoder->VideoFrameRate();
  if (Decoder->VideoStreamCount() <= 0 || rate.den < 1) {
    if (duration != AV_NOPTS_VALUE) FFrames = int(RoundEven(double(duration) / 1000000 * 10));
  } else {
    const double fps = double(rate.num) / rate.den;
    const int64_t scaled = Decoder->VideoDurationScaled();
    if (scaled > 0)
      FFrames = int(RoundEven(double(scaled) / 1000000 * fps));
    else if (duration != AV_NOPTS_VALUE)
      FFrames = int(RoundEven(double(duration) / 1000000 * fps));
  }
  if (Decoder->VideoStreamCount() > 0) DecodeAndShowNextFrame();
  UpdateTrackBarScale();
}

void TPreviewCore::UpdateTrackBarScale() {
  const bool enabled = FDisplay.TrackEnabled;
  const double fraction = FDisplay.Max > 0 ? double(FDisplay.Position) / FDisplay.Max : 0;
  if (FFrames > 0) FDisplay.Max = FFrames;
  const int max = FDisplay.Max;
  FDisplay.Frequency = max > 10 ? max / 10 : 1;
  FDisplay.PageSize = max < 10 ? 2 : max < 100 ? 5 : max / 20;
  FDisplay.Position = int(RoundEven(max * fraction));
  FLastPosition = FDisplay.Position;
  FDisplay.TrackEnabled = enabled;
  FDisplay.SliderVisible = enabled;
}

void TPreviewCore::DecodeAndShowNextFrame() {
  if (FDecoder && FDecoder->Decode()) ShowCurrentFrame();
}

void TPreviewCore::ShowCurrentFrame() {
  FCurrentPTS = FDecoder->PicturePTS();
  if (FFirstPTS == NoMark) FFirstPTS = FCurrentPTS;
  FDisplay.PTSText = FormatTimeStamp(FCurrentPTS);
  if (!FChanging && FDuration > 0) {
    const int64_t at = RoundEven(double(FDisplay.Max) * double(FCurrentPTS) / double(FDuration));
    FDisplay.Position = int(std::min<int64_t>(FDisplay.Max, at));
  }
  TBitmap picture;
  if (FDecoder->CopyToBitmap(&picture)) FBitmap.Assign(&picture);
}

void TPreviewCore::TrackBarChange(int Position) {
  if (!FDecoder) return;
  if (FDecoder->VideoStreamCount() <= 0) {
    FDisplay.Position = Position;
    FCurrentPTS = PositionTime(Position);
    FDisplay.PTSText = FormatTimeStamp(FCurrentPTS);
    return;
  }
  if (FChanging || !FDisplay.TrackEnabled || Position == FLastPosition) return;
  FChanging = true;
  FDisplay.Position = Position;
  struct TDone {
    TPreviewCore& Core;
    int Position;
    ~TDone() {
      Core.FLastPosition = Position;
      Core.FChanging = false;
    }
  } done{*this, Position};
  const int64_t target = PositionTime(Position);
  if (Position == FLastPosition + 1) {
    if (FDecoder->Decode()) ShowCurrentFrame();
  } else if (Position == FLastPosition - 1) {
    if (FDecoder->DecodePreviousFrame()) ShowCurrentFrame();
  } else if (FDecoder->Seek(target, {}) || FDecoder->Seek(target, {sfBackward}) ||
             FDecoder->Seek(target, {sfAny})) {
    while (FDecoder->Decode()) {
      if (target <= 0 || FDecoder->PicturePTS() >= target) {
        ShowCurrentFrame();
        break;
      }
    }
  }
}

void TPreviewCore::UpdateCutClip() {
  const bool clip = FStartTime < FEndTime;
  FDisplay.CutClipEnabled = clip;
  FDisplay.CutClipChecked = clip;
}

void TPreviewCore::SetStartMark() {
  FDisplay.SelStart = FDisplay.Position;
  FDisplay.StartText = FormatTimeStamp(FCurrentPTS);
  FStartTime = FCurrentPTS;
  UpdateCutClip();
}

void TPreviewCore::SetEndMark() {
  FDisplay.SelEnd = FDisplay.Position;
  FDisplay.EndText = FormatTimeStamp(FCurrentPTS);
  FEndTime = FCurrentPTS;
  UpdateCutClip();
}

void TPreviewCore::NextFrame() {
  DecodeAndShowNextFrame();
}

TRect FittedRect(int SW, int SH, int DW, int DH) {
  if (SW <= 0 || SH <= 0 || DW <= 0 || DH <= 0) return TRect();
  const double a = double(SW) / DW;
  const double b = double(SH) / DH;
  if (a >= b) {
    const int c = int(RoundEven((DH - SH / a) / 2));
    return TRect(0, c, DW, DH - c);
  }
  const int c = int(RoundEven((DW - SW / b) / 2));
  return TRect(c, 0, DW - c, DH);
}

bool IsNumericKey(char32_t Key) {
  const bool control = Key < 0x20 || (Key >= 0x7F && Key < 0xA0);
  return control || (Key >= U'0' && Key <= U'9');
}

bool FolderTakesFiles(const String& Folder) {
  String probe = IncludeTrailingPathDelimiter(Folder) + ".tarnwick-probe-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

TOutputFolderProblem OutputFolderProblem(const String& Folder) {
  if (GetDriveType(Folder) == DRIVE_CDROM) return ofpOptical;
  if (!DirectoryExists(Folder)) return ofpNone;
  TMountInfo mount;
  if (FindMount(Folder, mount) && mount.ReadOnly) return ofpUnwritable;
  return FolderTakesFiles(Folder) ? ofpNone : ofpUnwritable;
}
