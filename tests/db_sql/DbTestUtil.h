#pragma once
// What the dataset layer's tests share: the layer started for one test, and
// the message or engine code of what an action raises.

#include <functional>

#include "db/sql/VelqorimMain.h"
#include "db/support/DAZExcept.h"

struct TStarted {
  TStarted() { VelqorimMainInitialize(); }
  ~TStarted() { VelqorimMainFinalize(); }
};

// The message of the exception Action raises ("error" for one without a
// message, so that it never reads as success); empty when none.
inline String ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& e) {
    return e.Message.empty() ? String("error") : e.Message;
  }
  return "";
}

// The engine code of the exception Action raises; 0 when none.
inline int NativeErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EABSException& e) {
    return e.NativeError;
  }
  return 0;
}
