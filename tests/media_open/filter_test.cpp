// Filter graphs: simple graphs from filter texts, options that become
// filters, complex graphs with labelled outputs, and invalid graphs.

#include <algorithm>

#include "tests/media_open/OpenTestSupport.h"

namespace {

// A task with one input and an output whose first stream has the filter text Filters.
struct TSimpleGraph {
  TOpenTask Task;
  TFilterGraph* Graph = nullptr;

  int Open(const String& Source, const String& Filters, const String& Output) {
    if (Task.OpenLavfi(Source) < 0) return -1;
    TOptionsContext& o = Task.NewContext();
    AddValue(o.Filters, "", Filters);
    if (OpenOutputFileParsed(Task, &o, false, Output) < 0) return -1;
    Graph = InitSimpleFilterGraph(Task, Task.Finput_streams[0].get(), Task.Foutput_streams[0].get());
    return 0;
  }
  AVFilterContext* Filter(const String& Name) const {
    return ff::avfilter_graph_get_filter(Graph->graph.get(), Name.c_str());
  }
  AVFilterContext* Sink() const { return Graph->outputs[0]->filter; }
};

class TDecimalComma {
 public:
  TDecimalComma() : FSaved(FormatSettings().DecimalSeparator) { FormatSettings().DecimalSeparator = ','; }
  ~TDecimalComma() { FormatSettings().DecimalSeparator = FSaved; }

 private:
  char FSaved;
};

}  // namespace

TEST_F(OpenTest, SimpleVideoGraphScalesFlipsAndFitsTheEncoder) {
  TSimpleGraph g;
  ASSERT_EQ(g.Open("testsrc=size=640x480:rate=25:duration=1", "scale=320:-2,hflip", Path("v.mkv")), 0)
      << g.Task.FLastErrMsg;
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0) << g.Task.FLastErrMsg;
  EXPECT_EQ(g.Graph->reconfiguration, 1);
  EXPECT_EQ(ff::av_buffersink_get_w(g.Sink()), 320);
  EXPECT_EQ(ff::av_buffersink_get_h(g.Sink()), 240);
  EXPECT_EQ(g.Graph->inputs[0]->name, "scale");
  EXPECT_NE(g.Filter("graph 0 input from stream 0:0"), nullptr);
  // The encoder's formats are offered to the graph.
  const AVCodec* enc = g.Task.Foutput_streams[0]->enc;
  ASSERT_NE(enc, nullptr);
  bool listed = false;
  for (const AVPixelFormat* p = enc->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
    listed |= *p == ff::av_buffersink_get_format(g.Sink());
  EXPECT_TRUE(listed);
  EXPECT_NE(g.Filter("pixel format for output stream 0:0"), nullptr);

  // A re-configuration builds the graph again.
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0);
  EXPECT_EQ(ff::av_buffersink_get_w(g.Sink()), 320);
}

TEST_F(OpenTest, AudioOptionsBecomeFiltersWithPointNumbersUnderACommaLocale) {
  TDecimalComma comma;
  TLogCapture log;
  TSimpleGraph g;
  g.Task.Faudio_volume = 512;
  g.Task.Faudio_sync_method = 1;
  ASSERT_EQ(g.Open(TestAudio, "volume=0.5", Path("a.mkv")), 0) << g.Task.FLastErrMsg;
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0) << g.Task.FLastErrMsg;
  EXPECT_NE(g.Filter("graph 0 volume for input stream 0:0"), nullptr);
  EXPECT_NE(g.Filter("graph 0 aresample for input stream 0:0"), nullptr);
  EXPECT_NE(g.Filter("audio format for output stream 0:0"), nullptr);
  std::vector<String> forwarded;
  for (const auto& line : log.Take())
    if (line.Msg.find("is forwarded to lavfi") != String::npos) forwarded.push_back(line.Msg);
  EXPECT_EQ(forwarded, (std::vector<String>{
                           "-async is forwarded to lavfi similarly to -af "
                           "aresample=async=1:min_hard_comp=0.100000:first_pts=0.",
                           "-vol is forwarded to lavfi similarly to -af volume=2.000000.",
                       }));
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0);
  bool again = false;
  for (const auto& line : log.Take())
    again |=
        line.Msg == "-async is forwarded to lavfi similarly to -af aresample=async=1:min_hard_comp=0.100000.";
  EXPECT_TRUE(again);
}

TEST_F(OpenTest, InvalidSimpleGraphsFailWithAClearResult) {
  {
    TSimpleGraph g;
    ASSERT_EQ(g.Open(TestVideo, "scale=320:-2,nosuchfilter", Path("v.mkv")), 0);
    EXPECT_LT(ConfigureFilterGraph(g.Task, g.Graph), 0);
  }
  {
    TLogCapture log;
    TSimpleGraph g;
    ASSERT_EQ(g.Open(TestVideo, "[a][b]overlay", Path("v.mkv")), 0);
    EXPECT_EQ(ConfigureFilterGraph(g.Task, g.Graph), AVERROR(EINVAL));
    EXPECT_TRUE(log.Contains(
        "Simple filtergraph \"[a][b]overlay\" was expected to have exactly 1 input and 1 output. "
        "However, it had >1 input(s) and 1 output(s)."));
  }
}

TEST_F(OpenTest, ComplexGraphWithTwoLabelledOutputs) {
  const String desc = "[0:v]split=2[big][s];[s]scale=160:120[small]";
  TOpenTask task;
  ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
  task.Ffiltergraphs.push_back(std::make_unique<TFilterGraph>());
  task.Ffiltergraphs[0]->graph_desc = desc;
  TOptionsContext& o = task.NewContext();
  o.StreamMaps.push_back({0, 0, 0, 0, 0, "small"});
  o.StreamMaps.push_back({0, 0, 0, 0, 0, "big"});
  ASSERT_EQ(OpenOutputFileParsed(task, &o, false, Path("c.mkv")), 0) << task.FLastErrMsg;

  TFilterGraph& fg = *task.Ffiltergraphs[0];
  ASSERT_NE(fg.graph, nullptr);  // configured with the output
  ASSERT_EQ(fg.inputs.size(), 1u);
  EXPECT_EQ(fg.inputs[0]->ist, task.Finput_streams[0].get());
  EXPECT_EQ(task.Finput_streams[0]->decoding_needed & 2, 2);
  ASSERT_EQ(fg.outputs.size(), 2u);
  ASSERT_EQ(task.Foutput_streams.size(), 2u);
  // Streams in map order: "small", then "big".
  EXPECT_EQ(ff::av_buffersink_get_w(task.Foutput_streams[0]->filter->filter), 160);
  EXPECT_EQ(ff::av_buffersink_get_w(task.Foutput_streams[1]->filter->filter), 320);
  EXPECT_EQ(task.Foutput_streams[1]->filter->name, "split:output0");
  EXPECT_EQ(task.Foutput_streams[0]->source_index, -1);
}

TEST_F(OpenTest, ComplexGraphFailures) {
  struct TCase {
    const char* Desc;
    std::vector<String> Labels;
    String Expected;
  };
  const TCase cases[] = {
      {"nosuchfilter", {}, "Error initializing complex filters: "},
      {"[5:v]null[out]", {"out"}, "Invalid file index 5 in filtergraph description [5:v]null[out]."},
      {"[0:v]null[out]",
       {"out", "out"},
       "Output with label \"out\" does not exist in any defined filter graph, or was already used "
       "elsewhere."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Desc);
    TOpenTask task;
    ASSERT_EQ(task.OpenLavfi(TestVideo), 0);
    task.Ffiltergraphs.push_back(std::make_unique<TFilterGraph>());
    task.Ffiltergraphs[0]->graph_desc = c.Desc;
    TOptionsContext& o = task.NewContext();
    for (const String& label : c.Labels) o.StreamMaps.push_back({0, 0, 0, 0, 0, label});
    try {
      EXPECT_LT(OpenOutputFileParsed(task, &o, false, Path("c.mkv")), 0);
    } catch (const FFmpegException&) {
    }
    EXPECT_EQ(task.FLastErrMsg.substr(0, c.Expected.size()), c.Expected);
    EXPECT_TRUE(task.Foutput_files.empty());
  }
}

TEST_F(OpenTest, RotationAndTrimFiltersInTheVideoChain) {
  struct TCase {
    const char* Rotate;
    std::vector<const char*> Present;
    int TransposeDir;  // -1: no transpose
  };
  const TCase cases[] = {
      {"90", {"transpose"}, 1}, {"270", {"transpose"}, 2}, {"180", {"hflip", "vflip"}, -1},
      {"45", {"rotate"}, -1},   {"0.5", {}, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Rotate);
    TSimpleGraph g;
    ASSERT_EQ(g.Task.OpenLavfi(TestVideo), 0);
    ff::av_dict_set(&g.Task.Finput_streams[0]->st->metadata, "rotate", c.Rotate, 0);
    ASSERT_EQ(OpenOutputFileParsed(g.Task, &g.Task.NewContext(), false, Path("r.mkv")), 0);
    g.Graph = InitSimpleFilterGraph(g.Task, g.Task.Finput_streams[0].get(), g.Task.Foutput_streams[0].get());
    ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0) << g.Task.FLastErrMsg;
    for (const char* name : {"transpose", "hflip", "vflip", "rotate"}) {
      const bool expected = std::find(c.Present.begin(), c.Present.end(), String(name)) != c.Present.end();
      EXPECT_EQ(g.Filter(name) != nullptr, expected) << name;
    }
    if (c.TransposeDir >= 0) {
      int64_t dir = -1;
      ff::av_opt_get_int(g.Filter("transpose")->priv, "dir", 0, &dir);
      EXPECT_EQ(dir, c.TransposeDir);
    }
    EXPECT_EQ(g.Filter("trim for output stream 0:0"), nullptr);  // no window, no trim
  }

  TSimpleGraph g;
  ASSERT_EQ(g.Task.OpenLavfi(TestVideo), 0);
  TOptionsContext& o = g.Task.NewContext();
  o.RecordingTime = 1000000;
  ASSERT_EQ(OpenOutputFileParsed(g.Task, &o, false, Path("t.mkv")), 0);
  g.Graph = InitSimpleFilterGraph(g.Task, g.Task.Finput_streams[0].get(), g.Task.Foutput_streams[0].get());
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0) << g.Task.FLastErrMsg;
  AVFilterContext* trim = g.Filter("trim for output stream 0:0");
  ASSERT_NE(trim, nullptr);
  int64_t duration = 0, start = 0;
  ff::av_opt_get_int(trim->priv, "durationi", 0, &duration);
  ff::av_opt_get_int(trim->priv, "starti", 0, &start);
  EXPECT_EQ(duration, 1000000);
  EXPECT_EQ(start, INT64_MAX);  // left at its default: unset
}

TEST_F(OpenTest, PixelFormatTheEncoderCannotTakeIsReplaced) {
  TLogCapture log;
  TSimpleGraph g;
  ASSERT_EQ(g.Task.OpenLavfi(TestVideo), 0);
  TOptionsContext& o = g.Task.NewContext();
  AddValue(o.CodecNames, "v", "mpeg4");
  AddValue(o.FramePixFmts, "", "yuv444p");
  ASSERT_EQ(OpenOutputFileParsed(g.Task, &o, false, Path("p.avi")), 0) << g.Task.FLastErrMsg;
  g.Graph = InitSimpleFilterGraph(g.Task, g.Task.Finput_streams[0].get(), g.Task.Foutput_streams[0].get());
  ASSERT_EQ(ConfigureFilterGraph(g.Task, g.Graph), 0) << g.Task.FLastErrMsg;
  EXPECT_EQ(ff::av_buffersink_get_format(g.Sink()), AV_PIX_FMT_YUV420P);
  EXPECT_TRUE(log.Contains(
      "Incompatible pixel format \"yuv444p\" for codec \"mpeg4\", auto-selecting format \"yuv420p\""));
  EXPECT_EQ(ChoosePixelFmt(nullptr, g.Task.Foutput_streams[0]->enc, AV_PIX_FMT_YUV420P), AV_PIX_FMT_YUV420P);
}
