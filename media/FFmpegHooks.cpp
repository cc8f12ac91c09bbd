// Hooks and preview: decoded pictures before filtering (input hooks),
// pictures about to be encoded (output hooks) and, at most once per preview
// interval, a preview of them (post hooks).
//
// A hooked picture always gets a buffer of its own: the decoder, the filters
// and the encoder may still hold the picture they handed over, so editing it
// in place (or in one shared scratch buffer) would change frames already
// queued elsewhere.

#include "media/FFLog.h"
#include "media/FFmpeg.h"

namespace {

// An owned, reference-counted copy of frame's picture and properties.
UniqueFrame CopyPicture(const AVFrame* frame) {
  UniqueFrame copy(ff::av_frame_alloc());
  if (!copy) return nullptr;
  copy->format = frame->format;
  copy->width = frame->width;
  copy->height = frame->height;
  if (ff::av_frame_get_buffer(copy.get(), 0) < 0 || ff::av_frame_copy(copy.get(), frame) < 0 ||
      ff::av_frame_copy_props(copy.get(), frame) < 0)
    return nullptr;
  return copy;
}

TAVPicture PictureOf(AVFrame* frame) {
  TAVPicture p;
  for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
    p.data[i] = frame->data[i];
    p.linesize[i] = frame->linesize[i];
  }
  return p;
}

}  // namespace

bool TCustomFFmpeg::RunVideoHook(bool InputSide, TFormatConverter* Converter, int FrameNumber, int64_t PTS,
                                 AVCodecContext*, AVFrame* frame) {
  TFFVideoHookEvent& event = InputSide ? OnInputVideoHook : OnOutputVideoHook;
  const AVPixelFormat fmt = AVPixelFormat(frame->format);
  bool converted = Converter->PictureToRGB(frame->data, frame->linesize, fmt, frame->width, frame->height, true);
  bool stop = false;
  if (!converted) {
    GlobalLogger()->Log(this, llError, Converter->LastErrMsg());
    stop = true;
  } else if (event) {
    bool update = true;
    try {
      THandlerScope scope(this);
      event(this, Converter->Bitmap(), FrameNumber, PTS, update, stop);
    } catch (const Exception& e) {
      GlobalLogger()->Log(this, llError, "Error occurs VideoHook event: " + e.Message);
      update = false;
    }
    if (update) {
      Converter->BitmapToRGB();
      if (Converter->RGBPictureRef() &&
          !Converter->RGBToPicture(frame->data, frame->linesize, fmt, frame->width, frame->height)) {
        GlobalLogger()->Log(this, llError, Converter->LastErrMsg());
        stop = true;
      }
    } else if (!GetPostHooks().Empty()) {
      converted = false;
    }
  }
  if (stop) event = nullptr;
  return converted;
}

void TCustomFFmpeg::PreProcessVideoFrame(TInputStream* ist, AVFrame* frame) {
  ist->frame_number++;
  if (!OnInputFrameHook && !OnInputVideoHook) return;
  const int64_t pts = ist->pts;
  UniqueFrame copy = CopyPicture(frame);
  if (!copy) {
    GlobalLogger()->Log(this, llError, "memory malloc error in pre_process_video_frame().");
    return;
  }
  if (OnInputFrameHook) {
    TAVPicture picture = PictureOf(copy.get());
    THandlerScope scope(this);
    OnInputFrameHook(this, &picture, AVPixelFormat(copy->format), ist->frame_number, copy->width, copy->height, pts);
  }
  if (OnInputVideoHook) RunVideoHook(true, &FInputVideoHook, ist->frame_number, pts, ist->dec_ctx.get(), copy.get());
  // The (possibly changed) copy goes on to the filters.
  ff::av_frame_unref(frame);
  ff::av_frame_move_ref(frame, copy.get());
}

bool TCustomFFmpeg::PostProcessVideoFrame(TOutputStream*, AVCodecContext* Enc, AVFrame* frame, int FrameNumber,
                                          int64_t PTS) {
  if (!OnOutputVideoHook && !OnOutputFrameHook) return false;
  UniqueFrame copy = CopyPicture(frame);
  if (!copy) {
    GlobalLogger()->Log(this, llError, "hook buf malloc error.");
    return false;
  }
  bool converted = false;
  if (OnOutputVideoHook)
    converted = RunVideoHook(false, FOutputVideoHook.Converter.get(), FrameNumber, PTS, Enc, copy.get());
  if (OnOutputFrameHook) {
    TAVPicture picture = PictureOf(copy.get());
    THandlerScope scope(this);
    OnOutputFrameHook(this, &picture, AVPixelFormat(copy->format), FrameNumber, copy->width, copy->height, PTS);
  }
  // The encoder receives the hooked picture.
  ff::av_frame_unref(frame);
  ff::av_frame_move_ref(frame, copy.get());
  return converted;
}
