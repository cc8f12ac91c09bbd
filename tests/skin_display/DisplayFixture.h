#pragma once
// The set-up the display tests share: the layer on the X server named by
// DISPLAY (Xvfb through scripts/with-xvfb.sh), the message pump, the program's
// own skin in a manager, and pictures of what the X windows showed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/os/Threads.h"
#include "platform/vcl/Forms.h"
#include "platform/win/X11Backend.h"
#include "skin/core/ownskin/OwnSkin.h"
#include "skin/core/sSkinManager.h"
#include "tests/skin_display/XServer.h"

class XDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display: run the tests through scripts/with-xvfb.sh";
    InitMainThread();
    ResetWindowLayer();
    std::string error;
    auto backend = TX11Backend::Open(nullptr, error);
    ASSERT_TRUE(backend) << error;
    x_ = backend.get();
    SetWindowBackend(std::move(backend));
    Application->ResetForTests();
    Application->Initialize();
  }
  // Derived fixtures free what they made first, then call this.
  void TearDown() override {
    if (!x_) return;
    Application->ResetForTests();
    ResetWindowLayer();
    SetWindowBackend(std::make_unique<THeadlessBackend>());
  }
  // Serves the layer until done() holds or the time is up.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const uint64_t end = x_->Now() + uint64_t(timeoutMs);
    for (;;) {
      Application->ProcessMessages();
      if (done()) return true;
      if (x_->Now() >= end) return false;
      x_->Wait({}, 10);
    }
  }
  void Settle() {
    PumpUntil([] { return false; }, 100);
    xserver::Sync(*x_);
  }
  // The X window of wnd shows its surface pixel for pixel (where the surface
  // is opaque, with OpaqueOnly); a PNG of what it showed is written into the
  // working folder (the build folder of the tests) as <name>.png.
  void ExpectShowsItsSurface(HWND wnd, const std::string& name, bool OpaqueOnly = false) {
    std::string where;
    EXPECT_EQ(xserver::DifferingPixels(*x_, wnd, OpaqueOnly, where), 0) << name << ": first " << where;
    EXPECT_TRUE(xserver::WritePng(*x_, wnd, name + ".png")) << name;
  }
  // Pixels of the window's surface in the skins' transparent key colour,
  // which must never show.
  static int KeyColourPixels(HWND wnd) {
    DIBSECTION ds;
    if (GetObject(GetWindowSurface(wnd), sizeof(ds), &ds) != int(sizeof(ds))) return -1;
    int n = 0;
    for (int y = 0; y < ds.dsBm.bmHeight; ++y) {
      const auto* p = static_cast<const uint8_t*>(ds.dsBm.bmBits) + long(y) * ds.dsBm.bmWidthBytes;
      for (int c = 0; c < ds.dsBm.bmWidth; ++c, p += 4)
        if (p[3] != 0 && p[2] == 0xFF && p[1] == 0 && p[0] == 0xFF) ++n;
    }
    return n;
  }
  TX11Backend* x_ = nullptr;
};

// A manager holding the program's own skin, loaded from the archive built
// into the program; it is the default manager while it lives.
inline std::unique_ptr<TsSkinManager> MakeOwnSkinManager() {
  auto m = std::make_unique<TsSkinManager>(nullptr);
  const OwnSkinBytes bytes = OwnSkinArchive();
  TsStoredSkin own(kOwnSkinName, "", std::make_shared<TMemoryStream>());
  own.PackedData->WriteBuffer(bytes.Data, int64_t(bytes.Size));
  m->InternalSkins().Items.push_back(own);
  m->SetSkinDirectory("/nonexistent/skins");
  m->SetSkinName(kOwnSkinName);
  return m;
}
