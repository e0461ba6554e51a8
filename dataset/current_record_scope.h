// current_record_scope.h — points a table's CurrentRecord at a buffer of the
// dataset for one operation and back at what it was on every exit.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "engine/vr6_DBF.h"

namespace velorin {

class CurrentRecordScope {
 public:
  CurrentRecordScope(VRO_dBaseDBF& table, uint8_t* record) : table_(table), saved_(table.CurrentRecord()) {
    table.SetCurrentRecord(record);
  }
  ~CurrentRecordScope() { table_.SetCurrentRecord(saved_); }
  CurrentRecordScope(const CurrentRecordScope&) = delete;
  CurrentRecordScope& operator=(const CurrentRecordScope&) = delete;

 private:
  VRO_dBaseDBF& table_;
  uint8_t* saved_;
};

// Runs an action when the scope ends, however it ends.
class ScopeExit {
 public:
  explicit ScopeExit(std::function<void()> action) : action_(std::move(action)) {}
  ~ScopeExit() {
    if (action_) action_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void Dismiss() { action_ = nullptr; }

 private:
  std::function<void()> action_;
};

}  // namespace velorin
