// vr6_memo.h — memo files: the text of M, B and G fields lives here, outside the record.
//
// Three formats, one class each: dBase III (.DBT, 512-byte blocks, text ends at
// 0x1A 0x1A), dBase IV (.DBT, block size in the header, free-block chain) and
// FoxPro (.FPT, big-endian, block size in the header). The record holds the
// number of the memo's first block; block 0 is the file header, and 0 in a
// record means "no memo". A memo object belongs to one open table and reports its
// errors through that table's Error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dbf_format.h"
#include "engine/vr6_disk.h"

namespace velorin {

class VRO_dBaseDBF;

// The dBase III memo file, and the common part of all three formats.
class VRobjMemo : public VRO_DiskFile {
 public:
  // Opens the memo file of the table tableFileName (its extension replaced by the
  // kind's, in the letter case of the table's). A missing file is error 2 with
  // sub-code 6101.
  VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite, bool shared);
  ~VRobjMemo() override;

  // Reports through the table's Error when there is a table.
  void Error(int32_t code, int32_t subCode, std::string_view text) override;

  // The operations added to those of the disk file, in their slot order.
  // Decides where a memo of length bytes goes (given the block it had), makes
  // that the current block and fills the block header.
  virtual void AllocateBlocks(int32_t length, int32_t givenBlock);
  // Returns the memo's blocks to the free chain (dBase IV only).
  virtual void FreeBlocks(int32_t block);
  // Puts the end mark at the start of buffer (dBase III only).
  virtual void WriteEndMark(uint8_t* buffer);
  // The stored length of the block header just read; 0 for dBase III.
  virtual int32_t StoredLength();
  virtual int32_t BlockHeaderSize() const;
  virtual void SetLockProtocol(uint8_t protocol);
  // Renames the memo file with the table (and writes the new base name into the
  // header of a .DBT file).
  virtual bool RenameForTable(const std::string& newTableName);

  // The memo's length in bytes without any block header; 0 for block 0.
  int32_t MemoLength(int32_t block);
  // Fills buffer with at most size bytes of the memo at block; size becomes the
  // bytes delivered. No terminator is added.
  void ReadMemo(void* buffer, int32_t block, int32_t& size);
  // Writes size bytes as the memo that was at block (0: a new memo); returns the
  // block where it now starts, which is also stored back into block.
  int32_t WriteMemo(const void* buffer, int32_t& block, int32_t size);

  int32_t BlockSize() const { return blockSize_; }
  int32_t CurrentBlock() const { return currentBlock_; }
  int32_t CurrentBlockCount() const { return currentBlockCount_; }

  // The memo file name for a table: the table's path with its extension replaced
  // by ext ("dbt" or "fpt"), in the letter case of the table's extension.
  static std::string MemoFileName(const std::string& tableFileName, std::string_view ext);

 protected:
  VRO_dBaseDBF* table_;
  uint8_t version_;
  int32_t currentBlock_ = 0;
  int32_t currentBlockCount_ = 0;
  int32_t blockSize_ = 512;
  uint8_t headerBuffer_[32] = {};
  TvrLokProtocol lockProtocol_ = TvrLokProtocol::Default;
};

// The dBase IV memo file.
class VRobjMemo4 : public VRobjMemo {
 public:
  VRobjMemo4(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite, bool shared);
};

// The FoxPro memo file.
class VRobjFXMemo20 : public VRobjMemo {
 public:
  VRobjFXMemo20(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite, bool shared);
};

// The memo object for a table of this version, or nullptr when the version has no
// memo file (0x30 only with the memo flag: the caller decides that).
std::unique_ptr<VRobjMemo> MakeMemoForTable(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName,
                                            bool readWrite, bool shared);

}  // namespace velorin
