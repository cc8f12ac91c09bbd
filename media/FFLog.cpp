#include "media/FFLog.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <vector>

#include "media/FFApi.h"
#include "media/MyUtils.h"

namespace {

// What each thread received through the library callback that does not yet
// end with a line feed. Kept for every thread that ever logged, used under the
// callback lock only.
class TLogList {
 public:
  String& GetItem(TThreadID ThreadID) { return FItems[ThreadID]; }
  void Clear() { FItems.clear(); }

 private:
  std::unordered_map<TThreadID, String> FItems;
};

// Process-wide state. Never destroyed: FFmpeg's threads may log until the
// process is gone, and the callback must still find its locks then.
// Lock order: CallbackLock, then LoggerLock.
struct TLogUnit {
  TCriticalSection CallbackLock;
  TCriticalSection LoggerLock;
  String LogFile;  // guarded by LoggerLock, like the next two
  bool LogToFile = false;
  FILE* Stream = nullptr;
  std::atomic<TFFLogger*> Logger{nullptr};
  std::atomic<int> AVLevel{AV_LOG_INFO};
  std::atomic<int> AVFlags{AV_LOG_SKIP_REPEATED};
  String PrevText;  // guarded by CallbackLock, like the next two
  int RepeatCount = 0;
  TLogList Lines;
};

TLogUnit& Unit() {
  static TLogUnit* unit = new TLogUnit;
  return *unit;
}

void CloseStream(TLogUnit& u) {
  if (u.Stream) {
    std::fclose(u.Stream);
    u.Stream = nullptr;
  }
}

const char* const kLevelNames[] = {"Quiet", "Panic", "Fatal", "Error", "Warning", "Info", "Verbose", "Debug", "Trace"};

// "[name @ 0x...] " for one library object.
String ObjectPrefix(const AVClass* avc, void* obj) {
  const char* name = avc->item_name ? avc->item_name(obj) : avc->class_name;
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, "[%s @ %p] ", name ? name : "", obj);
  return String(buffer, size_t(n < 0 ? 0 : n < int(sizeof buffer) ? n : int(sizeof buffer) - 1));
}

// The parent's prefix (when the class names one) and the object's own.
String ContextPrefix(void* context) {
  const AVClass* avc = *static_cast<const AVClass**>(context);
  if (!avc) return {};
  String prefix;
  if (avc->parent_log_context_offset) {
    void* parent = *reinterpret_cast<void**>(static_cast<uint8_t*>(context) + avc->parent_log_context_offset);
    if (parent && *static_cast<const AVClass**>(parent))
      prefix = ObjectPrefix(*static_cast<const AVClass**>(parent), parent);
  }
  return prefix + ObjectPrefix(avc, context);
}

// Formats the library's message whole, however long: measured first, then
// written once more into a buffer of the right size. Each pass reads its own
// copy of the argument list.
void AppendMessage(String& text, const char* fmt, va_list vl) {
  if (!fmt) return;
  if (std::strcmp(fmt, "%s") == 0) {
    va_list copy;
    va_copy(copy, vl);
    const char* only = va_arg(copy, const char*);
    va_end(copy);
    // A null text only flushes the repeat state.
    if (!only) return;
  }
  char buffer[2048];
  va_list copy;
  va_copy(copy, vl);
  const int n = std::vsnprintf(buffer, sizeof buffer, fmt, copy);
  va_end(copy);
  if (n <= 0) return;
  if (size_t(n) < sizeof buffer) {
    text.append(buffer, size_t(n));
    return;
  }
  String whole(size_t(n), '\0');
  va_copy(copy, vl);
  std::vsnprintf(whole.data(), whole.size() + 1, fmt, copy);
  va_end(copy);
  text += whole;
}

// "hh:nn:ss zzz" of the local time.
String TimeText() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d %03d", local.tm_hour, local.tm_min, local.tm_sec,
                int(now.tv_usec / 1000));
  return buffer;
}

}  // namespace

// Lines recorded under the locks, delivered after they are released.
struct TFFLogger::TDelivery {
  TLogEvent Handler;
  bool InMainThread = true;
  std::vector<TLogInfo> Lines;
};

const char* LogLevelName(TLogLevel Level) { return kLevelNames[Level < llQuiet || Level > llTrace ? 0 : Level]; }

TFFLogger* GlobalLogger() {
  TLogUnit& u = Unit();
  if (TFFLogger* logger = u.Logger.load()) return logger;
  TLock callbackLock(u.CallbackLock);
  TLock loggerLock(u.LoggerLock);
  if (!u.Logger.load()) {
    TFFLogger* logger = new TFFLogger(nullptr);
    logger->FAutoCreated = true;
  }
  return u.Logger.load();
}

TFFLogger::TFFLogger(TComponent* AOwner) : TFFBaseComponent(AOwner) {
  TLogUnit& u = Unit();
  TLock callbackLock(u.CallbackLock);
  TLock loggerLock(u.LoggerLock);
  TFFLogger* existing = u.Logger.load();
  if (existing && existing->FAutoCreated) delete existing;
  if (u.Logger.load()) throw Exception("Allow creating only one instance of TFFLogger.");
  FLogFlags = u.AVFlags.load();
  FLogLevel = AVLevelToLogLevel(u.AVLevel.load());
  u.Logger = this;
}

TFFLogger::~TFFLogger() {
  Destroying();
  TLogUnit& u = Unit();
  // Both locks: a library callback that found this logger under the callback
  // lock uses it until it releases that lock.
  TLock callbackLock(u.CallbackLock);
  TLock loggerLock(u.LoggerLock);
  FOnLog = nullptr;
  FSkip = true;
  if (u.Logger.load() == this) u.Logger = nullptr;
  CloseStream(u);
}

void TFFLogger::Log(TObject* Sender, TLogLevel ALogLevel, const String& ALogMsg) {
  if (FSkip.load() || ALogLevel > FLogLevel.load()) return;
  TDelivery out;
  {
    TLock lock(Unit().LoggerLock);
    Record(TLogInfo{Sender, GetCurrentThreadId(), ALogLevel, ALogMsg}, out);
  }
  Deliver(out);
}

void TFFLogger::Log(TObject* Sender, TLogLevel ALogLevel, std::string_view AFormat,
                    std::initializer_list<TVarRec> Args) {
  if (FSkip.load() || ALogLevel > FLogLevel.load()) return;
  Log(Sender, ALogLevel, Format(AFormat, Args));
}

void TFFLogger::Record(const TLogInfo& Info, TDelivery& Out) {
  if (FSkip.load()) return;
  FLogInfo = Info;
  Out.Handler = FOnLog;
  Out.InMainThread = FTriggerEventInMainThread.load();
  if (FOnLog) Out.Lines.push_back(Info);
  WriteLogFile(Info, Out);
}

void TFFLogger::Deliver(const TDelivery& Out) {
  if (!Out.Handler) return;
  for (const TLogInfo& line : Out.Lines) {
    if (Out.InMainThread)
      CallInMainThread([&] { Out.Handler(line.Sender, line.ThreadID, line.LogLevel, line.LogMsg); });
    else
      Out.Handler(line.Sender, line.ThreadID, line.LogLevel, line.LogMsg);
  }
}

void TFFLogger::WriteLogFile(const TLogInfo& Info, TDelivery& Out) {
  TLogUnit& u = Unit();
  if (!u.LogToFile || u.LogFile.empty()) return;
  if (!u.Stream) {
    u.Stream = std::fopen(u.LogFile.c_str(), "ab");
    if (!u.Stream) {
      // Give up on the file rather than failing (and reporting) every line.
      const int error = errno;
      u.LogToFile = false;
      ComputeSkip();
      if (FOnLog)
        Out.Lines.push_back(TLogInfo{this, Info.ThreadID, llError,
                                     Format("Cannot open log file \"%s\": %s", {u.LogFile, std::strerror(error)})});
      return;
    }
  }
  char threadId[16];
  std::snprintf(threadId, sizeof threadId, "%.8x", unsigned(Info.ThreadID));
  const String line = TimeText() + " [" + threadId + "] " + LogLevelName(Info.LogLevel) + ": " + Info.LogMsg + "\r\n";
  std::fwrite(line.data(), 1, line.size(), u.Stream);
  std::fflush(u.Stream);
}

void TFFLogger::ComputeSkip() {
  const TLogUnit& u = Unit();
  FSkip = !(FActive.load() && (FOnLog || (u.LogToFile && !u.LogFile.empty())));
}

void TFFLogger::ApplyLogFlags() {
  Unit().AVFlags = FLogFlags.load();
  if (ff::av_log_set_flags) ff::av_log_set_flags(FLogFlags.load());
}

void TFFLogger::ApplyLogLevel() {
  if (!ff::av_log_set_level) return;
  Unit().AVLevel = LogLevelToAVLevel(FLogLevel.load());
  ff::av_log_set_level(LogLevelToAVLevel(FLogLevel.load()));
}

void TFFLogger::InstallAVLogCallback() {
  if (!ff::av_log_set_callback || !ff::av_log_set_level)
    throw Exception("InstallAVLogCallback: avutil is not bound.");
  ff::av_log_set_callback(AVLogCallback);
  ApplyLogFlags();
  ApplyLogLevel();
}

void TFFLogger::OptLogLevel(const String& Arg) {
  static const struct {
    const char* Name;
    int Level;
  } kNames[] = {{"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC}, {"fatal", AV_LOG_FATAL},
                {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}, {"trace", AV_LOG_TRACE}};
  for (const auto& entry : kNames) {
    if (SameText(Arg, entry.Name)) {
      SetLogLevel(AVLevelToLogLevel(entry.Level));
      return;
    }
  }
  SetLogLevel(AVLevelToLogLevel(StrToInt(Arg)));
}

void TFFLogger::ClearLogFile() {
  TLogUnit& u = Unit();
  TLock lock(u.LoggerLock);
  if (u.Stream) {
    std::fflush(u.Stream);
    if (ftruncate(fileno(u.Stream), 0) != 0) return;
  } else if (!u.LogFile.empty()) {
    std::remove(u.LogFile.c_str());
  }
}

void TFFLogger::SetActive(bool Value) {
  TLock lock(Unit().LoggerLock);
  FActive = Value;
  ComputeSkip();
}

void TFFLogger::SetLogLevel(TLogLevel Value) {
  if (FLogLevel.exchange(Value) != Value) ApplyLogLevel();
}

String TFFLogger::GetLogFile() const {
  TLock lock(Unit().LoggerLock);
  return Unit().LogFile;
}

void TFFLogger::SetLogFile(const String& Value) {
  TLogUnit& u = Unit();
  TLock lock(u.LoggerLock);
  if (u.LogFile == Value) return;
  u.LogFile = Value;
  CloseStream(u);
  ComputeSkip();
}

bool TFFLogger::GetLogToFile() const {
  TLock lock(Unit().LoggerLock);
  return Unit().LogToFile;
}

void TFFLogger::SetLogToFile(bool Value) {
  TLogUnit& u = Unit();
  TLock lock(u.LoggerLock);
  if (u.LogToFile == Value) return;
  u.LogToFile = Value;
  CloseStream(u);
  ComputeSkip();
}

TLogEvent TFFLogger::GetOnLog() const {
  TLock lock(Unit().LoggerLock);
  return FOnLog;
}

void TFFLogger::SetOnLog(TLogEvent Value) {
  TLock lock(Unit().LoggerLock);
  FOnLog = std::move(Value);
  ComputeSkip();
}

void TFFLogger::SetLogFlags(int Value) {
  if (FLogFlags.exchange(Value) != Value) ApplyLogFlags();
}

TLogInfo TFFLogger::LastLogInfo() const {
  TLock lock(Unit().LoggerLock);
  return FLogInfo;
}

void AVLogCallback(void* Context, int Level, const char* Fmt, va_list VL) {
  // No exception may cross into the library.
  try {
    TLogUnit& u = Unit();
    if (Level > u.AVLevel.load()) return;
    TFFLogger::TDelivery out;
    TFFLogger* logger;
    {
      TLock callbackLock(u.CallbackLock);
      logger = u.Logger.load();
      if (!logger || logger->FSkip.load()) return;
      const TThreadID threadId = GetCurrentThreadId();
      const TLogLevel level = AVLevelToLogLevel(Level);
      String& pending = u.Lines.GetItem(threadId);

      String text;
      if (Context && pending.empty()) text = ContextPrefix(Context);
      AppendMessage(text, Fmt, VL);

      auto emit = [&](const String& line) {
        TLock loggerLock(u.LoggerLock);
        logger->Record(TLogInfo{logger, threadId, level, line}, out);
      };
      const bool fold = (u.AVFlags.load() & AV_LOG_SKIP_REPEATED) != 0;
      if (fold && !text.empty() && text.back() == '\n' && text == u.PrevText) {
        ++u.RepeatCount;
        return;
      }
      if (u.RepeatCount > 2)
        emit(Format("%s (repeated %d times)", {Trim(u.PrevText), u.RepeatCount}));
      else if (u.RepeatCount == 2)
        emit(Trim(u.PrevText));
      u.RepeatCount = 0;
      if (fold) u.PrevText = text;

      pending += text;
      while (pending.find('\n') != String::npos) {
        String line;
        CutAtSeparator(pending, "\n", true, line);
        emit(line);
      }
    }
    TFFLogger::Deliver(out);
  } catch (...) {
  }
}
