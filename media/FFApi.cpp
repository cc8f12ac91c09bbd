#include "media/FFApi.h"

#include <climits>
#include <cstring>

#include "media/MyUtils.h"

// Bind, clear and count routines generated from the lists, one table per library.

#define FF_BIND_BY_NAME(name, optional) \
  ff::name = reinterpret_cast<ff::type::name>(BindEntryPoint(fileName, handle, #name, optional));
#define FF_BIND_BY_ADDRESS(name, signature) ff::name = static_cast<ff::type::name>(&::name);
#define FF_CLEAR(name, ...) ff::name = nullptr;
#define FF_COUNT_BOUND(name, ...) +(ff::name != nullptr ? 1 : 0)
#define FF_COUNT(name, ...) +1

#define FF_ENTRY_POINT_TABLE(table, LIST, BIND)                                                  \
  const TEntryPointTable table = {                                                               \
      [](const String& fileName, HMODULE handle) {                                               \
        (void)fileName;                                                                          \
        (void)handle;                                                                            \
        LIST(BIND)                                                                               \
      },                                                                                         \
      [] { LIST(FF_CLEAR) },                                                                     \
      [] { return 0 LIST(FF_COUNT_BOUND); },                                                     \
      0 LIST(FF_COUNT),                                                                          \
  };

FF_ENTRY_POINT_TABLE(AvUtilEntryPoints, FF_AVUTIL_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(SwResampleEntryPoints, FF_SWRESAMPLE_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(SwScaleEntryPoints, FF_SWSCALE_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(AvCodecEntryPoints, FF_AVCODEC_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(AvFormatEntryPoints, FF_AVFORMAT_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(AvFilterEntryPoints, FF_AVFILTER_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(AvDeviceEntryPoints, FF_AVDEVICE_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(SoundTouchEntryPoints, FF_SOUNDTOUCH_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(LibMfxEntryPoints, FF_LIBMFX_ENTRY_POINTS, FF_BIND_BY_NAME)
FF_ENTRY_POINT_TABLE(LibcEntryPoints, FF_LIBC_ENTRY_POINTS, FF_BIND_BY_ADDRESS)

unsigned IntListLength(unsigned elementSize, const void* list, uint64_t terminator) {
  return ff::av_int_list_length_for_size(elementSize, list, terminator);
}

int OptSetIntList(void* obj, const char* name, const void* list, int flags, uint64_t terminator,
                  unsigned elementSize) {
  const unsigned length = IntListLength(elementSize, list, terminator);
  if (elementSize == 0 || length > unsigned(INT_MAX) / elementSize) return AVERROR(EINVAL);
  return ff::av_opt_set_bin(obj, name, static_cast<const uint8_t*>(list), int(length * elementSize), flags);
}

AVRational GuessFrameRate(AVFormatContext* formatContext, AVStream* stream) {
  return ff::av_guess_frame_rate(formatContext, stream, nullptr);
}

AVRational BufferSinkFrameRate(const AVFilterContext* filterContext) {
  return ff::av_buffersink_get_frame_rate(filterContext);
}

int CompareBytes(const void* a, const void* b, int count) {
  const int result = std::memcmp(a, b, size_t(count));
  return result > 0 ? 1 : result < 0 ? -1 : 0;
}
