#pragma once
// The engine error code an action raises, 0 when it raises none.

#include <functional>

#include "db/support/DAZExcept.h"

inline int NativeErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EABSException& e) {
    return e.NativeError;
  }
  return 0;
}
