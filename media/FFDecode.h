#pragma once
// The inspection decoder: opens one media file and reports what it holds
// (TCustomDecoder), and decodes its pictures and sound for display and
// stepping (TFFDecoder).
//
//   TFFDecoder d(nullptr);
//   if (!d.LoadAVLib("") || !d.LoadFile(name)) show(d.LastErrMsg());
//   d.Seek(5'000'000, {});             // microseconds from the start
//   if (d.Decode(-1)) d.CopyToBitmap(&bitmap);
//
// A decoder is used by one thread at a time. Problems are reported through
// LastErrMsg (and the engine's logger); only misuse raises (libraries not
// loaded, decoding an attached input).

#include <atomic>
#include <cstdint>
#include <memory>

#include "media/FFApi.h"
#include "media/FFBaseComponent.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFUtils.h"
#include "media/FormatConverter.h"

// The whole file. Times in microseconds.
struct TFileStreamInfo {
  int64_t StartTime = AV_NOPTS_VALUE;
  int64_t Duration = -1;
  int BitRate = -1;
  int Year = -1;   // tag "year" as a decimal number, 0 when missing or not a number
  int Track = -1;  // tag "track" the same way ("3/12" gives 0)
  String Title, Author, Copyright, Comment, Album, Genre;
};

// One video stream. StartTime and Duration are in the stream's time base,
// the *Scaled values in microseconds (-1 unknown).
struct TVideoStreamInfo {
  String Language;
  String CodecName;
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int BitRate = -1;
  int Height = -1;
  int Width = -1;
  float SampleAspectRatio = -1.0f;
  float DisplayAspectRatio = -1.0f;
  AVRational SAR{0, 1};
  AVRational DAR{0, 1};
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  AVRational FrameRate{0, 1};
};

struct TAudioStreamInfo {
  String Language;
  String CodecName;
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int BitRate = -1;
  int Channels = -1;
  int SampleRate = -1;
  AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
};

struct TSubtitleStreamInfo {
  String Language;
  String CodecName;
  int SubFormat = -1;  // 0 bitmap, 1 text, -1 unknown
};

// The library's program record, copied whole.
using TAVProgram = AVProgram;

class TCustomDecoder : public TFFBaseComponent {
 public:
  explicit TCustomDecoder(TComponent* AOwner);
  ~TCustomDecoder() override;

  // The loader's state for DecoderLibraries.
  bool AVLibLoaded() const;
  // Loads DecoderLibraries from APath (empty: the system's); False with LastErrMsg.
  bool LoadAVLib(const String& APath);
  void UnloadAVLib();

  // Opens a file; an empty AFormatName lets the library probe. Options set
  // before (opt_default) apply to this open only. False with LastErrMsg;
  // the decoder is then closed. Raises when the libraries are not loaded.
  bool LoadFile(const String& AFileName, const String& AFormatName = String());
  virtual void CloseFile();

  // Routes one option (name without "-") to the library options of the next
  // open; False when no layer takes it ("FFmpeg libraries not loaded." when the
  // libraries are missing).
  bool opt_default(const String& opt, const String& arg);
  // "-name value" pairs of ffmpeg-style text through opt_default; a word that is
  // neither is logged and skipped. True when every option was taken.
  bool DefaultOptions(const String& AOptions);

  // The open input; writing another context attaches it (not owned, not decodable).
  AVFormatContext* FileHandle() const { return FFileHandle; }
  void SetFileHandle(AVFormatContext* Value) { AttachFormatContext(Value); }

  String FileName();
  int64_t FileSize() const { return FFileSize; }
  const String& ForceFormat() const { return FForceFormat; }
  String FormatName();
  String FormatLongName();
  bool GetLongCodecName() const { return FGetLongCodecName; }
  void SetGetLongCodecName(bool Value) { FGetLongCodecName = Value; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }
  TFileStreamInfo FileStreamInfo();
  // Lines joined with CR LF after every line.
  String FileInfoText();
  TAudioStreamInfo FirstAudioStreamInfo() { return GetAudioStreamInfos(-1); }
  TVideoStreamInfo FirstVideoStreamInfo() { return GetVideoStreamInfos(-1); }
  TSubtitleStreamInfo FirstSubtitleStreamInfo() { return GetSubtitleStreamInfos(-1); }
  const String& LastErrMsg() const { return FLastErrMsg; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread = Value; }
  const TBeforeFindStreamInfoEvent& OnBeforeFindStreamInfo() const { return FOnBeforeFindStreamInfo; }
  void SetOnBeforeFindStreamInfo(TBeforeFindStreamInfoEvent Value) { FOnBeforeFindStreamInfo = std::move(Value); }

  bool IsAudioStream(int AStreamIndex);
  bool IsVideoStream(int AStreamIndex);
  bool IsSubtitleStream(int AStreamIndex);
  // A negative Index means the first stream of the kind.
  TAudioStreamInfo GetAudioStreamInfos(int Index);
  TVideoStreamInfo GetVideoStreamInfos(int Index);
  TSubtitleStreamInfo GetSubtitleStreamInfos(int Index);
  TAVProgram GetProgrames(int Index);

 protected:
  virtual void RefreshFileInfo();
  virtual void AttachFormatContext(AVFormatContext* Value);
  // The scaler flags the open's options asked for ("-sws_flags").
  virtual void SetScalerFlags(int /*Flags*/) {}

  // The text becomes LastErrMsg and is logged with this decoder as sender.
  void ReportMessage(TLogLevel Level, const String& Msg);
  void ReportMessageFmt(TLogLevel Level, std::string_view Fmt, std::initializer_list<TVarRec> Args);
  // Stamps the start of a blocking library call for the read time-out.
  void StampRead();
  // The size as RefreshFileInfo finds it.
  int64_t ComputeFileSize();
  AVStream* Stream(int Index) const { return FFileHandle->streams[Index]; }
  // -1 with a report when the stream is missing or of another kind.
  int CheckStreamOfKind(int Index, AVMediaType Kind);
  bool CheckFileLoaded();

  AVFormatContext* FFileHandle = nullptr;
  TFFOptions FOptions;  // option dictionaries for the next open
  bool FOwnHandle = false;
  String FLastErrMsg;
  String FForceFormat;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1, FVideoStreamCount = -1, FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1, FFirstVideoStreamIndex = -1, FFirstSubtitleStreamIndex = -1;
  bool FTriggerEventInMainThread = true;
  bool FGetLongCodecName = true;
  // Stamp of the running blocking call (av_gettime_relative µs); INT64_MAX: none.
  // Read by the interrupt callback on the thread inside the library.
  std::atomic<int64_t> FLastRead{INT64_MAX};
  TBeforeFindStreamInfoEvent FOnBeforeFindStreamInfo;

 private:
  friend int DecodeInterruptCallback(void* opaque);
  void ResetOptions();
  bool LoadFileWithOptions(const String& AFileName, const String& AFormatName);
  // Shared tail of the three Get*StreamInfos: the stream or nullptr (reported).
  AVStream* InfoStream(int& Index, AVMediaType Kind);
  String CodecNameOf(AVStream* st) const;
  bool IsStreamKind(int AStreamIndex, AVMediaType Kind);
};

// Seconds of a timestamp in a time base as "%d.%.6d" ("-0.500000"); empty for AV_NOPTS_VALUE.
String SecondsText(int64_t ts, AVRational tb);
// ", 29.97 fps", ", 25 fps", ", 90k tbn": a rate with its unit for the stream lines.
String RateSuffixText(double v, const char* unit);

// The library's interrupt callback; opaque is the decoder. 1 cancels the call.
int DecodeInterruptCallback(void* opaque);

enum TDecodeType { dtBoth, dtVideo, dtAudio };
enum TDecodeResult { drVideo, drAudio, drError };

// The current picture. PTS: microseconds from the stream's start.
struct TFrameInfo {
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  int Width = -1;
  int Height = -1;
  bool IsKeyFrame = false;
  bool IsInterlaced = false;
  bool IsTopFieldFirst = false;
  AVPictureType PictureType = AV_PICTURE_TYPE_NONE;
  int64_t PTS = AV_NOPTS_VALUE;
  int64_t OriginalDTS = AV_NOPTS_VALUE;  // stream time base
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int StreamIndex = -1;
  int64_t Position = -1;  // byte position of its packet, -1 unknown
  bool Ready = false;
  TAVPicture Picture;        // planes of Frame
  AVFrame* Frame = nullptr;  // the decoder's reference to the picture: valid until the next decode or seek
};

// The last decoded audio, in the output format.
struct TWaveInfo {
  int Channels = 0;
  int SampleRate = 0;
  AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
  int BytesPerSample = 0;
  int BytesPerSecond = 0;
  int64_t PTS = AV_NOPTS_VALUE;  // microseconds from the stream start
  int64_t OriginalDTS = AV_NOPTS_VALUE;
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int StreamIndex = -1;
  bool Ready = false;
  uint8_t* Buffer = nullptr;  // owned by the decoder
  int Size = 0;
  int64_t Duration = AV_NOPTS_VALUE;  // microseconds
};

// Source format the resampler was made for.
struct TAudioParam {
  int freq = -1;
  int channels = -1;
  AVChannelLayout channel_layout{};
  AVSampleFormat fmt = AV_SAMPLE_FMT_NONE;
  SwrContext* swr_ctx = nullptr;
  int st_idx = -1;
};

class TFFDecoder : public TCustomDecoder {
 public:
  explicit TFFDecoder(TComponent* AOwner);
  ~TFFDecoder() override;

  void CloseFile() override;
  virtual void FreeResampler();
  // Moves the input to APTS (microseconds from the start; a byte position with
  // sfByte). Without sfBackward it lands on the key frame at or after the
  // target, with it at or before. A target past the end fails.
  virtual bool Seek(int64_t APTS, TSeekFlags ASeekFlags);

  // Decodes the next picture of a video stream (-1: the one selected before,
  // else the first) into FrameInfo.
  bool Decode(int AStreamIndex);
  // The next picture or audio, whichever comes first among the selected streams.
  TDecodeResult Decode(TDecodeType AType);
  bool DecodeNextKeyFrame(int AStreamIndex);
  // A key frame before the current picture. Gives up (False, "Could not seek
  // to the previous key-frame. ...") after a bounded number of attempts.
  bool DecodePreviousKeyFrame(int AStreamIndex);
  bool DecodePreviousFrame(int AStreamIndex);
  // The current picture, unscaled, in BitmapBitsPixel's format.
  bool CopyToBitmap(TBitmap* ABitmap);
  // The current picture as RGB owned by the converter; nullptr on failure.
  const BITMAP* GetBitmapPtr();
  bool DecodeAudio(int AStreamIndex);
  // Hands out up to ACount decoded bytes; nullptr ABuffer only tells how many
  // are ready. -1 when nothing could be decoded.
  int ReadAudio(uint8_t* ABuffer, int ACount, int AStreamIndex);

  int BitmapBitsPixel() const { return FFormatConv->BitsPixel(); }
  void SetBitmapBitsPixel(int Value) { FFormatConv->SetBitsPixel(Value); }
  bool IsEOF() const { return FEOF; }  // EOF is a C macro
  const TFrameInfo& FrameInfo() const { return FPicture; }
  int64_t Position();
  const String& VideoFilters() const { return Fvfilters; }
  void SetVideoFilters(const String& Value) { Fvfilters = Value; }
  const TWaveInfo& WaveInfo() const { return FWaveInfo; }
  int DesireAudioChannels() const { return FDesireAudioChannels; }
  void SetDesireAudioChannels(int Value);
  int DesireAudioSampleRate() const { return FDesireAudioSampleRate; }
  void SetDesireAudioSampleRate(int Value);
  AVSampleFormat DesireAudioSampleFormat() const { return FDesireAudioSampleFormat; }
  // The converter's scaler flags (set from "sws_flags" of the open's options).
  TFormatConverter* FormatConverter() const { return FFormatConv.get(); }

 protected:
  void SetScalerFlags(int Flags) override { FFormatConv->Setsws_flags(Flags); }

 private:
  struct TCodecCtxDeleter {
    void operator()(AVCodecContext* c) const;
  };
  using TCodecCtxPtr = std::unique_ptr<AVCodecContext, TCodecCtxDeleter>;
  bool CheckOwnHandle();
  bool CanSeek();
  int SelectVideoStream(int AIndex);
  int SelectAudioStream(int AIndex);
  bool OpenCodec(int AStreamIndex, bool AVideo);
  bool EofReached(const char* Op);
  // The reading loop of the three decoding operations: feeds packets of the
  // wanted streams (-1: none) to their decoders until a picture (1) or audio
  // (2) is stored; 0 with a report at the end of the input, -1 on an audio error.
  int ReadLoop(const char* Op, int VideoIndex, int AudioIndex);
  // Sends a packet (nullptr: drain); a packet the decoder cannot take yet waits in FPendingPacket.
  int SendVideoPacket(AVPacket* pkt);
  // 1 when a picture was stored, 0 when the filters want more.
  int HandleVideoFrame(AVFrame* frame);
  int ConfigureVideoFilters(const String& text, const AVFrame* frame);
  void FreeFilterGraph();
  void StorePicture(AVFrame* frame, int64_t packetPts);
  // Decodes one packet (nullptr: drain) into WaveInfo: 1 audio stored, 0 none, negative error.
  int DecodeAudioPacket(AVPacket* pkt);
  // Appends one frame in the output format at offset; the byte count or a negative error.
  int ResampleAudio(int64_t offset, AVFrame* frame);
  bool AppendAudio(int64_t offset, const uint8_t* data, int64_t bytes);
  void ResetFrameInfo();
  void ResetWaveInfo();
  void ResetAudioParam();
  int64_t FrameDuration() const;
  // The current picture's PTS, else the one before it (AV_NOPTS_VALUE when neither).
  int64_t ReferencePTS() const;
  int64_t CurrentBytePos() const;

  TCodecCtxPtr FVideoCodec;
  int FVideoCodecStream = -1;
  std::unique_ptr<TFormatConverter> FFormatConv;
  int FSeekIndex = -1;
  int FDesireVideoIndex = -1;
  AVRational FFrameRate{0, 0};
  AVFrame* FDecodedFrame = nullptr;
  AVFrame* FFilteredFrame = nullptr;
  AVFrame* FPictureFrame = nullptr;  // holds the current picture (a reference, not a copy)
  AVPacket* FPacket = nullptr;
  AVPacket* FPendingPacket = nullptr;
  bool FEOF = false;
  bool FEOFpkt = false;
  bool FVideoDrainSent = false;
  bool FAudioDrainSent = false;
  TFrameInfo FPicture;
  int64_t FLastPTS = AV_NOPTS_VALUE;
  String Fvfilters;
  String Flast_vfilters;
  AVFilterContext* Fbuffersink_ctx = nullptr;
  AVFilterContext* Fbuffersrc_ctx = nullptr;
  AVFilterGraph* Ffilter_graph = nullptr;
  TWaveInfo FWaveInfo;
  int FDesireAudioChannels = 2;
  int FDesireAudioSampleRate = 44100;
  AVSampleFormat FDesireAudioSampleFormat = AV_SAMPLE_FMT_S16;
  AVChannelLayout FDesireChannelLayout{};  // unspecified: the default layout for the channel count
  int FDesireAudioIndex = -1;
  TCodecCtxPtr FAudioCodec;
  int FAudioCodecStream = -1;
  AVFrame* FAudioDecodedFrame = nullptr;
  uint8_t* FAudioBuffer = nullptr;
  int FAudioSize = 0;
  uint8_t* FResampledBuffer = nullptr;
  unsigned FResampledSize = 0;
  TAudioParam FAudioParam;
  int FRemainsAudioSize = 0;
};
