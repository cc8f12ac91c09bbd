#pragma once
// The window layer the skin benches run on: headless, started once.

#include <memory>

#include "platform/os/Threads.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Backend.h"

inline void StartWindowLayer() {
  static bool started = false;
  if (started) return;
  started = true;
  InitMainThread();
  SetWindowBackend(std::make_unique<THeadlessBackend>());
  Application->Initialize();
}
