#pragma once
// Shared by the engine support tests.

#include <functional>

#include "db/support/DAZExcept.h"

// The NativeError of the EABSException that action raises; 0 when it raises none.
inline int CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EABSException& e) {
    return e.NativeError;
  }
  return 0;
}
