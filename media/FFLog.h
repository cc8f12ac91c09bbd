#pragma once
// The media engine's logger: the engine's own messages and every line the
// FFmpeg libraries print, filtered by level, assembled per thread, with runs
// of identical library lines folded, handed to OnLog (on the main thread by
// default) and, when switched on, appended to a log file.
//
// Delivery never holds a lock: a line is recorded (and written to the file)
// under the logger's locks, which are released before the handler runs, so a
// main thread that logs while a worker waits for it cannot deadlock. With
// TriggerEventInMainThread off the handler runs on the logging thread and may
// then run on several threads at once.

#include <atomic>
#include <cstdarg>
#include <functional>
#include <initializer_list>

#include "media/FFBaseComponent.h"
#include "platform/os/Threads.h"

enum TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug, llTrace };

// quiet -8, panic 0, fatal 8 ... trace 56.
constexpr int LogLevelToAVLevel(TLogLevel Level) { return 8 * int(Level) - 8; }
// (level div 8) + 1 clamped to quiet..trace: a level between two bands maps to the lower one.
constexpr TLogLevel AVLevelToLogLevel(int Level) {
  const int ordinal = Level / 8 + 1;
  return TLogLevel(ordinal < 0 ? 0 : ordinal > 8 ? 8 : ordinal);
}
// "Quiet", "Panic" ... "Trace".
const char* LogLevelName(TLogLevel Level);

struct TLogInfo {
  TObject* Sender = nullptr;  // the logger itself for library lines
  TThreadID ThreadID = 0;
  TLogLevel LogLevel = llInfo;
  String LogMsg;
};

using TLogEvent = std::function<void(TObject* Sender, TThreadID AThreadID, TLogLevel ALogLevel, const String& ALogMsg)>;

class TFFLogger : public TFFBaseComponent {
 public:
  // Frees an auto-created logger first; raises Exception "Allow creating only
  // one instance of TFFLogger." when another logger still exists.
  explicit TFFLogger(TComponent* AOwner);
  ~TFFLogger() override;

  // The engine's way to log; nothing happens above LogLevel or while nobody listens.
  void Log(TObject* Sender, TLogLevel ALogLevel, const String& ALogMsg);
  void Log(TObject* Sender, TLogLevel ALogLevel, std::string_view AFormat, std::initializer_list<TVarRec> Args);

  // Hands AVLogCallback to the bound avutil and applies flags and level there.
  void InstallAVLogCallback();
  // "quiet" ... "trace" (any case) or a decimal FFmpeg level; EConvertError otherwise.
  void OptLogLevel(const String& Arg);
  // Empties an open log file; deletes a closed one.
  void ClearLogFile();

  bool GetActive() const { return FActive.load(); }
  void SetActive(bool Value);
  TLogLevel GetLogLevel() const { return FLogLevel.load(); }
  void SetLogLevel(TLogLevel Value);
  String GetLogFile() const;
  void SetLogFile(const String& Value);
  bool GetLogToFile() const;
  void SetLogToFile(bool Value);
  bool GetTriggerEventInMainThread() const { return FTriggerEventInMainThread.load(); }
  void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread.store(Value); }
  TLogEvent GetOnLog() const;
  void SetOnLog(TLogEvent Value);
  int GetLogFlags() const { return FLogFlags.load(); }
  void SetLogFlags(int Value);

  // The last line recorded (a copy).
  TLogInfo LastLogInfo() const;
  bool AutoCreated() const { return FAutoCreated; }

 private:
  friend TFFLogger* GlobalLogger();
  friend void AVLogCallback(void* Context, int Level, const char* Fmt, va_list VL);
  struct TDelivery;

  // Records a line under the logger lock (file included) and returns what is
  // to be delivered once every lock is released.
  void Record(const TLogInfo& Info, TDelivery& Out);
  static void Deliver(const TDelivery& Out);
  void WriteLogFile(const TLogInfo& Info, TDelivery& Out);
  void ComputeSkip();
  void ApplyLogFlags();
  void ApplyLogLevel();

  bool FAutoCreated = false;
  std::atomic<bool> FSkip{true};
  std::atomic<bool> FActive{true};
  std::atomic<bool> FTriggerEventInMainThread{true};
  std::atomic<int> FLogFlags{1};
  std::atomic<TLogLevel> FLogLevel{llInfo};
  TLogInfo FLogInfo;
  TLogEvent FOnLog;
};

// The one logger of the process, created (without owner) when there is none.
TFFLogger* GlobalLogger();

// The callback handed to av_log_set_callback. Never raises.
void AVLogCallback(void* Context, int Level, const char* Fmt, va_list VL);
