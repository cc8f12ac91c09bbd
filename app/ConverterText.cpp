#include "app/ConverterText.h"

#include "platform/os/Files.h"

const char* const AcceptedExtensions =
    ".3GP,.ASF,.AVI,.AVM,.AVS,.DAT,.FLV,.MKV,.MOV,.MP4,.MPEG,.MPG,.NSV,.OGM,.RM,.RMVB,.TP,.TS,.VOB,.WMV,.AAC,.AC3,"
    ".APE,.DTS,.FLAC,.M4A,.MKA,.MP2,.MP3,.MPA,.MPC,.OFR,.OGG,.RA,.TTA,.WAV,.WMA";

const char* const FolderSearchMasks =
    "*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;"
    "*.VOB;*.WMV";

const char* const MediaFileFilter =
    "Video/Audio Files|*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;"
    "*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;*.M4A;*.MKA;*.MP2;*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;"
    "*.RA;*.TTA;*.WAV;*.WMA;|Video Files|*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;"
    "*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;*.VOB;*.WMV;|Audio Files|*.AAC;*.AC3;*.APE;*.DTS;*.FLAC;*.M4A;*.MKA;*.MP2;"
    "*.MP3;*.MPA;*.MPC;*.OFR;*.OGG;*.RA;*.TTA;*.WAV;*.WMA;|All Files|*.*";

String FormatHMS(int64_t Seconds) {
  if (Seconds < 0) Seconds = 0;
  return Format("%.2d:%.2d:%.2d", {Seconds / 3600, Seconds / 60 % 60, Seconds % 60});
}

String TotalTimeText(int64_t DurationMicroseconds) {
  if (DurationMicroseconds <= 0) return "N/A";
  return FormatHMS(DurationMicroseconds / 1000000);
}

String FileSizeText(int64_t Bytes) {
  double size = double(Bytes) / 1024 / 1024;
  if (size > 1000) return FormatFloat("0.##", size / 1024) + " GB";
  return FormatFloat("0.##", size) + " MB";
}

String ProgressText(int64_t Current, int64_t Total) {
  if (Total <= 0) return "N/A";
  return IntToStr(Current * 100 / Total) + "%";
}

String FormatTimeStamp(int64_t T) {
  return Format("%.2d:%.2d:%.2d.%.3d",
                {T / 1000000 / 3600, T / 1000000 / 60 % 60, T / 1000000 % 60, T % 1000000 * 1000 / 1000000});
}

bool IsAcceptedFileName(const String& FileName) {
  const String ext = UpperCase(ExtractFileExt(FileName));
  if (ext.size() < 2) return false;
  std::string_view list = AcceptedExtensions;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    if (list.substr(0, comma) == ext) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}
