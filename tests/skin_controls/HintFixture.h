#pragma once
// Alpha-hint tests: a form with a hinted panel, the virtual clock run in the
// library's 12 ms steps, and a backend that records every picture pushed into
// a layered window with its opacity.

#include <gtest/gtest.h>

#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "skin/controls/acAlphaHints.h"
#include "tests/platform_win/WinTestUtil.h"

namespace hintfixture {

class PushRecorder : public THeadlessBackend {
 public:
  struct Push {
    HWND wnd;
    BYTE alpha;
  };
  void ShapeChanged(HWND wnd) override {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (GetLayeredWindowAttributes(wnd, nullptr, &alpha, &flags) && (flags & LWA_ALPHA)) pushes.push_back({wnd, alpha});
  }
  // The opacities of the pictures pushed into Wnd, leaving out the blank one it starts with.
  std::vector<BYTE> AlphasOf(HWND wnd) const {
    std::vector<BYTE> out;
    for (const Push& p : pushes)
      if (p.wnd == wnd && p.alpha > 0) out.push_back(p.alpha);
    return out;
  }
  std::vector<Push> pushes;
};

class HintTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetWindowBackend(std::make_unique<PushRecorder>());
    recorder = static_cast<PushRecorder*>(HeadlessBackend());
  }
  void Run(int ms) {
    for (int t = 0; t < ms; t += 12) {
      Headless().AdvanceClock(12);
      Application->ProcessMessages();
    }
  }
  // A shown form with a panel at (50, 50, 150, 90) carrying a hint.
  TPanel* HintedPanel(TForm& form) {
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds(50, 50, 100, 40);
    p->Hint = "Convert the files";
    p->SetShowHint(true);
    ShowForm(form);
    return p;
  }
  PushRecorder* recorder = nullptr;
};

}  // namespace hintfixture
using namespace hintfixture;
