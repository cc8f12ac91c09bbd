// A task's records own their library objects and free each exactly once;
// AddressSanitizer's leak and double-free checks hold the test to that.

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "OptTestSupport.h"

namespace {

class RecordsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadSystemLibraries(); }
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tarnwick_records_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  String PathOf(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

AVDictionary* DictOf(const char* key, const char* value) {
  AVDictionary* dict = nullptr;
  ff::av_dict_set(&dict, key, value, 0);
  return dict;
}

TEST_F(RecordsTest, EveryKindOfRecordFreesWhatItOwns) {
  auto task = std::make_unique<TTestTask>();

  // Input side.
  auto file = std::make_unique<TInputFile>();
  file->ctx.reset(ff::avformat_alloc_context());
  AVStream* inStream = ff::avformat_new_stream(file->ctx.get(), nullptr);
  inStream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
  auto ist = std::make_unique<TInputStream>();
  ist->st = inStream;
  ist->dec_ctx.reset(ff::avcodec_alloc_context3(nullptr));
  ist->decoded_frame.reset(ff::av_frame_alloc());
  ist->filter_frame.reset(ff::av_frame_alloc());
  ist->sub2video.frame.reset(ff::av_frame_alloc());
  ist->sub2video.frame->width = 16;
  ist->sub2video.frame->height = 16;
  ist->sub2video.frame->format = AV_PIX_FMT_RGB32;
  ASSERT_EQ(ff::av_frame_get_buffer(ist->sub2video.frame.get(), 0), 0);
  *ist->decoder_opts.Ref() = DictOf("threads", "2");
  ist->hwaccel_device = "qsv0";
  AVChannelLayout stereo{};
  ff::av_channel_layout_default(&stereo, 2);
  ASSERT_EQ(ist->resample_channel_layout.Assign(stereo), 0);
  // A held subtitle with one rectangle and its text.
  AVSubtitle* sub = ist->prev_sub.subtitle.get();
  sub->rects = static_cast<AVSubtitleRect**>(ff::av_mallocz(sizeof(AVSubtitleRect*)));
  sub->rects[0] = static_cast<AVSubtitleRect*>(ff::av_mallocz(sizeof(AVSubtitleRect)));
  sub->rects[0]->text = ff::av_strdup("hello");
  sub->num_rects = 1;
  task->Finput_files.push_back(std::move(file));
  task->Finput_streams.push_back(std::move(ist));

  // Output side: a muxer writing a real file.
  AVFormatContext* oc = nullptr;
  const String outName = PathOf("out.mkv");
  ASSERT_GE(ff::avformat_alloc_output_context2(&oc, nullptr, nullptr, outName.c_str()), 0);
  ASSERT_GE(ff::avio_open(&oc->pb, outName.c_str(), AVIO_FLAG_WRITE), 0);
  auto of = std::make_unique<TOutputFile>();
  of->ctx = MakeSharedOutputFormat(oc);
  *of->opts->Ref() = DictOf("cluster_size_limit", "4096");
  AVStream* outStream = ff::avformat_new_stream(oc, nullptr);

  auto ost = std::make_unique<TOutputStream>();
  ost->st = outStream;
  ost->sync_ist = task->Finput_streams[0].get();
  ost->enc_ctx.reset(ff::avcodec_alloc_context3(nullptr));
  AVBSFContext* bsf = nullptr;
  ASSERT_GE(ff::av_bsf_list_parse_str("null,null", &bsf), 0);
  ost->bitstream_filters.reset(bsf);
  ost->filtered_frame.reset(ff::av_frame_alloc());
  ost->last_frame.reset(ff::av_frame_alloc());
  AVExpr* expr = nullptr;
  static const char* const names[] = {"t", "n_forced", nullptr};
  ASSERT_GE(ff::av_expr_parse(&expr, "gte(t,n_forced*5)", names, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
            0);
  ost->forced_keyframes_pexpr.reset(expr);
  ost->forced_kf_pts = {0, 5000000};
  ost->audio_channels_map = {1, 0, -1};
  ost->logfile.reset(std::fopen(PathOf("pass-0.log").c_str(), "w"));
  ASSERT_TRUE(ost->logfile);
  *ost->encoder_opts.Ref() = DictOf("b", "1M");
  *ost->sws_dict.Ref() = DictOf("flags", "bicubic");
  *ost->swr_opts.Ref() = DictOf("dither_method", "triangular");
  *ost->resample_opts.Ref() = DictOf("x", "y");
  *ost->opts_bak.Ref() = DictOf("b", "1M");

  // A join segment shares the muxer, its options and the encoder of the first.
  auto of2 = std::make_unique<TOutputFile>();
  of2->ctx = of->ctx;
  of2->opts = of->opts;
  auto ost2 = std::make_unique<TOutputStream>(*ost);
  ost2->file_index = 1;
  ost2->source_index = -1;
  EXPECT_EQ(ost2->bitstream_filters.get(), ost->bitstream_filters.get());
  EXPECT_EQ(ost2->last_frame.get(), ost->last_frame.get());
  EXPECT_EQ(ost2->logfile.get(), ost->logfile.get());
  EXPECT_NE(ost2->encoder_opts.Get(), ost->encoder_opts.Get());
  EXPECT_STREQ(ost2->encoder_opts.Value("b"), "1M");
  EXPECT_EQ(ost2->audio_channels_map, ost->audio_channels_map);
  // Reopening swaps the encoder for both.
  ost->enc_ctx.reset(ff::avcodec_alloc_context3(nullptr));
  EXPECT_EQ(ost2->enc_ctx.get(), ost->enc_ctx.get());
  EXPECT_EQ(of->ctx.use_count(), 2);

  // A complex graph with a parsed output pad still waiting for its stream.
  auto fg = std::make_unique<TFilterGraph>();
  fg->graph_desc = "[0:v]split[a][b]";
  fg->graph.reset(ff::avfilter_graph_alloc());
  auto in = std::make_unique<TInputFilter>();
  in->graph = fg.get();
  in->ist = task->Finput_streams[0].get();
  in->name = "graph 0 input from stream 0:0";
  task->Finput_streams[0]->filters.push_back(in.get());
  fg->inputs.push_back(std::move(in));
  auto outPad = std::make_unique<TOutputFilter>();
  outPad->graph = fg.get();
  outPad->out_tmp.reset(ff::avfilter_inout_alloc());
  outPad->out_tmp->name = ff::av_strdup("a");
  outPad->type_ = AVMEDIA_TYPE_VIDEO;
  outPad->ost = ost.get();
  ost->filter = outPad.get();
  fg->outputs.push_back(std::move(outPad));
  EXPECT_FALSE(fg->IsSimple());
  EXPECT_TRUE(TFilterGraph().IsSimple());

  task->Foutput_files.push_back(std::move(of));
  task->Foutput_files.push_back(std::move(of2));
  task->Foutput_streams.push_back(std::move(ost));
  task->Foutput_streams.push_back(std::move(ost2));
  task->Ffiltergraphs.push_back(std::move(fg));

  AVIOContext* progress = nullptr;
  ASSERT_GE(ff::avio_open2(&progress, PathOf("progress.txt").c_str(), AVIO_FLAG_WRITE, &task->FWriteCallback,
                           nullptr),
            0);
  task->Fprogress_avio.reset(progress);

  // The parse state owns its dictionaries and collected options as well.
  task->FOptions->init_parse_context();
  ff::av_dict_set(task->FOptions->codec_opts().Ref(), "g", "25", 0);

  task.reset();
  // The muxer's file was closed (its content flushed), not leaked.
  EXPECT_TRUE(std::filesystem::exists(outName));
}

}  // namespace
