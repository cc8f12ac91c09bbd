#pragma once
// The records a conversion task keeps for its files, streams and filter graphs.
//
// Ownership: a record frees what it owns exactly once, when it is destroyed
// (the Unique* and TAVDict members below). Members commented "borrowed" point
// at objects owned elsewhere (another record, a library graph, the options
// context of the parse) and are never freed through the record. The task
// holds every record in its lists (TCustomFFmpegOpt); filter pads are owned by
// their graph.
//
// Times are int64 in the time base the field names; AV_NOPTS_VALUE means none.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "media/FFUtils.h"
#include "media/FFmpegOutputTarget.h"

// ---------------------------------------------------------------------------
// Owners of library objects, each freed by its library's own routine.

struct TCodecContextDeleter {
  void operator()(AVCodecContext* p) const { ff::avcodec_free_context(&p); }
};
struct TFrameDeleter {
  void operator()(AVFrame* p) const { ff::av_frame_free(&p); }
};
struct TPacketDeleter {
  void operator()(AVPacket* p) const { ff::av_packet_free(&p); }
};
struct TBSFDeleter {
  void operator()(AVBSFContext* p) const { ff::av_bsf_free(&p); }
};
struct TExprDeleter {
  void operator()(AVExpr* p) const { ff::av_expr_free(p); }
};
struct TFilterGraphDeleter {
  void operator()(AVFilterGraph* p) const { ff::avfilter_graph_free(&p); }
};
struct TFilterInOutDeleter {
  void operator()(AVFilterInOut* p) const { ff::avfilter_inout_free(&p); }
};
// An opened input: closes the demuxer and its I/O.
struct TInputFormatDeleter {
  void operator()(AVFormatContext* p) const { ff::avformat_close_input(&p); }
};
// A muxer context: closes its file (unless the format does its own I/O), then frees it.
struct TOutputFormatDeleter {
  void operator()(AVFormatContext* p) const;
};
struct TFileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

using UniqueCodecContext = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using UniqueFrame = std::unique_ptr<AVFrame, TFrameDeleter>;
using UniquePacket = std::unique_ptr<AVPacket, TPacketDeleter>;
using UniqueBSF = std::unique_ptr<AVBSFContext, TBSFDeleter>;
using UniqueExpr = std::unique_ptr<AVExpr, TExprDeleter>;
using UniqueFilterGraph = std::unique_ptr<AVFilterGraph, TFilterGraphDeleter>;
using UniqueFilterInOut = std::unique_ptr<AVFilterInOut, TFilterInOutDeleter>;
using UniqueInputFormat = std::unique_ptr<AVFormatContext, TInputFormatDeleter>;
using UniqueFile = std::unique_ptr<FILE, TFileCloser>;

// A muxer context; join segments share the first segment's.
using SharedOutputFormat = std::shared_ptr<AVFormatContext>;
SharedOutputFormat MakeSharedOutputFormat(AVFormatContext* Owned);

// Shared ownership with unique_ptr's interface, for what the join copies of
// an output stream share with the first segment's record: copying the record
// shares the object, reset() replaces it for every copy at once (a reopened
// encoder), and the last copy frees it.
template <typename T, typename Deleter>
class TSharedOwner {
 public:
  TSharedOwner() : FSlot(std::make_shared<std::unique_ptr<T, Deleter>>()) {}
  T* get() const { return FSlot->get(); }
  T* operator->() const { return FSlot->get(); }
  explicit operator bool() const { return bool(*FSlot); }
  void reset(T* Owned = nullptr) { FSlot->reset(Owned); }
  long use_count() const { return FSlot.use_count(); }

 private:
  std::shared_ptr<std::unique_ptr<T, Deleter>> FSlot;
};

using TSharedCodecContext = TSharedOwner<AVCodecContext, TCodecContextDeleter>;
using SharedFrame = TSharedOwner<AVFrame, TFrameDeleter>;
using SharedBSF = TSharedOwner<AVBSFContext, TBSFDeleter>;
using SharedExpr = TSharedOwner<AVExpr, TExprDeleter>;
using SharedFile = TSharedOwner<FILE, TFileCloser>;

// A channel layout that frees what a custom layout allocated.
class TChannelLayout {
 public:
  TChannelLayout() = default;
  TChannelLayout(const TChannelLayout&) = delete;
  TChannelLayout& operator=(const TChannelLayout&) = delete;
  ~TChannelLayout() { Clear(); }
  AVChannelLayout* get() { return &FLayout; }
  const AVChannelLayout& operator*() const { return FLayout; }
  // A copy of Source; 0 or an error code.
  int Assign(const AVChannelLayout& Source);
  void Clear();

 private:
  AVChannelLayout FLayout{};
};

// A subtitle whose rectangles are freed with it.
class TOwnedSubtitle {
 public:
  TOwnedSubtitle() = default;
  TOwnedSubtitle(const TOwnedSubtitle&) = delete;
  TOwnedSubtitle& operator=(const TOwnedSubtitle&) = delete;
  ~TOwnedSubtitle() { Clear(); }
  AVSubtitle* get() { return &FSubtitle; }
  void Clear();

 private:
  AVSubtitle FSubtitle{};
};

// Hardware acceleration requested for a decoder. Only QSV exists on this platform.
enum THWAccelID {
  HWACCEL_NONE,
  HWACCEL_AUTO,
  HWACCEL_VDPAU,
  HWACCEL_DXVA2,
  HWACCEL_VDA,
  HWACCEL_VIDEOTOOLBOX,
  HWACCEL_QSV,
};

struct TInputFilter;
struct TOutputFilter;
struct TFilterGraph;

// ---------------------------------------------------------------------------

struct TInputFile {
  UniqueInputFormat ctx;
  int eof_reached = 0;
  int eagain = 0;
  int ist_index = 0;  // first stream of the file in the task's input streams
  int loop = 0;       // "stream_loop" count still to play
  int64_t duration = 0;
  AVRational time_base{1, 1};  // of duration
  int64_t input_ts_offset = 0;
  int64_t ts_offset = 0;
  int64_t last_ts = 0;
  int64_t start_time = AV_NOPTS_VALUE;
  int seek_timestamp = 0;
  int64_t recording_time = INT64_MAX;
  int nb_streams = 0;
  int nb_streams_warn = 0;
  int rate_emu = 0;
  int accurate_seek = 0;
};

struct TInputStream {
  int file_index = 0;
  AVStream* st = nullptr;  // borrowed: owned by the input file's demuxer
  int discard = 1;
  int user_set_discard = AVDISCARD_NONE;
  int decoding_needed = 0;  // bit 0: an encoder reads it; bit 1: a filter graph reads it
  UniqueCodecContext dec_ctx;
  const AVCodec* avdec = nullptr;
  UniqueFrame decoded_frame;
  UniqueFrame filter_frame;
  int64_t start = 0;
  int64_t next_dts = 0;
  int64_t dts = 0;
  int64_t next_pts = 0;
  int64_t pts = 0;
  int wrap_correction_done = 0;
  int64_t filter_in_rescale_delta_last = AV_NOPTS_VALUE;
  int64_t min_pts = INT64_MAX;
  int64_t max_pts = INT64_MIN;
  int64_t nb_samples = 0;
  double ts_scale = 1.0;
  int saw_first_ts = 0;
  int showed_multi_packet_warning = 0;
  TAVDict decoder_opts;
  AVRational framerate{0, 0};
  int top_field_first = -1;
  int guess_layout_max = INT32_MAX;
  int autorotate = 1;
  int resample_height = 0;
  int resample_width = 0;
  int resample_pix_fmt = 0;
  int resample_sample_fmt = 0;
  int resample_sample_rate = 0;
  int resample_channels = 0;
  TChannelLayout resample_channel_layout;
  int fix_sub_duration = 0;
  struct {
    int got_output = 0;
    int ret = 0;
    TOwnedSubtitle subtitle;
  } prev_sub;
  struct {
    int64_t last_pts = 0;
    int64_t end_pts = 0;
    UniqueFrame frame;
    int w = 0;
    int h = 0;
  } sub2video;
  int dr1 = 0;
  std::vector<TInputFilter*> filters;  // borrowed: owned by their graphs
  int reinit_filters = -1;
  THWAccelID hwaccel_id = HWACCEL_NONE;
  String hwaccel_device;
  THWAccelID active_hwaccel_id = HWACCEL_NONE;
  // Hardware decoder state: the hardware set-up owns hwaccel_ctx and frees it
  // through hwaccel_uninit.
  void* hwaccel_ctx = nullptr;
  void (*hwaccel_uninit)(AVCodecContext* s) = nullptr;
  int (*hwaccel_get_buffer)(AVCodecContext* s, AVFrame* frame, int flags) = nullptr;
  int (*hwaccel_retrieve_data)(AVCodecContext* s, AVFrame* frame) = nullptr;
  AVPixelFormat hwaccel_pix_fmt = AV_PIX_FMT_NONE;
  AVPixelFormat hwaccel_retrieved_pix_fmt = AV_PIX_FMT_NONE;
  int64_t data_size = 0;
  int64_t nb_packets = 0;
  int64_t frames_decoded = 0;
  int64_t samples_decoded = 0;
  int frame_number = 0;
  int decoder_flushed = 0;
  int decoder_closed = 0;
  int stream_freed = 0;
};

struct TOutputFile {
  SharedOutputFormat ctx;           // shared by the segments of a join
  std::shared_ptr<TAVDict> opts = std::make_shared<TAVDict>();  // muxer options; shared like ctx
  int ost_index = 0;                // first stream of the file (or segment) in the task's output streams
  int64_t recording_time = INT64_MAX;
  int64_t start_time = AV_NOPTS_VALUE;
  int64_t limit_filesize = INT64_MAX;
  int shortest = 0;
  String FileName;  // as the caller named it (the muxer may write under another name)
  std::shared_ptr<TOutputTarget> target;  // local files only; shared like ctx
};

// Copyable for join mode: a copy (std::make_unique<TOutputStream>(*first))
// shares the encoder, the bit-stream filters, the work frames, the key-frame
// expression and the pass log with the record it was made from, and has its
// own copies of the dictionaries, texts and maps.
struct TOutputStream {
  int file_index = 0;
  int index = 0;          // of st in the muxer
  int source_index = -1;  // input stream feeding it; -1 for complex graphs and attachments
  AVStream* st = nullptr; // borrowed: owned by the muxer context
  int encoding_needed = 0;
  int frame_number = 0;
  TInputStream* sync_ist = nullptr;  // borrowed
  int64_t sync_opts = 0;
  int64_t first_pts = 0;
  int64_t last_mux_dts = AV_NOPTS_VALUE;
  SharedBSF bitstream_filters;  // the whole "-bsf" chain as one context
  TSharedCodecContext enc_ctx;
  const AVCodec* enc = nullptr;
  int64_t max_frames = INT64_MAX;
  SharedFrame filtered_frame;
  SharedFrame last_frame;
  int last_dropped = 0;
  int last_nb0_frames[3] = {0, 0, 0};
  void* hwaccel_ctx = nullptr;  // owned by the hardware encoder set-up
  AVRational frame_rate{0, 0};
  int is_cfr = 0;
  int force_fps = 0;
  int top_field_first = -1;
  int rotate_overridden = 0;
  AVRational frame_aspect_ratio{0, 0};
  std::vector<int64_t> forced_kf_pts;
  int forced_kf_index = 0;
  String forced_keyframes;
  SharedExpr forced_keyframes_pexpr;
  double forced_keyframes_expr_const_values[6] = {0, 0, 0, 0, 0, 0};
  std::vector<int> audio_channels_map;  // input channel per output channel, -1 silent
  String logfile_prefix;
  SharedFile logfile;
  TOutputFilter* filter = nullptr;  // borrowed: owned by its graph
  String avfilter;
  const char* filters = nullptr;         // borrowed: valid while the options context lives
  const char* filters_script = nullptr;  // borrowed: likewise
  TAVDict encoder_opts;
  TAVDict sws_dict;
  TAVDict swr_opts;
  TAVDict resample_opts;
  String apad;
  int finished = 0;
  int unavailable = 0;
  int stream_copy = 0;
  String attachment_filename;  // own copy: the stream-mapping report prints it after the options are freed
  int copy_initial_nonkeyframes = 0;
  int copy_prior_start = -1;
  String disposition;
  int keep_pix_fmt = 0;
  int64_t data_size = 0;
  int64_t packets_written = 0;
  int64_t frames_encoded = 0;
  int64_t samples_encoded = 0;
  int quality = 0;
  int pict_type = 0;
  int64_t error[4] = {0, 0, 0, 0};
  AVCodecID codec_id_bak = AV_CODEC_ID_NONE;
  TAVDict opts_bak;
  int max_b_frames = 0;
  int not_show_fps = 0;
  int encoder_flushed = 0;
  int64_t last_pts = AV_NOPTS_VALUE;
  int64_t last_dts = AV_NOPTS_VALUE;
  int is_filter_codec_opts = 1;
  int is_avcodec_opened = 0;
};

struct TInputFilter {
  AVFilterContext* filter = nullptr;  // borrowed: owned by the graph's library graph
  TInputStream* ist = nullptr;        // borrowed
  TFilterGraph* graph = nullptr;      // borrowed: the owning graph
  String name;
};

struct TOutputFilter {
  AVFilterContext* filter = nullptr;  // borrowed: owned by the graph's library graph
  TOutputStream* ost = nullptr;       // borrowed; nullptr until an output binds it
  TFilterGraph* graph = nullptr;      // borrowed: the owning graph
  String name;
  UniqueFilterInOut out_tmp;  // a complex graph's parsed output pad, kept until bound
  AVMediaType type_ = AVMEDIA_TYPE_UNKNOWN;
};

struct TFilterGraph {
  int index = 0;
  std::optional<String> graph_desc;  // a complex graph's text; none for a simple graph
  UniqueFilterGraph graph;
  int reconfiguration = 0;
  std::vector<std::unique_ptr<TInputFilter>> inputs;
  std::vector<std::unique_ptr<TOutputFilter>> outputs;

  bool IsSimple() const { return !graph_desc.has_value(); }
};
