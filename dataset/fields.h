// fields.h — typed fields of a record cursor and the definitions they bind to.
//
// A dataset describes the columns of its table as field definitions (name, kind,
// size, column number) and offers them as field objects. A field belongs to one
// dataset and holds no value of its own: reading asks the dataset for the value
// of the current record (TFieldData, in the form the field's kind keeps it, or
// nothing for null), writing hands the dataset a new value, which checks the
// state and stores it. Each kind converts between its own form and the usual
// As... forms; a conversion that makes no sense, a text that does not read as
// the kind, and a number outside the kind's range fail with EDatabaseError.
// Null reads as empty text, 0, false and the zero date-time.
//
// Text is bytes in the program's ANSI code page (the dataset converts to and
// from the table's), so one character is one byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dataset/date_time.h"

namespace velorin {

class TDataSetBase;

enum class TFieldKind : uint8_t {
  Unknown,
  String,    // text of at most Size bytes
  SmallInt,  // 16-bit integer
  Integer,   // 32-bit integer
  Float,
  Boolean,
  Date,      // a day, at midnight
  DateTime,
  Memo,      // text held outside the record
  Blob,      // bytes held outside the record
};

// The kind's name as messages show it ("String", "SmallInt", ...).
const char* FieldKindName(TFieldKind kind);

// A value in the form a kind keeps it: String and Memo as text, SmallInt and
// Integer as int32_t, Float as double, Boolean as bool, Date and DateTime as
// TDateTime; std::monostate is null. Memo and Blob fields keep their content
// outside the record: for them a non-null value says only that content exists,
// which is read and written through a blob stream.
using TFieldData = std::variant<std::monostate, std::string, int32_t, double, bool, TDateTime>;

bool IsNull(const TFieldData& data);

// One column of the table as the dataset offers it.
struct TFieldDef {
  std::string Name;
  TFieldKind Kind = TFieldKind::Unknown;
  int32_t Size = 0;     // String: the width in bytes; 0 for the other kinds
  int32_t FieldNo = 0;  // the column's number in the table, from 1
};

class TFieldDefs {
 public:
  void Clear() { defs_.clear(); }
  void Add(TFieldDef def) { defs_.push_back(std::move(def)); }
  int32_t Count() const { return static_cast<int32_t>(defs_.size()); }
  const TFieldDef& operator[](int32_t index) const { return defs_.at(static_cast<size_t>(index)); }
  // The first definition of that name, letter case ignored; nullptr when none.
  const TFieldDef* Find(std::string_view name) const;
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

 private:
  std::vector<TFieldDef> defs_;
};

// ASCII letters compared without regard to case, other bytes exactly.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

class TField {
 public:
  using TFieldNotifyEvent = std::function<void(TField&)>;
  // Runs before a new value is stored; throws to refuse it.
  using TFieldValidateEvent = std::function<void(TField&, const TFieldData& newValue)>;

  virtual ~TField();
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return name_; }
  // The name messages use.
  const std::string& DisplayName() const { return name_; }
  TFieldKind Kind() const { return kind_; }
  int32_t Size() const { return size_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // A calculated field takes its value from OnCalcFields, not from the table.
  bool Calculated() const { return calculated_; }
  void SetCalculated(bool value) { calculated_ = value; }
  // The table column it is bound to (from 1); 0 while unbound and for calculated fields.
  int32_t FieldNo() const { return fieldNo_; }
  // Its place among the calculated fields (from 0); -1 for data fields.
  int32_t CalcIndex() const { return calcIndex_; }
  TDataSetBase* DataSet() const { return dataSet_; }
  // Set when the field's content was written through a blob stream.
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  // The value of the current record in the kind's own form.
  TFieldData Value() const;
  // Stores a value of the kind's own form (std::monostate: null).
  void SetValue(const TFieldData& value);
  bool IsNull() const;
  void Clear() { SetValue(std::monostate{}); }

  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);

  TFieldValidateEvent OnValidate;
  TFieldNotifyEvent OnChange;

  // For the dataset: the field's validation and change notification.
  void Validate(const TFieldData& newValue);
  void Changed();

 protected:
  TField(std::string name, TFieldKind kind, int32_t size);

  [[noreturn]] void ConversionError(const char* wanted) const;
  [[noreturn]] void InvalidText(const std::string& text, const char* what) const;
  [[noreturn]] void OutOfRange(const std::string& value) const;

 private:
  friend class TDataSetBase;

  std::string name_;
  TFieldKind kind_;
  int32_t size_;
  bool readOnly_ = false;
  bool calculated_ = false;
  bool modified_ = false;
  int32_t fieldNo_ = 0;
  int32_t calcIndex_ = -1;
  TDataSetBase* dataSet_ = nullptr;
};

// Text of at most Size bytes; longer text is cut to Size when stored.
class TStringField : public TField {
 public:
  TStringField(std::string name, int32_t size);
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  // "T", "t", "Y", "y", "J" and "j" at the start read as true.
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;  // "T" or "F"
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
};

// The two integer kinds: a value outside Min..Max is refused when stored.
class TIntegerFieldBase : public TField {
 public:
  int32_t MinValue() const { return min_; }
  int32_t MaxValue() const { return max_; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;  // empty text is null
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;  // rounded to the nearest integer
  bool AsBoolean() const override;         // not 0
  void SetAsBoolean(bool value) override;  // 1 or 0

 protected:
  TIntegerFieldBase(std::string name, TFieldKind kind, int32_t min, int32_t max);

 private:
  int32_t min_;
  int32_t max_;
};

class TSmallintField : public TIntegerFieldBase {
 public:
  explicit TSmallintField(std::string name);
};

class TIntegerField : public TIntegerFieldBase {
 public:
  explicit TIntegerField(std::string name);
};

class TFloatField : public TField {
 public:
  explicit TFloatField(std::string name);
  std::string AsString() const override;  // up to 15 significant digits, "." as decimal point
  void SetAsString(const std::string& value) override;
  int32_t AsInteger() const override;     // rounded
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;  // NaN and infinities are refused
};

class TBooleanField : public TField {
 public:
  explicit TBooleanField(std::string name);
  std::string AsString() const override;  // "T" or "F"; empty for null
  void SetAsString(const std::string& value) override;  // first letter of TtYyJj or FfNn
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
};

// Date and date-time: a text reads and shows as in ParseDateTime and FormatDate.
class TDateTimeFieldBase : public TField {
 public:
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;  // empty text is null
  double AsFloat() const override;                       // the serial
  void SetAsFloat(double value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;

 protected:
  using TField::TField;
};

// A day: the time of day of a value stored is dropped.
class TDateField : public TDateTimeFieldBase {
 public:
  explicit TDateField(std::string name);
  void SetAsDateTime(TDateTime value) override;
};

class TDateTimeField : public TDateTimeFieldBase {
 public:
  explicit TDateTimeField(std::string name);
};

// Memo and blob content is read and written whole through the dataset's blob
// stream of the current record.
class TBlobField : public TField {
 public:
  explicit TBlobField(std::string name);
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;

 protected:
  TBlobField(std::string name, TFieldKind kind);
};

// A blob of text: the dataset converts its code page like a text field's.
class TMemoField : public TBlobField {
 public:
  explicit TMemoField(std::string name);
};

// Stores a value of any form through the field's As... setter of that form
// (text through SetAsString, a whole number through SetAsInteger, ...; null
// clears the field), so the field converts it to its own kind.
void AssignFieldValue(TField& field, const TFieldData& value);

// A field object of the kind (a String field of the given size).
std::unique_ptr<TField> MakeField(TFieldKind kind, const std::string& name, int32_t size);

}  // namespace velorin
