// Every window the program shows, on a real X server (Xvfb through
// scripts/with-xvfb.sh), without a window manager and with one (evilwm,
// started here): the main window (also after it was resized by its own
// request and by the window manager's, or another client's), the about
// window, a message box, the file-open dialog on an empty folder and on one
// with files, the options dialog with a preview, the watermark chooser, the
// folder dialog and every combo box dropped down. What the server shows of
// each window must be what the window layer paints when every control of it
// is painted afresh; a control whose rectangle differs is named. Each window
// is also written as a PNG into display-shots/ of the build folder.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "app/ConverterFrm.h"
#include "app/OptionFrm.h"
#include "app/UnitAide.h"
#include "imaging/dxGDIPlusAPI.h"
#include "imaging/dxGDIPlusClasses.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"
#include "platform/os/Threads.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Controls.h"
#include "platform/win/X11Backend.h"
#include "tests/app/AppDisplay.h"
#include "tests/app/XClient.h"

namespace {

using TPixels = std::vector<uint32_t>;

TX11Backend* Backend() { return dynamic_cast<TX11Backend*>(&WindowBackend()); }

// Lets the program handle what the server sent and show what it painted.
void Settle() {
  for (int i = 0; i < 4; ++i) {
    Application->ProcessMessages();
    Backend()->Flush();
    XSyncDisplay(Backend()->XDisplay());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The layer's surface of a top-level window, 0x00RRGGBB, rows top first.
TPixels SurfacePixels(HWND Top, int& Width, int& Height) {
  TBitmap b;
  GetWindowSurfaceBitmap(Top, b);
  Width = b.Width();
  Height = b.Height();
  TPixels out(size_t(Width) * size_t(Height));
  for (int y = 0; y < Height; ++y) {
    const auto* row = static_cast<const uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < Width; ++x) out[size_t(y) * size_t(Width) + size_t(x)] = row[x] & 0xFFFFFF;
  }
  return out;
}

void SavePng(const TPixels& Pixels, int Width, int Height, const String& Name) {
  const String dir = GetCurrentDir() + "/display-shots/";
  ForceDirectories(dir);
  TRGBColors opaque(Pixels.size());
  for (size_t i = 0; i < Pixels.size(); ++i) opaque[i] = Pixels[i] | 0xFF000000u;
  TdxPNGImage png(Width, Height, opaque, false);
  TFileStream file(dir + Name + ".png", fmCreate);
  png.SaveToStreamByCodec(file, dxImagePng);
}

// A control's rectangle inside its top-level window's surface.
struct TArea {
  String Name;
  RECT R;
};

String Describe(HWND Wnd) {
  if (TWinControl* c = TWinControl::FindControl(Wnd); c && !c->GetName().empty()) return c->GetName();
  char cls[64] = "", text[80] = "";
  GetClassNameW(Wnd, cls, sizeof(cls));
  GetWindowTextW(Wnd, text, sizeof(text));
  return String(cls) + (text[0] ? " \"" + String(text) + "\"" : String());
}

// The controls drawn without a window of their own (labels, speed buttons, pictures).
void AddGraphicControls(HWND Wnd, const POINT& TopOrigin, std::vector<TArea>& Out) {
  TWinControl* c = TWinControl::FindControl(Wnd);
  if (!c) return;
  for (int i = 0; i < c->ControlCount(); ++i) {
    TControl* g = c->Controls(i);
    if (dynamic_cast<TWinControl*>(g) || !g->Visible()) continue;
    const TPoint p = c->ClientToScreen(TPoint(g->Left(), g->Top()));
    const LONG x = p.X - TopOrigin.x, y = p.Y - TopOrigin.y;
    Out.push_back(TArea{g->GetName().empty() ? String("a graphic control") : g->GetName(),
                        RECT{x, y, x + g->Width(), y + g->Height()}});
  }
}

std::vector<TArea> Areas(HWND Top) {
  struct TWalk {
    POINT Origin;
    std::vector<TArea> Out;
  } walk;
  RECT tr;
  GetWindowRect(Top, &tr);
  walk.Origin = POINT{tr.left, tr.top};
  AddGraphicControls(Top, walk.Origin, walk.Out);
  EnumChildWindows(
      Top,
      [](HWND h, LPARAM p) -> BOOL {
        auto& w = *reinterpret_cast<TWalk*>(p);
        if (!IsWindowVisible(h)) return TRUE;
        RECT r;
        GetWindowRect(h, &r);
        OffsetRect(&r, -w.Origin.x, -w.Origin.y);
        w.Out.push_back(TArea{Describe(h), r});
        AddGraphicControls(h, w.Origin, w.Out);
        return TRUE;
      },
      LPARAM(&walk));
  return walk.Out;
}

// Empty when the server shows what the layer paints when every control of
// Top paints afresh; otherwise a line for each control whose rectangle
// differs. Writes Shot.png of what the server shows.
String CheckWindow(HWND Top, const String& Shot) {
  Settle();
  int w = 0, h = 0;
  const TPixels surface = SurfacePixels(Top, w, h);
  const TPixels shown = XWindowPixels(Backend()->XDisplay(), Backend()->XWindowOf(Top), w, h);
  RedrawWindow(Top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const TPixels painted = SurfacePixels(Top, w, h);
  if (shown.size() != painted.size() || shown.empty()) return Shot + ": the server gives no picture\n";
  SavePng(shown, w, h, Shot);

  const std::vector<TArea> areas = Areas(Top);
  // Each pixel belongs to the smallest control around it; the last slot is the window itself.
  std::vector<int> differ(areas.size() + 1), unpainted(areas.size() + 1);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      if (shown[i] == painted[i]) continue;
      size_t owner = areas.size();
      long best = 0;
      for (size_t a = 0; a < areas.size(); ++a) {
        const RECT& r = areas[a].R;
        const long size = long(r.right - r.left) * long(r.bottom - r.top);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom && (owner == areas.size() || size < best)) {
          owner = a;
          best = size;
        }
      }
      ++differ[owner];
      if (surface[i] != painted[i]) ++unpainted[owner];
    }
  }
  String report;
  for (size_t a = 0; a <= areas.size(); ++a) {
    if (!differ[a]) continue;
    const String name = a < areas.size() ? areas[a].Name : "the frame and background";
    report += Shot + ": " + name + ": " + IntToStr(differ[a]) + " pixels differ";
    if (a < areas.size()) {
      const RECT& r = areas[a].R;
      report += " in (" + IntToStr(r.left) + "," + IntToStr(r.top) + ")-(" + IntToStr(r.right) + "," +
                IntToStr(r.bottom) + ")";
    }
    report += unpainted[a] ? ", " + IntToStr(unpainted[a]) + " of them never painted into the surface\n"
                           : ", all painted into the surface but not shown\n";
  }
  return report;
}

// Every visible combo box of Top dropped down in turn: its list window is checked like a window.
String CheckDropDowns(HWND Top, const String& Shot) {
  std::vector<HWND> combos;
  EnumChildWindows(
      Top,
      [](HWND h, LPARAM p) -> BOOL {
        COMBOBOXINFO info;  // only combo boxes, subclassed ones too, answer this
        if (IsWindowVisible(h) && IsWindowEnabled(h) && GetComboBoxInfo(h, &info) && info.hwndCombo == h)
          reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      LPARAM(&combos));
  String report;
  for (HWND combo : combos) {
    String name = Describe(combo);
    for (char& c : name)
      if (!isalnum(static_cast<unsigned char>(c))) c = '-';
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    Settle();
    COMBOBOXINFO info;
    GetComboBoxInfo(combo, &info);
    if (!info.hwndList || !IsWindowVisible(info.hwndList)) report += Shot + ": " + name + " does not drop down\n";
    else report += CheckWindow(info.hwndList, Shot + "-" + name + "-list");
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    Settle();
  }
  return report;
}

// Runs Open, which enters a modal loop, and Inside in that loop once Ready
// holds. A timer drives it, since every modal loop dispatches timers.
struct TModalStep {
  std::function<bool()> Ready;
  std::function<void()> Inside;
  std::chrono::steady_clock::time_point Deadline;
  bool Done = false;
  bool TimedOut = false;
};
std::map<UINT_PTR, TModalStep*> steps;

void StepTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  auto it = steps.find(Id);
  if (it == steps.end() || it->second->Done) return;
  TModalStep& s = *it->second;
  if (s.Ready()) {
    s.Done = true;
    KillTimer(nullptr, Id);
    s.Inside();
  } else if (std::chrono::steady_clock::now() > s.Deadline) {
    s.Done = s.TimedOut = true;
    KillTimer(nullptr, Id);
    PostMessageW(GetActiveWindow(), WM_CLOSE, 0, 0);
  }
}

void DuringModal(const std::function<void()>& Open, std::function<bool()> Ready, std::function<void()> Inside) {
  TModalStep s{std::move(Ready), std::move(Inside), std::chrono::steady_clock::now() + std::chrono::seconds(20)};
  const UINT_PTR id = SetTimer(nullptr, 0, 20, StepTimer);
  steps[id] = &s;
  Open();
  KillTimer(nullptr, id);
  steps.erase(id);
  EXPECT_TRUE(s.Done);
  EXPECT_FALSE(s.TimedOut) << "the modal window did not come";
}

// The active window once it is a new one, shown and settled.
std::function<bool()> NewActiveWindow(std::vector<HWND> Known) {
  return [Known] {
    HWND a = GetActiveWindow();
    return a && IsWindowVisible(a) && std::find(Known.begin(), Known.end(), a) == Known.end();
  };
}

// Each case runs without a window manager and with one (GetParam()).
class WindowsDisplayTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetEnvironmentVariable("DISPLAY").empty()) GTEST_SKIP() << "no X display (run under scripts/with-xvfb.sh)";
    if (GetParam() && !(windowManager = StartWindowManager()))
      GTEST_SKIP() << "no window manager could start (scripts/install-deps.sh installs evilwm)";
    root = GetTempDir() + "tarnwick-windows-" + IntToStr(getpid()) + "/";
    ASSERT_TRUE(ForceDirectories(root + "empty"));
    ASSERT_TRUE(ForceDirectories(root + "files/sub"));
    ASSERT_TRUE(ForceDirectories(root + "data"));
    SetEnvironmentVariable("XDG_DATA_HOME", root + "data");
    InitMainThread();
#ifdef TARNWICK_PICTURE_LIBRARY
    dxSetGpLibraryName(TARNWICK_PICTURE_LIBRARY);
#endif
    StartTarnwick();
    form = frmConverter;
    ASSERT_NE(form, nullptr);
    ASSERT_NE(Backend(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return form->Showing(); }, 5000));
    main = form->Handle();
  }
  void TearDown() override {
    if (form) {
      form->Close();
      FinishTarnwick();
      std::filesystem::remove_all(root);
    }
    StopWindowManager(windowManager);
  }
  // The pictures' names tell which case made them.
  String Shot(const String& Name) const { return Name + (GetParam() ? "-wm" : ""); }

  int windowManager = 0;
  String root;
  TfrmConverter* form = nullptr;
  HWND main = nullptr;
};

TEST_P(WindowsDisplayTest, MainWindowAboutWindowAndMessageBox) {
  EXPECT_EQ(CheckWindow(main, Shot("main-window")), "");
  EXPECT_EQ(CheckDropDowns(main, Shot("main-window")), "");

  // Its own size request, then a window manager's (another client resizing its X window).
  const int width = form->Width(), height = form->Height();
  form->SetBounds(form->Left(), form->Top(), width + 120, height + 80);
  EXPECT_EQ(CheckWindow(main, Shot("main-window-resized")), "");
  if (GetParam()) XAskWindowManagerToResize(Backend()->XWindowOf(main), width + 40, height + 30);
  else XResizeFromOutside(Backend()->XWindowOf(main), width + 40, height + 30);
  ASSERT_TRUE(PumpUntil([&] { return form->Width() == width + 40; }, 5000));
  EXPECT_EQ(form->Height(), height + 30);
  EXPECT_EQ(CheckWindow(main, Shot("main-window-resized-from-outside")), "");
  EXPECT_EQ(CheckDropDowns(main, Shot("main-window-resized-from-outside")), "");

  FormAide->Show();
  ASSERT_TRUE(PumpUntil([&] { return FormAide->Showing(); }, 5000));
  EXPECT_EQ(CheckWindow(FormAide->Handle(), Shot("about-window")), "");
  FormAide->Close();

  DuringModal(
      [&] {
        static_cast<IConverterPrompts*>(form)->ShowWarning("The output folder cannot be written.");
      },
      NewActiveWindow({main}),
      [&] {
        HWND box = GetActiveWindow();
        EXPECT_EQ(CheckWindow(box, Shot("message-box")), "");
        PostMessageW(box, WM_CLOSE, 0, 0);
      });
}

TEST_P(WindowsDisplayTest, FileOpenDialogOnAnEmptyFolderAndOnOneWithFiles) {
  TFileStream(root + "files/clip.mp4", fmCreate);
  TFileStream(root + "files/notes.txt", fmCreate);
  for (const char* folder : {"empty", "files"}) {
    String chosen;
    DuringModal([&] { EXPECT_FALSE(form->ChooseMediaFile(root + folder, chosen)); },
                NewActiveWindow({main}),
                [&] {
                  HWND dialog = GetActiveWindow();
                  const String shot = Shot(String("file-open-dialog-") + folder);
                  EXPECT_EQ(CheckWindow(dialog, shot), "");
                  EXPECT_EQ(CheckDropDowns(dialog, shot), "");
                  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                });
  }
}

TEST_P(WindowsDisplayTest, OptionsDialogWithPreviewAndItsChoosers) {
  const String clip = root + "files/clip.avi";
  WriteClip(clip, "testsrc=size=160x120:rate=25:duration=1");
  DuringModal([&] { form->AddFileInteractive(clip); },
              [&] { return form->OptionDialog() && form->OptionDialog()->Showing(); },
              [&] {
                TfrmOption* dialog = form->OptionDialog();
                HWND options = dialog->Handle();
                EXPECT_EQ(CheckWindow(options, Shot("options-dialog")), "");
                EXPECT_EQ(CheckDropDowns(options, Shot("options-dialog")), "");
                String file;
                DuringModal([&] { EXPECT_FALSE(dialog->ChooseWatermark(root + "files", file)); },
                            NewActiveWindow({main, options}),
                            [&] {
                              HWND chooser = GetActiveWindow();
                              EXPECT_EQ(CheckWindow(chooser, Shot("watermark-chooser")), "");
                              PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
                            });
                String folder = root + "files";
                DuringModal([&] { EXPECT_FALSE(dialog->ChooseFolder("Output folder", folder)); },
                            NewActiveWindow({main, options}),
                            [&] {
                              HWND chooser = GetActiveWindow();
                              EXPECT_EQ(CheckWindow(chooser, Shot("folder-dialog")), "");
                              PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
                            });
                dialog->SetModalResult(mrCancel);
              });
  EXPECT_EQ(form->Core().RowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Display, WindowsDisplayTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& Case) {
                           return Case.param ? "WithWindowManager" : "WithoutWindowManager";
                         });

}  // namespace
