// The main window's logic with a fake encoder, decoder and user: the button
// states through a batch, the rows and their two lists through failures,
// the end-of-queue banner, dropped names and folders, and the list texts.

#include "app/ConverterCore.h"

#include <gtest/gtest.h>

#include "app/ConverterText.h"
#include "app/Locale.h"
#include "app/mo_en.h"
#include "platform/os/Files.h"
#include "platform/os/System.h"
#include "tests/app/ConverterFakes.h"

namespace {

TConverterButtons Buttons(const char* States) {
  // "ARCSTPZN": Add Remove Clear Start sTop Pause resume(Z) task couNt; lower case = off.
  TConverterButtons b;
  bool* flags[] = {&b.Add, &b.Remove, &b.Clear, &b.Start, &b.Stop, &b.Pause, &b.Resume, &b.TaskCount};
  for (int i = 0; i < 8; ++i) *flags[i] = States[i] >= 'A' && States[i] <= 'Z';
  return b;
}

class ConverterCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearLocales();
    RegisterEnglishLocale();
    SelectLocale(0);
    prompts.Inspector = &inspector;
    inspector.Durations = {{"/v/a.mp4", 90 * 60 * 1000000LL}, {"/v/b.mkv", 0}, {"/v/c.avi", 5000000},
                           {"/v/refuse-input.mp4", 1000000}};
  }
  void TearDown() override { ClearLocales(); }

  // The four parallel things agree.
  void ExpectInStep() {
    const size_t n = engine.Tasks.size();
    EXPECT_EQ(size_t(core.RowCount()), n);
    EXPECT_EQ(view.Rows.size(), n);
    EXPECT_EQ(size_t(core.FolderList().Count()), n);
    EXPECT_EQ(size_t(core.OutFileList().Count()), n);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(core.Row(int(i)).Caption, ExtractFileName(engine.Tasks[i]));
      EXPECT_EQ(core.OutFileList()[int(i)], engine.Tasks[i] + ".out.mp4");
    }
  }
  std::vector<String> LogTail(int Count) const {
    std::vector<String> out;
    for (int i = std::max(0, core.LogStore().Count() - Count); i < core.LogStore().Count(); ++i)
      out.push_back(core.LogStore().Line(i));
    return out;
  }

  TFakeEngine engine;
  TFakeInspector inspector;
  TFakeView view;
  TFakePrompts prompts;
  TConverterCore core{engine, inspector, view, prompts};
};

TEST_F(ConverterCoreTest, ButtonStatesThroughABatch) {
  ASSERT_TRUE(core.GiveBackMemory);
  int givenBack = 0;
  core.GiveBackMemory = [&] { ++givenBack; };
  EXPECT_EQ(core.Buttons(), Buttons("ArcstpzN"));
  EXPECT_EQ(view.Buttons, core.Buttons());

  core.AddFileInteractive("/v/a.mp4");
  core.AddFileInteractive("/v/c.avi");
  EXPECT_EQ(core.Buttons(), Buttons("ARCStpzN"));
  ExpectInStep();

  core.Start("2");
  EXPECT_EQ(engine.StartedWith, 2);
  EXPECT_EQ(core.Buttons(), Buttons("arcsTPzn"));
  core.Pause();
  EXPECT_EQ(core.Buttons(), Buttons("arcsTpZn"));
  core.Resume();
  EXPECT_EQ(core.Buttons(), Buttons("arcsTPzn"));

  engine.Progress(1, 2500000, 5000000, 25, 3 * 1024 * 1024 / 2);
  EXPECT_EQ(view.Rows[1].SubItems[rcProgress], "50%");
  EXPECT_EQ(view.Rows[1].SubItems[rcFPS], "25");
  EXPECT_EQ(view.Rows[1].SubItems[rcCurrentTime], "00:00:02");
  EXPECT_EQ(view.Rows[1].SubItems[rcOutputSize], "1.5 MB");
  engine.Progress(1, 3000000, 5000000, 0, 0);  // no rate: the last one stays
  EXPECT_EQ(view.Rows[1].SubItems[rcFPS], "25");

  // The second row's task fails: a warning, no 100 %, not playable.
  engine.End(1, false, "Error while decoding stream #0:0");
  EXPECT_EQ(prompts.Warnings, std::vector<String>{"Error while decoding stream #0:0"});
  EXPECT_EQ(view.Rows[1].SubItems[rcProgress], "60%");
  EXPECT_FALSE(core.Playable(1));
  EXPECT_EQ(view.QueueEnds, 0);  // the last row's task ended, the first still runs

  engine.End(0, true);
  EXPECT_EQ(view.Rows[0].SubItems[rcProgress], "100%");
  EXPECT_TRUE(core.Playable(0));
  EXPECT_EQ(LogTail(3), (std::vector<String>{" ", "## File Converted: a.mp4.out.mp4", " "}));
  EXPECT_EQ(core.Buttons(), Buttons("arcsTPzn"));

  engine.End(-1, false);
  EXPECT_EQ(core.Buttons(), Buttons("arCstpzn"));
  EXPECT_EQ(view.QueueEnds, 1);
  EXPECT_EQ(givenBack, 1);  // the batch's memory goes back once the queue ends
  EXPECT_EQ(LogTail(5), (std::vector<String>{" ", String(47, '#'),
                                            "#" + String(10, ' ') + "All Tasks Finished " + String(14, ' '),
                                            String(47, '#'), " "}));

  core.Clear();
  EXPECT_EQ(givenBack, 2);  // and again with Clear
  EXPECT_EQ(core.Buttons(), Buttons("ArcstpzN"));
  EXPECT_EQ(core.LogStore().Count(), 0);
  EXPECT_EQ(view.LogLines, 0);
  ExpectInStep();
  EXPECT_EQ(engine.Tasks.size(), 0u);
}

TEST_F(ConverterCoreTest, StopAndTaskCountChoices) {
  core.AddFileInteractive("/v/a.mp4");
  for (auto [text, count] : std::vector<std::pair<const char*, int>>{
           {"1", 1}, {"10", 10}, {"0", 1}, {"", 1}, {"x", 1}, {"12", 10}, {" 3 ", 3}}) {
    core.Start(text);
    EXPECT_EQ(engine.StartedWith, count) << text;
  }
  core.StopQueue();
  EXPECT_FALSE(core.Buttons().Stop);
  EXPECT_TRUE(core.Buttons().Pause);
  EXPECT_EQ(engine.Calls.back(), "Stop(wait)");
  // A stopped task that raised nothing is playable.
  engine.End(0, false);
  EXPECT_TRUE(core.Playable(0));
  EXPECT_TRUE(prompts.Warnings.empty());
}

TEST_F(ConverterCoreTest, RowsTasksAndListsStayInStepThroughFailures) {
  core.AddFileInteractive("/v/a.mp4");
  // The encoder refuses the output: its task goes again, nothing is added.
  prompts.Output = "/out/refuse-output.mp4";
  core.AddFileInteractive("/v/c.avi");
  EXPECT_EQ(engine.Calls.back(), "RemoveTask(1)");
  EXPECT_EQ(LogTail(3), (std::vector<String>{"", "***Cannot do convert: cannot write /out/refuse-output.mp4", ""}));
  prompts.Output.clear();
  ExpectInStep();
  // The encoder refuses the input.
  core.AddFileInteractive("/v/refuse-input.mp4");
  EXPECT_EQ(LogTail(3)[1], "***File open error: cannot open /v/refuse-input.mp4");
  ExpectInStep();
  // The decoder cannot open the file: no dialog.
  const size_t dialogs = prompts.Dialogs.size();
  core.AddFileInteractive("/v/missing.mp4");
  EXPECT_EQ(LogTail(3)[1], "***File load error: Invalid data found when processing input");
  EXPECT_EQ(prompts.Dialogs.size(), dialogs);
  // Cancelled: nothing added, the file is closed all the same.
  prompts.Ok = false;
  const int closes = inspector.Closes;
  core.AddFileInteractive("/v/c.avi");
  EXPECT_EQ(inspector.Closes, closes + 1);
  EXPECT_TRUE(inspector.Open.empty());
  prompts.Ok = true;
  ExpectInStep();
  EXPECT_EQ(core.RowCount(), 1);

  core.AddFileInteractive("/v/b.mkv");
  core.AddFileInteractive("/v/c.avi");
  core.RemoveRow(1);
  ExpectInStep();
  EXPECT_EQ(core.Row(1).Caption, "c.avi");
  EXPECT_EQ(core.FolderList()[1], "/v/");
  core.RemoveRow(0);
  core.RemoveRow(0);
  EXPECT_EQ(core.Buttons(), Buttons("ArcstpzN"));
  ExpectInStep();
}

TEST_F(ConverterCoreTest, LibrariesAndTheOpenDialog) {
  engine.Loaded = false;
  engine.LoadFails = true;
  core.LibAVDir = "/opt/libav";
  core.AddFileInteractive("/v/a.mp4");
  EXPECT_EQ(engine.Calls, std::vector<String>{"LoadAVLib(/opt/libav)"});
  EXPECT_EQ(LogTail(1)[0], "Load library avutil error");
  EXPECT_TRUE(prompts.Dialogs.empty());

  engine.LoadFails = false;
  core.MesVideos = "/home/u/Videos/";
  prompts.ChosenFile.clear();  // cancelled
  core.AddFileInteractive("  ");
  EXPECT_EQ(prompts.InitialDir, "/home/u/Videos/");
  EXPECT_EQ(core.RowCount(), 0);
  prompts.ChosenFile = "/v/c.avi";
  core.AddFileInteractive("");
  EXPECT_EQ(core.RowCount(), 1);
  EXPECT_EQ(core.DossierVideos, "/v/");
  core.AddFileInteractive("");
  EXPECT_EQ(prompts.InitialDir, "/v/");
}

TEST_F(ConverterCoreTest, RowTexts) {
  inspector.Size = 1536LL * 1024 * 1024;
  core.AddFileInteractive("/v/a.mp4");
  inspector.Size = 999LL * 1024 * 1024;
  core.AddFileInteractive("/v/b.mkv");
  EXPECT_EQ(core.Row(0).SubItems[rcTotalTime], "01:30:00");
  EXPECT_EQ(core.Row(0).SubItems[rcInputSize], "1.5 GB");
  EXPECT_EQ(core.Row(0).SubItems[rcOutput], "a.mp4.out.mp4");
  EXPECT_EQ(core.Row(1).SubItems[rcTotalTime], "N/A");
  EXPECT_EQ(core.Row(1).SubItems[rcInputSize], "999 MB");
  for (int i = rcProgress; i <= rcOutputSize; ++i) EXPECT_EQ(core.Row(0).SubItems[i], "");
  EXPECT_EQ(LogTail(3), (std::vector<String>{"", "***File has been added to convert list", ""}));
}

TEST_F(ConverterCoreTest, BannerComesWithTheEndOfTheQueueOnly) {
  for (const char* f : {"/v/a.mp4", "/v/b.mkv", "/v/c.avi"}) core.AddFileInteractive(f);
  core.Start("2");
  engine.End(0, true);
  engine.End(2, true);  // the last row's task ends while the second still runs
  EXPECT_EQ(view.QueueEnds, 0);
  EXPECT_NE(LogTail(2)[0], String(47, '#'));
  EXPECT_TRUE(core.Buttons().Stop);
  engine.End(1, true);
  engine.End(-1, false);
  EXPECT_EQ(view.QueueEnds, 1);
  EXPECT_EQ(LogTail(2)[0], String(47, '#'));
}

TEST_F(ConverterCoreTest, TheTargetRowOfTheListCommands) {
  EXPECT_EQ(core.TargetRow(-1), -1);
  core.AddFileInteractive("/v/a.mp4");
  core.AddFileInteractive("/v/c.avi");
  EXPECT_EQ(core.TargetRow(-1), 1);
  EXPECT_EQ(core.TargetRow(0), 0);
  EXPECT_EQ(core.TargetRow(7), 1);
}

TEST_F(ConverterCoreTest, DropsAndTheirRouting) {
  const String root = GetTempDir() + "tarnwick-drop-" + IntToStr(getpid()) + "/";
  // A folder whose name the search's folder syntax would otherwise read.
  const String odd = root + "a;b >c <d /";
  ASSERT_TRUE(ForceDirectories(odd + "sub"));
  for (const char* f : {"one.mp4", "sub/two.MKV", "song.mp3", "notes.txt"}) {
    TFileStream(odd + f, fmCreate);
    inspector.Durations[odd + f] = 1000000;
  }
  inspector.Durations["/v/clip.mp4"] = 1000000;
  inspector.Durations["/v/CLIP.MP4"] = 1000000;

  TFindFile finder(nullptr);
  finder.OnSearchBegin = [&](TObject*) { core.SetSearching(true); };
  finder.OnSearchFinish = [&](TObject*) { core.SetSearching(false); };
  finder.OnFileMatch = [&](TObject*, TFileDetails& F) { core.AddFileInteractive(F.Location + F.Name); };
  bool startDuringSearch = true;
  prompts.DuringDialog = [&] { startDuringSearch = startDuringSearch && core.Searching() && !core.Buttons().Start; };
  const auto search = [&](const String& Folder) {
    TConverterCore::SetFolderSearch(finder, Folder);
    finder.Execute();
  };

  // Files: exact extension match only; then the folder: its video files.
  core.HandleDrop({"/v/clip.mp4", "/v/notes.txt", "/v/README", "/v/x.MP", "/v/y.M", "/v/CLIP.MP4", odd}, search);
  std::vector<String> dialogs = prompts.Dialogs;
  std::sort(dialogs.begin() + 2, dialogs.end());
  EXPECT_EQ(dialogs, (std::vector<String>{"/v/clip.mp4", "/v/CLIP.MP4", odd + "one.mp4", odd + "sub/two.MKV"}));
  EXPECT_FALSE(startDuringSearch);  // the first dialogs came before the search
  EXPECT_TRUE(core.Buttons().Start);
  ExpectInStep();

  // While a search runs a second folder is ignored.
  core.SetSearching(true);
  EXPECT_FALSE(core.Buttons().Start);
  core.HandleDrop({odd}, search);
  EXPECT_EQ(prompts.Dialogs.size(), 4u);
  core.SetSearching(false);
  EXPECT_TRUE(core.Buttons().Start);

  // While the queue works and until Clear nothing is taken, and the log says so.
  core.Start("1");
  core.HandleDrop({"/v/clip.mp4", odd}, search);
  EXPECT_EQ(prompts.Dialogs.size(), 4u);
  EXPECT_EQ(LogTail(1)[0], "*** Files cannot be added while the tasks run.");
  const int lines = core.LogStore().Count();
  core.HandleDrop({"/v/notes.txt"}, search);  // nothing to take: nothing to say
  EXPECT_EQ(core.LogStore().Count(), lines);
  engine.End(-1, false);
  core.HandleDrop({"/v/clip.mp4"}, search);
  EXPECT_EQ(LogTail(1)[0], "*** Files cannot be added to a finished list: clear it first.");
  core.Clear();
  core.HandleDrop({"/v/clip.mp4"}, search);
  EXPECT_EQ(prompts.Dialogs.size(), 5u);

  // A drop that arrives while an options dialog is open opens no second one.
  prompts.DuringDialog = [&] { core.HandleDrop({"/v/CLIP.MP4"}, search); };
  core.HandleDrop({"/v/clip.mp4"}, search);
  EXPECT_EQ(prompts.Dialogs.size(), 6u);
  EXPECT_EQ(LogTail(4)[0], "*** Files cannot be added while the options of another file are open.");
  ExpectInStep();

  for (const char* f : {"one.mp4", "sub/two.MKV", "song.mp3", "notes.txt"}) DeleteFile(odd + f);
  RemoveDir(odd + "sub");
  RemoveDir(odd);
  RemoveDir(root);
}

TEST(ConverterTextTest, TimesSizesAndProgress) {
  const TFormatSettings saved = FormatSettings();
  struct Case {
    char Separator;
    int64_t Bytes;
    const char* Text;
  };
  for (const Case& c : {Case{'.', 1536LL << 20, "1.5 GB"}, Case{',', 1536LL << 20, "1,5 GB"},
                        Case{'.', 999LL << 20, "999 MB"}, Case{',', 1000LL << 20, "1000 MB"},
                        Case{',', 1001LL << 20, "0,98 GB"}, Case{',', 1310720, "1,25 MB"}, Case{'.', 0, "0 MB"},
                        Case{',', 5LL << 40, "5120 GB"}}) {
    FormatSettings().DecimalSeparator = c.Separator;
    EXPECT_EQ(FileSizeText(c.Bytes), c.Text) << c.Bytes;
  }
  FormatSettings() = saved;

  EXPECT_EQ(FormatHMS(0), "00:00:00");
  EXPECT_EQ(FormatHMS(59), "00:00:59");
  EXPECT_EQ(FormatHMS(90 * 60), "01:30:00");
  EXPECT_EQ(FormatHMS(26 * 3600), "26:00:00");
  EXPECT_EQ(FormatHMS(1000 * 3600 + 61), "1000:01:01");
  EXPECT_EQ(FormatHMS(-5), "00:00:00");
  EXPECT_EQ(TotalTimeText(0), "N/A");
  EXPECT_EQ(TotalTimeText(-1), "N/A");
  EXPECT_EQ(TotalTimeText(1999999), "00:00:01");
  EXPECT_EQ(ProgressText(1, 3), "33%");
  EXPECT_EQ(ProgressText(5, 0), "N/A");
  EXPECT_EQ(ProgressText(int64_t(1) << 50, int64_t(1) << 51), "50%");
  EXPECT_EQ(FormatTimeStamp(3723456789LL), "01:02:03.456");
  EXPECT_EQ(FormatTimeStamp(0), "00:00:00.000");
  EXPECT_EQ(FormatTimeStamp(100LL * 3600 * 1000000), "100:00:00.000");
}

TEST(ConverterTextTest, AcceptedNames) {
  for (const char* name : {"clip.mp4", "CLIP.MP4", "a.Rm", "b.rmvb", "c.mpeg", "d.3gp", "x/y.z/e.wma"})
    EXPECT_TRUE(IsAcceptedFileName(name)) << name;
  for (const char* name : {"notes.txt", "README", "a.", "a.M", "a.MP", "a.P4", "a.MP4X", "a.RM,", "dir.mp4/file",
                           "a.AC", "a.3G", ".", ""})
    EXPECT_FALSE(IsAcceptedFileName(name)) << name;
}

}  // namespace

namespace {

// The data folder comes from XDG_DATA_HOME; one that cannot be made is no failure.
TEST(ConverterFoldersTest, ApplicationDataFolder) {
  const String saved = GetEnvironmentVariable("XDG_DATA_HOME");
  const String root = GetTempDir() + "tarnwick-data-" + IntToStr(getpid()) + "/";
  ASSERT_TRUE(ForceDirectories(root));
  SetEnvironmentVariable("XDG_DATA_HOME", root + "share");
  const TUserFolders folders = InitDossiers("/opt/tarnwick/");
  EXPECT_EQ(folders.AppData, root + "share/");
  EXPECT_TRUE(CreateAppDataFolder(folders.AppData));
  EXPECT_TRUE(DirectoryExists(root + "share/Tarnwick"));
  EXPECT_TRUE(CreateAppDataFolder(folders.AppData));  // already there
  // A file where the folder would go.
  TFileStream(root + "file", fmCreate);
  EXPECT_FALSE(CreateAppDataFolder(root + "file/"));
  EXPECT_EQ(LibAVFolder(root), "");
  ASSERT_TRUE(CreateDir(root + "LibAV"));
  EXPECT_EQ(LibAVFolder(root), root + "LibAV");
  if (saved.empty())
    UnsetEnvironmentVariable("XDG_DATA_HOME");
  else
    SetEnvironmentVariable("XDG_DATA_HOME", saved);
  RemoveDir(root + "LibAV");
  RemoveDir(root + "share/Tarnwick");
  RemoveDir(root + "share");
  DeleteFile(root + "file");
  RemoveDir(root);
}

TEST_F(ConverterCoreTest, PlayAndOpenFolderTargets) {
  const String root = GetTempDir() + "tarnwick-play-" + IntToStr(getpid()) + "/";
  ASSERT_TRUE(ForceDirectories(root));
  inspector.Durations[root + "a.mp4"] = 1000000;
  inspector.Durations[root + "b.mp4"] = 1000000;
  core.AddFileInteractive(root + "a.mp4");
  core.AddFileInteractive(root + "b.mp4");
  EXPECT_EQ(core.OutputFolder(-1), root);
  EXPECT_EQ(core.PlayableFile(0), "");  // not converted yet
  core.Start("1");
  engine.End(0, true);
  EXPECT_EQ(core.PlayableFile(0), "");  // converted, but the file is gone
  TFileStream(root + "a.mp4.out.mp4", fmCreate);
  EXPECT_EQ(core.PlayableFile(0), root + "a.mp4.out.mp4");
  EXPECT_EQ(core.PlayableFile(-1), "");  // the last row's is not playable
  DeleteFile(root + "a.mp4.out.mp4");
  RemoveDir(root);
  EXPECT_EQ(core.OutputFolder(0), "");
}

}  // namespace
