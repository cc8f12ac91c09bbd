#include "app/OptionFrmText.h"

#include <cmath>
#include <numbers>
#include <thread>

#include "media/FFApi.h"
#include "platform/os/Files.h"
#include "platform/rtl/SysUtils.h"

namespace {

template <size_t N>
String ItemText(const char* const (&Items)[N], int Index) {
  return Index >= 0 && static_cast<size_t>(Index) < N ? String(Items[Index]) : String();
}

bool Contains(std::string_view Haystack, std::string_view Needle) {
  return !Needle.empty() && Haystack.find(Needle) != std::string_view::npos;
}

void Append(String& Options, std::string_view Item) {
  Options += ' ';
  Options += Item;
}

// Clip times keep their milliseconds, always with a point.
String SecondsText(int64_t Microseconds) {
  return Format("%.3f", {static_cast<double>(Microseconds) / 1e6}, TFormatSettings{});
}

bool ClipHolds(const TOptionChoices& c, const TSourceFacts& s) {
  return c.CutClipEnabled && c.CutClip && s.EndTime > s.StartTime;
}

// An integer edit: 0 for text that is not a decimal integer, and never
// negative (a negative crop or pad has no meaning to the filters).
int EditInt(const String& Text) {
  int value = 0;
  if (!TryStrToInt(Trim(Text), value) || value < 0) return 0;
  return value;
}

int EvenDown(int v) {
  return v - (v & 1);
}
int EvenUp(int v) {
  return v + (v & 1);
}
// Pad sizes are even on each side; truncation toward zero as the edits are read.
int EvenPad(int v) {
  return v / 2 * 2;
}

int AlignDown(int v, int Alignment) {
  return v / Alignment * Alignment;
}

// Picture sizes an encoder refuses unless they are multiples of these; every
// other encoder here takes planar 4:2:0 pictures and needs even sizes.
int SizeAlignment(std::string_view VideoCodec) {
  if (VideoCodec == "rv10") return 16;
  if (VideoCodec == "rv20") return 4;
  return 2;
}

String AacPick(const TBuildEnv& Env) {
  for (const char* name : {"libfdk_aac", "libaacplus", "libfaac", "libvo_aacenc"})
    if (Env.EncoderExists && Env.EncoderExists(name)) return name;
  return "aac";
}

String NumberOr(const String& Text, const char* Fallback) {
  const String t = Trim(Text);
  return IsNumberText(t) ? t : String(Fallback);
}

// The disc formats fix their video bit rate to a range (the encoder refuses a
// rate outside it): a chosen rate is brought into that range.
String DiscVideoBitRate(std::string_view Format, const String& Kbps) {
  int low = 0, high = 0;
  if (Format == "VCD") {
    low = high = 1150;
  } else if (Format == "DVD") {
    high = 9000;
  } else {
    return Kbps;
  }
  double rate = 0;
  if (!TryStrToFloatPoint(Kbps, rate)) return Kbps;
  if (rate < low) return IntToStr(low);
  if (rate > high) return IntToStr(high);
  return Kbps;
}

struct TFrameSize {
  int Width = 0, Height = 0;
  bool Empty() const { return Width <= 0 || Height <= 0; }
};

TFrameSize ParseFrameSize(std::string_view Text) {
  TFrameSize size;
  const size_t x = Text.find('x');
  if (x == std::string_view::npos) return size;
  if (!TryStrToInt(Text.substr(0, x), size.Width) || !TryStrToInt(Text.substr(x + 1), size.Height)) return {};
  return size;
}

// A whole number as the numeric edits take it: decimal digits that fit an int.
bool WholeNumber(const String& Text, int& Value) {
  const String t = Trim(Text);
  if (t.empty() || t.size() > 9) return false;
  for (const char ch : t)
    if (ch < '0' || ch > '9') return false;
  Value = std::stoi(t);
  return true;
}

struct TNumberField {
  const char* Edit;
  const char* Title;
  String TOptionChoices::*Text;
  bool TOptionChoices::*On;  // the check box that puts it to use; null: always used
};
const TNumberField NumberFields[] = {
    {"edtVideoBitRate", "Video bit rate", &TOptionChoices::VideoBitRate, nullptr},
    {"edtAudioBitRate", "Audio bit rate", &TOptionChoices::AudioBitRate, nullptr},
    {"edtAudioVolume", "Volume", &TOptionChoices::AudioVolume, &TOptionChoices::AudioVolumeOn},
    {"edtRotate", "Rotation angle", &TOptionChoices::Rotate, &TOptionChoices::RotateOn},
    {"edtCropTop", "Crop top", &TOptionChoices::CropTop, &TOptionChoices::Crop},
    {"edtCropBottom", "Crop bottom", &TOptionChoices::CropBottom, &TOptionChoices::Crop},
    {"edtCropLeft", "Crop left", &TOptionChoices::CropLeft, &TOptionChoices::Crop},
    {"edtCropRight", "Crop right", &TOptionChoices::CropRight, &TOptionChoices::Crop},
    {"edtPadTop", "Pad top", &TOptionChoices::PadTop, &TOptionChoices::Pad},
    {"edtPadBottom", "Pad bottom", &TOptionChoices::PadBottom, &TOptionChoices::Pad},
    {"edtPadLeft", "Pad left", &TOptionChoices::PadLeft, &TOptionChoices::Pad},
    {"edtPadRight", "Pad right", &TOptionChoices::PadRight, &TOptionChoices::Pad},
};

}  // namespace

TChoiceProblem CheckChoices(const TOptionChoices& c, const TSourceFacts& s) {
  bool blankCrop = false;
  for (const TNumberField& f : NumberFields) {
    if (f.On && !(c.*f.On)) continue;
    const String& text = c.*f.Text;
    int value = 0;
    if (Trim(text).empty()) {
      blankCrop = blankCrop || f.On == &TOptionChoices::Crop;
      continue;
    }
    if (!WholeNumber(text, value))
      return {f.Edit, Format("%s: \"%s\" is not a whole number.", {String(f.Title), Trim(text)})};
  }
  // A blank crop edit unchecks the crop when the dialog closes.
  if (!c.Crop || blankCrop || s.VideoStreamIndex < 0) return {};
  const int t = EditInt(c.CropTop), b = EditInt(c.CropBottom), l = EditInt(c.CropLeft), r = EditInt(c.CropRight);
  if (!(t > 0 || b > 0 || l > 0 || r > 0)) return {};
  // The builder keeps cropped sizes even: less than two pixels is no picture.
  if (s.VideoWidth > 0 && int64_t(s.VideoWidth) - l - r < 2)
    return {l >= r ? "edtCropLeft" : "edtCropRight",
            Format("Crop left and right: %d + %d pixels leave nothing of a picture %d pixels wide.",
                   {l, r, s.VideoWidth})};
  if (s.VideoHeight > 0 && int64_t(s.VideoHeight) - t - b < 2)
    return {t >= b ? "edtCropTop" : "edtCropBottom",
            Format("Crop top and bottom: %d + %d pixels leave nothing of a picture %d pixels high.",
                   {t, b, s.VideoHeight})};
  return {};
}

bool IsNumberText(std::string_view Text) {
  if (Text.empty() || Text.size() > 12 || Text.front() == '.') return false;
  int points = 0;
  for (const char ch : Text) {
    if (ch == '.') {
      if (++points > 1) return false;
    } else if (ch < '0' || ch > '9') {
      return false;
    }
  }
  return true;
}

String FilterGraphFileName(std::string_view FileName) {
  // The filter's own option parser: one quoted value, a quote written as
  // quote, backslash-quote, quote.
  String value = "'";
  for (const char ch : FileName) {
    if (ch == '\'')
      value += "'\\''";
    else
      value += ch;
  }
  value += '\'';
  // The graph parser reads the filter's arguments first: its separators,
  // quotes and escapes must reach the filter literally.
  String escaped;
  for (const char ch : value) {
    if (ch == '\\' || ch == '\'' || ch == '[' || ch == ']' || ch == ',' || ch == ';') escaped += '\\';
    escaped += ch;
  }
  return escaped;
}

String QuoteForSplitter(std::string_view Text) {
  String out;
  size_t slashes = 0;
  for (const char ch : Text) {
    if (ch == '\\') {
      ++slashes;
      continue;
    }
    if (ch == '"') {
      out.append(slashes * 2 + 1, '\\');
    } else {
      out.append(slashes, '\\');
    }
    slashes = 0;
    out += ch;
  }
  // Backslashes before the closing quote would escape it.
  out.append(slashes * 2, '\\');
  return out;
}

TBuildEnv DefaultBuildEnv() {
  TBuildEnv env;
  env.FileExists = [](const String& Name) { return FileExists(Name); };
  env.NameHeld = [](const String&) { return false; };
  env.EncoderExists = [](const char* Name) {
    return ff::avcodec_find_encoder_by_name && ff::avcodec_find_encoder_by_name(Name) != nullptr;
  };
  env.ProcessorCount = std::max(1u, std::thread::hardware_concurrency());
  return env;
}

void BuildInputOptions(const TOptionChoices& c, const TSourceFacts& s, TInputOptions& Options) {
  ResetInputOptions(Options);
  Options.FileName = s.FileName;
  if (!s.ForceFormat.empty()) Append(Options.Options, "-f " + s.ForceFormat);
  if (ClipHolds(c, s)) {
    int64_t start = s.StartTime;
    if (s.FirstPTS != std::numeric_limits<int64_t>::max() && s.FirstPTS < 0) start = s.StartTime - s.FirstPTS;
    Append(Options.Options, "-ss " + SecondsText(start));
  }
  if (Contains("aac ac3 mp2 mp3 wav wma", LowerCase(ItemText(FormatItems, c.Format))))
    Append(Options.Options, "-vn");
}

void BuildOutputOptions(TOptionChoices& c, const TSourceFacts& s, const TBuildEnv& Env,
                        TOutputOptions& Options) {
  ResetOutputOptions(Options);
  Options.AudioOutputHook = c.AudioHook;
  Options.VideoInputHook = c.VideoInputHook;
  Options.VideoOutputHook = c.VideoOutputHook;
  String& o = Options.Options;
  const bool hasVideo = s.VideoStreamIndex >= 0;

  // Working values.
  String channels = c.AudioChannels > 0 ? IntToStr(c.AudioChannels) : String();
  String sampleRate = c.AudioSampleRate > 0 ? ItemText(AudioSampleRateItems, c.AudioSampleRate) : String();
  String frameSize;
  if (c.FrameSize == 1) {
    // Without a decoded picture the stream's own size serves; without either
    // the size is left as it is.
    const bool decoded = s.FrameWidth >= 4 && s.FrameHeight >= 4;
    const int w = decoded ? s.FrameWidth : s.VideoWidth, h = decoded ? s.FrameHeight : s.VideoHeight;
    if (w >= 4 && h >= 4) {
      frameSize = IntToStr(EvenDown(w / 2)) + "x" + IntToStr(EvenDown(h / 2));
    } else if (hasVideo && Env.Log) {
      Env.Log("Half - Size: the picture's size is not known, the size stays unchanged.");
    }
  } else if (c.FrameSize >= 2) {
    const String item = ItemText(FrameSizeItems, c.FrameSize);
    frameSize = item.substr(0, item.find(' '));
  }
  String frameRate = c.FrameRate > 0 ? ItemText(FrameRateItems, c.FrameRate) : String();
  String audioCodec = c.AudioCodec > 0 ? LowerCase(ItemText(AudioCodecItems, c.AudioCodec)) : String();
  String videoCodec = c.VideoCodec > 0 ? LowerCase(ItemText(VideoCodecItems, c.VideoCodec)) : String();

  Append(o, "-b:a " + NumberOr(c.AudioBitRate, "320") + "k");
  Append(o,
         "-b:v " + DiscVideoBitRate(ItemText(FormatItems, c.Format), NumberOr(c.VideoBitRate, "1500")) + "k");
  if (c.AudioVolumeOn) Append(o, "-vol " + NumberOr(c.AudioVolume, "256"));
  if (c.AspectRatio > 0) Append(o, "-aspect " + ItemText(AspectRatioItems, c.AspectRatio));
  if (ClipHolds(c, s)) Append(o, "-t " + SecondsText(s.EndTime - s.StartTime));

  // Format presets.
  String ending = "." + LowerCase(ItemText(FormatItems, c.Format));
  if (ending == ".flv" || ending == ".swf") {
    if (sampleRate != "11025" && sampleRate != "22050" && sampleRate != "44100") sampleRate = "44100";
  } else if (ending == ".ogg") {
    audioCodec = "libvorbis";
    videoCodec = "libtheora";
  } else if (ending == ".psp") {
    Append(o, "-f psp");
    audioCodec = AacPick(Env);
    videoCodec = "mpeg4";
    frameSize = "320x240";
    sampleRate = "24000";
    frameRate = "15000/1001";
    ending = "_psp.mp4";
  } else if (ending == ".ipod") {
    audioCodec = AacPick(Env);
    videoCodec = "mpeg4";
    frameSize = "320x240";
    if (frameRate.empty()) frameRate = "15000/1001";
    ending = "_ipod.mp4";
  } else if (ending == ".rm10" || ending == ".rm20") {
    videoCodec = ending == ".rm10" ? "rv10" : "rv20";
    ending = "_" + videoCodec + ".rm";
  } else if (ending == ".webm") {
    Append(o, "-f webm");
    audioCodec = "libvorbis";
    videoCodec = "libvpx";
  } else if (ending == ".wmv") {
    audioCodec = "wmav2";
    videoCodec = "wmv2";
  } else if (ending == ".mkv") {
    videoCodec = "libx264";
  } else if (ending == ".wma") {
    Append(o, "-vn");
    audioCodec = "wmav2";
  } else if (ending == ".3gp") {
    Append(o, "-b:a 12.2k");
    channels = "1";
    sampleRate = "8000";
    frameSize = "128x96";
    // The container's own default audio encoder is not built here.
    if (audioCodec.empty()) audioCodec = AacPick(Env);
  } else if (Contains(".vcd.svcd.dvd", ending)) {
    const String kind = ending == ".vcd" ? "vcd" : ending == ".svcd" ? "svcd" : "dvd";
    if (c.Norm == 0) c.Norm = 1;
    Append(o, "-target " + String(c.Norm == 2 ? "ntsc-" : "pal-") + kind);
  }

  if (!channels.empty()) Append(o, "-ac " + channels);
  if (!sampleRate.empty()) Append(o, "-ar " + sampleRate);
  if (!frameRate.empty()) Append(o, "-r " + frameRate);

  if (audioCodec == "mp3") audioCodec = "libmp3lame";
  if (!audioCodec.empty()) Append(o, "-c:a " + audioCodec);
  if (audioCodec == "aac") Append(o, "-astrict experimental");

  if (videoCodec == "xvid") videoCodec = "libxvid";
  if (videoCodec == "x264") videoCodec = "libx264";
  if (videoCodec == "divx") {
    videoCodec.clear();
    Append(o, "-c:v mpeg4 -tag:v DIVX -vstrict unofficial");
    if (frameRate.empty()) Append(o, "-r 15000/1001");
  }
  if (!videoCodec.empty()) Append(o, "-c:v " + videoCodec);

  // The filter chain. Sizes that the crop, the pad or the scale produce stay
  // even, and on the encoder's alignment where it demands one.
  std::vector<String> chain;
  if (hasVideo) {
    const int t = EditInt(c.CropTop), b = EditInt(c.CropBottom), l = EditInt(c.CropLeft),
              r = EditInt(c.CropRight);
    const bool cropping = c.Crop && (t > 0 || b > 0 || l > 0 || r > 0);
    int w = s.VideoWidth, h = s.VideoHeight;
    if (cropping) {
      w = EvenDown(w - l - r);
      h = EvenDown(h - t - b);
      chain.push_back(Format("crop=%d:%d:%d:%d", {w, h, l, t}));
    }
    const int pt = EvenPad(EditInt(c.PadTop)), pb = EvenPad(EditInt(c.PadBottom));
    const int pl = EvenPad(EditInt(c.PadLeft)), pr = EvenPad(EditInt(c.PadRight));
    if (c.Pad && (pt > 0 || pb > 0 || pl > 0 || pr > 0)) {
      w = EvenUp(w + pl + pr);
      h = EvenUp(h + pt + pb);
      chain.push_back(Format("pad=%d:%d:%d:%d:blue", {w, h, pl, pt}));
    }
    TFrameSize target = frameSize.empty() ? TFrameSize{w, h} : ParseFrameSize(frameSize);
    const int align = SizeAlignment(videoCodec);
    if (!target.Empty() && (target.Width % align != 0 || target.Height % align != 0)) {
      target = {std::max(align, AlignDown(target.Width, align)),
                std::max(align, AlignDown(target.Height, align))};
      frameSize = IntToStr(target.Width) + "x" + IntToStr(target.Height);
    }
    if (!frameSize.empty()) chain.push_back("scale=" + StringReplace(frameSize, "x", ":", false));
  }
  if (c.VertFlip) chain.push_back("vflip");
  if (c.HoriFlip) chain.push_back("hflip");
  if (c.Deinterlace) chain.push_back("yadif");
  if (c.Negate) chain.push_back("negate");
  if (c.RotateOn) {
    int angle = 45;
    if (!TryStrToInt(Trim(c.Rotate), angle)) angle = 45;
    chain.push_back("rotate=" + FloatToStrPoint(angle / 180.0 * std::numbers::pi));
  }
  if (c.Brightness || c.Saturation || c.Hue) {
    String parts;
    if (c.Brightness) parts += ":b=" + FloatToStrPoint(c.BrightnessPosition / 10.0);
    if (c.Saturation) parts += ":s=" + FloatToStrPoint(c.SaturationPosition / 10.0);
    if (c.Hue) parts += ":H=" + FloatToStrPoint(c.HuePosition / 100.0 * std::numbers::pi);
    chain.push_back("hue=" + parts.substr(1));
  }
  String graph;
  for (const String& item : chain) graph += (graph.empty() ? "" : ",") + item;
  if (c.WaterMark) {
    const String movie = "movie=" + FilterGraphFileName(Env.WaterMarkFile) + " [watermark]";
    const String overlay = "[watermark] overlay=main_w-overlay_w-10:10 [out]";
    graph = graph.empty() ? movie + "; [in] " + overlay
                          : movie + "; [in] " + graph + " [main]; [main] " + overlay;
  }
  if (!graph.empty()) Append(o, "-vf \"" + QuoteForSplitter(graph) + "\"");

  if (videoCodec == "libx264" && Env.ProcessorCount > 1)
    Append(o, "-threads " + IntToStr(Env.ProcessorCount));
  Append(o, "-sn");
  if (c.AudioHook) {
    if (audioCodec == "libvo_aacenc")
      Append(o, "-sample_fmt s16");
    else if (SameText(ItemText(FormatItems, c.Format), "MP3") || audioCodec == "libmp3lame")
      Append(o, "-sample_fmt s16p");
  }
  if (Contains(".vcd.svcd.dvd", ending))
    ending = "_" + LowerCase(ItemText(NormItems, c.Norm)) + "_" + ending.substr(1) + ".mpg";

  // The output name: never one that exists (unless overwriting is chosen) and
  // never one another row already holds.
  String base;
  if (c.OutPath == Env.SameAsInput) {
    base = s.FileName;
  } else {
    base = IncludeTrailingPathDelimiter(c.OutPath) + ExtractFileName(s.FileName);
  }
  const size_t slash = base.rfind('/');
  const size_t dot = base.rfind('.');
  if (dot != String::npos && (slash == String::npos || dot > slash)) base.resize(dot);
  const auto taken = [&](const String& Name) {
    return (Env.NameHeld && Env.NameHeld(Name)) || (!c.Overwrite && Env.FileExists && Env.FileExists(Name));
  };
  Options.FileName = base + "_(new)" + ending;
  for (int n = 1; taken(Options.FileName); ++n)
    Options.FileName = base + "_(new_" + IntToStr(n) + ")" + ending;
}
