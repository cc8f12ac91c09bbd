// The dataset's protocol with its descendant: the buffer ring, states,
// bookmarks, editing with events, filters, calculated fields and links.

#include <gtest/gtest.h>

#include <memory>

#include "tests/db_dsfw/VectorDataSet.h"

namespace {

struct Fixture {
  TComponent Owner{nullptr};
  TVectorDataSet* DS;
  TDataSource* Source;
  TRecordingLink Link;

  explicit Fixture(int Rows, int Buffers = 1) {
    DS = new TVectorDataSet(&Owner, {{"ID", ftInteger}, {"NAME", ftString, 10}, {"AMOUNT", ftFloat}});
    DS->SetName("People");
    for (int I = 0; I < Rows; ++I) DS->AddRow({I, "n" + std::to_string(I), I * 1.5});
    Source = new TDataSource(&Owner);
    Source->SetDataSet(DS);
    Link.SetBufferCount(Buffers);
    Link.SetDataSource(Source);
  }
  int Id() { return DS->FieldByName("ID")->AsInteger(); }
  // Ids of a walk to the end or the start.
  std::vector<int> Walk(bool Forward) {
    std::vector<int> Ids;
    if (Forward) {
      for (DS->First(); !DS->Eof(); DS->Next()) Ids.push_back(Id());
    } else {
      for (DS->Last(); !DS->Bof(); DS->Prior()) Ids.push_back(Id());
    }
    return Ids;
  }
};

std::vector<int> Range(int From, int To) {  // inclusive, either direction
  std::vector<int> R;
  for (int I = From;; I += From <= To ? 1 : -1) {
    R.push_back(I);
    if (I == To) break;
  }
  return R;
}

TEST(DataSetRing, WalksEveryRecordWhateverTheBufferCount) {
  for (int Buffers : {1, 2, 3, 5, 12, 40}) {
    SCOPED_TRACE(Buffers);
    Fixture F(12, Buffers);
    F.DS->Open();
    EXPECT_EQ(F.DS->BufferRecordCount(), std::min(Buffers, 12));
    EXPECT_EQ(F.Walk(true), Range(0, 11));
    EXPECT_EQ(F.Walk(false), Range(11, 0));
    // The ring never holds more records than it has buffers, and the link's
    // window always shows the active record.
    F.DS->First();
    for (int I = 0; I < 12; ++I, F.DS->Next()) {
      EXPECT_LE(F.DS->BufferRecordCount(), Buffers);
      EXPECT_GE(F.Link.ActiveRecord(), 0);
      EXPECT_LT(F.Link.ActiveRecord(), F.Link.RecordCount());
    }
  }
}

TEST(DataSetRing, ResizingTheRingKeepsTheActiveRecord) {
  Fixture F(12, 5);
  F.DS->Open();
  F.DS->MoveBy(7);
  for (int Buffers : {2, 1, 6, 3, 20}) {
    SCOPED_TRACE(Buffers);
    F.Link.SetBufferCount(Buffers);
    EXPECT_EQ(F.Id(), 7);
    EXPECT_EQ(F.DS->BufferRecordCount(), std::min(Buffers, 12));
    EXPECT_EQ(F.Link.RecordCount(), std::min(Buffers, 12));
    F.DS->Next();
    EXPECT_EQ(F.Id(), 8);
    F.DS->Prior();
  }
  EXPECT_EQ(F.Walk(true), Range(0, 11));
}

TEST(DataSetRing, MoveByStopsAtTheEdgesAndReportsTheDistance) {
  Fixture F(6, 3);
  F.DS->Open();
  EXPECT_TRUE(F.DS->Bof());
  EXPECT_FALSE(F.DS->Eof());
  EXPECT_EQ(F.DS->MoveBy(4), 4);
  EXPECT_EQ(F.Id(), 4);
  EXPECT_EQ(F.DS->MoveBy(10), 1);  // only one more record
  EXPECT_TRUE(F.DS->Eof());
  EXPECT_EQ(F.Id(), 5);
  EXPECT_EQ(F.DS->MoveBy(1), 0);  // at the end nothing moves
  EXPECT_EQ(F.DS->MoveBy(-3), -3);
  EXPECT_FALSE(F.DS->Eof());
  EXPECT_EQ(F.Id(), 2);
  EXPECT_EQ(F.DS->MoveBy(-10), -2);
  EXPECT_TRUE(F.DS->Bof());
  EXPECT_EQ(F.Id(), 0);
  F.DS->Last();
  EXPECT_TRUE(F.DS->Eof());
  EXPECT_EQ(F.Id(), 5);
}

TEST(DataSetRing, EmptyDatasetIsBothEndsAndRefusesDelete) {
  Fixture F(0, 3);
  F.DS->Open();
  EXPECT_TRUE(F.DS->Bof());
  EXPECT_TRUE(F.DS->Eof());
  EXPECT_TRUE(F.DS->IsEmpty());
  EXPECT_TRUE(F.DS->FieldByName("ID")->IsNull());
  EXPECT_TRUE(F.DS->GetBookmark().empty());
  EXPECT_EQ(ErrorOf([&] { F.DS->Delete(); }), "People: Cannot perform this operation on an empty dataset");
  // Editing an empty dataset inserts.
  F.DS->Edit();
  EXPECT_EQ(F.DS->State(), dsInsert);
  F.DS->Cancel();
  EXPECT_TRUE(F.DS->IsEmpty());
  EXPECT_TRUE(F.DS->Eof());
}

TEST(DataSetRing, RefreshKeepsThePositionAndSeesChangedRows) {
  Fixture F(10, 4);
  F.DS->Open();
  F.DS->MoveBy(6);
  int Row = F.Link.ActiveRecord();
  F.DS->Rows.erase(F.DS->Rows.begin() + 2);  // changed behind the dataset's back
  F.DS->Refresh();
  EXPECT_EQ(F.Id(), 6);
  EXPECT_EQ(F.Link.ActiveRecord(), Row);
  EXPECT_EQ(F.Walk(false), (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 1, 0}));
}

TEST(DataSetStates, TransitionsAndRefusals) {
  Fixture F(3);
  EXPECT_EQ(ErrorOf([&] { F.DS->Edit(); }), "People: Cannot perform this operation on a closed dataset");
  F.DS->Open();
  TField* Name = F.DS->FieldByName("NAME");
  EXPECT_EQ(F.DS->State(), dsBrowse);
  EXPECT_EQ(ErrorOf([&] { Name->SetAsString("x"); }), "People: Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { F.DS->FieldDefs().Add("ID", ftInteger); }), "People: Duplicate field name 'ID'");
  F.DS->Edit();
  EXPECT_EQ(F.DS->State(), dsEdit);
  EXPECT_FALSE(F.DS->Modified());
  Name->SetAsString("edited");
  EXPECT_TRUE(F.DS->Modified());
  // Moving posts the pending edit.
  F.DS->Next();
  EXPECT_EQ(F.DS->State(), dsBrowse);
  F.DS->Prior();
  EXPECT_EQ(Name->AsString(), "edited");
  // An unmodified edit is cancelled by moving.
  F.DS->Edit();
  F.DS->Next();
  EXPECT_EQ(F.DS->State(), dsBrowse);

  F.DS->ReadOnlyData = true;
  EXPECT_EQ(ErrorOf([&] { F.DS->Edit(); }), "People: Cannot modify a read-only dataset");
  EXPECT_EQ(ErrorOf([&] { F.DS->Insert(); }), "People: Cannot modify a read-only dataset");
  EXPECT_EQ(F.DS->State(), dsBrowse);
  F.DS->ReadOnlyData = false;

  EXPECT_EQ(ErrorOf([&] { F.DS->Close(); F.DS->FieldByName("ID"); }), "People: Field 'ID' not found");
}

TEST(DataSetStates, RequiredFieldKeepsTheInsertOpen) {
  TComponent Owner(nullptr);
  auto* DS = new TVectorDataSet(&Owner, {{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}});
  DS->Open();
  DS->Append();
  DS->FieldByName("NAME")->SetAsString("x");
  EXPECT_EQ(ErrorOf([&] { DS->Post(); }), "Field 'ID' must have a value");
  EXPECT_EQ(DS->State(), dsInsert);
  DS->FieldByName("ID")->SetAsInteger(7);
  DS->Post();
  EXPECT_EQ(DS->State(), dsBrowse);
  EXPECT_EQ(DS->Rows.size(), 1u);
}

TEST(DataSetEditing, EventsRunInOrderAroundTheOverrides) {
  Fixture F(3);
  std::vector<String> Log;
  auto Note = [&](const char* Name) { return [&Log, Name](TDataSet*) { Log.push_back(Name); }; };
  F.DS->BeforeEdit = Note("BeforeEdit");
  F.DS->AfterEdit = Note("AfterEdit");
  F.DS->BeforeInsert = Note("BeforeInsert");
  F.DS->AfterInsert = Note("AfterInsert");
  F.DS->OnNewRecord = [&](TDataSet* D) {
    Log.push_back("OnNewRecord");
    D->FieldByName("ID")->SetAsInteger(100);
  };
  F.DS->BeforePost = Note("BeforePost");
  F.DS->AfterPost = Note("AfterPost");
  F.DS->BeforeCancel = Note("BeforeCancel");
  F.DS->AfterCancel = Note("AfterCancel");
  F.DS->BeforeDelete = Note("BeforeDelete");
  F.DS->AfterDelete = Note("AfterDelete");
  F.DS->BeforeScroll = Note("BeforeScroll");
  F.DS->AfterScroll = Note("AfterScroll");
  F.DS->Open();
  Log.clear();

  F.DS->Edit();
  F.DS->FieldByName("NAME")->SetAsString("a");
  F.DS->Post();
  EXPECT_EQ(Log, (std::vector<String>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  Log.clear();
  F.DS->Insert();
  EXPECT_FALSE(F.DS->Modified());  // values set by OnNewRecord do not count as changes
  F.DS->Cancel();
  EXPECT_EQ(Log, (std::vector<String>{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll",
                                      "BeforeCancel", "AfterCancel"}));
  Log.clear();
  F.DS->Delete();
  EXPECT_EQ(Log, (std::vector<String>{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
  EXPECT_EQ(F.DS->Rows.size(), 2u);
}

TEST(DataSetEditing, InsertGoesBeforeTheActiveRecordAndAppendAtTheEnd) {
  Fixture F(8, 3);
  F.DS->Open();
  F.DS->MoveBy(5);
  F.DS->Insert();
  EXPECT_EQ(F.DS->BufferRecordCount(), 3);
  F.DS->FieldByName("ID")->SetAsInteger(50);
  F.DS->Post();
  EXPECT_EQ(F.Id(), 50);
  F.DS->Prior();
  EXPECT_EQ(F.Id(), 4);
  F.DS->MoveBy(2);
  EXPECT_EQ(F.Id(), 5);

  F.DS->First();
  F.DS->Append();
  EXPECT_TRUE(F.DS->Eof());
  F.DS->FieldByName("ID")->SetAsInteger(99);
  F.DS->Post();
  EXPECT_EQ(F.Id(), 99);
  EXPECT_EQ(F.Walk(true), (std::vector<int>{0, 1, 2, 3, 4, 50, 5, 6, 7, 99}));

  // Cancelling an insert puts the ring back as it was.
  F.DS->First();
  F.DS->MoveBy(3);
  F.DS->Insert();
  F.DS->Cancel();
  EXPECT_EQ(F.Id(), 3);
  EXPECT_EQ(F.Walk(true).size(), 10u);
}

TEST(DataSetEditing, ErrorEventsDecideBetweenFailAbortAndRetry) {
  Fixture F(2);
  F.DS->Open();
  int Calls = 0;
  F.DS->BeforePost = [&](TDataSet*) {};
  F.DS->OnPostError = [&](TDataSet* D, EDatabaseError&, TDataAction& Action) {
    ++Calls;
    D->FieldByName("ID")->SetAsInteger(1);  // fix the record, then try again
    Action = daRetry;
  };
  auto* Id = F.DS->FieldByName("ID");
  Id->Required = true;
  F.DS->Append();
  F.DS->Post();
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(F.DS->State(), dsBrowse);

  F.DS->OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& Action) { Action = daAbort; };
  F.DS->Append();
  EXPECT_THROW(F.DS->Post(), EAbort);
  EXPECT_EQ(F.DS->State(), dsInsert);
  F.DS->OnPostError = nullptr;
  EXPECT_THROW(F.DS->Post(), EDatabaseError);
  F.DS->Cancel();
}

TEST(DataSetBookmarks, GoBackCompareAndGoStale) {
  Fixture F(10, 3);
  F.DS->Open();
  F.DS->MoveBy(7);
  TBookmark Seven = F.DS->GetBookmark();
  ASSERT_EQ(Seven.size(), 4u);
  F.DS->First();
  TBookmark Zero = F.DS->GetBookmark();
  F.DS->GotoBookmark(Seven);
  EXPECT_EQ(F.Id(), 7);
  EXPECT_EQ(F.DS->CompareBookmarks(Zero, Seven), -1);
  EXPECT_EQ(F.DS->CompareBookmarks(Seven, Zero), 1);
  EXPECT_EQ(F.DS->CompareBookmarks(Seven, TBookmark()), -1);
  EXPECT_EQ(F.DS->CompareBookmarks(TBookmark(), TBookmark()), 0);
  // The neighbours come back around a bookmarked record.
  F.DS->Prior();
  EXPECT_EQ(F.Id(), 6);

  F.DS->Insert();
  EXPECT_TRUE(F.DS->GetBookmark().empty());  // an unposted record has none
  F.DS->Cancel();

  F.DS->GotoBookmark(Seven);
  F.DS->Delete();
  EXPECT_EQ(F.Id(), 8);
  EXPECT_FALSE(F.DS->BookmarkValid(Seven));
  EXPECT_TRUE(F.DS->BookmarkValid(Zero));
  EXPECT_EQ(ErrorOf([&] { F.DS->GotoBookmark(Seven); }), "People: Record not found");
  EXPECT_EQ(F.Id(), 8);
}

TEST(DataSetFilters, EventRunsInTheFilterStateAndTextGoesToTheDescendant) {
  Fixture F(10, 3);
  F.DS->Open();
  F.DS->SetOnFilterRecord([](TDataSet* D, bool& Accept) { Accept = D->FieldByName("ID")->AsInteger() % 3 == 0; });
  EXPECT_EQ(F.Walk(true).size(), 10u);  // not yet filtered
  F.DS->SetFiltered(true);
  EXPECT_EQ(F.Id(), 0);
  EXPECT_EQ(F.Walk(true), (std::vector<int>{0, 3, 6, 9}));
  EXPECT_EQ(F.Walk(false), (std::vector<int>{9, 6, 3, 0}));
  EXPECT_EQ(F.DS->RecordCount(), 4);
  ASSERT_FALSE(F.DS->FilterStates.empty());
  for (TDataSetState S : F.DS->FilterStates) EXPECT_EQ(S, dsFilter);
  EXPECT_EQ(F.DS->State(), dsBrowse);

  F.DS->SetFilter("NAME = 'n3'");
  EXPECT_EQ(F.DS->FilterSeen, "NAME = 'n3'");
  EXPECT_EQ(F.DS->Filter(), "NAME = 'n3'");
  F.DS->SetFiltered(false);
  EXPECT_EQ(F.Walk(true).size(), 10u);
}

TEST(DataSetFields, CalculatedAndLookupFieldsAreComputedPerRecord) {
  TComponent Owner(nullptr);
  auto* Names = new TVectorDataSet(&Owner, {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
  Names->AddRow({1, "one"});
  Names->AddRow({2, "two"});
  Names->Open();
  auto* DS = new TVectorDataSet(&Owner, {{"ID", ftInteger}, {"CODE", ftInteger}});
  DS->AddRow({10, 2});
  DS->AddRow({11, 1});
  DS->AddRow({12, 3});
  // Persistent fields: two data fields, one calculated, one lookup.
  auto* Id = new TIntegerField(&Owner);
  Id->FieldName = "ID";
  Id->SetDataSet(DS);
  auto* Code = new TIntegerField(&Owner);
  Code->FieldName = "CODE";
  Code->SetDataSet(DS);
  auto* Twice = new TIntegerField(&Owner);
  Twice->FieldName = "TWICE";
  Twice->FieldKind = fkCalculated;
  Twice->SetDataSet(DS);
  auto* Text = new TStringField(&Owner);
  Text->FieldName = "TEXT";
  Text->SetSize(10);
  Text->FieldKind = fkLookup;
  Text->LookupDataSet = Names;
  Text->KeyFields = "CODE";
  Text->LookupKeyFields = "CODE";
  Text->LookupResultField = "TEXT";
  Text->SetDataSet(DS);
  std::vector<TDataSetState> States;
  DS->OnCalcFields = [&](TDataSet* D) {
    States.push_back(D->State());
    Twice->SetAsInteger(Id->AsInteger() * 2);
  };
  DS->Open();
  EXPECT_FALSE(DS->DefaultFields());
  EXPECT_GT(DS->CalcFieldsSize(), 0);
  std::vector<String> Seen;
  for (DS->First(); !DS->Eof(); DS->Next())
    Seen.push_back(Twice->AsString() + " " + (Text->IsNull() ? "-" : Text->AsString()));
  EXPECT_EQ(Seen, (std::vector<String>{"20 two", "22 one", "24 -"}));
  ASSERT_FALSE(States.empty());
  EXPECT_EQ(States.front(), dsCalcFields);
  // Changing a data field while editing recomputes them.
  DS->First();
  DS->Edit();
  Code->SetAsInteger(1);
  Id->SetAsInteger(50);
  EXPECT_EQ(Twice->AsInteger(), 100);
  EXPECT_EQ(Text->AsString(), "one");
  DS->Cancel();
  EXPECT_EQ(Twice->AsInteger(), 20);
  DS->Close();
  EXPECT_EQ(DS->Fields().Count(), 4);  // persistent fields stay
}

TEST(DataSetLinks, MasterDetailFollowsTheMasterAndRefusesCircles) {
  TComponent Owner(nullptr);
  auto* Master = new TVectorDataSet(&Owner, {{"ID", ftInteger}});
  Master->SetName("Master");
  for (int I = 1; I <= 3; ++I) Master->AddRow({I});
  auto* Detail = new TVectorDataSet(&Owner, {{"MASTER", ftInteger}, {"LINE", ftInteger}});
  Detail->SetName("Detail");
  for (int M = 1; M <= 3; ++M)
    for (int L = 0; L < M; ++L) Detail->AddRow({M, L});
  auto* MasterSource = new TDataSource(&Owner);
  MasterSource->SetName("MasterSource");
  MasterSource->SetDataSet(Master);
  auto* DetailSource = new TDataSource(&Owner);
  DetailSource->SetName("DetailSource");
  DetailSource->SetDataSet(Detail);

  // The detail shows the lines of the master's record, as a range would.
  TMasterDataLink Link(Detail);
  int MasterValue = 0;
  Link.OnMasterChange = [&](TDataSet* D) {
    MasterValue = Link.Fields()[0]->AsInteger();
    D->First();
  };
  Link.OnMasterDisable = [&](TDataSet*) { MasterValue = 0; };
  Detail->SetOnFilterRecord([&](TDataSet* D, bool& Accept) {
    Accept = MasterValue == 0 || D->FieldByName("MASTER")->AsInteger() == MasterValue;
  });
  Detail->SetFiltered(true);
  Detail->MasterSource = MasterSource;
  Link.SetFieldNames("ID");
  Link.SetDataSource(MasterSource);
  Detail->Open();
  Master->Open();
  auto Lines = [&] {
    int N = 0;
    for (Detail->First(); !Detail->Eof(); Detail->Next()) ++N;
    return N;
  };
  EXPECT_EQ(MasterValue, 1);
  EXPECT_EQ(Lines(), 1);
  Master->Next();
  EXPECT_EQ(MasterValue, 2);
  EXPECT_EQ(Lines(), 2);
  Master->Last();
  EXPECT_EQ(Lines(), 3);
  Master->Close();
  EXPECT_EQ(MasterValue, 0);

  // The master may not be fed from its own detail, directly or through another dataset.
  EXPECT_TRUE(Master->IsLinkedTo(DetailSource));   // the detail depends on the master
  EXPECT_FALSE(Detail->IsLinkedTo(MasterSource));
  TMasterDataLink Back(Master);
  EXPECT_EQ(ErrorOf([&] { Back.SetDataSource(DetailSource); }), "Master: Circular datalinks are not allowed");
  auto* Loop = new TDataSource(&Owner);
  Loop->SetName("Loop");
  Master->MasterSource = Loop;
  EXPECT_EQ(ErrorOf([&] { Loop->SetDataSet(Detail); }), "Loop: Circular datalinks are not allowed");
  Master->MasterSource = nullptr;
  Link.SetDataSource(nullptr);
}

TEST(DataSetLinks, DisabledControlsHearOneChangeAtTheEnd) {
  Fixture F(5, 2);
  F.DS->Open();
  F.Link.Log.clear();
  F.DS->DisableControls();
  F.DS->Next();
  F.DS->Next();
  F.DS->Edit();
  F.DS->FieldByName("NAME")->SetAsString("x");
  F.DS->Post();
  EXPECT_TRUE(F.Link.Log.empty());
  F.DS->EnableControls();
  EXPECT_EQ(F.Link.Log, (std::vector<String>{"changed"}));
  F.Link.Log.clear();
  F.DS->Edit();
  EXPECT_EQ(F.Link.Log, (std::vector<String>{"editing", "record"}));
  F.Link.Log.clear();
  F.DS->FieldByName("NAME")->SetAsString("y");
  EXPECT_EQ(F.Link.Log, (std::vector<String>{"field NAME"}));
  F.DS->Close();
  EXPECT_FALSE(F.Link.Active());
}

TEST(DataSetSearch, LocateAndLookupThroughTheDescendant) {
  Fixture F(6, 3);
  F.DS->Open();
  EXPECT_TRUE(F.DS->Locate("NAME", "n4", 0));
  EXPECT_EQ(F.Id(), 4);
  EXPECT_FALSE(F.DS->Locate("NAME", "none", 0));
  EXPECT_EQ(F.Id(), 4);
  EXPECT_EQ(F.DS->Lookup("ID;NAME", Variant::TArray{2, "n2"}, "AMOUNT").AsFloat(), 3.0);
  EXPECT_TRUE(F.DS->Lookup("ID", 42, "NAME").IsNull());
  EXPECT_EQ(F.Id(), 4);  // a lookup does not move
}

}  // namespace
