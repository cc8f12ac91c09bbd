#pragma once
// A skin made in code with every scroll section in its own colour.

#include <memory>

#include "skin/controls/acSBUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinIndexes.h"
#include "skin/core/sSkinRecords.h"
#include "tests/platform_win/WinTestUtil.h"

namespace scrollskin {

// Colours of the scroll sections of the skin made in code.
constexpr TColor kTrackBefore = 0x00A000, kTrackAfter = 0x0000A0, kArrowUp = 0xA00000, kArrowDown = 0xA000A0,
                 kThumb = 0x00A0A0, kEdit = 0xF0F0F0;
constexpr int kSkinWidth = 12;  // the system's is 17

struct ScrollSkin {
  TacSkinRecords s;
  ScrollSkin() {
    s.CommonSkinData.Active = true;
    auto add = [&](const char* name, TColor c) {
      const int i = s.AddNewSection(name, -1, 3, 0, c, 0);
      auto& g = s.gd[size_t(i)];
      g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    };
    add("EDIT", kEdit);
    add("SCROLLBAR1V", kTrackBefore);
    add("SCROLLBAR2V", kTrackAfter);
    add("SCROLLBAR1H", kTrackBefore);
    add("SCROLLBAR2H", kTrackAfter);
    add("SCROLLBTNTOP", kArrowUp);
    add("SCROLLBTNBOTTOM", kArrowDown);
    add("SCROLLBTNLEFT", kArrowUp);
    add("SCROLLBTNRIGHT", kArrowDown);
    add("SCROLLSLIDERV", kThumb);
    add("SCROLLSLIDERH", kThumb);
    InitConstantIndexes(s, false);
  }
};

// Window tests whose skinned scroll bars take the skin's width from the
// default manager's scroll options; no tracking state passes from one test to
// the next.
class SkinnedScrollsTest : public WindowTest {
 protected:
  std::unique_ptr<TsSkinManager> manager;
  void SetUp() override {
    WindowTest::SetUp();
    manager = std::make_unique<TsSkinManager>(nullptr);
    manager->ScrollsOptions.SetScrollSize(kSkinWidth);
    ScrollTrack = TacScrollTrackState();
  }
  void TearDown() override {
    manager.reset();
    ScrollTrack = TacScrollTrackState();
    WindowTest::TearDown();
  }
};

}  // namespace scrollskin
using namespace scrollskin;
