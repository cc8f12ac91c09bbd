#pragma once
// Transcoding one video stream entirely on Intel Quick Sync hardware
// ("-hwaccel qsv"): when the decoder and the encoder both speak the QSV
// picture format and the stream goes, unfiltered, to exactly one output, one
// hardware device and one surface pool serve both codecs, so frames never
// leave video memory.
//
// The libraries' hardware-device API makes the session
// (av_hwdevice_ctx_create) and the pool (a hardware frames context), which
// both codec contexts reference. Each codec context drops its own references
// when it is freed; the set-up's own references go with QsvUninit (decoder
// side) and QsvEncoderUninit (encoder side), whichever runs last frees them.
//
// Everything runs on the task's worker thread (the pool itself is the
// library's and is safe for its decoding threads).

#include <memory>
#include <vector>

#include "media/FFApi.h"
#include "media/FFmpegRecords.h"

// One row of the hardware-acceleration table.
struct THWAccel {
  const char* Name;                     // nullptr in the end row
  int (*Init)(AVCodecContext* s);       // set-up from the decoder's format choice
  THWAccelID Id;
  AVPixelFormat PixFmt;
};

// "qsv", then the end row (no name, HWACCEL_NONE, AV_PIX_FMT_NONE).
extern const THWAccel HardwareAccelerations[];

// The first row before the end row with that pixel format; nullptr when none.
const THWAccel* GetHWAccel(AVPixelFormat PixFmt);

// The implementation (mfxIMPL) a "hwaccel_device" text asks for: one of
// "auto" 0, "sw" 1, "hw" 2, "auto_any" 3, "hw_any" 4, "hw2" 5, "hw3" 6,
// "hw4" 7, or a whole number (0x for hexadecimal); empty means 3. False for
// any other text: it names no implementation.
bool ChooseImplementation(const String& Device, int& Impl);

// Prepares QSV transcoding of ost fed by ist (nullptr when none), among the
// task's output streams. 0 when it was set up or does not apply (a warning
// when the dispatcher library is not loaded); AVERROR_UNKNOWN when the
// device, the pool or the contexts could not be made (an unknown device
// text included), with the reason in the library log.
int QsvTranscodeInit(TOutputStream* ost, TInputStream* ist,
                     const std::vector<std::unique_ptr<TOutputStream>>& OutputStreams);

// The "qsv" row's set-up, from the decoder's format choice (s->opaque is the
// input stream): 0, AVERROR_BUG when the stream was not prepared, -12 when
// memory runs out.
int QsvInit(AVCodecContext* s);
// The decoder side's release (the input stream's hwaccel_uninit).
void QsvUninit(AVCodecContext* s);
// The encoder side's release, by whoever closes the output stream's encoder.
void QsvEncoderUninit(TOutputStream* ost);
