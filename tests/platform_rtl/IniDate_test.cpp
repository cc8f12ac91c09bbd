#include "platform/rtl/DateUtils.h"
#include "platform/rtl/IniFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// The user's decimal separator set to a comma for one test.
class ScopedComma {
 public:
  ScopedComma() : saved_(FormatSettings()) { FormatSettings().DecimalSeparator = ','; }
  ~ScopedComma() { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

class RtlIniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    String pattern = (fs::temp_directory_path() / "ini-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    path_ = dir_ + "/settings.ini";
    std::ofstream out(path_, std::ios::binary);
    out << "\xEF\xBB\xBF"
           "; written by hand\r\n"
           "[Video]\r\n"
           "Codec = h264 \r\n"
           "# a second comment style\r\n"
           "Bitrate=800\r\n"
           "codec=duplicate\r\n"
           "Scale=0.75\r\n"
           "Flag=true\r\n"
           "Hex=$1F\r\n"
           "\r\n"
           "[ Audio ]\r\n"
           "Rate=44100\r\n"
           "[video]\r\n"
           "Extra=1\r\n";
  }
  void TearDown() override { fs::remove_all(dir_); }

  String dir_, path_;
};

TEST_F(RtlIniFile, ReadsSectionsCommentsAndDuplicates) {
  TMemIniFile ini(path_);
  EXPECT_EQ(ini.ReadString("video", "CODEC", "none"), "h264");  // first key wins, trimmed
  EXPECT_EQ(ini.ReadInteger("Video", "Bitrate", 0), 800);
  EXPECT_EQ(ini.ReadInteger("Video", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Video", "Codec", -1), -1);  // not a number
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Video", "Scale", 0), 0.75);
  EXPECT_TRUE(ini.ReadBool("Video", "Flag", false));
  EXPECT_EQ(ini.ReadInteger("Audio", "Rate", 0), 44100);
  EXPECT_EQ(ini.ReadString("Video", "; written by hand", "x"), "x");
  EXPECT_EQ(ini.ReadString("Missing", "Key", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("Video", "Extra", 0), 1);  // a repeated section reads as part of the first
  EXPECT_TRUE(ini.SectionExists("AUDIO"));
  EXPECT_FALSE(ini.SectionExists("Subtitles"));
  EXPECT_TRUE(ini.ValueExists("Video", "scale"));

  TStringList names;
  ini.ReadSections(names);
  EXPECT_EQ(names.CommaText(), "Video,Audio");
  ini.ReadSection("Video", names);
  EXPECT_EQ(names.CommaText(), "Codec,Bitrate,codec,Scale,Flag,Hex,Extra");
  ini.ReadSectionValues("Audio", names);
  EXPECT_EQ(names.CommaText(), "Rate=44100");
}

TEST_F(RtlIniFile, WritesBackKeepingCommentsAndMark) {
  {
    TMemIniFile ini(path_);
    ini.WriteString("Video", "codec", "vp9");
    ini.WriteInteger("Audio", "Channels", 2);
    ini.WriteFloat("New", "Gain", 1.5);
    ini.WriteBool("New", "On", false);
    ini.DeleteKey("Video", "Bitrate");
    ini.EraseSection("Nothing");
    ini.UpdateFile();
  }
  std::ifstream in(path_, std::ios::binary);
  String text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text,
            "\xEF\xBB\xBF"
            "; written by hand\n"
            "[Video]\n"
            "Codec=vp9\n"
            "# a second comment style\n"
            "codec=duplicate\n"
            "Scale=0.75\n"
            "Flag=true\n"
            "Hex=$1F\n"
            "\n"
            "[Audio]\n"
            "Rate=44100\n"
            "Channels=2\n"
            "\n"
            "[video]\n"
            "Extra=1\n"
            "\n"
            "[New]\n"
            "Gain=1.5\n"
            "On=0\n");
  EXPECT_FALSE(fs::exists(path_ + ".tmp"));

  TMemIniFile again(path_);
  EXPECT_DOUBLE_EQ(again.ReadFloat("New", "Gain", 0), 1.5);
  again.EraseSection("video");
  EXPECT_FALSE(again.SectionExists("Video"));
}

TEST_F(RtlIniFile, CaseSensitiveNamesAndPointOnlyReals) {
  ScopedComma comma;
  TMemIniFile ini(path_);
  ini.SetCaseSensitive(true);
  EXPECT_EQ(ini.ReadString("Video", "codec", ""), "duplicate");
  EXPECT_EQ(ini.ReadString("Video", "Extra", "none"), "none");  // lives in [video]
  EXPECT_EQ(ini.ReadString("video", "Extra", "none"), "1");
  TStringList names;
  ini.ReadSections(names);
  EXPECT_EQ(names.CommaText(), "Video,Audio,video");
  ini.SetCaseSensitive(false);
  ini.ReadSections(names);
  EXPECT_EQ(names.CommaText(), "Video,Audio");
  ini.WriteString("Video", "Comma", "1,5");
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Video", "Comma", -1), -1);  // the user's comma does not count
  ini.WriteFloat("Video", "Gain", 0.5);
  EXPECT_EQ(ini.ReadString("Video", "Gain", ""), "0.5");
}

TEST_F(RtlIniFile, LoadsFromStringsAndMissingFiles) {
  TMemIniFile empty(dir_ + "/none.ini");
  EXPECT_FALSE(empty.SectionExists("A"));
  TStringList lines;
  lines.SetText("[A]\nk=v\n");
  empty.SetStrings(lines);
  EXPECT_EQ(empty.ReadString("a", "K", ""), "v");
  TIniFile direct(dir_ + "/direct.ini");
  direct.WriteString("S", "Key", "value");  // written through at once
  EXPECT_EQ(TMemIniFile(dir_ + "/direct.ini").ReadString("S", "Key", ""), "value");
}

// ---------------------------------------------------------------------------
// Dates

TEST(RtlDateTime, EncodeDecodeTable) {
  struct Row {
    Word y, m, d;
    double serial;
    int dow;
  };
  const Row rows[] = {
      {1899, 12, 30, 0, 7},   {1900, 1, 1, 2, 2},       {1970, 1, 1, 25569, 5},
      {2000, 2, 29, 36585, 3}, {1899, 12, 29, -1, 6},   {1, 1, 1, -693593, 2},
      {9999, 12, 31, 2958465, 6},
  };
  for (const Row& r : rows) {
    EXPECT_DOUBLE_EQ(EncodeDate(r.y, r.m, r.d), r.serial) << r.y << "-" << r.m << "-" << r.d;
    Word y, m, d;
    DecodeDate(r.serial, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, r.y * 10000 + r.m * 100 + r.d) << r.serial;
    EXPECT_EQ(DayOfWeek(r.serial), r.dow) << r.serial;
  }
  TDateTime dt = 0;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, dt));
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, dt));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, dt));
  EXPECT_THROW(EncodeDate(2023, 4, 31), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_EQ(DaysInAMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(EncodeDate(2023, 2, 10)), 28);

  // Time rounds to the millisecond once, carrying into the date.
  Word h, n, s, ms, y, m, d;
  DecodeDateTime(EncodeDate(2023, 12, 31) + 0.99999999999, y, m, d, h, n, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240101);
  EXPECT_EQ(h + n + s + ms, 0);
  DecodeTime(EncodeTime(13, 45, 30, 250), h, n, s, ms);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 134530250);
  // Before 1899-12-30 the fraction still counts forward from midnight.
  DecodeDateTime(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), y, m, d, h, n, s, ms);
  EXPECT_EQ(d * 100 + h, 2906);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
}

TEST(RtlDateTime, UnixAndArithmetic) {
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1970, 1, 2, 0, 0, 1, 0)), 86401);
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2038, 1, 19, 3, 14, 8, 0)), int64_t{2147483648});
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1899, 12, 29, 12, 0, 0, 0)), -2209204800);
  EXPECT_DOUBLE_EQ(UnixToDateTime(1700000000), EncodeDateTime(2023, 11, 14, 22, 13, 20, 0));
  EXPECT_DOUBLE_EQ(UnixToDateTime(-2209204800), EncodeDateTime(1899, 12, 29, 12, 0, 0, 0));
  TDateTime t = EncodeDateTime(2024, 2, 28, 23, 59, 59, 500);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", IncMilliSecond(t, 600)), "2024-02-29 00:00:00.100");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", IncDay(t, 2)), "2024-03-01");
  EXPECT_EQ(SecondsBetween(t, IncSecond(t, -90)), 90);
  EXPECT_EQ(MilliSecondsBetween(EncodeDate(1899, 12, 29), EncodeDate(1899, 12, 31)), 2 * 86400000ll);
  TDateTime before = Now();
  EXPECT_GT(before, EncodeDate(2020, 1, 1));
  EXPECT_LE(Date(), before);
  EXPECT_LT(Time(), 1.0);
}

TEST(RtlDateTime, FormatTable) {
  TFormatSettings fs;  // defaults: '/' and ':' separators
  fs.ShortDateFormat = "dd/mm/yyyy";
  fs.LongTimeFormat = "hh:nn:ss";
  TDateTime t = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
  struct Row {
    const char* pattern;
    const char* expected;
  };
  const Row rows[] = {
      {"yyyy-mm-dd hh:nn:ss.zzz", "2024-03-05 14:07:09.045"},
      {"yy/m/d h:n:s.z", "24/3/5 14:7:9.45"},
      {"hh:mm", "14:07"},  // m right after an hour means minutes
      {"dddd, d mmmm yyyy", "Tuesday, 5 March 2024"},
      {"ddd mmm", "Tue Mar"},
      {"h:nn am/pm", "2:07 pm"},
      {"h:nn AM/PM", "2:07 PM"},
      {"hh a/p", "02 p"},
      {"h ampm", "2 PM"},
      {"\"Date:\" yyyy 'at' hh", "Date: 2024 at 14"},
      {"c", "05/03/2024 14:07:09"},
      {"ddddd", "05/03/2024"},
      {"tt", "14:07:09"},
      {"", "05/03/2024 14:07:09"},
  };
  for (const Row& r : rows) EXPECT_EQ(FormatDateTime(r.pattern, t, fs), r.expected) << r.pattern;
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5), fs), "05/03/2024");
  EXPECT_EQ(FormatDateTime("h am/pm", EncodeTime(0, 30, 0, 0), fs), "12 am");
  fs.DateSeparator = '.';
  fs.TimeSeparator = '-';
  EXPECT_EQ(FormatDateTime("dd/mm/yy hh:nn", t, fs), "05.03.24 14-07");
}

}  // namespace
