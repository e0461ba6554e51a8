// The dataset's handler, its properties and checks, and its code page translation.
#include "dataset/Velorin6DB.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"
#include "platform/code_page.h"
#include "platform/locale_settings.h"

namespace velorin {

using namespace dataset_detail;

// ---------------------------------------------------------------------------
// The handler

DBFObject::DBFObject(TVelorinDataSet& owner, const std::string& fileName, bool readWrite, bool shared)
    : VRO_dBHandler(fileName, readWrite, shared), owner_(owner) {}

void DBFObject::StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) { owner_.HandlerStatus(stat1, stat2, stat3); }

int32_t DBFObject::UserHook(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  std::string request = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
                        std::to_string(d) + "," + std::to_string(e);
  std::string result;
  return owner_.HandlerFormula("UserHook", request, result) ? 1 : -1;
}

bool DBFObject::RecordAccepted() { return owner_.AcceptRecord(); }

// ---------------------------------------------------------------------------
// Construction and properties

TVelorinDataSet::TVelorinDataSet(std::string name) : TDataSetBase(std::move(name)) {}

TVelorinDataSet::~TVelorinDataSet() {
  try {
    Close();
  } catch (const std::exception& e) {
    ShowErrorMessage(e.what());
  }
  if (master_ != nullptr) std::erase(master_->details_, this);
  for (TVelorinDataSet* detail : details_) detail->master_ = nullptr;
}

const std::string& TVelorinDataSet::About() {
  static const std::string banner = "Velorin table dataset 6.0";
  return banner;
}

void TVelorinDataSet::SetActive(bool active) {
  if (active) {
    Open();
  } else {
    Close();
  }
}

void TVelorinDataSet::SetDatabaseName(const std::string& value) {
  if (value == databaseName_) return;
  std::string stored = Aliases().RegisterDatabaseName(value);
  CheckInactive();
  databaseName_ = stored;
}

void TVelorinDataSet::SetTableName(const std::string& name) {
  if (name == tableName_) return;
  CheckInactive();
  tableName_ = name;
  if (!loading_) indexFiles_.clear();
}

void TVelorinDataSet::SetReadOnly(bool value) { readOnly_ = value; }

void TVelorinDataSet::SetUseDeleted(bool value) {
  useDeleted_ = value;
  if (handler_) handler_->SetUseDeleted(value);
}

void TVelorinDataSet::SetLockProtocol(TvrLokProtocol protocol) {
  lockProtocol_ = protocol;
  if (handler_) handler_->SetLockProtocol(static_cast<uint8_t>(protocol));
}

void TVelorinDataSet::SetTranslateASCII(bool value) {
  translateAscii_ = value;
  if (handler_) handler_->SetTextCodePage(value ? platform::ActiveLocale().OemCodePage() : 0);
}

void TVelorinDataSet::SetUserID(int32_t id) {
  userId_ = id;
  if (handler_) handler_->SetUserID(id);
}

// ---------------------------------------------------------------------------
// Checks

void TVelorinDataSet::CheckActive() const {
  if (!Active()) ComponentError(text::kClosed);
}

void TVelorinDataSet::CheckInactive() const {
  if (Active()) ComponentError(text::kOpen);
}

void TVelorinDataSet::CheckCanModify() const {
  if (ReadOnly()) ComponentError(text::kReadOnlyDataSet);
}

void TVelorinDataSet::CheckBrowseMode() {
  if (!IsEditing(State())) return;
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

bool TVelorinDataSet::CheckOperation(const std::function<void()>& op, const TDataSetErrorEvent& event) {
  for (;;) {
    try {
      op();
      return true;
    } catch (const EDatabaseError& error) {
      if (!event) throw;
      TDataAction action = TDataAction::Fail;
      event(*this, error, action);
      if (action == TDataAction::Fail) throw;
      if (action == TDataAction::Abort) return false;
    }
  }
}

// ---------------------------------------------------------------------------
// Code pages

void TVelorinDataSet::TranslateBuffer(char* buffer, size_t size, bool toOem) const {
  if (!translateAscii_ || buffer == nullptr || size == 0) return;
  if (toOem) {
    platform::CharToOemBuff(buffer, buffer, size);
  } else {
    platform::OemToCharBuff(buffer, buffer, size);
  }
}

void TVelorinDataSet::Translate(const char* source, char* destination, bool toOem) const {
  if (destination == nullptr) return;
  if (source == nullptr) {
    destination[0] = '\0';
    return;
  }
  size_t length = std::strlen(source);
  std::memmove(destination, source, length + 1);
  TranslateBuffer(destination, length, toOem);
}

std::string TVelorinDataSet::TranslateText(std::string_view text, bool toOem) const {
  std::string result(text);
  TranslateBuffer(result.data(), result.size(), toOem);
  return result;
}

}  // namespace velorin
