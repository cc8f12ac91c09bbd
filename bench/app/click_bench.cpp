// The main window's answer to a click while ten conversions run: ten lavfi
// sources (640x360, 60 s) convert to mpeg4 with one codec thread each,
// Start(10), and each round clicks a row of the task list through the X
// server (XTest) and times until the list has repainted the new selection.
// The engine's progress events repaint the list all along, as in use.
//
// usage: bench_app_click [rounds (default 40)]      (needs DISPLAY)

#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/ConverterFrm.h"
#include "bench/BenchUtil.h"
#include "platform/os/Files.h"
#include "platform/vcl/ListViews.h"
#include "tests/app/XClient.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 40;
  const std::filesystem::path folder = GetTempDir() + "tarnwick-click-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  StartTarnwick();
  TfrmConverter* form = frmConverter;
  TConverterCore& core = form->Core();
  if (!form->RAZeredov->LoadAVLib("")) bench::Die(form->RAZeredov->LastErrMsg());
  for (int i = 0; i < 10; ++i) {
    TInputOptions in;
    TOutputOptions out;
    ResetInputOptions(in);
    ResetOutputOptions(out);
    in.FileName = "testsrc=size=640x360:rate=25:duration=60";
    in.Options = " -f lavfi";
    out.FileName = (folder / ("out" + std::to_string(i) + ".avi")).string();
    out.Options = " -c:v mpeg4 -threads 1";
    if (!core.AddConversionTask(in, out, 60000000, 0)) bench::Die(core.LogStore().Text());
  }
  TListView& list = *dynamic_cast<TListView*>(form->FindComponent("lvFiles"));
  Application->ProcessMessages();
  core.Start("10");
  bench::PrintLoad("before");

  // Only a paint that runs once the clicked row is selected shows the click:
  // the progress events repaint the list all the time.
  bool painted = false;
  TListItem* clicked = nullptr;
  const TWndMethod previous = list.WindowProc;
  list.WindowProc = [&](TMessage& M) {
    const bool showsClick = M.Msg == WM_PAINT && clicked && list.Selected() == clicked;
    previous(M);
    if (showsClick) painted = true;
  };
  std::vector<double> ms;
  for (int i = 0; i < rounds && form->Core().Buttons().Stop; ++i) {
    // Alternate between two rows so that every click changes the selection.
    TListItem* item = list.Items()->Item(i % 2);
    const TRect r = item->DisplayRect(drBounds);
    const TPoint p = list.ClientToScreen(TPoint(r.Left + 20, (r.Top + r.Bottom) / 2));
    Application->ProcessMessages();
    painted = false;
    clicked = item;
    const auto start = bench::Clock::now();
    XClick(p.X, p.Y);
    while (!painted) Application->HandleMessage();
    clicked = nullptr;
    ms.push_back(bench::SecondsSince(start) * 1000);
    // Let progress events in between, as a user's clicks would.
    const auto pause = bench::Clock::now();
    while (bench::SecondsSince(pause) < 0.1) Application->ProcessMessages();
  }
  list.WindowProc = previous;
  // The conditions: how far each conversion came meanwhile.
  String progress;
  for (int i = 0; i < core.RowCount(); ++i) progress += " " + core.Row(i).SubItems[rcCurrentTime];
  std::printf("click on the task list to its repaint, 10 tasks running (media time reached:%s)\n", progress.c_str());
  bench::PrintSpread("click to repaint", ms, " ms");
  bench::PrintLoad("after");
  core.StopQueue();
  form->Close();
  FinishTarnwick();
  std::filesystem::remove_all(folder);
  return 0;
}
