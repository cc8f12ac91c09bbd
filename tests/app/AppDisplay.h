#pragma once
// What the tests of the program on an X server share: serving it until
// something holds, and test media written by its own engine.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app/ConverterFrm.h"
#include "platform/os/Threads.h"

// Handles messages until Done or the time-out; false on time-out.
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Application->ProcessMessages();
    CheckSynchronize(10);
  }
  return true;
}

// Writes a lavfi clip through the engine.
inline void WriteClip(const String& Name, const char* Graph) {
  TRAZeredov maker(nullptr);
  ASSERT_TRUE(maker.LoadAVLib(""));
  ASSERT_EQ(maker.AddTask(Graph, "-f lavfi"), 0) << maker.LastErrMsg();
  ASSERT_GE(maker.SetOutput(0, Name, "-c:v mpeg4 -threads 1"), 0) << maker.LastErrMsg();
  maker.Start(0);
}
