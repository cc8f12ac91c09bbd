#include "media/FFmpegRecords.h"

void TOutputFormatDeleter::operator()(AVFormatContext* p) const {
  if (p->pb && p->oformat && !(p->oformat->flags & AVFMT_NOFILE)) ff::avio_closep(&p->pb);
  ff::avformat_free_context(p);
}

SharedOutputFormat MakeSharedOutputFormat(AVFormatContext* Owned) {
  return SharedOutputFormat(Owned, TOutputFormatDeleter());
}

int TChannelLayout::Assign(const AVChannelLayout& Source) { return ff::av_channel_layout_copy(&FLayout, &Source); }

void TChannelLayout::Clear() {
  // Native and unspecified layouts own nothing; only a custom map was allocated.
  if (FLayout.order == AV_CHANNEL_ORDER_CUSTOM && ff::av_channel_layout_uninit)
    ff::av_channel_layout_uninit(&FLayout);
  FLayout = AVChannelLayout{};
}

void TOwnedSubtitle::Clear() {
  if (FSubtitle.num_rects && ff::avsubtitle_free) ff::avsubtitle_free(&FSubtitle);
  FSubtitle = AVSubtitle{};
}
