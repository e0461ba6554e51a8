// data_set_base.h — what a record cursor with typed fields is made of: its
// state, its field definitions and fields, its events and its error class.
//
// TDataSetBase holds these for one cursor and leaves the records to the class
// that derives from it (TVelorinDataSet): that class reads and writes the field
// values of its current record, makes blob streams, and moves the state.
//
// Fields are either declared (added while the dataset is closed, kept across
// openings and bound to the definitions of the same name when it opens) or, when
// none is declared, made from the definitions at opening and destroyed at closing.
// A declared data field must be of its definition's kind; its text size is not
// compared with the table's (a longer value is cut to the field's size).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fields.h"

namespace velorin {

// The error of every dataset operation; engine errors pass through as they are.
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

enum class TDataSetState : uint8_t {
  Inactive,    // closed
  Browse,      // open, no change pending
  Edit,        // the current record is being changed
  Insert,      // a new record is being made
  CalcFields,  // calculated fields are being computed
  Filter,      // a record is being tested by OnFilterRecord
  NewValue,    // a field's new value is being set by the cursor itself
};

// How an operation that failed goes on, as an error event decides.
enum class TDataAction : uint8_t { Fail, Abort, Retry };

// A byte stream with 32-bit positions (the blob streams of memo fields).
enum class TSeekOrigin : uint8_t { Beginning = 0, Current = 1, End = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  // Copies at most count bytes from the position; returns how many.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  // Writes count bytes at the position; returns how many.
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // Returns the new position.
  virtual int32_t Seek(int32_t offset, TSeekOrigin origin) = 0;
  virtual int32_t Size() const = 0;
  // Stores what was written where the stream keeps it and throws on failure;
  // nothing for streams that store nothing.
  virtual void Commit() {}
};

// Where failures go that cannot be raised (a blob stream storing its content
// while it is destroyed): the program's error display. By default the message
// is written to the standard error stream.
using TErrorDisplay = std::function<void(const std::string& message)>;
void SetErrorDisplay(TErrorDisplay display);
void ShowErrorMessage(const std::string& message);

enum class TBlobStreamMode : uint8_t { Read = 0, Write = 1, ReadWrite = 2 };

class TDataSetBase;
using TDataSetNotifyEvent = std::function<void(TDataSetBase&)>;
using TDataSetErrorEvent = std::function<void(TDataSetBase&, const EDatabaseError&, TDataAction&)>;
using TFilterRecordEvent = std::function<void(TDataSetBase&, bool& accept)>;

class TDataSetBase {
 public:
  virtual ~TDataSetBase();
  TDataSetBase(const TDataSetBase&) = delete;
  TDataSetBase& operator=(const TDataSetBase&) = delete;

  // The component's name; failures marked so carry it in front, as "Name: text".
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  TDataSetState State() const { return state_; }

  const TFieldDefs& FieldDefs() const { return fieldDefs_; }
  // The fields in order: the declared ones, or while open the default ones.
  const std::vector<TField*>& Fields() const { return fields_; }
  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  // Letter case ignored; nullptr when there is none.
  TField* FindField(std::string_view name) const;
  // As FindField; a missing field fails with "Поле '%s' не найдено".
  TField& FieldByName(std::string_view name) const;

  // Declares a field; only while closed. Declaring a name twice fails.
  TField& AddField(std::unique_ptr<TField> field);
  template <class F, class... Args>
  F& DeclareField(Args&&... args) {
    auto field = std::make_unique<F>(std::forward<Args>(args)...);
    F& result = *field;
    AddField(std::move(field));
    return result;
  }
  // Removes every declared field; only while closed.
  void ClearDeclaredFields();
  bool HasDeclaredFields() const { return !declared_.empty(); }

  // Field values of the current record, for the field objects.
  virtual TFieldData GetFieldData(const TField& field) = 0;
  virtual void SetFieldData(TField& field, const TFieldData& value) = 0;
  virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) = 0;

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
  TFilterRecordEvent OnFilterRecord;

 protected:
  explicit TDataSetBase(std::string name = {});

  void SetState(TDataSetState state) { state_ = state; }
  TFieldDefs& MutableFieldDefs() { return fieldDefs_; }

  // Makes the default fields, or binds the declared ones to the definitions
  // (calculated fields are numbered instead). A declared data field without a
  // definition fails with "Поле '%s' не найдено", one of another kind with
  // "Неправильный тип для поля '%s', требуется: %s, фактический: %s"; both with
  // the component's name, leaving every field unbound.
  void CreateFields();
  // Unbinds the declared fields and destroys the default ones.
  void DestroyFields();
  int32_t CalcFieldCount() const { return calcFieldCount_; }

  // Raises EDatabaseError with the text as it is / with the name in front.
  [[noreturn]] void DatabaseError(const std::string& message) const;
  [[noreturn]] void ComponentError(const std::string& message) const;
  // Calls an event when it is assigned.
  void Signal(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }

 private:
  std::string name_;
  TDataSetState state_ = TDataSetState::Inactive;
  TFieldDefs fieldDefs_;
  std::vector<std::unique_ptr<TField>> declared_;
  std::vector<std::unique_ptr<TField>> defaults_;
  std::vector<TField*> fields_;
  int32_t calcFieldCount_ = 0;
};

// "Поле '%s' не может быть изменено" and the other texts the fields and the
// datasets share.
namespace dataset_text {
std::string FieldNotFound(std::string_view name);
std::string FieldReadOnly(std::string_view name);
std::string FieldKindMismatch(std::string_view name, TFieldKind declared, TFieldKind actual);
}  // namespace dataset_text

}  // namespace velorin
