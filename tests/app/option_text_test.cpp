// The option text built from the dialog's choices: exact texts and names for
// the formats' presets and the dialog's switches, under both decimal separators.

#include <gtest/gtest.h>

#include <set>

#include "app/OptionFrmText.h"
#include "media/FFmpegOptParser.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* SameAsInput = "<same as input>";

struct TBuilt {
  String Input, Output, Name;
  int Norm = 0;
};

struct TCase {
  const char* Title;
  std::function<void(TOptionChoices&, TSourceFacts&)> Choose;
  const char* Input;
  const char* Output;
  const char* Name;  // the output name after "/v/in"
};

TSourceFacts VideoSource() {
  TSourceFacts s;
  s.FileName = "/v/in.mp4";
  s.VideoStreamIndex = 0;
  s.VideoWidth = 640;
  s.VideoHeight = 480;
  s.FrameWidth = 640;
  s.FrameHeight = 480;
  return s;
}

class OptionTextTest : public ::testing::Test {
 protected:
  TBuilt Build(TOptionChoices c, TSourceFacts s) {
    TBuildEnv env;
    env.SameAsInput = SameAsInput;
    env.WaterMarkFile = WaterMark;
    env.FileExists = [this](const String& n) { return Existing.count(n) > 0; };
    env.NameHeld = [this](const String& n) { return Held.count(n) > 0; };
    env.EncoderExists = [](const char*) { return false; };
    env.ProcessorCount = 4;
    env.Log = [this](const String& Line) { Logged.push_back(Line); };
    if (c.OutPath.empty()) c.OutPath = SameAsInput;
    TInputOptions in;
    TOutputOptions out;
    BuildOutputOptions(c, s, env, out);
    BuildInputOptions(c, s, in);
    EXPECT_EQ(in.FileName, s.FileName);
    return {in.Options, out.Options, out.FileName, c.Norm};
  }
  std::set<String> Existing, Held;
  String WaterMark;
  std::vector<String> Logged;
};

const TCase Cases[] = {
    {"defaults", [](TOptionChoices&, TSourceFacts&) {}, "", " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).avi"},
    {"mp3", [](TOptionChoices& c, TSourceFacts&) { c.Format = 21; }, " -vn",
     " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).mp3"},
    {"mp3 with its encoder",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Format = 21;
       c.AudioCodec = 4;
     },
     " -vn", " -b:a 320k -b:v 1500k -r 30 -c:a libmp3lame -sn", "_(new).mp3"},
    {"psp", [](TOptionChoices& c, TSourceFacts&) { c.Format = 10; }, "",
     " -b:a 320k -b:v 1500k -f psp -ar 24000 -r 15000/1001 -c:a aac -astrict experimental -c:v mpeg4"
     " -vf \"scale=320:240\" -sn",
     "_(new)_psp.mp4"},
    {"ipod keeps a chosen rate",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Format = 5;
       c.FrameRate = 3;
     },
     "", " -b:a 320k -b:v 1500k -r 25 -c:a aac -astrict experimental -c:v mpeg4 -vf \"scale=320:240\" -sn",
     "_(new)_ipod.mp4"},
    {"vcd switches the norm to pal", [](TOptionChoices& c, TSourceFacts&) { c.Format = 0; }, "",
     " -b:a 320k -b:v 1150k -target pal-vcd -r 30 -sn", "_(new)_pal_vcd.mpg"},
    {"dvd in ntsc",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Format = 1;
       c.Norm = 2;
       c.VideoBitRate = "12000";
     },
     "", " -b:a 320k -b:v 9000k -target ntsc-dvd -r 30 -sn", "_(new)_ntsc_dvd.mpg"},
    {"3gp picks an existing audio encoder", [](TOptionChoices& c, TSourceFacts&) { c.Format = 2; }, "",
     " -b:a 320k -b:v 1500k -b:a 12.2k -ac 1 -ar 8000 -r 30 -c:a aac -astrict experimental -vf "
     "\"scale=128:96\" -sn",
     "_(new).3gp"},
    {"flv resamples to 44100",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Format = 4;
       c.AudioSampleRate = 1;
     },
     "", " -b:a 320k -b:v 1500k -ar 44100 -r 30 -sn", "_(new).flv"},
    {"mkv with threads", [](TOptionChoices& c, TSourceFacts&) { c.Format = 6; }, "",
     " -b:a 320k -b:v 1500k -r 30 -c:v libx264 -threads 4 -sn", "_(new).mkv"},
    {"rm10 aligns the picture to 16",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.Format = 11;
       s.VideoHeight = 360;
     },
     "", " -b:a 320k -b:v 1500k -r 30 -c:v rv10 -vf \"scale=640:352\" -sn", "_(new)_rv10.rm"},
    {"wma drops the picture", [](TOptionChoices& c, TSourceFacts&) { c.Format = 23; }, " -vn",
     " -b:a 320k -b:v 1500k -vn -r 30 -c:a wmav2 -sn", "_(new).wma"},
    {"divx without a rate",
     [](TOptionChoices& c, TSourceFacts&) {
       c.FrameRate = 0;
       c.VideoCodec = 1;
     },
     "", " -b:a 320k -b:v 1500k -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 -sn", "_(new).avi"},
    {"crop and pad stay even",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Crop = c.Pad = true;
       c.CropTop = c.CropBottom = c.CropLeft = c.CropRight = "10";
       c.PadTop = c.PadBottom = c.PadLeft = c.PadRight = "5";
     },
     "", " -b:a 320k -b:v 1500k -r 30 -vf \"crop=620:460:10:10,pad=628:468:4:4:blue\" -sn", "_(new).avi"},
    {"an odd crop is evened",
     [](TOptionChoices& c, TSourceFacts&) {
       c.Crop = true;
       c.CropLeft = "3";
       c.CropTop = "x";
       c.CropBottom = "-7";
     },
     "", " -b:a 320k -b:v 1500k -r 30 -vf \"crop=636:480:3:0\" -sn", "_(new).avi"},
    {"half size of an odd picture",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.FrameSize = 1;
       s.FrameWidth = 642;
       s.FrameHeight = 362;
     },
     "", " -b:a 320k -b:v 1500k -r 30 -vf \"scale=320:180\" -sn", "_(new).avi"},
    {"half size without a decoded picture takes the stream's size",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.FrameSize = 1;
       s.FrameWidth = s.FrameHeight = 0;
     },
     "", " -b:a 320k -b:v 1500k -r 30 -vf \"scale=320:240\" -sn", "_(new).avi"},
    {"half size of no known size leaves the size",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.FrameSize = 1;
       s.FrameWidth = s.FrameHeight = s.VideoWidth = s.VideoHeight = 0;
     },
     "", " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).avi"},
    {"odd source gets an even scale", [](TOptionChoices&, TSourceFacts& s) { s.VideoWidth = 321; }, "",
     " -b:a 320k -b:v 1500k -r 30 -vf \"scale=320:480\" -sn", "_(new).avi"},
    {"no picture: no scale, crop or pad",
     [](TOptionChoices& c, TSourceFacts& s) {
       s.VideoStreamIndex = -1;
       c.FrameSize = 7;
       c.Crop = c.Pad = true;
       c.CropTop = c.PadTop = "8";
     },
     "", " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).avi"},
    {"filters in their order",
     [](TOptionChoices& c, TSourceFacts&) {
       c.FrameSize = 7;
       c.VertFlip = c.HoriFlip = c.Deinterlace = c.Negate = c.RotateOn = true;
       c.Brightness = c.Saturation = c.Hue = true;
       c.BrightnessPosition = 10;
       c.SaturationPosition = -15;
       c.HuePosition = 0;
     },
     "",
     " -b:a 320k -b:v 1500k -r 30 -vf \"scale=320:240,vflip,hflip,yadif,negate,rotate=0.785398163397448,"
     "hue=b=1:s=-1.5:H=0\" -sn",
     "_(new).avi"},
    {"rotation text with blanks",
     [](TOptionChoices& c, TSourceFacts&) {
       c.RotateOn = true;
       c.Rotate = " 90 ";
     },
     "", " -b:a 320k -b:v 1500k -r 30 -vf \"rotate=1.5707963267949\" -sn", "_(new).avi"},
    {"bit rates and volume as typed",
     [](TOptionChoices& c, TSourceFacts&) {
       c.AudioBitRate = "128";
       c.VideoBitRate = " 2500 ";
       c.AudioVolumeOn = true;
       c.AudioVolume = "512";
       c.AspectRatio = 2;
     },
     "", " -b:a 128k -b:v 2500k -vol 512 -aspect 16:9 -r 30 -sn", "_(new).avi"},
    {"clip marks keep their milliseconds",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.CutClip = true;
       s.StartTime = 1250000;
       s.EndTime = 1650000;
     },
     " -ss 1.250", " -b:a 320k -b:v 1500k -t 0.400 -r 30 -sn", "_(new).avi"},
    {"a negative first timestamp moves the start",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.CutClip = true;
       s.FirstPTS = -500000;
       s.StartTime = 0;
       s.EndTime = 2000000;
       s.ForceFormat = "mpegts";
     },
     " -f mpegts -ss 0.500", " -b:a 320k -b:v 1500k -t 2.000 -r 30 -sn", "_(new).avi"},
    {"clip marks without the check box", [](TOptionChoices&, TSourceFacts& s) { s.EndTime = 5000000; }, "",
     " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).avi"},
    {"disabled clip box",
     [](TOptionChoices& c, TSourceFacts& s) {
       c.CutClip = true;
       c.CutClipEnabled = false;
       s.EndTime = 5000000;
     },
     "", " -b:a 320k -b:v 1500k -r 30 -sn", "_(new).avi"},
};

TEST_F(OptionTextTest, ChoicesGiveTheirTextsUnderBothSeparators) {
  const TFormatSettings saved = FormatSettings();
  for (const char separator : {'.', ','}) {
    FormatSettings().DecimalSeparator = separator;
    for (const TCase& t : Cases) {
      SCOPED_TRACE(String(t.Title) + " with separator " + separator);
      TOptionChoices c;
      TSourceFacts s = VideoSource();
      t.Choose(c, s);
      const TBuilt b = Build(c, s);
      EXPECT_EQ(b.Input, t.Input);
      EXPECT_EQ(b.Output, t.Output);
      EXPECT_EQ(b.Name, String("/v/in") + t.Name);
    }
  }
  FormatSettings() = saved;
}

TEST_F(OptionTextTest, AnUnknownHalfSizeIsLogged) {
  TOptionChoices c;
  c.FrameSize = 1;
  TSourceFacts s = VideoSource();
  Build(c, s);
  EXPECT_TRUE(Logged.empty());
  s.FrameWidth = s.FrameHeight = s.VideoWidth = s.VideoHeight = 0;
  Build(c, s);
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_NE(Logged[0].find("Half - Size"), String::npos) << Logged[0];
}

// What the dialog refuses on OK: values that are not whole numbers, and a
// crop that leaves no picture; edits that take no part are not looked at.
TEST_F(OptionTextTest, ChoicesTheBuilderCannotUse) {
  struct Case {
    const char* Title;
    std::function<void(TOptionChoices&)> Choose;
    const char* Edit;     // "" when accepted
    const char* Message;  // part of the message
  } cases[] = {
      {"defaults", [](TOptionChoices&) {}, "", ""},
      {"pasted letters", [](TOptionChoices& c) { c.VideoBitRate = "800abc"; }, "edtVideoBitRate",
       "Video bit rate: \"800abc\" is not a whole number."},
      {"a fraction", [](TOptionChoices& c) { c.AudioBitRate = "12.5"; }, "edtAudioBitRate", "Audio bit rate"},
      {"an option after the volume",
       [](TOptionChoices& c) {
         c.AudioVolumeOn = true;
         c.AudioVolume = "256 -map 0:9";
       },
       "edtAudioVolume", "Volume: \"256 -map 0:9\""},
      {"volume not in use", [](TOptionChoices& c) { c.AudioVolume = "x"; }, "", ""},
      {"negative angle",
       [](TOptionChoices& c) {
         c.RotateOn = true;
         c.Rotate = "-30";
       },
       "edtRotate", "Rotation angle"},
      {"blank comes back as the default", [](TOptionChoices& c) { c.VideoBitRate = " "; }, "", ""},
      {"too long for a number", [](TOptionChoices& c) { c.VideoBitRate = "99999999999"; }, "edtVideoBitRate", ""},
      {"crop leaving no width",
       [](TOptionChoices& c) {
         c.Crop = true;
         c.CropLeft = c.CropRight = "400";
       },
       "edtCropLeft", "400 + 400 pixels leave nothing of a picture 640 pixels wide"},
      {"crop leaving no height",
       [](TOptionChoices& c) {
         c.Crop = true;
         c.CropBottom = "480";
       },
       "edtCropBottom", "picture 480 pixels high"},
      {"crop leaving two pixels",
       [](TOptionChoices& c) {
         c.Crop = true;
         c.CropLeft = "319";
         c.CropRight = "319";
       },
       "", ""},
      {"crop not in use", [](TOptionChoices& c) { c.CropLeft = c.CropRight = "400"; }, "", ""},
      {"a blank crop edit unchecks the crop",
       [](TOptionChoices& c) {
         c.Crop = true;
         c.CropLeft = "700";
         c.CropTop = "";
       },
       "", ""},
      {"pad letters",
       [](TOptionChoices& c) {
         c.Pad = true;
         c.PadTop = "4px";
       },
       "edtPadTop", "Pad top"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Title);
    TOptionChoices c;
    k.Choose(c);
    const TChoiceProblem p = CheckChoices(c, VideoSource());
    EXPECT_EQ(p.Edit, k.Edit);
    EXPECT_NE(p.Message.find(k.Message), String::npos) << p.Message;
  }
  // Without a picture a crop is not used.
  TOptionChoices c;
  c.Crop = true;
  c.CropLeft = "900";
  EXPECT_EQ(CheckChoices(c, TSourceFacts()).Edit, "");
}

TEST_F(OptionTextTest, TheNormSwitchStaysInTheDialog) {
  TOptionChoices c;
  c.Format = 0;
  EXPECT_EQ(Build(c, VideoSource()).Norm, 1);
}

TEST_F(OptionTextTest, OutputNamesAvoidExistingAndHeldFiles) {
  TOptionChoices c;
  c.OutPath = "/out";
  TSourceFacts s = VideoSource();
  s.FileName = "/v/a.b/clip.final.mkv";
  EXPECT_EQ(Build(c, s).Name, "/out/clip.final_(new).avi");
  Existing = {"/out/clip.final_(new).avi", "/out/clip.final_(new_1).avi"};
  EXPECT_EQ(Build(c, s).Name, "/out/clip.final_(new_2).avi");
  c.Overwrite = true;
  EXPECT_EQ(Build(c, s).Name, "/out/clip.final_(new).avi");
  // Overwriting never takes a name another row is going to write.
  Held = {"/out/clip.final_(new).avi"};
  EXPECT_EQ(Build(c, s).Name, "/out/clip.final_(new_1).avi");
  c.Overwrite = false;
  Held = {"/out/clip.final_(new_2).avi"};
  EXPECT_EQ(Build(c, s).Name, "/out/clip.final_(new_3).avi");
  // A dot in a folder name is no extension.
  c.OutPath = SameAsInput;
  s.FileName = "/v/a.b/noext";
  Existing.clear();
  Held.clear();
  EXPECT_EQ(Build(c, s).Name, "/v/a.b/noext_(new).avi");
}

TEST_F(OptionTextTest, WatermarkGraphs) {
  TOptionChoices c;
  c.WaterMark = true;
  WaterMark = "/pics/logo.png";
  EXPECT_EQ(Build(c, VideoSource()).Output,
            " -b:a 320k -b:v 1500k -r 30 -vf \"movie=\\'/pics/logo.png\\' [watermark]; [in] [watermark] "
            "overlay=main_w-overlay_w-10:10 [out]\" -sn");
  c.VertFlip = true;
  EXPECT_EQ(
      Build(c, VideoSource()).Output,
      " -b:a 320k -b:v 1500k -r 30 -vf \"movie=\\'/pics/logo.png\\' [watermark]; [in] vflip [main]; [main] "
      "[watermark] overlay=main_w-overlay_w-10:10 [out]\" -sn");
}

// The splitter hands the chain back whole, whatever the name holds; the
// filter-level reading of the escaped name is checked against the libraries
// in the media tests.
TEST_F(OptionTextTest, EscapedNamesSurviveTheSplitter) {
  const char* names[] = {
      "plain.png",      "a b.png",        "quote\"d.png", "it's.png",   "semi;colon,comma.png",
      "[brackets].png", "c:\\dir\\x.png", "ends with\\",  "two\\\\\"x", "caf\xC3\xA9.png"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const String chain = "movie=" + FilterGraphFileName(name) + " [watermark]";
    const std::vector<String> words = SplitCommandLine(" -vf \"" + QuoteForSplitter(chain) + "\" -sn");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], "-vf");
    EXPECT_EQ(words[1], chain);
    EXPECT_EQ(words[2], "-sn");
  }
}

TEST_F(OptionTextTest, NumberText) {
  for (const char* good : {"0", "320", "12.5", "2500."}) EXPECT_TRUE(IsNumberText(good)) << good;
  for (const char* bad : {"", ".5", "1.2.3", "-5", "12k", "1 -y", "1e5", "9999999999999"})
    EXPECT_FALSE(IsNumberText(bad)) << bad;
}

}  // namespace
