#include "media/FFmpegQsv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

// What one QSV-transcoded stream pair shares: the device (the session) and
// the surface pool. The input and the output stream each hold one use.
struct TQSVContext {
  TOutputStream* OutputStream = nullptr;
  AVBufferRef* Device = nullptr;
  AVBufferRef* Frames = nullptr;
  int Users = 0;
};

// The contexts alive. Join copies of an output stream carry its context
// pointer too: only the stream recorded in the context releases it, and a
// copy released after the context went finds it gone.
std::mutex LiveLock;
std::unordered_set<const TQSVContext*> LiveContexts;

void FreeContext(TQSVContext* ctx) {
  {
    std::lock_guard<std::mutex> lock(LiveLock);
    LiveContexts.erase(ctx);
  }
  ff::av_buffer_unref(&ctx->Frames);
  ff::av_buffer_unref(&ctx->Device);
  delete ctx;
}

// Gives up one use: the input stream's, or (ost not null) the output
// stream's when ost is the one the context was made for.
void ReleaseContext(TQSVContext* ctx, const TOutputStream* ost = nullptr) {
  {
    std::lock_guard<std::mutex> lock(LiveLock);
    if (!LiveContexts.count(ctx)) return;
    if (ost) {
      if (ctx->OutputStream != ost) return;
      ctx->OutputStream = nullptr;
    }
    if (--ctx->Users > 0) return;
  }
  FreeContext(ctx);
}

bool ListsQsv(const AVPixelFormat* Formats) {
  if (!Formats) return false;
  for (const AVPixelFormat* p = Formats; *p != AV_PIX_FMT_NONE; ++p)
    if (*p == AV_PIX_FMT_QSV) return true;
  return false;
}

struct TImplName {
  const char* Name;
  int Impl;
};
constexpr TImplName ImplNames[] = {{"auto", 0},     {"sw", 1},  {"hw", 2},  {"auto_any", 3},
                                   {"hw_any", 4},   {"hw2", 5}, {"hw3", 6}, {"hw4", 7}};
constexpr int DefaultImpl = 3;  // any implementation, hardware first

// Surfaces the decoder and the encoder hold at once, with room for the
// decoder's references and the encoder's look-ahead.
constexpr int SurfacePoolSize = 64;

// The pool's size: the picture rounded up to the hardware's 32-line tiles.
int AlignTo32(int Value) { return (Value + 31) & ~31; }

// The pool's memory layout for the decoder's software format: 10-bit
// pictures travel as P010, everything else as NV12.
AVPixelFormat SurfaceFormat(AVPixelFormat Decoded) {
  const AVPixFmtDescriptor* desc = Decoded == AV_PIX_FMT_NONE ? nullptr : ff::av_pix_fmt_desc_get(Decoded);
  return desc && desc->comp[0].depth > 8 ? AV_PIX_FMT_P010 : AV_PIX_FMT_NV12;
}

// The device and its pool sized for the decoder; a negative library code.
int CreateDeviceAndPool(TQSVContext* ctx, int Impl, const AVCodecContext* Dec) {
  const String device = std::to_string(Impl);
  int ret = ff::av_hwdevice_ctx_create(&ctx->Device, AV_HWDEVICE_TYPE_QSV, device.c_str(), nullptr, 0);
  if (ret < 0) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Error initializing an MFX session: %d\n", ret);
    return ret;
  }
  ctx->Frames = ff::av_hwframe_ctx_alloc(ctx->Device);
  if (!ctx->Frames) return AVERROR(ENOMEM);
  auto* frames = reinterpret_cast<AVHWFramesContext*>(ctx->Frames->data);
  frames->format = AV_PIX_FMT_QSV;
  frames->sw_format = SurfaceFormat(Dec->pix_fmt);
  frames->width = AlignTo32(Dec->coded_width > 0 ? Dec->coded_width : Dec->width);
  frames->height = AlignTo32(Dec->coded_height > 0 ? Dec->coded_height : Dec->height);
  frames->initial_pool_size = SurfacePoolSize;
  ret = ff::av_hwframe_ctx_init(ctx->Frames);
  if (ret < 0) ff::av_log(nullptr, AV_LOG_ERROR, "Error initializing a QSV surface pool: %d\n", ret);
  return ret;
}

}  // namespace

const THWAccel HardwareAccelerations[] = {
    {"qsv", QsvInit, HWACCEL_QSV, AV_PIX_FMT_QSV},
    {nullptr, nullptr, HWACCEL_NONE, AV_PIX_FMT_NONE},
};

const THWAccel* GetHWAccel(AVPixelFormat PixFmt) {
  for (const THWAccel* row = HardwareAccelerations; row->Name; ++row)
    if (row->PixFmt == PixFmt) return row;
  return nullptr;
}

bool ChooseImplementation(const String& Device, int& Impl) {
  if (Device.empty()) {
    Impl = DefaultImpl;
    return true;
  }
  for (const TImplName& n : ImplNames)
    if (Device == n.Name) {
      Impl = n.Impl;
      return true;
    }
  // A whole number and nothing else; strtol alone would read "abc" as 0 (auto).
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(Device.c_str(), &end, 0);
  if (end == Device.c_str() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    return false;
  Impl = int(value);
  return true;
}

int QsvTranscodeInit(TOutputStream* ost, TInputStream* ist,
                     const std::vector<std::unique_ptr<TOutputStream>>& OutputStreams) {
  if (!ff::MFXInit) {
    ff::av_log(nullptr, AV_LOG_WARNING, "Intel QSV transcoding is not avaiable because libmfx is not loaded.\n");
    return 0;
  }
  if (!ost->enc || !ListsQsv(ost->enc->pix_fmts) || ost->avfilter != "null" || ost->source_index < 0) return 0;
  if (!ist || !ist->filters.empty() || ist->hwaccel_id != HWACCEL_QSV || !ist->avdec ||
      !ListsQsv(ist->avdec->pix_fmts) || !ist->dec_ctx || !ost->enc_ctx)
    return 0;
  for (const auto& other : OutputStreams)
    if (other.get() != ost && other->source_index == ost->source_index) return 0;

  ff::av_log(nullptr, AV_LOG_VERBOSE, "Setting up QSV transcoding\n");

  int impl = DefaultImpl;
  if (!ChooseImplementation(ist->hwaccel_device, impl)) {
    ff::av_log(nullptr, AV_LOG_ERROR,
               "Unknown QSV device \"%s\": use a number or one of auto, sw, hw, auto_any, hw_any, hw2, hw3, hw4.\n",
               ist->hwaccel_device.c_str());
    return AVERROR_UNKNOWN;
  }
  auto* ctx = new (std::nothrow) TQSVContext;
  if (!ctx) return AVERROR_UNKNOWN;
  if (CreateDeviceAndPool(ctx, impl, ist->dec_ctx.get()) < 0) {
    FreeContext(ctx);
    return AVERROR_UNKNOWN;
  }
  AVBufferRef* encoderFrames = ff::av_buffer_ref(ctx->Frames);
  if (!encoderFrames) {
    FreeContext(ctx);
    return AVERROR_UNKNOWN;
  }
  AVCodecContext* enc = ost->enc_ctx.get();
  ff::av_buffer_unref(&enc->hw_frames_ctx);
  enc->hw_frames_ctx = encoderFrames;
  enc->pix_fmt = AV_PIX_FMT_QSV;
  ctx->OutputStream = ost;
  ctx->Users = 2;
  {
    std::lock_guard<std::mutex> lock(LiveLock);
    LiveContexts.insert(ctx);
  }
  ost->hwaccel_ctx = ctx;
  ist->hwaccel_ctx = ctx;
  // Closing the decoder gives its use back, whether or not it ever asked
  // for the hardware format.
  ist->hwaccel_uninit = QsvUninit;
  ist->dec_ctx->pix_fmt = AV_PIX_FMT_QSV;
  ist->resample_pix_fmt = AV_PIX_FMT_QSV;
  return 0;
}

int QsvInit(AVCodecContext* s) {
  auto* ist = static_cast<TInputStream*>(s->opaque);
  auto* ctx = ist ? static_cast<TQSVContext*>(ist->hwaccel_ctx) : nullptr;
  if (!ctx) {
    ff::av_log(nullptr, AV_LOG_ERROR,
               "QSV transcoding is not initialized. -hwaccel qsv should only be used for one-to-one QSV "
               "transcoding with no filters.\n");
    return AVERROR_BUG;
  }
  // The decoder draws its surfaces from the encoder's pool.
  AVBufferRef* frames = ff::av_buffer_ref(ctx->Frames);
  if (!frames) return AVERROR(ENOMEM);
  ff::av_buffer_unref(&s->hw_frames_ctx);
  s->hw_frames_ctx = frames;
  ist->hwaccel_get_buffer = nullptr;  // the pool hands out the buffers itself
  ist->hwaccel_uninit = QsvUninit;
  return 0;
}

void QsvUninit(AVCodecContext* s) {
  auto* ist = static_cast<TInputStream*>(s->opaque);
  if (!ist || !ist->hwaccel_ctx) return;
  ff::av_buffer_unref(&s->hw_frames_ctx);
  auto* ctx = static_cast<TQSVContext*>(ist->hwaccel_ctx);
  ist->hwaccel_ctx = nullptr;
  ist->hwaccel_uninit = nullptr;
  ReleaseContext(ctx);
}

void QsvEncoderUninit(TOutputStream* ost) {
  auto* ctx = static_cast<TQSVContext*>(ost->hwaccel_ctx);
  if (!ctx) return;
  ost->hwaccel_ctx = nullptr;
  ReleaseContext(ctx, ost);
}
