#pragma once
// What the option-layer tests share: the libraries loaded once per process,
// a logger whose lines the test can read, and a small option table.

#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFmpegOpt.h"
#include "platform/os/Threads.h"

// Loads the system's libraries before the first test of a suite.
inline void LoadSystemLibraries() {
  InitMainThread();
  ASSERT_TRUE(FFLoader().Load(EncoderLibraries)) << FFLoader().LastErrMsg();
}

// Collects the engine's own log lines (library lines included) on the logging thread.
class TLogCapture {
 public:
  TLogCapture() {
    GlobalLogger()->SetTriggerEventInMainThread(false);
    GlobalLogger()->SetLogLevel(llInfo);
    GlobalLogger()->SetOnLog([this](TObject* Sender, TThreadID, TLogLevel Level, const String& Msg) {
      std::lock_guard<std::mutex> lock(FMutex);
      FLines.push_back({Sender, Level, Msg});
    });
  }
  ~TLogCapture() { GlobalLogger()->SetOnLog(nullptr); }
  struct TLine {
    TObject* Sender;
    TLogLevel Level;
    String Msg;
  };
  std::vector<TLine> Take() {
    std::lock_guard<std::mutex> lock(FMutex);
    return std::exchange(FLines, {});
  }
  bool Contains(const String& Text) {
    for (const TLine& line : Take())
      if (line.Msg.find(Text) != String::npos) return true;
    return false;
  }

 private:
  std::mutex FMutex;
  std::vector<TLine> FLines;
};

// A task with nothing but the option model.
class TTestTask : public TCustomFFmpegOpt {
 public:
  int OptVideoHookBitsPixel(TOptionsContext*, const String&, const String&) override { return 0; }
};
