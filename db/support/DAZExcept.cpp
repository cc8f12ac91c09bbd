#include "db/support/DAZExcept.h"

#include <cstdio>

namespace {

String NativeErrorSuffix(const char* codeFormat, int code) {
  char digits[32];
  std::snprintf(digits, sizeof digits, codeFormat, code);
  return String(" - Native error: ") + digits;
}

String FormatOrMark(const String& msg, std::initializer_list<TVarRec> args) {
  try {
    return Format(msg, args);
  } catch (...) {
    return msg + " Arguments are invalid!";
  }
}

}  // namespace

EABSException::EABSException(int NativeErrorCode, const String& ErrorMsg)
    : Exception(ErrorMsg + NativeErrorSuffix("%.5d", NativeErrorCode)), NativeError(NativeErrorCode) {}

EABSException::EABSException(int NativeErrorCode, const String& ErrorMsg, std::initializer_list<TVarRec> Args)
    : Exception(FormatOrMark(ErrorMsg, Args) + NativeErrorSuffix("%5d", NativeErrorCode)),
      NativeError(NativeErrorCode) {}
