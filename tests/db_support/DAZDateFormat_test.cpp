#include "db/support/DAZDateFormat.h"

#include <gtest/gtest.h>

#include "db/support/DAZExcept.h"

namespace {

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  return ABSComposeDateTime(ABSEncodeDate(y, m, d), ABSEncodeTime(h, n, s, 0));
}

TEST(TDateFormater, Tokens) {
  EXPECT_EQ(TDateFormater("yyyy-mm-dd").DebugGetTotenList(),
            "1 <dfYYYY> = 'yyyy'\r\n2 <dfText> = '-'\r\n3 <dfMM> = 'mm'\r\n4 <dfText> = '-'\r\n5 <dfDD> = 'dd'\r\n");
  EXPECT_EQ(TDateFormater("DD 'of' MONTH").DebugGetTotenList(),
            "1 <dfDD> = 'DD'\r\n2 <dfText> = ' '\r\n3 <dfText> = 'of'\r\n4 <dfText> = ' '\r\n5 <dfMONTH> = 'MONTH'\r\n");
  const TDateFormater mmmFormat("MMM");
  const auto& mmm = mmmFormat.Tokens();
  ASSERT_EQ(mmm.size(), 2u);
  EXPECT_EQ(mmm[0].TokenType, dfMM);
  EXPECT_EQ(mmm[1].TokenType, dfM);
  EXPECT_EQ(TDateFormater("hh24").Tokens()[0].TokenType, dfHH24);
  EXPECT_EQ(TDateFormater("\"a'b\"").Tokens()[0].Text, "a'b");
  TDateFormater empty("");
  EXPECT_TRUE(empty.Tokens().empty());
  EXPECT_EQ(empty.ToString(At(2021, 3, 5)), "");
  EXPECT_EQ(empty.ToDate("x"), 0);
  EXPECT_EQ(empty.GetDataType(), aftDateTime);
  EXPECT_EQ(empty.GetStringMaxSize(), 0);
  EXPECT_EQ(TDateFormater("YYYY-MM-DD").GetStringMaxSize(), 10);
  EXPECT_EQ(TDateFormater("DAY, DD MONTH YYYY").GetStringMaxSize(), 31);
  EXPECT_EQ(TDateFormater("YYYY-MM-DD").GetDataType(), aftDate);
  EXPECT_EQ(TDateFormater("HH24:NN").GetDataType(), aftTime);
}

TEST(TDateFormater, ToStringOfAFixedDate) {
  const TDateTime dt = At(2021, 2, 1, 14, 5, 9);  // a Monday
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"yyyy-mm-dd", "2021-02-01"},      {"YY/M/D", "21/2/1"},
      {"Q", "1"},                        {"MONTH MON RM", "February Feb II"},
      {"DAY DDD DW DY", "Monday Mon 1 32"}, {"HH24:NN:SS", "14:05:09"},
      {"H24 N S", "14 5 9"},             {"HH:NN AMPM", "02:05 PM"},
      {"H12 AMPM", "2 PM"},              {"'YYYY' YEAR", "YYYY 2021"},
  };
  for (const auto& c : cases) EXPECT_EQ(TDateFormater(c.format).ToString(dt), c.text) << c.format;
  // A 12-hour clock shows 12, then 1 to 11.
  TDateFormater twelve("HH:NN AMPM");
  EXPECT_EQ(twelve.ToString(At(2021, 1, 1, 12, 30)), "12:30 PM");
  EXPECT_EQ(twelve.ToString(At(2021, 1, 1, 0, 30)), "12:30 AM");
  EXPECT_EQ(TDateFormater("Q").ToString(At(2021, 12, 31)), "4");
}

TEST(TDateFormater, ToDate) {
  struct Case {
    const char* format;
    const char* text;
    TDateTime expected;
  } cases[] = {
      {"yyyy-mm-dd", "2021-03-05", At(2021, 3, 5)},
      {"D/M/YY", "5/3/21", At(2021, 3, 5)},
      {"D/M/YY", "15/11/95", At(1995, 11, 15)},
      {"D/M/YY", "1/1/29", At(2029, 1, 1)},
      {"D/M/YY", "1/1/30", At(1930, 1, 1)},
      {"YYYY Q DD", "2021 2 01", At(2021, 4, 1)},
      {"YYYY Q", "2021 2", 0},  // no day: the zero date
      {"HH:NN AMPM", "12:30 PM", At(1899, 12, 30, 12, 30)},
      {"HH:NN AMPM", "12:30 AM", 0 + ABSEncodeTime(0, 30, 0, 0)},
      {"HH:NN AMPM", "01:30 pm", ABSEncodeTime(13, 30, 0, 0)},
      {"DD 'of' MONTH YYYY", "05 of March 2021", At(2021, 3, 5)},
      {"DD-MON-YYYY", "05-mar-2021", At(2021, 3, 5)},
      {"DD.RM.YYYY", "05.VIII.2021", At(2021, 8, 5)},
      {"DAY, DD MONTH YYYY", "Friday, 05 March 2021", At(2021, 3, 5)},
      {"YYYY DY", "2021 32", At(2021, 2, 1)},
      {"YYYY-MM-DD HH24:NN:SS", "2021-03-05 23:59:58", At(2021, 3, 5, 23, 59, 58)},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(TDateFormater(c.format).ToDate(c.text), c.expected) << c.format;

  try {
    TDateFormater("HH:NN AMPM").ToDate("10:30 XM");
    FAIL();
  } catch (const EABSException& e) {
    EXPECT_EQ(e.NativeError, 30129);
    EXPECT_EQ(e.Message, "AM/PM word expected, but 'XM' found - Native error: 30129");
  }
  // Names that are not names, numbers that are not numbers, impossible dates.
  for (auto [format, text] : {std::pair{"DD MONTH YYYY", "05 Marsh 2021"}, std::pair{"DAY DD", "Fryday 05"},
                              std::pair{"yyyy-mm-dd", "2021-02-30"}, std::pair{"yyyy-mm-dd", "20x1-02-03"},
                              std::pair{"HH24:NN", "24:00"}, std::pair{"yyyy-mm-dd", "2021"}})
    EXPECT_THROW(TDateFormater(format).ToDate(text), EConvertError) << format << " " << text;
}

TEST(TDateFormater, RoundTrips) {
  const char* formats[] = {"YYYY-MM-DD HH24:NN:SS", "DD MONTH YYYY HH:NN:SS AMPM", "DAY DD-MON-YYYY H12:N AMPM",
                           "DD.RM.YYYY"};
  const TDateTime dates[] = {At(2021, 1, 1, 0, 0), At(1999, 12, 31, 12, 0, 1), At(2024, 2, 29, 23, 59, 59),
                             At(2000, 8, 8, 11, 1)};
  for (const char* f : formats) {
    TDateFormater df(f);
    for (TDateTime d : dates) {
      const String text = df.ToString(d);
      const TDateTime back = df.ToDate(text);
      EXPECT_EQ(df.ToString(back), text) << f;
      if (String(f).find("SS") != String::npos) {
        EXPECT_DOUBLE_EQ(back, d) << text;
      }
    }
  }
}

}  // namespace
