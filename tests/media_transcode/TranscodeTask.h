#pragma once
// A conversion task whose files are opened from option text, as the
// application opens them (the tests and the benchmark use it).

#include <memory>
#include <vector>

#include "media/FFmpeg.h"
#include "media/FFmpegOptOpen.h"
#include "media/FFmpegOptParser.h"

class TTask : public TCustomFFmpeg {
 public:
  TTask() { BuildOptionTable(*this); }
  // Opens an input from its option text (lavfi sources with "-f lavfi").
  int AddInput(const String& Options, const String& FileName) {
    TOptionsContext& o = NewContext();
    return OpenInputFile(*this, &o, Options, FileName, "");
  }
  int SetOutput(const String& Options, const String& FileName, bool Join = false) {
    TOptionsContext& o = NewContext();
    return OpenOutputFile(*this, &o, Options, Join, FileName, "");
  }
  // Runs the task on the calling thread; the end event has fired when this returns.
  void RunHere() { StartConvert(false); }

 private:
  TOptionsContext& NewContext() {
    // The contexts live as long as the task: output streams borrow texts of theirs.
    FContexts.push_back(std::make_unique<TOptionsContext>());
    InitOptionsContext(*this, *FContexts.back());
    return *FContexts.back();
  }
  std::vector<std::unique_ptr<TOptionsContext>> FContexts;
};

