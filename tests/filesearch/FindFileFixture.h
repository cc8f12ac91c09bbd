#pragma once
// A temporary folder tree for the search tests, and a recorder of matches.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "filesearch/FindFile.h"
#include "platform/os/Files.h"

namespace fs = std::filesystem;

// The masks the application uses for a dropped folder.
inline const char* const kVideoMasks =
    "*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;*.RMVB;*.TP;*.TS;"
    "*.VOB;*.WMV";

class TTempTree {
 public:
  TTempTree() {
    String templ = GetTempDir() + "tarnwick-findfile-XXXXXX";
    const char* made = mkdtemp(templ.data());
    if (!made) throw std::runtime_error("mkdtemp failed");
    Root = String(made) + "/";
    chmod(made, 0755);  // readable by the unprivileged child of the permission test
  }
  ~TTempTree() {
    std::error_code ec;
    // Give back permissions taken away by a test so that removal works.
    for (const String& dir : locked_) fs::permissions(dir, fs::perms::owner_all, ec);
    fs::remove_all(Root, ec);
  }
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  // Creates Root + rel (and its folders) holding text.
  void File(const String& rel, const String& text = "x") {
    const fs::path p = fs::path(Root) / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  void Dir(const String& rel) { fs::create_directories(fs::path(Root) / rel); }
  void Link(const String& rel, const String& target) { fs::create_directory_symlink(target, fs::path(Root) / rel); }
  void Lock(const String& rel) {
    const String dir = Root + rel;
    chmod(dir.c_str(), 0);
    locked_.push_back(dir);
  }

  String Root;  // with a trailing '/'

 private:
  std::vector<String> locked_;
};

// The tree most search tests walk: video files in mixed case, other files,
// hidden entries, a folder below the depth of the others, symlinked folders
// (one pointing back at the root) and a folder locked against reading.
inline void BuildMediaTree(TTempTree& t) {
  t.File("clip.mp4");
  t.File("Movie.MKV");
  t.File("show.Avi");
  t.File("notes.txt");
  t.File("song.mp3");
  t.File("noext");
  t.File(".hidden.mp4");
  t.File("sub/a.ts");
  t.File("sub/b.MPEG");
  t.File("sub/c.rmvb.txt");
  t.File("sub/deeper/c.vob");
  t.File("sub/deeper/d.wav");
  t.File(".hiddendir/e.mp4");
  t.File("locked/f.mp4");
  t.Lock("locked");
  t.Link("loop", t.Root);
  t.Link("linkdir", t.Root + "sub");
}

// Relative paths of the video files a search of the media tree must report
// (the locked folder only when it can be read).
inline std::set<String> ExpectedVideos(bool lockedReadable) {
  std::set<String> s = {"clip.mp4", "Movie.MKV", "show.Avi", "sub/a.ts", "sub/b.MPEG", "sub/deeper/c.vob"};
  if (lockedReadable) s.insert("locked/f.mp4");
  return s;
}

// Collects the matches of a search as paths relative to root, in order.
struct TMatchLog {
  String Root;
  std::vector<String> Paths;

  void Bind(TFindFile& ff) {
    ff.OnFileMatch = [this](TObject*, TFileDetails& d) {
      String full = d.Location + d.Name;
      Paths.push_back(full.rfind(Root, 0) == 0 ? full.substr(Root.size()) : full);
    };
  }
  std::set<String> Set() const { return {Paths.begin(), Paths.end()}; }
};

// Runs body in a forked child (after setup, which may change the child's
// user or mounts) and returns what body returned; nullopt when setup failed.
// Lets tests take away root's rights or mount a loop without touching the
// test process.
inline std::optional<String> RunInChild(const std::function<bool()>& setup, const std::function<String()>& body) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    if (!setup()) _exit(77);
    const String out = body();
    const bool ok = write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    _exit(ok ? 0 : 1);
  }
  close(fds[1]);
  String out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) throw std::runtime_error("child crashed");
  if (WEXITSTATUS(status) == 77) return std::nullopt;
  if (WEXITSTATUS(status) != 0) throw std::runtime_error("child failed");
  return out;
}

// A set of paths as one line each, for passing through RunInChild.
inline String Lines(const std::set<String>& paths) {
  String out;
  for (const String& p : paths) out += p + "\n";
  return out;
}
