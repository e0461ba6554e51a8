// Links to other things the table is read through: the filter, index files and orders, master ranges.
#include "dataset/Velorin6DB.h"

#include <exception>
#include <vector>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"
#include "engine/text_trim.h"
#include "platform/file_names.h"

namespace velorin {

using namespace dataset_detail;

void TVelorinDataSet::SetFilter(const std::string& expression) {
  filter_ = expression;
  if (!Active() || !filtered_) return;
  CheckBrowseMode();
  ApplyFilter();
  First();
}

void TVelorinDataSet::SetFilterOptions(bool caseInsensitive, bool noPartialCompare) {
  filterCaseInsensitive_ = caseInsensitive;
  filterNoPartialCompare_ = noPartialCompare;
  if (!Active() || !filtered_) return;
  CheckBrowseMode();
  ApplyFilter();
  First();
}

void TVelorinDataSet::SetFiltered(bool value) {
  if (!Active()) {
    filtered_ = value;
    return;
  }
  CheckBrowseMode();
  if (value != filtered_) {
    filtered_ = value;
    handler_->SetFilterActive(value);
    if (value) {
      try {
        ApplyFilter();
      } catch (...) {
        filtered_ = false;  // an expression that cannot be used filters nothing
        handler_->SetFilterActive(false);
        throw;
      }
    }
  }
  First();
}

void TVelorinDataSet::ApplyFilter() {
  handler_->SetFilterActive(true);
  // The table holds its text in the OEM code page when the dataset translates,
  // so the expression's literals must be in it too. An empty text takes the
  // old expression away; OnFilterRecord still filters.
  handler_->SetFilter(TranslateText(filter_, true), filterCaseInsensitive_, !filterNoPartialCompare_);
}

void TVelorinDataSet::SetIndexFiles(const std::vector<std::string>& files) {
  indexFiles_ = files;
  if (loading_) return;
  if (files.empty()) {
    if (handler_) handler_->OpenIndexes(nullptr, {});
    indexName_.clear();
    return;
  }
  if (Active()) {
    CheckBrowseMode();
    OpenIndexFiles();
    ApplyIndexName(indexName_);
    return;
  }
  // Closed: open the table for the moment to check the files.
  if (tableName_.empty()) return;
  bool fallback = false;
  try {
    handler_ = MakeHandler(TablePath(), false, true, &fallback);
  } catch (const std::exception&) {
    return;  // a table that cannot be opened has no index files to check
  }
  ScopeExit release([this] { handler_.reset(); });
  OpenIndexFiles();
}

void TVelorinDataSet::OpenIndexFiles() {
  // Absolute names are kept; relative ones, with or without a directory of
  // their own, lie in the database directory, at opening and later alike.
  handler_->OpenIndexes(nullptr, {});
  std::string directory = DatabaseDirectory(databaseName_);
  for (const std::string& entry : indexFiles_) {
    std::string name = entry;
    if (!HasExtension(name)) name += ".NDX";
    std::string path = platform::FullPathName(!name.empty() && name.front() == '/' ? name : directory + name);
    if (!platform::FileExists(path)) DatabaseError(text::kCannotFindFile + path);
    if (handler_->OpenIndex(path) > 0) DatabaseError(text::kErrorGetting + path);
  }
}

void TVelorinDataSet::SetIndexName(const std::string& tagName) {
  if (!Active()) {
    indexName_ = tagName;
    return;
  }
  CheckBrowseMode();
  ApplyIndexName(tagName);
  indexName_ = tagName;
  ApplyMasterRange();
  try {
    if (hasRecord_) ResyncAroundHandler();
  } catch (const std::exception&) {
    // The cursor stays as it was; the next move reads the new order.
  }
  Signal(AfterScroll);
}

void TVelorinDataSet::ApplyIndexName(const std::string& tagName) {
  std::string tag = TrimTrailingBlanks(tagName);
  int32_t result = handler_->SelectOrder(tag.empty() ? nullptr : &tag, true);
  if (result < 0) DatabaseError("Index tag " + tagName + " is not assigned");
  if (hasRecord_) ReadRecordByNumber(current_.RecordNumber(layout_), scratch_.Image());
}

void TVelorinDataSet::SetMasterFields(const std::string& fieldName) {
  masterFields_ = fieldName;
  if (Active()) ApplyMasterRange();
}

void TVelorinDataSet::SetMasterSource(TVelorinDataSet* master) {
  for (TVelorinDataSet* link = master; link != nullptr; link = link->master_) {
    if (link == this) DatabaseError(text::kCircularLink);
  }
  if (master_ != nullptr) std::erase(master_->details_, this);
  master_ = master;
  if (master_ != nullptr) master_->details_.push_back(this);
  if (Active()) ApplyMasterRange();
}

void TVelorinDataSet::ApplyMasterRange() {
  if (!Active()) return;
  bool linked = master_ != nullptr && master_->Active() && !masterFields_.empty();
  if (!linked && !masterRangeSet_) return;
  CheckBrowseMode();
  // The range compares with the table's bytes: OEM when the dataset translates.
  std::string bound;
  if (linked) bound = TranslateText(master_->FieldText(masterFields_), true);
  handler_->SetRange(bound, bound, true, true);
  masterRangeSet_ = linked;
  First();
}

void TVelorinDataSet::NotifyDetails() {
  for (TVelorinDataSet* detail : std::vector<TVelorinDataSet*>(details_)) detail->ApplyMasterRange();
}

}  // namespace velorin
