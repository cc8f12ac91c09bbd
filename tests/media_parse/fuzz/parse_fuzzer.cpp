// Option text and presets text through the splitter and the parser of a task
// without files. Input: one byte of switches (bit 0: halt on invalid options,
// bit 1: parse for an input file), the option text, a zero byte, the presets text.
//
// Every outcome must be a result with a message: 0, a negative code with
// LastErrMsg set when halting, or an engine exception with its message.
// Options that open files or URLs are left out so that a run touches nothing
// outside the process.

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "media/FFmpegOptHandlers.h"
#include "media/FFmpegOptParser.h"

namespace {

class TFuzzTask : public TCustomFFmpegOpt {
 public:
  int OptVideoHookBitsPixel(TOptionsContext*, const String&, const String& Arg) override {
    return TryStrToInt(Arg, FBits) ? 0 : AVERROR(EINVAL);
  }
  int FBits = 32;
};

bool OpensFiles(const std::vector<String>& Words) {
  for (const String& word : Words) {
    const String name = word.substr(0, word.find(':'));
    if (name == "-progress" || name == "-filter_complex_script" || name == "-apre" || name == "-vpre" ||
        name == "-spre" || name == "-fpre")
      return true;
  }
  return false;
}

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "parse fuzzer: %s\n", What);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool loaded = [] {
    if (!FFLoader().Load(EncoderLibraries)) {
      std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
      std::abort();
    }
    GlobalLogger()->SetTriggerEventInMainThread(false);
    return true;
  }();
  (void)loaded;
  if (Size < 1) return 0;

  const uint8_t switches = Data[0];
  const std::string_view rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
  const size_t zero = rest.find('\0');
  const String optionText(rest.substr(0, zero));
  const String presetsText(zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1));
  if (OpensFiles(SplitCommandLine(optionText))) return -1;

  TFuzzTask task;
  task.HaltOnInvalidOption = (switches & 1) != 0;
  const bool input = (switches & 2) != 0;
  BuildOptionTable(task);
  TOptionsContext o;
  InitOptionsContext(task, o);
  try {
    const int r = ParseOptions(task, o, optionText, input ? ofInput : ofOutput, "fuzz.mkv",
                               input ? "input file" : "output file", presetsText);
    Check(r <= 0, "positive result");
    Check(r == 0 || task.HaltOnInvalidOption, "failure without halting");
    Check(r == 0 || !task.LastErrMsg().empty(), "failure without a message");
  } catch (const Exception& e) {
    Check(!e.Message.empty(), "exception without a message");
  }
  UninitOptionsContext(task, o);

  // Process-wide settings an option may have changed.
  ff::av_max_alloc(INT_MAX);
  ff::av_force_cpu_flags(-1);
  GlobalLogger()->SetLogLevel(llInfo);
  GlobalLogger()->SetLogFlags(1);
  return 0;
}
