#pragma once
// Small helpers shared by the timed benchmark programs: wall-clock timing,
// min and median of rounds, the machine's load, and where data lives.
//
// Data is either kept under the build folder (TARNWICK_BENCH_DATA), in a file
// whose name carries every parameter it was made from, so that a changed
// definition never meets an old file; or made in a scratch folder under
// TMPDIR that is removed on the way out.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds one call of body takes.
template <typename Body>
double Time(Body&& body) {
  const auto start = Clock::now();
  body();
  return SecondsSince(start);
}

struct TSpread {
  double Min = 0, Median = 0;
};

inline TSpread Spread(std::vector<double> v) {
  if (v.empty()) return {};
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return {v.front(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2};
}

// The 1, 5 and 15 minute load averages, as uptime shows them.
inline std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double a = 0, b = 0, c = 0;
  in >> a >> b >> c;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", a, b, c);
  return text;
}

inline void PrintLoad(const char* when) { std::printf("load average %s: %s\n", when, LoadAverage().c_str()); }

// Prints "name: min X median Y" of the values.
inline void PrintSpread(const char* name, const std::vector<double>& values, const char* unit = "") {
  const TSpread s = Spread(values);
  std::printf("  %-34s min %9.4f%s  median %9.4f%s  (%zu rounds)\n", name, s.Min, unit, s.Median, unit, values.size());
}

[[noreturn]] inline void Die(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

// The folder for data kept between runs (made on first use).
inline std::filesystem::path DataFolder() {
#ifdef TARNWICK_BENCH_DATA
  const std::filesystem::path dir = TARNWICK_BENCH_DATA;
#else
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tarnwick-bench-data";
#endif
  std::filesystem::create_directories(dir);
  return dir;
}

// A fresh folder under TMPDIR (the system's temporary folder without one),
// removed with everything in it when this goes.
class TScratchFolder {
 public:
  explicit TScratchFolder(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) Die("cannot make a folder under TMPDIR for " + name);
    path_ = pattern;
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace bench
