// The query component in window definitions: its SQL lines and flags, its
// parameters ("ParamData") and its stored binary form ("Data") load from the
// text, run, and are written back to the same text.

#include "db/sql/dialogs/VelqorimQueryDefinition.h"

#include <gtest/gtest.h>

#include "db/sql/VelqorimMain.h"
#include "platform/vcl/Definitions.h"

namespace {

const char* const Definition =
    "object Holder: TComponent\n"
    "  object Q1: TVelqorimQuery\n"
    "    DatabaseName = 'MEMORY'\n"
    "    RequestLive = True\n"
    "    SQL.Strings = (\n"
    "      'SELECT name FROM d'\n"
    "      'WHERE id >= :low AND name <> :skip ORDER BY name')\n"
    "    Data = {414200FF}\n"
    "    ParamData = <\n"
    "      item\n"
    "        DataType = ftInteger\n"
    "        Name = 'low'\n"
    "        ParamType = ptInput\n"
    "        Value = 2\n"
    "      end\n"
    "      item\n"
    "        DataType = ftString\n"
    "        Name = 'skip'\n"
    "        ParamType = ptInput\n"
    "        Value = 'it''s'\n"
    "      end>\n"
    "  end\n"
    "  object Q2: TVelqorimQuery\n"
    "    DatabaseName = 'MEMORY'\n"
    "    SQL.Strings = (\n"
    "      'SELECT COUNT(*) FROM d')\n"
    "  end\n"
    "end\n";

TEST(VelqorimQueryDefinition, ParametersAndDataLoadRunAndWriteBack) {
  VelqorimMainInitialize();
  RegisterVelqorimQueryClass();
  {
    TComponent holder(nullptr);
    holder.SetName("Holder");
    LoadDefinition(&holder, std::string_view(Definition), nullptr);
    auto* q = dynamic_cast<TVelqorimQuery*>(holder.FindComponent("Q1"));
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(q->RequestLive);
    ASSERT_TRUE(q->DataStored());
    EXPECT_EQ(*q->SQLBinary(), String("AB\0\xFF", 4));
    ASSERT_EQ(q->ParamCount(), 2);
    EXPECT_EQ(q->Params()[0]->DataType, ftInteger);
    EXPECT_EQ(q->Params()[0]->AsInteger(), 2);
    EXPECT_EQ(q->Params()[1]->ParamType, DBParam::ptInput);
    EXPECT_EQ(q->ParamByName("skip")->AsString(), "it's");

    TVelqorimQuery setup(nullptr);
    setup.SetDatabaseName("MEMORY");
    setup.SQL().SetText("CREATE TABLE d (id INTEGER, name VARCHAR(8)); INSERT INTO d VALUES (1, 'a'), (2, 'it''s'), (3, 'c')");
    setup.ExecSQL();
    q->Open();
    EXPECT_EQ(q->RecordCount(), 1);
    EXPECT_EQ(q->FieldByName("name")->AsString(), "c");
    q->Close();

    // Written back, read again and written the same; a query without
    // parameters or data stores neither.
    const String text = WriteDefinition(DescribeComponent(&holder, nullptr));
    TComponent again(nullptr);
    again.SetName("Holder");
    LoadDefinition(&again, std::string_view(text), nullptr);
    EXPECT_EQ(WriteDefinition(DescribeComponent(&again, nullptr)), text);
    const TDefObject q1 = ParseDefinition(text).Children.at(0);
    const TDefObject q2 = ParseDefinition(Definition).Children.at(0);
    for (const char* name : {"SQL.Strings", "Data", "ParamData"}) {
      auto find = [&](const TDefObject& O) {
        for (const TDefProperty& p : O.Properties)
          if (p.Name == name) return p.Value;
        return TDefValue{};
      };
      EXPECT_EQ(find(q1), find(q2)) << name;
    }
    const size_t second = text.find("object Q2");
    EXPECT_EQ(text.find("ParamData", second), String::npos) << text;
    EXPECT_EQ(text.find("Data =", second), String::npos) << text;
  }
  VelqorimMainFinalize();
}

}  // namespace
