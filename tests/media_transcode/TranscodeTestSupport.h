#pragma once
// What the conversion tests share: a task whose files are opened from option
// text like the application does, a scratch folder, running a task to its
// end, and a look at an output through the libraries.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "tests/media_transcode/TranscodeTask.h"

// One stream of a written file, as the libraries read it back.
struct TStreamReport {
  AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  String Codec;
  String Encoder;  // the stream's "encoder" tag
  int Width = 0, Height = 0;
  int SampleRate = 0;
  int64_t Packets = 0;
  int64_t Frames = 0;   // decoded pictures or audio frames
  int64_t Samples = 0;  // decoded audio samples
  double FirstTime = 0, EndTime = 0;  // seconds: first pts, last pts + duration
  bool FirstIsKey = false;
  bool MonotonicDts = true;
  std::vector<std::vector<uint8_t>> Lumas;  // with KeepPictures: the top rows of each picture, in display order
};

struct TFileReport {
  bool Opened = false;
  std::vector<TStreamReport> Streams;
  const TStreamReport* Find(AVMediaType Type) const {
    for (const auto& s : Streams)
      if (s.Type == Type) return &s;
    return nullptr;
  }
};

// Reads every packet and decodes every stream of the file.
TFileReport InspectFile(const String& FileName, bool KeepPictures = false, int KeepRows = 16);

class TranscodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;
  String Path(const String& Name) const { return (FFolder / Name).string(); }
  // Log lines at llError or below, joined.
  String Errors();

  std::filesystem::path FFolder;
  std::mutex FLogLock;
  String FErrors;
};

// A lavfi test picture and tone of Seconds.
String VideoSource(double Seconds, int Rate = 25, const char* Size = "320x240");
String AudioSource(double Seconds);
