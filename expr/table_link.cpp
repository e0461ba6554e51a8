#include "expr/table_link.h"

#include <cstring>

#include "engine/field_kind.h"
#include "engine/vr6_dbsy.h"
#include "expr/builtin_functions.h"
#include "expr/exp_nodes.h"

namespace velorin {

namespace {

class TvrlTableLink : public TvrExpUserLink {
 public:
  explicit TvrlTableLink(VRO_dBaseFld& table) : handler_(dynamic_cast<VRO_dBHandler*>(&table)) {}
  int CodePage() const override { return handler_ != nullptr ? handler_->TextCodePage() : 0; }

 private:
  const VRO_dBHandler* handler_;
};

// A table function: it holds its table.
class TvrlTableFunction : public TvrUserDefFunction {
 public:
  TvrlTableFunction(VRO_dBaseFld& table, const char* name) : table_(table), name_(name) {}
  std::string FunctionName() const override { return name_; }

 protected:
  bool ReturnBoolean(char* result, TvrExpType& type, bool value) const {
    result[0] = value ? 1 : 0;
    type = exp_type::kBoolean;
    return true;
  }
  // The number of the field named by text argument 0; raises when there is none.
  int32_t NamedField(TvrExpFunction& call) const {
    std::string_view name;
    if (!builtin::FetchText(call, 0, name)) return 0;
    int32_t number = table_.FieldNumber(UpperName(name));
    if (number == 0) RaiseExpression(exp_message::kUnknownName, name);
    return number;
  }

  VRO_dBaseFld& table_;

 private:
  const char* name_;
};

class TvrlDBFRecNo : public TvrlTableFunction {
 public:
  explicit TvrlDBFRecNo(VRO_dBaseFld& table) : TvrlTableFunction(table, "RECNO") {}
  bool Evaluate(TvrExpFunction&, char* result, TvrExpType& type) override {
    return builtin::ReturnNumber(result, type, table_.RecordNumber());
  }
};

class TvrlDBFDeleted : public TvrlTableFunction {
 public:
  explicit TvrlDBFDeleted(VRO_dBaseFld& table) : TvrlTableFunction(table, "DELETED") {}
  bool Evaluate(TvrExpFunction&, char* result, TvrExpType& type) override {
    return ReturnBoolean(result, type, table_.IsDeleted());
  }
};

class TvrlDBFBOF : public TvrlTableFunction {
 public:
  explicit TvrlDBFBOF(VRO_dBaseFld& table) : TvrlTableFunction(table, "BOF") {}
  bool Evaluate(TvrExpFunction&, char* result, TvrExpType& type) override {
    return ReturnBoolean(result, type, table_.AtBOF());
  }
};

class TvrlDBFEOF : public TvrlTableFunction {
 public:
  explicit TvrlDBFEOF(VRO_dBaseFld& table) : TvrlTableFunction(table, "EOF") {}
  bool Evaluate(TvrExpFunction&, char* result, TvrExpType& type) override {
    return ReturnBoolean(result, type, table_.AtEOF());
  }
};

class TvrlDBFType : public TvrlTableFunction {
 public:
  explicit TvrlDBFType(VRO_dBaseFld& table) : TvrlTableFunction(table, "TYPE") {}
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    int32_t number = NamedField(call);
    if (number == 0) return false;
    result[0] = table_.FieldType(number);
    result[1] = '\0';
    type = exp_type::kText;
    return true;
  }
};

class TvrlDBFLen : public TvrlTableFunction {
 public:
  explicit TvrlDBFLen(VRO_dBaseFld& table) : TvrlTableFunction(table, "LEN") {}
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    int32_t number = NamedField(call);
    if (number == 0) return false;
    // The length byte: for character fields wider than 255 only its low byte.
    return builtin::ReturnNumber(result, type, table_.FieldLength(number) & 0xFF);
  }
};

class TvrlDBFFieldVars : public TvrUserDefFieldVar {
 public:
  TvrlDBFFieldVars(VRO_dBaseFld& table, int32_t number)
      : TvrUserDefFieldVar(table.FieldName(number), table.FieldLength(number),
                           table.FieldDecimals(number)),
        table_(table),
        number_(number),
        kind_(FieldKindOf(table.FieldType(number), table.Version())) {}

  bool Evaluate(char* result, TvrExpType& type) override {
    switch (kind_) {
      case FieldKind::Character: {
        std::string_view text = table_.FieldTextView(number_);
        StoreExpText(result, text, VariableName());
        type = exp_type::kText;
        return true;
      }
      case FieldKind::Date:
        WriteExpDouble(result, table_.GetDate(number_));
        type = exp_type::kDate;
        return true;
      case FieldKind::Number:
        WriteExpDouble(result, table_.GetNumber(number_));
        type = exp_type::kNumber;
        return true;
      case FieldKind::Logical:
        result[0] = table_.GetLogical(number_) ? 1 : 0;
        type = exp_type::kBoolean;
        return true;
      default: {
        // The table and the field number, for functions that take a field.
        const VRO_dBaseFld* table = &table_;
        std::memcpy(result, &table, sizeof table);
        std::memcpy(result + sizeof table, &number_, sizeof number_);
        type = exp_type::kFieldRef;
        return true;
      }
    }
  }

 private:
  VRO_dBaseFld& table_;
  int32_t number_;
  FieldKind kind_;
};

}  // namespace

std::unique_ptr<TvrExpUserLink> MakeTableLink(VRO_dBaseFld& table) {
  auto link = std::make_unique<TvrlTableLink>(table);
  for (int32_t number = 1; number <= table.FieldCount(); ++number) {
    link->AddFieldVar(std::make_unique<TvrlDBFFieldVars>(table, number));
  }
  link->AddFunction(std::make_unique<TvrlDBFRecNo>(table));
  link->AddFunction(std::make_unique<TvrlDBFDeleted>(table));
  link->AddFunction(std::make_unique<TvrlDBFBOF>(table));
  link->AddFunction(std::make_unique<TvrlDBFEOF>(table));
  link->AddFunction(std::make_unique<TvrlDBFType>(table));
  link->AddFunction(std::make_unique<TvrlDBFLen>(table));
  return link;
}

}  // namespace velorin
