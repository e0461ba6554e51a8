#include "engine/vr6_memo.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/byte_order.h"
#include "engine/text_trim.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "platform/clock.h"
#include "platform/file_names.h"

namespace velorin {

namespace {

constexpr int64_t kMaxFileSize = std::numeric_limits<int32_t>::max();

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The position of the dot that starts the extension of the last path component,
// or npos when it has none.
size_t ExtensionDot(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  return (dot == std::string::npos || dot < nameStart) ? std::string::npos : dot;
}

int64_t CeilDiv(int64_t value, int64_t divisor) { return (value + divisor - 1) / divisor; }

}  // namespace

// ---- the memo header lock ------------------------------------------------------

class VRobjMemo::HeaderLock {
 public:
  explicit HeaderLock(VRobjMemo* memo) : memo_(memo) {
    if (!memo->shared_) {
      held_ = true;  // an exclusive file has no other writer
      return;
    }
    for (int attempt = 1; attempt <= kLockTries; ++attempt) {
      if (memo->LockRegion(memo->memoLock_.offset, memo->memoLock_.length)) {
        held_ = locked_ = true;
        return;
      }
      if (memo->status_ != error_code::kLockViolation) break;  // retrying cannot help
      if (attempt < kLockTries) platform::SleepMilliseconds(kLockRetryIntervalMs);
    }
    memo->ReportStatus(sub_code::kMemoLock);
  }
  ~HeaderLock() {
    if (locked_) memo_->Unlock();
  }
  HeaderLock(const HeaderLock&) = delete;
  HeaderLock& operator=(const HeaderLock&) = delete;

  bool Held() const { return held_; }

 private:
  VRobjMemo* memo_;
  bool held_ = false;
  bool locked_ = false;
};

// ---- the common part and dBase III ---------------------------------------------

VRobjMemo::VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite,
                     bool shared)
    : VRobjMemo(table, version, tableFileName, "dbt", readWrite, shared) {}

VRobjMemo::VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, std::string_view ext,
                     bool readWrite, bool shared)
    : VRO_DiskFile(MemoFileName(tableFileName, ext), readWrite, shared),
      table_(table),
      version_(version),
      extension_(ext) {
  if (!existed_) {
    status_ = error_code::kFileNotFound;
    ReportStatus(sub_code::kMemoOpen);
    return;
  }
  Open();
  blockSize_ = dbt3_header::kBlockSize;
  currentBlock_ = 0;
  currentBlockCount_ = 0;
}

VRobjMemo::~VRobjMemo() = default;

void VRobjMemo::Error(int32_t code, int32_t subCode, std::string_view text) {
  if (table_ != nullptr) {
    table_->Error(code, subCode, text);
  } else {
    VRO_DiskFile::Error(code, subCode, text);
  }
}

void VRobjMemo::ReportFormatError() {
  status_ = error_code::kMemoFormat;
  ReportStatus(sub_code::kMemoFormat);
}

int32_t VRobjMemo::FileSize() { return std::max(Size(), 0); }

int32_t VRobjMemo::BlockOffset(int32_t block, int32_t need, int32_t fileSize) {
  int64_t offset = int64_t{block} * blockSize_;
  if (block < 1 || offset + need > fileSize) {
    ReportFormatError();
    return -1;
  }
  return static_cast<int32_t>(offset);
}

bool VRobjMemo::FitsInFile(int64_t block, int64_t blocks) {
  if (block * blockSize_ > kMaxFileSize) {
    // No memo file can reach that far: the header's block number is damaged.
    ReportFormatError();
    return false;
  }
  if ((block + blocks) * blockSize_ > kMaxFileSize) {
    status_ = error_code::kFileTooLarge;
    ReportStatus(sub_code::kWriteAt);
    return false;
  }
  return true;
}

void VRobjMemo::WriteZeros(int64_t offset, int64_t count) {
  if (count <= 0) return;
  std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(count, memo_layout::kTransferPiece)), 0);
  for (int64_t done = 0; done < count;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(count - done, memo_layout::kTransferPiece));
    WriteAt(static_cast<int32_t>(offset + done), zeros.data(), piece);
    if (status_ != 0) return;
    done += piece;
  }
}

bool VRobjMemo::AllocateBlocks(int32_t length, int32_t givenBlock) {
  // Room for the two end-mark bytes.
  int64_t needed = (int64_t{length} + blockSize_ + 1) / blockSize_;
  if (givenBlock == 0 || givenBlock != currentBlock_ || currentBlockCount_ < needed) {
    int32_t start = AppendBlocks(needed);
    if (start < 0) return false;
    currentBlock_ = start;
  }
  currentBlockCount_ = static_cast<int32_t>(needed);
  std::memset(headerBuffer_, 0, sizeof headerBuffer_);
  return true;
}

int32_t VRobjMemo::AppendBlocks(int64_t blocksNeeded) {
  // dBase III headers are little-endian, FoxPro headers big-endian; both keep the
  // next free block in their first four bytes.
  const bool bigEndian = BlockHeaderSize() > 0;
  uint8_t word[4] = {};
  ReadAt(0, word, sizeof word);
  int64_t next = bigEndian ? byte_order::GetBE32(word) : byte_order::GetLE32(word);
  // Never inside the header, nor over blocks the file already holds (a stale or
  // zero next-free value, or a last memo another writer did not pad).
  int64_t fileBlocks = CeilDiv(FileSize(), blockSize_);
  int64_t start = std::max<int64_t>({next, fileBlocks, 1});
  if (!FitsInFile(start, blocksNeeded)) return -1;
  uint32_t newNext = static_cast<uint32_t>(start + blocksNeeded);
  if (bigEndian) {
    byte_order::PutBE32(word, newNext);
  } else {
    byte_order::PutLE32(word, newNext);
  }
  WriteAt(0, word, sizeof word);
  if (status_ != 0) return -1;
  return static_cast<int32_t>(start);
}

void VRobjMemo::FreeBlocks(int32_t) {}

void VRobjMemo::WriteEndMark(uint8_t* buffer) {
  buffer[0] = memo_layout::kEndMark;
  buffer[1] = memo_layout::kEndMark;
}

int64_t VRobjMemo::StoredLength() { return 0; }

int32_t VRobjMemo::BlockHeaderSize() const { return 0; }

void VRobjMemo::SetLockProtocol(uint8_t protocol) {
  switch (protocol) {
    case static_cast<uint8_t>(TvrLokProtocol::Default): memoLock_ = kDefaultMemoLock; break;
    case static_cast<uint8_t>(TvrLokProtocol::DB4Lock): memoLock_ = kDB4MemoLock; break;
    case static_cast<uint8_t>(TvrLokProtocol::ClipLock): memoLock_ = kClipperMemoLock; break;
    case static_cast<uint8_t>(TvrLokProtocol::FoxLock): memoLock_ = kFoxMemoLock; break;
    default: return;
  }
  lockProtocol_ = static_cast<TvrLokProtocol>(protocol);
}

bool VRobjMemo::RenameForTable(const std::string& newTableName) {
  bool renamed = Rename(MemoFileName(newTableName, extension_));
  if (!renamed || !readWrite_) return renamed;
  // The header names its table: the first eight characters of the base name,
  // upper case, zero-padded. Only those bytes are written, so that a next-free
  // value another writer stored meanwhile stays as it is.
  std::string base = platform::BaseName(TrimBlanks(newTableName));
  size_t dot = ExtensionDot(base);
  if (dot != std::string::npos) base.resize(dot);
  uint8_t name[dbt3_header::kTableNameLength] = {};
  for (size_t i = 0; i < base.size() && i < sizeof name; ++i) name[i] = static_cast<uint8_t>(AsciiUpper(base[i]));
  WriteAt(static_cast<int32_t>(dbt3_header::kTableName), name, sizeof name);
  return true;
}

int32_t VRobjMemo::ScanLength(int32_t offset) {
  std::vector<uint8_t> block(static_cast<size_t>(blockSize_));
  int32_t count = 0;
  for (int64_t position = offset; position <= kMaxFileSize;) {
    int32_t got = ReadAt(static_cast<int32_t>(position), block.data(), blockSize_);
    if (got <= 0) break;
    for (int32_t i = 0; i < got; ++i) {
      if (block[static_cast<size_t>(i)] == memo_layout::kEndMark) return count;
      if (++count == memo_layout::kScanLimit) return memo_layout::kMaxScannedLength;
    }
    if (got < blockSize_) break;  // the file ends before an end mark
    position += got;
  }
  return count;
}

int32_t VRobjMemo::CheckedMemoLength(int32_t block) {
  if (block == 0) return 0;
  const int32_t fileSize = FileSize();
  const int32_t header = BlockHeaderSize();
  int32_t offset = BlockOffset(block, std::max(header, 1), fileSize);
  if (offset < 0) return -1;
  if (header == 0) return ScanLength(offset);
  ReadAt(offset, headerBuffer_, static_cast<int32_t>(sizeof headerBuffer_));
  int64_t stored = StoredLength();
  if (stored < 0) return -1;
  if (stored < header || offset + stored > fileSize) {
    ReportFormatError();
    return -1;
  }
  return static_cast<int32_t>(stored - header);
}

int32_t VRobjMemo::MemoLength(int32_t block) { return std::max(CheckedMemoLength(block), 0); }

void VRobjMemo::ReadMemo(void* buffer, int32_t block, int32_t& size) {
  if (size <= 0) {
    size = 0;
    return;
  }
  auto* bytes = static_cast<uint8_t*>(buffer);
  currentBlock_ = block;
  currentBlockCount_ = 0;
  if (block == 0) {
    size = 0;
    if (bytes != nullptr) bytes[0] = 0;
    return;
  }
  int32_t length = CheckedMemoLength(block);
  if (length < 0) {
    size = 0;
    return;
  }
  const int32_t n = std::min(size, length);
  const int32_t header = BlockHeaderSize();
  size = n;
  currentBlockCount_ = static_cast<int32_t>(CeilDiv(int64_t{n} + header, blockSize_));
  const int64_t start = int64_t{block} * blockSize_ + header;
  for (int32_t done = 0; done < n;) {
    int32_t piece = std::min(memo_layout::kTransferPiece, n - done);
    ReadAt(static_cast<int32_t>(start + done), bytes + done, piece);
    done += piece;
  }
}

int32_t VRobjMemo::WriteMemo(const void* buffer, int32_t& block, int32_t size) {
  if (size == 0 && block == 0) return 0;
  if (size < 0 || (size > 0 && buffer == nullptr)) {
    status_ = error_code::kInvalidParameter;
    ReportStatus(sub_code::kWriteAt);
    return block;
  }
  if (!readWrite_) {
    status_ = error_code::kAccessDenied;
    ReportStatus(sub_code::kWriteAt);
    return block;
  }
  HeaderLock lock(this);
  if (!lock.Held()) return block;
  if (!AllocateBlocks(size, block)) return block;

  const int32_t header = BlockHeaderSize();
  const int64_t start = int64_t{currentBlock_} * blockSize_;
  if (header > 0) {
    WriteAt(static_cast<int32_t>(start), headerBuffer_, header);
    if (status_ != 0) return block;
  }
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t done = 0; done < size;) {
    int32_t piece = std::min(memo_layout::kTransferPiece, size - done);
    WriteAt(static_cast<int32_t>(start + header + done), bytes + done, piece);
    if (status_ != 0) return block;
    done += piece;
  }

  // The rest of the last block is zeros. A format without block header ends its
  // text with the end mark, which always gets its two bytes (the allocation left
  // room for them, if need be in one more block).
  const int64_t used = int64_t{header} + size;
  const int64_t remainder = used % blockSize_;
  int64_t tail = remainder == 0 ? 0 : blockSize_ - remainder;
  if (header == 0) {
    tail = blockSize_ - remainder;
    if (tail < static_cast<int64_t>(memo_layout::kEndMarkLength)) tail += blockSize_;
  }
  if (tail > 0) {
    std::vector<uint8_t> tailBytes(static_cast<size_t>(tail), 0);
    if (tail >= static_cast<int64_t>(memo_layout::kEndMarkLength)) WriteEndMark(tailBytes.data());
    WriteAt(static_cast<int32_t>(start + used), tailBytes.data(), static_cast<int32_t>(tail));
    if (status_ != 0) return block;
  }
  block = currentBlock_;
  return currentBlock_;
}

std::string VRobjMemo::MemoFileName(const std::string& tableFileName, std::string_view ext) {
  std::string name = TrimBlanks(tableFileName);
  size_t dot = ExtensionDot(name);
  bool lower = false;
  if (dot != std::string::npos) {
    char first = dot + 1 < name.size() ? name[dot + 1] : '\0';
    lower = first >= 'a' && first <= 'z';
    name.resize(dot);
  }
  name += '.';
  for (char c : ext) name += lower ? AsciiLower(c) : AsciiUpper(c);
  return name;
}

// ---- dBase IV ------------------------------------------------------------------

VRobjMemo4::VRobjMemo4(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite,
                       bool shared)
    : VRobjMemo(table, version, tableFileName, "dbt", readWrite, shared) {
  if (closed_) return;
  // A header shorter than 32 bytes reads as zeros beyond its end.
  ReadAt(0, headerBuffer_, static_cast<int32_t>(sizeof headerBuffer_));
  int32_t blockSize = byte_order::GetLE16(headerBuffer_ + dbt4_header::kBlockSize);
  if (blockSize == 0) blockSize = dbt4_header::kDefaultBlockSize;
  if (blockSize < static_cast<int32_t>(dbt4_block::kSize)) {
    ReportFormatError();  // a block could not hold its own header
    return;
  }
  blockSize_ = blockSize;
  if (readWrite_ && FileSize() < blockSize_) {
    // The header is the whole of block 0; the first memo goes after it.
    HeaderLock lock(this);
    if (!lock.Held()) return;
    int32_t fileSize = FileSize();
    WriteZeros(fileSize, blockSize_ - fileSize);
  }
}

void VRobjMemo4::WriteEndMark(uint8_t*) {}

int32_t VRobjMemo4::BlockHeaderSize() const { return static_cast<int32_t>(dbt4_block::kSize); }

int64_t VRobjMemo4::StoredLength() {
  if (byte_order::GetLE16(headerBuffer_ + dbt4_block::kSignature) != dbt4_block::kInUse) {
    ReportFormatError();
    return -1;
  }
  return byte_order::GetLE32(headerBuffer_ + dbt4_block::kLength);
}

int32_t VRobjMemo4::EndBlock() { return static_cast<int32_t>(CeilDiv(FileSize(), blockSize_)); }

void VRobjMemo4::FreeBlocks(int32_t block) {
  HeaderLock lock(this);
  if (!lock.Held()) return;
  const int32_t fileSize = FileSize();
  const int64_t offset = int64_t{block} * blockSize_;
  if (block < 1 || offset + static_cast<int64_t>(dbt4_block::kSize) > fileSize) return;
  // Only a memo in use is freed: a stale block number (a run already freed, or
  // no memo at all) must not put blocks on the chain twice.
  uint8_t memoHeader[dbt4_block::kSize];
  ReadAt(static_cast<int32_t>(offset), memoHeader, sizeof memoHeader);
  if (byte_order::GetLE16(memoHeader + dbt4_block::kSignature) != dbt4_block::kInUse) return;
  int64_t stored = byte_order::GetLE32(memoHeader + dbt4_block::kLength);
  if (stored < static_cast<int64_t>(dbt4_block::kSize) || offset + stored > fileSize) return;

  uint8_t fileHeader[dbt4_header::kChainWordsSize] = {};
  ReadAt(0, fileHeader, sizeof fileHeader);
  uint8_t run[dbt4_free_run::kSize];
  byte_order::PutLE32(run + dbt4_free_run::kNext, byte_order::GetLE32(fileHeader + dbt4_header::kFreeChainHead));
  byte_order::PutLE32(run + dbt4_free_run::kBlockCount, static_cast<uint32_t>(CeilDiv(stored, blockSize_)));
  WriteAt(static_cast<int32_t>(offset), run, sizeof run);
  if (status_ != 0) return;
  byte_order::PutLE32(fileHeader + dbt4_header::kFreeChainHead, static_cast<uint32_t>(block));
  byte_order::PutLE32(fileHeader + dbt4_header::kFreedMark, 0);
  WriteAt(0, fileHeader, sizeof fileHeader);
}

bool VRobjMemo4::AllocateBlocks(int32_t length, int32_t givenBlock) {
  const int64_t needed = (int64_t{length} + static_cast<int64_t>(dbt4_block::kSize)) / blockSize_ + 1;
  if (givenBlock != 0) FreeBlocks(givenBlock);

  uint8_t fileHeader[memo_layout::kHeaderBufferSize];
  ReadAt(0, fileHeader, sizeof fileHeader);
  int64_t end = EndBlock();
  if (end == 0) {
    end = 1;
    WriteAt(0, fileHeader, sizeof fileHeader);
    if (status_ != 0) return false;
  }

  // First fit along the chain. The walk ends at the end-of-file block, and also
  // at a link that cannot be one (0, or at or past the end), at a run reaching
  // past the end, and after as many steps as the file has blocks (a cycle): the
  // link that led there is then replaced below, which mends the chain.
  int64_t cur = byte_order::GetLE32(fileHeader + dbt4_header::kFreeChainHead);
  int64_t prev = 0;
  int64_t next = 0;
  bool fitted = false;
  uint8_t run[dbt4_free_run::kSize];
  for (int64_t steps = 0; cur != end; ++steps) {
    if (cur == 0 || cur > end || steps >= end) break;
    ReadAt(static_cast<int32_t>(cur * blockSize_), run, sizeof run);
    int64_t runNext = byte_order::GetLE32(run + dbt4_free_run::kNext);
    int64_t runBlocks = byte_order::GetLE32(run + dbt4_free_run::kBlockCount);
    if (runBlocks > end - cur) break;
    if (runBlocks < needed) {
      prev = cur;
      cur = runNext;
      continue;
    }
    next = runNext;
    if (runBlocks > needed) {
      // The rest stays free as a run of its own, in this run's place on the chain.
      next = cur + needed;
      uint8_t rest[dbt4_free_run::kSize];
      byte_order::PutLE32(rest + dbt4_free_run::kNext, static_cast<uint32_t>(runNext));
      byte_order::PutLE32(rest + dbt4_free_run::kBlockCount, static_cast<uint32_t>(runBlocks - needed));
      WriteAt(static_cast<int32_t>(next * blockSize_), rest, sizeof rest);
      if (status_ != 0) return false;
    }
    fitted = true;
    break;
  }
  if (!fitted) {
    if (!FitsInFile(end, needed)) return false;
    cur = end;
    next = end + needed;
  }

  if (prev == 0) {
    byte_order::PutLE32(fileHeader + dbt4_header::kFreeChainHead, static_cast<uint32_t>(next));
    WriteAt(0, fileHeader + dbt4_header::kFreeChainHead, sizeof(uint32_t));
  } else {
    uint8_t link[4];
    byte_order::PutLE32(link, static_cast<uint32_t>(next));
    WriteAt(static_cast<int32_t>(prev * blockSize_ + dbt4_free_run::kNext), link, sizeof link);
  }
  if (status_ != 0) return false;

  currentBlock_ = static_cast<int32_t>(cur);
  currentBlockCount_ = static_cast<int32_t>(needed);
  std::memset(headerBuffer_, 0, sizeof headerBuffer_);
  byte_order::PutLE16(headerBuffer_ + dbt4_block::kSignature, dbt4_block::kInUse);
  byte_order::PutLE16(headerBuffer_ + dbt4_block::kHeaderSize, static_cast<uint16_t>(dbt4_block::kSize));
  byte_order::PutLE32(headerBuffer_ + dbt4_block::kLength, static_cast<uint32_t>(int64_t{length} + static_cast<int64_t>(dbt4_block::kSize)));
  return true;
}

// ---- FoxPro --------------------------------------------------------------------

VRobjFXMemo20::VRobjFXMemo20(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName,
                             bool readWrite, bool shared)
    : VRobjMemo(table, version, tableFileName, "fpt", readWrite, shared) {
  if (closed_) return;
  ReadAt(0, headerBuffer_, static_cast<int32_t>(sizeof headerBuffer_));
  int32_t blockSize = byte_order::GetBE16(headerBuffer_ + fpt_header::kBlockSize);
  if (blockSize < fpt_header::kMinBlockSize) {
    ReportFormatError();
    return;
  }
  blockSize_ = blockSize;
}

void VRobjFXMemo20::WriteEndMark(uint8_t*) {}

int32_t VRobjFXMemo20::BlockHeaderSize() const { return static_cast<int32_t>(fpt_block::kSize); }

int64_t VRobjFXMemo20::StoredLength() {
  uint32_t type = byte_order::GetBE32(headerBuffer_ + fpt_block::kType);
  if (type != fpt_block::kTypeText && type != fpt_block::kTypePicture) {
    ReportFormatError();
    return -1;
  }
  return static_cast<int64_t>(fpt_block::kSize) + byte_order::GetBE32(headerBuffer_ + fpt_block::kLength);
}

bool VRobjFXMemo20::AllocateBlocks(int32_t length, int32_t givenBlock) {
  // One block more than needed when length + 8 fills its blocks exactly; other
  // FoxPro writers count the same way.
  int64_t needed = (int64_t{length} + static_cast<int64_t>(fpt_block::kSize)) / blockSize_ + 1;
  if (givenBlock == 0 || givenBlock != currentBlock_ || currentBlockCount_ < needed) {
    int32_t start = AppendBlocks(needed);
    if (start < 0) return false;
    currentBlock_ = start;
  }
  currentBlockCount_ = static_cast<int32_t>(needed);
  std::memset(headerBuffer_, 0, sizeof headerBuffer_);
  byte_order::PutBE32(headerBuffer_ + fpt_block::kType, fpt_block::kTypeText);
  byte_order::PutBE32(headerBuffer_ + fpt_block::kLength, static_cast<uint32_t>(length));
  return true;
}

bool VRobjFXMemo20::RenameForTable(const std::string& newTableName) {
  return Rename(MemoFileName(newTableName, extension_));
}

// ---- choosing the class --------------------------------------------------------

std::unique_ptr<VRobjMemo> MakeMemoForTable(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName,
                                            bool readWrite, bool shared) {
  switch (version) {
    case dbf_version::kDbase3Memo:
      return std::make_unique<VRobjMemo>(table, version, tableFileName, readWrite, shared);
    case dbf_version::kDbase4Memo:
      return std::make_unique<VRobjMemo4>(table, version, tableFileName, readWrite, shared);
    case dbf_version::kFoxProMemo:
    case dbf_version::kVisualFoxPro:
      return std::make_unique<VRobjFXMemo20>(table, version, tableFileName, readWrite, shared);
    default: return nullptr;
  }
}

std::string MemoFileNameFor(uint8_t version, const std::string& tableFileName) {
  switch (version) {
    case dbf_version::kDbase3Memo:
    case dbf_version::kDbase4Memo: return VRobjMemo::MemoFileName(tableFileName, "dbt");
    case dbf_version::kFoxProMemo:
    case dbf_version::kVisualFoxPro: return VRobjMemo::MemoFileName(tableFileName, "fpt");
    default: return "";
  }
}

}  // namespace velorin
