#pragma once
// The query component: a dataset that runs SQL text. It keeps the SQL lines
// and their parameters, prepares the text into an SQL processor, runs
// statements without a result (ExecSQL) or opens the result of the last
// statement as its own dataset, takes parameter values also from a master data
// source, and counts the rows the statements changed. A result is a copy that
// cannot be changed, unless RequestLive asked for it to stay on its base table.

#include <memory>

#include "db/sql/VelqorimDataset.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/storage/VelqorimLocalEngine.h"

class TVelqorimQuery;

// The link to the data source whose current record gives parameter values.
class TVelqorimQueryDataLink : public TDetailDataLink {
 public:
  explicit TVelqorimQueryDataLink(TVelqorimQuery* Query) : FQuery(Query) {}

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* Field) override;
  void CheckBrowseMode() override;
  TDataSet* GetDetailDataSet() override;

 private:
  TVelqorimQuery* FQuery;
};

class TVelqorimQuery : public TVelqorimDataSet {
 public:
  explicit TVelqorimQuery(TComponent* AOwner);
  ~TVelqorimQuery() override;

  // The SQL lines; a change of their text closes and unprepares the query.
  TStrings& SQL() { return *FSQL; }
  void SetSQL(const TStrings& Value);
  // The text the processor gets (the lines after parameter parsing).
  const String& Text() const { return FText; }
  TParams& Params() { return *FParams; }
  void SetParams(TParams& Value);
  int ParamCount() const { return FParams->Count(); }
  TParam* ParamByName(const String& Value) { return FParams->ParamByName(Value); }
  bool ParamCheck = true;
  bool RequestLive = false;
  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* Value);

  bool Prepared() const { return FPrepared; }
  void SetPrepared(bool Value) { Value ? Prepare() : UnPrepare(); }
  void Prepare();
  void UnPrepare();
  // Runs the statements; a result, if any, is not opened.
  void ExecSQL();
  // Rows changed by the last run: -1 before the first one.
  int RowsAffected() const;
  TVelqorimSQLProcessor* StmtHandle() const { return FStmtHandle.get(); }

  // The stored binary form of the statement ("Data"): read whole from a
  // stream of its size, written whole; stored only when assigned.
  const String* SQLBinary() const { return FSQLBinary.get(); }
  void ReadBinaryData(TStream& Stream);
  void WriteBinaryData(TStream& Stream) const;
  bool DataStored() const { return FSQLBinary != nullptr; }
  // Whether the parameters ("ParamData") are stored: when they differ from
  // the ancestor's, or without one when there is at least one.
  bool ParamDataStored(const TVelqorimQuery* Ancestor) const;

  // The master's fields that name parameters, and the query's own fields of those names.
  void GetDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields);
  // The master moved: the query runs again on its new values.
  void RefreshParams();

  void Disconnect() override;
  void UpdateDBFlag(int Flag, bool Value) override;

  // Provider support.
  int PSExecuteStatement(const String& ASQL, TParams* AParams) override;
  void PSExecute() override { ExecSQL(); }
  TParams* PSGetParams() override { return FParams.get(); }
  String PSGetTableName() override;
  void PSSetCommandText(const String& CommandText) override;
  void PSSetParams(TParams* AParams) override;
  TDataSource* GetDataSource() override { return DataSource(); }

 protected:
  TVelqorimCursor* CreateCursorHandle() override;
  void DestroyCursorHandle() override;
  bool GetCanModify() override { return !FResultReadOnly && TVelqorimDataSet::GetCanModify(); }
  void InternalRefresh() override;

 private:
  void QueryChanged(TObject* Sender);
  void SetPrepState(bool Value);
  // Runs the prepared statements; with OpenCursor, a cursor over the last result.
  TVelqorimCursor* ExecuteStatement(bool OpenCursor);
  void SetParamsFromDataSource();
  void BindParams();
  void DropResultTable();
  // A cursor on the base table of a live result.
  TVelqorimCursor* OpenLiveCursor(const TVelqorimLiveResult& Live);

  std::unique_ptr<TVelqorimSQLProcessor> FStmtHandle;
  std::unique_ptr<TStringList> FSQL;
  bool FPrepared = false;
  std::unique_ptr<TParams> FParams;
  String FText;
  std::unique_ptr<TVelqorimQueryDataLink> FDataLink;
  int FRowsAffected = -1;
  std::unique_ptr<String> FSQLBinary;
  bool FExecSQL = false;
  bool FCheckRowsAffected = false;
  bool FDestroying = false;
  // The open result cannot be changed.
  bool FResultReadOnly = true;
  // The result of an opened query lives in a table of "TEMP" of its own.
  TVelqorimLocalSession FResultSession;
  String FResultTable;
};
