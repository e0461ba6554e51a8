// Placeholder until the memo formats are implemented: opening a memo file fails.
#include "engine/vr6_memo.h"

#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"

namespace velorin {

VRobjMemo::VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite,
                     bool shared)
    : VRO_DiskFile(MemoFileName(tableFileName, "dbt"), readWrite, shared), table_(table), version_(version) {
  status_ = error_code::kFileNotFound;
  ReportStatus(sub_code::kMemoOpen);
}

VRobjMemo::~VRobjMemo() = default;

void VRobjMemo::Error(int32_t code, int32_t subCode, std::string_view text) {
  if (table_ != nullptr) {
    table_->Error(code, subCode, text);
  } else {
    VRO_DiskFile::Error(code, subCode, text);
  }
}

void VRobjMemo::AllocateBlocks(int32_t, int32_t) {}
void VRobjMemo::FreeBlocks(int32_t) {}
void VRobjMemo::WriteEndMark(uint8_t*) {}
int32_t VRobjMemo::StoredLength() { return 0; }
int32_t VRobjMemo::BlockHeaderSize() const { return 0; }
void VRobjMemo::SetLockProtocol(uint8_t protocol) { lockProtocol_ = static_cast<TvrLokProtocol>(protocol); }
bool VRobjMemo::RenameForTable(const std::string&) { return false; }
int32_t VRobjMemo::MemoLength(int32_t) { return 0; }
void VRobjMemo::ReadMemo(void*, int32_t, int32_t& size) { size = 0; }
int32_t VRobjMemo::WriteMemo(const void*, int32_t& block, int32_t) { return block; }
std::string VRobjMemo::MemoFileName(const std::string& tableFileName, std::string_view) { return tableFileName; }

std::unique_ptr<VRobjMemo> MakeMemoForTable(VRO_dBaseDBF*, uint8_t, const std::string&, bool, bool) {
  return nullptr;
}

}  // namespace velorin
