// Start-up and shutdown of the dataset layer, the session list, and engine errors.

#include <gtest/gtest.h>

#include <dirent.h>

#include <functional>

#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimTempEngine.h"
#include "db/support/DAZExcept.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

TEST(VelqorimMain, StartUpOpensNothingAndShutdownFreesAll) {
  const int descriptors = OpenDescriptors();
  {
    TStarted started;
    VelqorimMainInitialize();  // a second run does nothing
    VelqorimMainFinalize();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(TVelqorimSpillFile::OpenCount, 0);
    ASSERT_NE(DatabaseDataList, nullptr);
    ASSERT_EQ(DatabaseDataList->Count(), 2);
    EXPECT_EQ(DatabaseDataList->Get(0)->DatabaseName, "MEMORY");
    EXPECT_EQ(DatabaseDataList->Get(1)->DatabaseName, "TEMP");
    EXPECT_EQ(SessionList->Count(), 1);
    TVelqorimSession* d = DefaultSession();
    EXPECT_EQ(d->GetSessionName(), "Default");
    EXPECT_TRUE(d->IsDefault());
    EXPECT_FALSE(d->GetActive());
    EXPECT_EQ(SessionList->FindSession(""), d);
    EXPECT_EQ(SessionList->FindSession("default"), d);
    EXPECT_EQ(SessionList->GetSessionByName(""), d);
    EXPECT_NE(ErrorOf([] { SessionList->GetSessionByName("Nope"); }).find("Invalid session name 'Nope'"),
              String::npos);
    EXPECT_NE(ErrorOf([] { GetEngineHandle(); }).find("20007"), String::npos);
    // A table in MEMORY is freed with its database at shutdown.
    TVelqorimLocalSession session;
    session.DatabaseName = "MEMORY";
    session.SetConnected(true);
    TVelqorimLocalCursor cursor;
    cursor.Session = &session;
    cursor.TableName = "Left";
    TVelqorimFieldDefs f;
    f.AddCreated()->Name = "a";
    f[0]->SetFieldDefDataType(aftInteger, 0);
    TVelqorimIndexDefs i;
    TVelqorimConstraintDefs c;
    cursor.CreateTable(f, i, c);
    EXPECT_TRUE(session.TableExists("Left"));
    session.SetConnected(false);
  }
  EXPECT_EQ(DatabaseDataList, nullptr);
  EXPECT_EQ(SessionList, nullptr);
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(VelqorimMain, SessionsActivateNameAndNumber) {
  TStarted started;
  TVelqorimSession* extra = SessionList->OpenSession("Extra");
  EXPECT_TRUE(extra->GetActive());
  EXPECT_TRUE(DefaultSession()->GetActive());  // activated first
  EXPECT_EQ(SessionList->OpenSession("EXTRA"), extra);
  EXPECT_EQ(SessionList->Count(), 2);
  EXPECT_NE(GetEngineHandle(), nullptr);
  EXPECT_NE(ErrorOf([&] { extra->SetSessionName("Other"); }).find("active session"), String::npos);
  extra->Close();
  EXPECT_NE(ErrorOf([&] { extra->SetSessionName("DEFAULT"); }).find("Duplicate session name 'DEFAULT'"),
            String::npos);
  extra->SetSessionName("Extra");  // its own name again
  // An empty name fails after OnStartup ran.
  auto* unnamed = new TVelqorimSession(nullptr);
  bool started_ = false;
  unnamed->OnStartup = [&](TObject*) { started_ = true; };
  EXPECT_NE(ErrorOf([&] { unnamed->Open(); }).find("Session name missing"), String::npos);
  EXPECT_TRUE(started_);
  delete unnamed;
  // Automatic names take the lowest free number.
  TComponent form1(nullptr), form2(nullptr), form3(nullptr);
  auto* s1 = new TVelqorimSession(&form1);
  s1->SetName("Session1");
  auto* s2 = new TVelqorimSession(&form2);
  s2->SetName("Session2");
  s1->SetAutoSessionName(true);
  s2->SetAutoSessionName(true);
  EXPECT_EQ(s1->GetSessionName(), "Session1_1");
  EXPECT_EQ(s2->GetSessionName(), "Session2_2");
  EXPECT_NE(ErrorOf([&] { s1->SetSessionName("X"); }).find("AutoSessionName is enabled"), String::npos);
  EXPECT_NE(ErrorOf([&] { new TVelqorimSession(&form1); }).find("has AutoSessionName enabled"), String::npos);
  s1->SetAutoSessionName(false);
  auto* s3 = new TVelqorimSession(&form3);
  s3->SetName("Session3");
  s3->SetAutoSessionName(true);
  EXPECT_EQ(s3->GetSessionName(), "Session3_1");
}

TEST(VelqorimMain, EngineErrorTexts) {
  const struct {
    int Code;
    const char* Given;
    const char* Message;
  } cases[] = {
      {-8, "X", "Velqorim Engine Error # -8 X"},
      {-2, "X", "Velqorim Engine Error # -2 Error updating record"},
      {-6, "", "Velqorim Engine Error # -6 Error updating record - record was deleted by other process"},
      {-13, "", "Velqorim Engine Error # -13 Table is locked"},
      {5, "X", "Velqorim Engine Error # 5 "},
  };
  for (const auto& c : cases) {
    EVelqorimEngineError e(c.Code, c.Given);
    EXPECT_EQ(e.Message, c.Message);
    EXPECT_EQ(e.ErrorCode(), c.Code);
  }
}

}  // namespace
