// The option layer's shared services: array growth, error texts, time and
// name texts, and the rotation of a stream.

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>

#include "media/FFUtils.h"

void* GrowArray(void* Array, int ElemSize, int& Count, int NewCount) {
  if (ElemSize <= 0 || NewCount >= INT_MAX / ElemSize) throw Exception("Array too big.");
  if (Count >= NewCount) return Array;
  void* grown = ff::av_realloc_array(Array, size_t(NewCount), size_t(ElemSize));
  if (!grown) throw Exception("Could not alloc buffer.");
  std::memset(static_cast<char*>(grown) + size_t(Count) * size_t(ElemSize), 0,
              size_t(NewCount - Count) * size_t(ElemSize));
  Count = NewCount;
  return grown;
}

namespace {

struct TErrorText {
  int Code;
  const char* Text;
};

// Keyed by this platform's error numbers; an error has the same text whatever
// number the platform gives it.
const TErrorText ErrorTexts[] = {
    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_BUG, "Internal bug, should not have happened"},
    {AVERROR_BUG2, "Internal bug, should not have happened"},
    {AVERROR_BUFFER_TOO_SMALL, "Buffer too small"},
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_EXIT, "Immediate exit requested"},
    {AVERROR_EXTERNAL, "Generic error in an external library"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_OPTION_NOT_FOUND, "Option not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg, patches welcome"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_UNKNOWN, "Unknown error occurred"},
    {AVERROR_EXPERIMENTAL,
     "Requested feature is flagged experimental. Set strict_std_compliance if you really want to use it."},
    {AVERROR_INPUT_CHANGED,
     "Input changed between calls. Reconfiguration is required. (can be OR-ed with AVERROR_OUTPUT_CHANGED)"},
    {AVERROR_OUTPUT_CHANGED,
     "Output changed between calls. Reconfiguration is required. (can be OR-ed with AVERROR_INPUT_CHANGED)"},
    {AVERROR_HTTP_BAD_REQUEST, "HTTP or RTSP error: bad request(400)"},
    {AVERROR_HTTP_UNAUTHORIZED, "HTTP or RTSP error: unauthorized(401)"},
    {AVERROR_HTTP_FORBIDDEN, "HTTP or RTSP error: forbidden(403)"},
    {AVERROR_HTTP_NOT_FOUND, "HTTP or RTSP error: not found(404)"},
    {AVERROR_HTTP_OTHER_4XX, "HTTP or RTSP error: other error(4xx)"},
    {AVERROR_HTTP_SERVER_ERROR, "HTTP or RTSP error: server error(5xx)"},

    {AVERROR(ENOENT), "No such file or directory"},
    {AVERROR(ESRCH), "No such process"},
    {AVERROR(EINTR), "Interrupted function call"},
    {AVERROR(EIO), "I/O error"},
    {AVERROR(ENXIO), "No such device or address"},
    {AVERROR(E2BIG), "Argument list too long"},
    {AVERROR(ENOEXEC), "Exec format error"},
    {AVERROR(EBADF), "Bad file number"},
    {AVERROR(ECHILD), "No child processes"},
    {AVERROR(EAGAIN), "Resource temporarily unavailable / Try again"},
    {AVERROR(ENOMEM), "Not enough space / Out of memory"},
    {AVERROR(EACCES), "Permission denied"},
    {AVERROR(EFAULT), "Bad address"},
    {AVERROR(EBUSY), "Device or resource busy"},
    {AVERROR(EEXIST), "File exists"},
    {AVERROR(EXDEV), "Cross-device link"},
    {AVERROR(ENODEV), "No such device"},
    {AVERROR(ENOTDIR), "Not a directory"},
    {AVERROR(EISDIR), "Is a directory"},
    {AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
    {AVERROR(ENFILE), "Too many open files in system / File table overflow"},
    {AVERROR(EMFILE), "Too many open files"},
    {AVERROR(ENOTTY), "Inappropriate I/O control operation / Not a typewriter"},
    {AVERROR(EFBIG), "File too large"},
    {AVERROR(ENOSPC), "No space left on device"},
    {AVERROR(ESPIPE), "Illegal seek"},
    {AVERROR(EROFS), "Read-only file system"},
    {AVERROR(EMLINK), "Too many links"},
    {AVERROR(EPIPE), "Broken pipe"},
    {AVERROR(EDOM), "Math argument out of domain of func"},
    {AVERROR(ERANGE), "Math result not representable"},
    {AVERROR(EDEADLK), "Resource deadlock avoided"},
    {AVERROR(ENAMETOOLONG), "File name too long"},
    {AVERROR(ENOLCK), "No locks available"},
    {AVERROR(ENOSYS), "Function not implemented"},
    {AVERROR(ENOTEMPTY), "Directory not empty"},
    {AVERROR(ELOOP), "Too many symbolic links encountered"},
    {AVERROR(EPROTO), "Protocol error"},
    {AVERROR(EOVERFLOW), "Value too large for defined data type"},
    {AVERROR(EILSEQ), "Illegal byte sequence"},
    {AVERROR(ENOTSOCK), "Socket operation on non-socket"},
    {AVERROR(EDESTADDRREQ), "Destination address required"},
    {AVERROR(EMSGSIZE), "Message too long"},
    {AVERROR(EPROTOTYPE), "Protocol wrong type for socket"},
    {AVERROR(ENOPROTOOPT), "Protocol not available"},
    {AVERROR(EPROTONOSUPPORT), "Protocol not supported"},
    {AVERROR(EOPNOTSUPP), "Operation not supported on transport endpoint"},
    {AVERROR(EAFNOSUPPORT), "Address family not supported by protocol"},
    {AVERROR(EADDRINUSE), "Address already in use"},
    {AVERROR(EADDRNOTAVAIL), "Cannot assign requested address"},
    {AVERROR(ENETDOWN), "Network is down"},
    {AVERROR(ENETUNREACH), "Network is unreachable"},
    {AVERROR(ENETRESET), "Network dropped connection because of reset"},
    {AVERROR(ECONNABORTED), "Software caused connection abort"},
    {AVERROR(ECONNRESET), "Connection reset by peer"},
    {AVERROR(ENOBUFS), "No buffer space available"},
    {AVERROR(EISCONN), "Transport endpoint is already connected"},
    {AVERROR(ENOTCONN), "Transport endpoint is not connected"},
    {AVERROR(ESHUTDOWN), "Cannot send after transport endpoint shutdown"},
    {AVERROR(ETOOMANYREFS), "Too many references: cannot splice"},
    {AVERROR(ETIMEDOUT), "Connection timed out"},
    {AVERROR(ECONNREFUSED), "Connection refused"},
    {AVERROR(EHOSTDOWN), "Host is down"},
    {AVERROR(EHOSTUNREACH), "No route to host"},
    {AVERROR(EALREADY), "Operation already in progress"},
    {AVERROR(EINPROGRESS), "Operation now in progress"},
    {AVERROR(ESTALE), "Stale NFS file handle"},
    {AVERROR(EDQUOT), "Quota exceeded"},
    {AVERROR(EUSERS), "Too many users"},
    {AVERROR(EREMOTE), "Too many levels of remote in path"},
    {AVERROR(ECANCELED), "Operation Canceled"},
    {AVERROR(EOWNERDEAD), "Owner died"},
};

// Days since 1899-12-30 of the Unix epoch.
constexpr double UnixEpochDays = 25569;

}  // namespace

String ErrorCodeToText(const String& Prefix, int Code) {
  String text;
  for (const TErrorText& e : ErrorTexts)
    if (e.Code == Code) {
      text = e.Text;
      break;
    }
  if (text.empty()) text = Format("Error number %d occurred", {Code});
  return Prefix.empty() ? text : Prefix + ": " + text;
}

String DurationToText(int64_t Microseconds) {
  if (Microseconds == AV_NOPTS_VALUE) return "N/A";
  const bool negative = Microseconds < 0;
  // Unsigned, so that the most negative value and the rounding cannot overflow.
  const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(Microseconds) : uint64_t(Microseconds);
  const uint64_t ms = (magnitude + 500) / 1000;
  const uint64_t s = ms / 1000;
  return Format("%s%.2d:%.2d:%.2d.%.3d", {negative ? "-" : "", s / 3600, s / 60 % 60, s % 60, ms % 1000});
}

String TimestampToText(AVRational TimeBase, int64_t Timestamp) {
  if (Timestamp == AV_NOPTS_VALUE) return "N/A";
  if (TimeBase.num != 1 || TimeBase.den != 1000000) Timestamp = ff::av_rescale_q(Timestamp, TimeBase, AV_TIME_BASE_Q);
  return DurationToText(Timestamp);
}

int64_t FrameRateToDuration(AVRational Rate) {
  if (Rate.num == 0 || Rate.den == 0) return 40000;
  return int64_t{1000000} * Rate.den / Rate.num;
}

int LocalTimeOffsetMinutes(int64_t UnixSeconds) {
  const time_t t = time_t(UnixSeconds);
  struct tm local {};
  if (!localtime_r(&t, &local)) return 0;
  return int(local.tm_gmtoff / 60);
}

String TimeZoneText(int OffsetMinutes) {
  if (OffsetMinutes == 0) return "UTC";
  const int size = OffsetMinutes < 0 ? -OffsetMinutes : OffsetMinutes;
  return Format("UTC%s%.2d:%.2d", {OffsetMinutes < 0 ? "-" : "+", size / 60, size % 60});
}

String TimeZoneText() { return TimeZoneText(LocalTimeOffsetMinutes(int64_t(std::time(nullptr)))); }

double LocalTimeOffset() { return LocalTimeOffsetMinutes(int64_t(std::time(nullptr))) / 1440.0; }

double UnixTimeToLocal(int64_t UnixSeconds) {
  return double(UnixSeconds) / 86400.0 + UnixEpochDays + LocalTimeOffsetMinutes(UnixSeconds) / 1440.0;
}

String CodecNameText(const AVCodecContext* CodecCtx, bool IsEncoder, bool WithLongName) {
  const AVCodec* codec =
      IsEncoder ? ff::avcodec_find_encoder(CodecCtx->codec_id) : ff::avcodec_find_decoder(CodecCtx->codec_id);
  if (codec) {
    const String longName = codec->long_name ? Trim(codec->long_name) : String();
    if (WithLongName && !longName.empty()) return Format("%s(%s)", {codec->name, longName});
    return codec->name;
  }
  if (CodecCtx->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
  const unsigned tag = CodecCtx->codec_tag;
  const auto printable = [](unsigned c) { return c >= 32 && c <= 126; };
  if (printable(tag & 0xFF) && printable(tag >> 8 & 0xFF) && printable(tag >> 16 & 0xFF) && printable(tag >> 24)) {
    const char chars[5] = {char(tag & 0xFF), char(tag >> 8 & 0xFF), char(tag >> 16 & 0xFF), char(tag >> 24), 0};
    return Format("%s / 0x%.4X", {chars, tag});
  }
  return Format("0x%.4x", {tag});
}

String MediaTypeText(int MediaType) {
  switch (MediaType) {
    case AVMEDIA_TYPE_VIDEO: return "Video";
    case AVMEDIA_TYPE_AUDIO: return "Audio";
    case AVMEDIA_TYPE_DATA: return "Data";
    case AVMEDIA_TYPE_SUBTITLE: return "Subtitle";
    case AVMEDIA_TYPE_ATTACHMENT: return "Attachment";
    default: return "Unknown";
  }
}

String PictureTypeText(int PictureType) {
  switch (PictureType) {
    case AV_PICTURE_TYPE_I: return "Intra";
    case AV_PICTURE_TYPE_P: return "Predicted";
    case AV_PICTURE_TYPE_B: return "Bi-dir predicted";
    case AV_PICTURE_TYPE_S: return "S(GMC)-VOP MPEG4";
    case AV_PICTURE_TYPE_SI: return "Switching Intra";
    case AV_PICTURE_TYPE_SP: return "Switching Predicted";
    case AV_PICTURE_TYPE_BI: return "BI type";
    default: return "Unknown";
  }
}

String DictValueOrDefault(const AVDictionary* Dict, const char* Key, const String& Default) {
  const AVDictionaryEntry* e = ff::av_dict_get(Dict, Key, nullptr, 0);
  return e ? String(e->value) : Default;
}

double GetRotation(AVStream* Stream) {
  double theta = 0;
  const AVDictionaryEntry* rotate = ff::av_dict_get(Stream->metadata, "rotate", nullptr, 0);
  if (rotate && *rotate->value && std::strcmp(rotate->value, "0") != 0) {
    char* tail = nullptr;
    theta = ff::av_strtod(rotate->value, &tail);
    if (*tail) theta = 0;
  }
  if (theta == 0) {
    size_t size = 0;
    const uint8_t* matrix = ff::av_stream_get_side_data(Stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrix && size >= 9 * sizeof(int32_t))
      theta = -ff::av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  }
  if (std::isnan(theta)) theta = 0;  // a degenerate display matrix
  theta -= 360 * std::floor(theta / 360 + 0.0025);
  if (std::fabs(theta - 90 * std::round(theta / 90)) > 2)
    ff::av_log(nullptr, AV_LOG_WARNING,
               "Odd rotation angle.\nThe picture may be shown turned by the nearest multiple of 90 degrees.\n");
  return theta;
}
