// Times a search for the application's twenty video masks over a generated
// tree of 100,000 files in 2,000 folders, next to a bare
// std::filesystem::recursive_directory_iterator walk doing the same
// case-insensitive extension test, and prints both and their ratio.
//
// usage: filesearch_bench [video files in every N (default 4)] [tree folder]
// The tree is made under /tmp once per mix and reused by later runs.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "filesearch/FindFile.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 2000;
constexpr int kFilesPerFolder = 50;
constexpr int kGroups = 40;  // top folders, each holding 49 of the others

constexpr std::array<const char*, 20> kVideoExts = {"3gp", "asf", "avi", "avm", "avs", "dat",  "flv", "mkv", "mov", "mp4",
                                                    "mpeg", "mpg", "nsv", "ogm", "rm",  "rmvb", "tp",  "ts",  "vob", "wmv"};
constexpr std::array<const char*, 10> kOtherExts = {"txt", "jpg", "png", "mp3", "wav", "doc", "srt", "nfo", "flac", "iso"};
constexpr const char* kMasks =
    "*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;"
    "*.VOB;*.WMV";

// Every videoEvery-th file gets a video extension (a third of all in upper case).
void MakeTree(const fs::path& root, int videoEvery) {
  const fs::path done = root / ".complete";
  if (fs::exists(done)) return;
  fs::remove_all(root);
  int file = 0;
  for (int g = 0; g < kGroups; ++g) {
    const fs::path group = root / ("group" + std::to_string(g));
    for (int d = 0; d < kFolders / kGroups; ++d) {
      const fs::path dir = d == 0 ? group : group / ("folder" + std::to_string(d));
      fs::create_directories(dir);
      for (int f = 0; f < kFilesPerFolder; ++f, ++file) {
        std::string ext = file % videoEvery == 0 ? kVideoExts[(file / videoEvery) % kVideoExts.size()]
                                                 : kOtherExts[file % kOtherExts.size()];
        if (file % 3 == 0) std::transform(ext.begin(), ext.end(), ext.begin(), ::toupper);
        std::ofstream(dir / ("file" + std::to_string(f) + "." + ext));
      }
    }
  }
  std::ofstream{done};
}

bool IsVideoName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot - 1 > 4) return false;
  std::string ext(name.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
  return std::find(kVideoExts.begin(), kVideoExts.end(), ext) != kVideoExts.end();
}

size_t BareWalk(const fs::path& root) {
  size_t n = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_directory() && IsVideoName(e.path().filename().native())) ++n;
  }
  return n;
}

size_t ComponentSearch(const fs::path& root) {
  size_t n = 0;
  TFindFile ff(nullptr);
  ff.Criteria().Files().SetFileName(kMasks);
  ff.Criteria().Files().SetLocation(root.string());
  ff.OnFileMatch = [&n](TObject*, TFileDetails&) { ++n; };
  ff.Execute();
  return n;
}

// Best of five runs after a warm-up, in milliseconds.
template <typename F>
double BestMs(F run, size_t& result) {
  result = run();
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    result = run();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int videoEvery = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
  const fs::path root = argc > 2 ? fs::path(argv[2])
                                 : fs::path("/tmp/tarnwick-findfile-bench-" + std::to_string(videoEvery));
  BuildCaseTables();
  MakeTree(root, videoEvery);
  size_t bareCount = 0, searchCount = 0;
  const double bare = BestMs([&] { return BareWalk(root); }, bareCount);
  const double search = BestMs([&] { return ComponentSearch(root); }, searchCount);
  std::printf("tree %s: %d files in %d folders, 1 in %d a video\n", root.c_str(), kFolders * kFilesPerFolder, kFolders,
              videoEvery);
  std::printf("bare recursive_directory_iterator walk: %8.1f ms  (%zu matches)\n", bare, bareCount);
  std::printf("TFindFile search, twenty video masks:   %8.1f ms  (%zu matches)\n", search, searchCount);
  std::printf("ratio: %.2f (goal: at most 1.5)\n", search / bare);
  return bareCount == searchCount ? 0 : 1;
}
