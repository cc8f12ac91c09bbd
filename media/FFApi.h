#pragma once
// The FFmpeg entry points, bound at run time.
//
// Types, structures and constants come from the installed 5.1 headers; the
// functions themselves are never linked. Each export the engine calls is a
// function-pointer variable in namespace ff, named exactly like the export and
// typed from its header declaration, null until its library is bound:
//
//   #include "media/FFApi.h"
//   AVFrame* frame = ff::av_frame_alloc();
//
// Calling the plain name (av_frame_alloc) would reference the library at link
// time; a build check rejects any such reference. Load the libraries through
// the loader (media/FFLoad.h) before calling anything here.

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "platform/os/DynLib.h"
#include "platform/rtl/SysUtils.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/avutil.h>
#include <libavutil/bprint.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/eval.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "media/FFApiList.h"

// libavcodec/qsv.h needs the QSV dispatcher's headers, which are not installed;
// its one function is declared here as that header declares it. The QSV
// context's layout belongs to the QSV set-up.
extern "C" {
struct AVQSVContext;
AVQSVContext* av_qsv_alloc_context(void);
}

// The dispatcher's version record (mfxVersion: minor, then major).
struct TMfxVersion {
  uint16_t Minor;
  uint16_t Major;
};

namespace ff {

// The type of each entry point.
namespace type {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define FF_TYPE_FROM_HEADER(name, optional) using name = decltype(&::name);
FF_AVUTIL_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_SWRESAMPLE_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_SWSCALE_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_AVCODEC_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_AVFORMAT_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_AVFILTER_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
FF_AVDEVICE_ENTRY_POINTS(FF_TYPE_FROM_HEADER)
#undef FF_TYPE_FROM_HEADER
#pragma GCC diagnostic pop

// The SoundTouch library's C interface (no header on this system).
using soundtouch_createInstance = void* (*)();
using soundtouch_destroyInstance = void (*)(void* h);
using soundtouch_getVersionString = const char* (*)();
using soundtouch_getVersionString2 = void (*)(char* versionString, int bufferSize);
using soundtouch_getVersionId = unsigned (*)();
using soundtouch_setRate = void (*)(void* h, float newRate);
using soundtouch_setTempo = void (*)(void* h, float newTempo);
using soundtouch_setRateChange = void (*)(void* h, float newRate);
using soundtouch_setTempoChange = void (*)(void* h, float newTempo);
using soundtouch_setPitch = void (*)(void* h, float newPitch);
using soundtouch_setPitchOctaves = void (*)(void* h, float newPitch);
using soundtouch_setPitchSemiTones = void (*)(void* h, float newPitch);
using soundtouch_setChannels = void (*)(void* h, unsigned numChannels);
using soundtouch_setSampleRate = void (*)(void* h, unsigned srate);
using soundtouch_flush = void (*)(void* h);
using soundtouch_putSamples = void (*)(void* h, const float* samples, unsigned numSamples);
using soundtouch_clear = void (*)(void* h);
using soundtouch_setSetting = int (*)(void* h, int settingId, int value);
using soundtouch_getSetting = int (*)(void* h, int settingId);
using soundtouch_numUnprocessedSamples = unsigned (*)(void* h);
using soundtouch_receiveSamples = unsigned (*)(void* h, float* outBuffer, unsigned maxSamples);
using soundtouch_numSamples = unsigned (*)(void* h);
using soundtouch_isEmpty = int (*)(void* h);

// The QSV dispatcher (mfxStatus MFXInit(mfxIMPL, mfxVersion*, mfxSession*)).
using MFXInit = int (*)(int32_t impl, TMfxVersion* ver, void** session);
using MFXClose = int (*)(void* session);

#define FF_TYPE_GIVEN(name, signature) using name = signature;
FF_LIBC_ENTRY_POINTS(FF_TYPE_GIVEN)
#undef FF_TYPE_GIVEN
}  // namespace type

#define FF_DECLARE_ENTRY_POINT(name, optional) inline type::name name = nullptr;
FF_AVUTIL_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_SWRESAMPLE_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_SWSCALE_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_AVCODEC_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_AVFORMAT_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_AVFILTER_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_AVDEVICE_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_SOUNDTOUCH_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_LIBMFX_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
FF_LIBC_ENTRY_POINTS(FF_DECLARE_ENTRY_POINT)
#undef FF_DECLARE_ENTRY_POINT

}  // namespace ff

// One library's generated binding: used by the loader and by tests.
struct TEntryPointTable {
  // Binds every entry point in list order; raises (see BindEntryPoint) at the
  // first required one that is missing, leaving the rest as they were.
  void (*Bind)(const String& libraryFileName, HMODULE handle);
  // Sets every entry point of the library to null.
  void (*Clear)();
  // How many of the library's entry points are bound now.
  int (*BoundCount)();
  int Count;  // entry points in the list
};

extern const TEntryPointTable AvUtilEntryPoints;
extern const TEntryPointTable SwResampleEntryPoints;
extern const TEntryPointTable SwScaleEntryPoints;
extern const TEntryPointTable AvCodecEntryPoints;
extern const TEntryPointTable AvFormatEntryPoints;
extern const TEntryPointTable AvFilterEntryPoints;
extern const TEntryPointTable AvDeviceEntryPoints;
extern const TEntryPointTable SoundTouchEntryPoints;
extern const TEntryPointTable LibMfxEntryPoints;
// The C run-time library: bound by address from the process, whatever handle.
extern const TEntryPointTable LibcEntryPoints;

// Shared helpers over the bound entry points.

// av_int_list_length_for_size: elements before the terminator.
unsigned IntListLength(unsigned elementSize, const void* list, uint64_t terminator);
// Sets a binary option from a terminated list (the header's av_opt_set_int_list,
// which would reference the library directly); AVERROR(EINVAL) when too long.
int OptSetIntList(void* obj, const char* name, const void* list, int flags, uint64_t terminator,
                  unsigned elementSize);
// The stream's best frame rate guess, from container and codec information.
AVRational GuessFrameRate(AVFormatContext* formatContext, AVStream* stream);
// The frame rate at a buffer sink's input.
AVRational BufferSinkFrameRate(const AVFilterContext* filterContext);
// memcmp's sign convention (1, -1, 0) over Count > 0 bytes of non-null A and B.
int CompareBytes(const void* a, const void* b, int count);
