// Velorin6DB.h — the table dataset: one dBase table as a record cursor with
// named, typed fields.
//
// TVelorinDataSet owns one table handler (DBFObject, a VRO_dBHandler) from Open
// to Close. It maps the table's columns to typed fields, holds the current
// record in its own buffer with a bookmark, converts values (dates, numbers and,
// with TranslateASCII, text between the table's OEM code page and the program's
// ANSI one), keeps the position rules of a cursor and reports failures as
// EDatabaseError with fixed texts; engine errors (EVelorinError) pass through
// unchanged. A failed Open leaves the dataset closed.
//
// The cursor. Open stands on the first visible record (deleted records are
// hidden unless UseDeleted, and OnFilterRecord hides records while Filtered).
// First, Last, Next and Prior move it; Next past the last visible record leaves
// the cursor where it was and sets AtEnd, Prior before the first sets AtStart;
// on a table without visible records First sets both and there is no current
// record (RecordNumber 0, every field null). A table shared with other programs
// is not re-read behind the cursor's back: Refresh reads the current record again.
//
// Changes. Edit locks the current record by the table's protocol (refusal:
// "Record is locked by another user") and then reads it again, so the change
// starts from what is in the file; Post writes it back and releases the lock,
// Cancel drops it. Insert and Append make a blank record that Post appends at
// the end of the table. Delete and Recall lock, re-read, mark and write the
// record (exclusive tables need no lock); in the insert state both cancel
// instead. Every read of a record by its number checks that the record is there
// ("Record request beyond range of table" when it is gone), so nothing is read
// or written in place of another record; after Pack the cursor is on no record
// until it moves. Moving, closing and the other
// operations that "leave any edit" post a changed record and cancel an unchanged one.
//
// Text. Field text is in the program's ANSI code page (1251 in a Russian
// setting) as bytes; FieldTextUtf8 gives it as UTF-8 for the windows. Values
// given to AppendValues and the field setters as text are ANSI bytes too.
//
// Filters. While Filtered, a record is shown when OnFilterRecord (if assigned)
// accepts it and the Filter expression (a dBase expression in the program's
// ANSI code page, with FilterOptions) is true for it; the handler keeps the set
// of passing records. A filter set while closed takes effect when the dataset
// opens; an expression that cannot be used raises and leaves Filtered false.
//
// Not yet available: index files and master-detail ranges rest on the index
// subsystem. Their properties and calls are in place; opening an index file
// fails with the engine's error until it exists, and a master range limits
// nothing without an index tag.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/blob_stream.h"
#include "dataset/data_set_base.h"
#include "dataset/database_aliases.h"
#include "dataset/date_time.h"
#include "dataset/fields.h"
#include "dataset/record_buffer.h"
#include "engine/dbf_format.h"
#include "engine/vr6_dbsy.h"

namespace velorin {

class TVelorinDataSet;

// The handler a dataset owns: it hands progress reports, formula requests and
// record-acceptance tests back to its dataset.
class DBFObject : public VRO_dBHandler {
 public:
  DBFObject(TVelorinDataSet& owner, const std::string& fileName, bool readWrite, bool shared);

  void StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) override;
  // A formula request: answered (1) when OnFormula sets tf, else -1.
  int32_t UserHook(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override;
  bool RecordAccepted() override;

 private:
  TVelorinDataSet& owner_;
};

enum class TFilterOption : uint8_t { CaseInsensitive = 1, NoPartialCompare = 2 };

struct TLocateOptions {
  bool PartialKey = false;       // the field begins with the value
  bool CaseInsensitive = false;
};

// Progress of long handler work: (-1, kind, total), (kind, current, 0), (0, 0, 0).
using TvrStatusReport = std::function<void(int32_t stat1, int32_t stat2, int32_t stat3)>;
// A formula request; tf true means answered, rsl holds the result of type Typ.
using TvrFormulaMake = std::function<void(const std::string& who, const std::string& st, std::string& rsl,
                                          char& Typ, bool& Chg, bool& tf)>;

class TVelorinDataSet : public TDataSetBase {
 public:
  explicit TVelorinDataSet(std::string name = {});
  ~TVelorinDataSet() override;

  // ---- properties ------------------------------------------------------------
  // The version banner; read-only.
  static const std::string& About();

  bool Active() const { return handler_ != nullptr; }
  void SetActive(bool active);
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool value) { autoCalcFields_ = value; }
  // Directory, alias or "Default Directory" (database_aliases.h); empty: the
  // current directory. Assigning registers a path as its own alias; only while
  // closed (an equal value is always accepted).
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& value);
  // RecordCount counts visible records instead of the header's count.
  bool ExactCount() const { return exactCount_; }
  void SetExactCount(bool value) { exactCount_ = value; }
  // Open the table unshared (takes effect at the next Open).
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value) { exclusive_ = value; }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& expression);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool value);
  bool FilterCaseInsensitive() const { return filterCaseInsensitive_; }
  bool FilterNoPartialCompare() const { return filterNoPartialCompare_; }
  void SetFilterOptions(bool caseInsensitive, bool noPartialCompare);
  // Index files opened with the table; a change while open reopens them.
  const std::vector<std::string>& IndexFiles() const { return indexFiles_; }
  void SetIndexFiles(const std::vector<std::string>& files);
  // The selected tag; empty: physical record order.
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(const std::string& tagName);
  TvrLokProtocol LockProtocol() const { return lockProtocol_; }
  void SetLockProtocol(TvrLokProtocol protocol);
  const std::string& MasterFields() const { return masterFields_; }
  void SetMasterFields(const std::string& fieldName);
  TVelorinDataSet* MasterSource() const { return master_; }
  // A master link leading back to this dataset fails with "Циклические связи не допускаются".
  void SetMasterSource(TVelorinDataSet* master);
  // No changes; set true while open when the table could only be opened read-only.
  bool ReadOnly() const { return readOnly_ || openedReadOnly_; }
  void SetReadOnly(bool value);
  // The table's file name, ".DBF" added when it has none; only while closed.
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  // Text stored in the OEM code page, shown in the ANSI code page.
  bool TranslateASCII() const { return translateAscii_; }
  void SetTranslateASCII(bool value);
  // Records marked deleted are visible.
  bool UseDeleted() const { return useDeleted_; }
  void SetUseDeleted(bool value);
  // The user number written to the header by the locking protocol.
  int32_t UserID() const { return userId_; }
  void SetUserID(int32_t id);

  // While a window definition sets the properties: a new TableName then keeps
  // IndexFiles, and IndexFiles is not checked.
  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }

  // ---- events beyond those of every dataset -----------------------------------
  TvrStatusReport OnStatus;
  TvrFormulaMake OnFormula;

  // ---- opening and closing -----------------------------------------------------
  // Opens the table and stands on its first visible record. Fails with "Table
  // name missing", "Cannot find file <path>", the kind mismatch of a declared
  // field, or the engine's error.
  void Open();
  // Drops any edit, releases the handler and the buffers; default fields go.
  void Close();
  // The field definitions; while closed the table is opened read-only for the moment.
  void UpdateFieldDefs();

  // ---- moving --------------------------------------------------------------
  void First();
  void Last();
  void Next();
  void Prior();
  // AtEnd: a move ran off the end (also First on a table without visible
  // records); AtStart: off the start. Both true while closed.
  bool AtEnd() const;
  bool AtStart() const;
  // The header's count (deleted and hidden records included), or with
  // ExactCount the visible records, counted without moving the cursor. Closed:
  // "Не могу выполнить эту операцию над закрытой базой данных".
  int32_t RecordCount();
  // The physical number of the current record, 0 when there is none. Assigning
  // moves to that record (to the next visible one when it is hidden); a number
  // that is not a record fails with "Record request beyond range of table".
  int32_t RecordNumber() const;
  void SetRecordNumber(int32_t recordNumber);
  // The 11 bytes of the current record's bookmark (empty when there is none).
  std::string GetBookmark() const;
  // "Bookmark is invalid for table <TableName>" when it is not a number.
  void GotoBookmark(const std::string& bookmark);
  static int CompareBookmarks(const std::string& a, const std::string& b) { return CompareBookmarkTexts(a, b); }
  // Reads the current record again from the file.
  void Refresh();

  // ---- field values of the current record -------------------------------------
  // Text with trailing blanks removed; null reads as empty text.
  std::string FieldText(std::string_view fieldName) const;
  std::string FieldTextUtf8(std::string_view fieldName) const;
  // A date field's day at midnight; null gives the zero date (30 Dec 1899).
  TDateTime FieldDateTime(std::string_view fieldName) const;
  int32_t FieldInteger(std::string_view fieldName) const;
  double FieldFloat(std::string_view fieldName) const;
  bool FieldBoolean(std::string_view fieldName) const;
  bool FieldIsNull(std::string_view fieldName) const;

  // ---- changes -----------------------------------------------------------------
  // Without a current record Edit inserts.
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  // Appends one record: a blank record, the values assigned to the fields in
  // field order (text as ANSI bytes, numbers, booleans, dates), stored at the end
  // of the table; the cursor stands on the new record. More values than fields fail.
  void AppendValues(const std::vector<TFieldData>& values);
  // Marks the current record deleted and moves to the next visible record (or
  // the prior one at the end). On an empty dataset: "Не могу выполнить эту
  // операцию над пустой базой данных"; in the insert state it cancels instead.
  void Delete();
  // Clears the deletion mark of the current record; the cursor stays.
  void Recall();
  // Removes the deleted records for good; needs the table opened exclusively.
  // The cursor's buffer is not refreshed: the next Next reads the first record.
  void Pack();
  // Whether a field was changed since Edit or Insert.
  bool Modified() const { return modified_; }

  // ---- searching ---------------------------------------------------------------
  // Goes to the first record whose field keyFields equals value (begins with it
  // for PartialKey); false, and the cursor unmoved, when there is none.
  bool Locate(const std::string& keyFields, const TFieldData& value, TLocateOptions options = {});
  // As Locate, but returns the resultField's value of the record found (null
  // when none) and leaves the cursor where it was.
  TFieldData Lookup(const std::string& keyFields, const TFieldData& value, const std::string& resultField);
  // Same as assigning IndexName while open.
  void SelectIndex(const std::string& tagName) { SetIndexName(tagName); }

  // ---- code pages and blobs ----------------------------------------------------
  // OEM to ANSI (toOem false) or back for a zero-terminated text, when
  // TranslateASCII; otherwise copied. A null source gives an empty destination.
  // destination must have room for the source and its zero byte.
  void Translate(const char* source, char* destination, bool toOem) const;
  // The same for size bytes in place, zero bytes included.
  void TranslateBuffer(char* buffer, size_t size, bool toOem) const;
  std::string TranslateText(std::string_view text, bool toOem) const;

  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

  // ---- for the fields, the blob streams and the handler ---------------------------
  TFieldData GetFieldData(const TField& field) override;
  void SetFieldData(TField& field, const TFieldData& value) override;
  // The record image the state works on: the current record, the record being
  // computed (calculated fields) or tested (filter); nullptr when there is none.
  uint8_t* ActiveImage();
  // The open handler; nullptr while closed.
  DBFObject* Handler() const { return handler_.get(); }
  // A field's content was stored (blob streams): marks the record changed.
  void FieldContentChanged(TField& field);

 private:
  friend class DBFObject;

  // Handler hooks.
  void HandlerStatus(int32_t stat1, int32_t stat2, int32_t stat3);
  bool HandlerFormula(const std::string& who, const std::string& st, std::string& result);
  bool AcceptRecord();

  void CheckActive() const;   // "name: ... закрытой базой данных"
  void CheckInactive() const; // "name: ... открытым набором данных (dataset)"
  void CheckCanModify() const;
  // Posts a changed record, cancels an unchanged one.
  void CheckBrowseMode();
  // Runs op; an EDatabaseError goes to the error event, which may retry or abort
  // (false) the operation.
  bool CheckOperation(const std::function<void()>& op, const TDataSetErrorEvent& event);

  std::string TablePath() const;
  std::unique_ptr<DBFObject> MakeHandler(const std::string& path, bool readWrite, bool shared,
                                         bool* readOnlyFallback);
  void BuildFieldDefs();
  void OpenIndexFiles();
  // Selects the tag by name (no tag for an empty name); an unknown name raises
  // and leaves the order as it was.
  void ApplyIndexName(const std::string& tagName);
  void ApplyFilter();
  void ApplyMasterRange();
  void NotifyDetails();

  // Reads into the scratch buffer with the request; on success the scratch
  // buffer becomes the current record (calculated fields computed). A record
  // number is read as ReadRecordByNumber reads it.
  bool FetchCurrent(int32_t request);
  // Every read of a record by its number: the handler reads record n into image,
  // or "Record request beyond range of table" is raised when there is no such
  // record (any more), and the handler's position is then not to be trusted.
  void ReadRecordByNumber(int32_t recordNumber, uint8_t* image);
  // Moves the handler onto the current record when it stands elsewhere.
  void SyncHandler();
  // Stands on the record the handler is at, or the next visible one, or the
  // prior one; no record when none is visible.
  void ResyncAroundHandler();
  void SetNoRecord();
  void ComputeCalcFields(TRecordBuffer& buffer);
  void ReadRecordAgain(int32_t recordNumber, TRecordBuffer& into);
  void DeleteOrRecall(bool deleting);
  bool LocateRecord(const std::string& keyFields, const TFieldData& value, TLocateOptions options,
                    int32_t* found);
  // Locate through an index tag: Find in it, the selected order restored after.
  bool SeekInTag(IndexOrder& tag, const std::string& key, TLocateOptions options, int32_t* found);
  std::string SearchText(const TFieldData& value) const;

  TFieldData ReadDataField(const TField& field, uint8_t* image);
  void WriteDataField(TField& field, const TFieldData& value, uint8_t* image);
  TFieldData ReadCalcField(const TField& field);
  void WriteCalcField(const TField& field, const TFieldData& value);
  uint8_t* ActiveCalcArea(const TField& field);

  // Properties.
  std::string databaseName_;
  std::string tableName_;
  std::string filter_;
  std::string indexName_;
  std::string masterFields_;
  std::vector<std::string> indexFiles_;
  TvrLokProtocol lockProtocol_ = TvrLokProtocol::Default;
  int32_t userId_ = 0;
  bool autoCalcFields_ = true;
  bool exactCount_ = false;
  bool exclusive_ = false;
  bool filtered_ = false;
  bool filterCaseInsensitive_ = false;
  bool filterNoPartialCompare_ = false;
  bool readOnly_ = false;
  bool translateAscii_ = true;
  bool useDeleted_ = false;
  bool loading_ = false;
  TVelorinDataSet* master_ = nullptr;
  std::vector<TVelorinDataSet*> details_;

  // Private state.
  std::unique_ptr<DBFObject> handler_;
  bool beforeFirstPending_ = false;
  bool afterLastPending_ = false;
  bool editLockHeld_ = false;
  int32_t recordSize_ = 0;
  TRecordLayout layout_;
  TRecordBuffer current_;   // the cursor's record; edited in place
  TRecordBuffer backup_;    // the current record before Edit or Insert, for Cancel
  TRecordBuffer scratch_;   // where the handler reads while moving
  TRecordBuffer* calcTarget_ = nullptr;
  bool hasRecord_ = false;
  bool backupHadRecord_ = false;
  bool atEnd_ = true;
  bool atStart_ = true;
  bool modified_ = false;
  bool openedReadOnly_ = false;  // the table file is open read-only (asked for, or all that was possible)
  bool masterRangeSet_ = false;
};

}  // namespace velorin
