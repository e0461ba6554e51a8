#include "dataset/data_set_base.h"

#include <iostream>
#include <mutex>

namespace velorin {

namespace dataset_text {

std::string FieldNotFound(std::string_view name) { return "Поле '" + std::string(name) + "' не найдено"; }

std::string FieldReadOnly(std::string_view name) {
  return "Поле '" + std::string(name) + "' не может быть изменено";
}

std::string FieldKindMismatch(std::string_view name, TFieldKind declared, TFieldKind actual) {
  return "Неправильный тип для поля '" + std::string(name) + "', требуется: " + FieldKindName(declared) +
         ", фактический: " + FieldKindName(actual);
}

}  // namespace dataset_text

namespace {

std::mutex& ErrorDisplayMutex() {
  static std::mutex mutex;
  return mutex;
}

TErrorDisplay& ErrorDisplay() {
  static TErrorDisplay display;
  return display;
}

}  // namespace

void SetErrorDisplay(TErrorDisplay display) {
  std::lock_guard lock(ErrorDisplayMutex());
  ErrorDisplay() = std::move(display);
}

void ShowErrorMessage(const std::string& message) {
  TErrorDisplay display;
  {
    std::lock_guard lock(ErrorDisplayMutex());
    display = ErrorDisplay();
  }
  if (display) {
    display(message);
  } else {
    std::cerr << message << '\n';
  }
}

TDataSetBase::TDataSetBase(std::string name) : name_(std::move(name)) {}

TDataSetBase::~TDataSetBase() {
  for (auto& field : declared_) field->dataSet_ = nullptr;
}

TField* TDataSetBase::FindField(std::string_view name) const {
  for (TField* field : fields_) {
    if (SameTextIgnoringCase(field->FieldName(), name)) return field;
  }
  return nullptr;
}

TField& TDataSetBase::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (field == nullptr) ComponentError(dataset_text::FieldNotFound(name));
  return *field;
}

TField& TDataSetBase::AddField(std::unique_ptr<TField> field) {
  if (state_ != TDataSetState::Inactive) {
    ComponentError("Не могу выполнить эту операцию над открытым набором данных (dataset)");
  }
  if (!field) DatabaseError("Поле не задано");
  for (const auto& existing : declared_) {
    if (SameTextIgnoringCase(existing->FieldName(), field->FieldName())) {
      ComponentError("Поле '" + field->FieldName() + "' уже объявлено");
    }
  }
  field->dataSet_ = this;
  declared_.push_back(std::move(field));
  fields_.push_back(declared_.back().get());
  return *declared_.back();
}

void TDataSetBase::ClearDeclaredFields() {
  if (state_ != TDataSetState::Inactive) {
    ComponentError("Не могу выполнить эту операцию над открытым набором данных (dataset)");
  }
  declared_.clear();
  fields_.clear();
}

void TDataSetBase::CreateFields() {
  DestroyFields();
  if (declared_.empty()) {
    for (const TFieldDef& def : fieldDefs_) {
      std::unique_ptr<TField> field = MakeField(def.Kind, def.Name, def.Size);
      if (!field) continue;
      field->dataSet_ = this;
      field->fieldNo_ = def.FieldNo;
      defaults_.push_back(std::move(field));
      fields_.push_back(defaults_.back().get());
    }
    return;
  }
  int32_t calcIndex = 0;
  try {
    for (auto& field : declared_) {
      if (field->Calculated()) {
        field->calcIndex_ = calcIndex++;
        continue;
      }
      const TFieldDef* def = fieldDefs_.Find(field->FieldName());
      if (def == nullptr) ComponentError(dataset_text::FieldNotFound(field->FieldName()));
      if (def->Kind != field->Kind()) {
        ComponentError(dataset_text::FieldKindMismatch(field->FieldName(), field->Kind(), def->Kind));
      }
      field->fieldNo_ = def->FieldNo;
    }
  } catch (...) {
    DestroyFields();
    throw;
  }
  calcFieldCount_ = calcIndex;
}

void TDataSetBase::DestroyFields() {
  for (auto& field : declared_) {
    field->fieldNo_ = 0;
    field->calcIndex_ = -1;
    field->modified_ = false;
  }
  calcFieldCount_ = 0;
  if (!defaults_.empty()) {
    defaults_.clear();
    fields_.clear();
  }
}

void TDataSetBase::DatabaseError(const std::string& message) const { throw EDatabaseError(message); }

void TDataSetBase::ComponentError(const std::string& message) const {
  if (name_.empty()) throw EDatabaseError(message);
  throw EDatabaseError(name_ + ": " + message);
}

}  // namespace velorin
