#pragma once
// The database engine's one exception class.
//
// A code names the place that raised the error, not its kind; callers that
// need to react to one failure test NativeError.

#include <initializer_list>

#include "platform/rtl/SysUtils.h"

class EABSException : public Exception {
 public:
  // Message: ErrorMsg + " - Native error: " + the code zero-padded to five digits.
  EABSException(int NativeErrorCode, const String& ErrorMsg);
  // Message: ErrorMsg formatted with Args (or ErrorMsg + " Arguments are invalid!"
  // when they do not fit) + " - Native error: " + the code right-aligned in five places.
  EABSException(int NativeErrorCode, const String& ErrorMsg, std::initializer_list<TVarRec> Args);

  int NativeError;
};
