// Appending a line to a memo that already holds many: the cost must not grow
// with what the memo holds (a log appends lines for hours).

#include <benchmark/benchmark.h>

#include "platform/os/Threads.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Backend.h"

namespace {

void AppendToMemo(benchmark::State& state) {
  InitMainThread();
  ResetWindowLayer();
  SetWindowBackend(std::make_unique<THeadlessBackend>());
  {
    TForm form(nullptr);
    form.SetBounds(0, 0, 600, 400);
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->SetAlign(alClient);
    memo->SetScrollBars(ssVertical);  // word wrap on, as the log has it
    form.Show();
    const String line = "#140213.32: frame=  812 fps= 61 q=28.0 size=    2048kB time=00:00:27.06 bitrate= 620.0kbits/s";
    for (int64_t i = 0; i < state.range(0); ++i) memo->Lines()->Add(line);
    for (auto _ : state) memo->Lines()->Add(line);
    state.counters["lines"] = double(memo->Lines()->Count());
  }
  ResetWindowLayer();
}

BENCHMARK(AppendToMemo)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
