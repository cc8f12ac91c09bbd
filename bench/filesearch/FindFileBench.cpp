// Times a search for the application's twenty video masks over a generated
// tree of 100,000 files in 2,000 folders, next to a plain readdir walk (the
// entry type from d_type, no status calls) doing the same case-insensitive
// extension test. Three cases, each against its own bare walk:
//   every file a video, names only;
//   one file in four a video, names only;
//   with a size bound (every file, then one in four a video), against
//   readdir plus one statx per file whose name passes (a search asks for
//   the status of the names it selects only, so both make the same calls).
// The sides take turns inside every round (their order swapping each round);
// the program prints the minimum and median time of each and of the ratio.
//
// usage: filesearch_bench [rounds (default 9)]
// The trees are kept under the build folder, named by their definition.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/BenchUtil.h"
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

// Every videoEvery-th file gets a video extension (a third of all in upper
// case); each file holds a few bytes.
fs::path MakeTree(int videoEvery) {
  const fs::path root = bench::DataFolder() / ("findfile-tree-" + std::to_string(kGroups) + "x" +
                                               std::to_string(kFolders / kGroups) + "-folders-" +
                                               std::to_string(kFilesPerFolder) + "-files-video-1-in-" +
                                               std::to_string(videoEvery) + "-v2");
  const fs::path done = root / ".complete";
  if (fs::exists(done)) return root;
  std::printf("making %s ...\n", root.c_str());
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
        std::ofstream(dir / ("file" + std::to_string(f) + "." + ext)) << "data " << file;
      }
    }
  }
  std::ofstream{done};
  return root;
}

bool IsVideoName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot - 1 > 4) return false;
  std::string ext(name.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
  return std::find(kVideoExts.begin(), kVideoExts.end(), ext) != kVideoExts.end();
}

// The plain walk: readdir, d_type for folders; with withStatus one statx per
// file whose name passes (as a size criterion needs), counting files that
// also pass maxSize.
size_t BareWalk(const std::string& folder, bool withStatus, int64_t maxSize) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  size_t n = 0;
  while (const dirent* e = readdir(dir)) {
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    if (e->d_type == DT_DIR) {
      n += BareWalk(folder + "/" + name, withStatus, maxSize);
      continue;
    }
    if (name[0] == '.' || !IsVideoName(name)) continue;
    if (withStatus) {
      // The fields a search's description of an entry asks for.
      constexpr unsigned mask =
          STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
      struct statx st {};
      if (statx(dirfd(dir), name, AT_SYMLINK_NOFOLLOW, mask, &st) != 0) continue;
      if (int64_t(st.stx_size) > maxSize) continue;
    }
    ++n;
  }
  closedir(dir);
  return n;
}

size_t ComponentSearch(const fs::path& root, int64_t maxSize) {
  size_t n = 0;
  TFindFile ff(nullptr);
  ff.Criteria().Files().SetFileName(kMasks);
  ff.Criteria().Files().SetLocation(root.string());
  ff.Criteria().Size().Max = maxSize;
  ff.OnFileMatch = [&n](TObject*, TFileDetails&) { ++n; };
  ff.Execute();
  return n;
}

struct TCase {
  const char* Name;
  int VideoEvery;
  bool Sized;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  BuildCaseTables();
  const TCase cases[] = {{"every file a video, names only", 1, false},
                         {"one in four a video, names only", 4, false},
                         {"every file, size bound (bare: + statx)", 1, true},
                         {"one in four, size bound (bare: + statx of matches)", 4, true}};
  constexpr int kCases = int(std::size(cases));
  std::vector<double> bareMs[kCases], searchMs[kCases], ratio[kCases];
  size_t counts[kCases][2] = {};
  fs::path roots[kCases];
  for (int c = 0; c < kCases; ++c) roots[c] = MakeTree(cases[c].VideoEvery);
  // A size bound every file passes: the walk must still ask for each status.
  constexpr int64_t kMaxSize = int64_t(1) << 40;
  for (int c = 0; c < kCases; ++c) {  // warm the caches
    BareWalk(roots[c].string(), cases[c].Sized, kMaxSize);
    ComponentSearch(roots[c], cases[c].Sized ? kMaxSize : 0);
  }
  bench::PrintLoad("before");
  for (int round = 0; round < rounds; ++round) {
    for (int c = 0; c < kCases; ++c) {
      const int64_t bound = cases[c].Sized ? kMaxSize : 0;
      const auto bare = [&] { counts[c][0] = BareWalk(roots[c].string(), cases[c].Sized, kMaxSize); };
      const auto search = [&] { counts[c][1] = ComponentSearch(roots[c], bound); };
      double b, s;
      if (round % 2 == 0) {
        b = bench::Time(bare);
        s = bench::Time(search);
      } else {
        s = bench::Time(search);
        b = bench::Time(bare);
      }
      bareMs[c].push_back(1000 * b);
      searchMs[c].push_back(1000 * s);
      ratio[c].push_back(s / b);
    }
  }
  bench::PrintLoad("after");
  std::printf("%d files in %d folders; %d interleaved rounds; times in ms\n", kFolders * kFilesPerFolder, kFolders,
              rounds);
  bool agree = true;
  for (int c = 0; c < kCases; ++c) {
    std::printf("%s: %zu matches (bare walk %zu)\n", cases[c].Name, counts[c][1], counts[c][0]);
    bench::PrintSpread("bare walk", bareMs[c]);
    bench::PrintSpread("TFindFile", searchMs[c]);
    bench::PrintSpread("ratio TFindFile / bare", ratio[c]);
    agree = agree && counts[c][0] == counts[c][1];
  }
  std::printf("goal: ratio at most 1.5\n");
  return agree ? 0 : 1;
}
