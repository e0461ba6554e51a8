// vr6_memo.h — memo files: the text of M, B and G fields lives here, outside the record.
//
// Three formats, one class each: dBase III (.DBT, 512-byte blocks, text ends at
// 0x1A 0x1A), dBase IV (.DBT, block size in the header, free-block chain) and
// FoxPro (.FPT, big-endian, block size in the header). The record holds the
// number of the memo's first block; block 0 is the file header, and 0 in a
// record means "no memo". The layouts are in memo_format.h.
//
// A memo object belongs to one open table and reports its errors through that
// table's Error (through the process-wide error procedure when it has none).
// Block numbers come from records and are checked like everything else read
// from a file: a block outside the file, a block header of the wrong kind or a
// stored length that reaches past the end of the file is error 1005 ("dBase memo
// record has format error") with sub-code 6199, never a read outside the file or
// a buffer sized from an unchecked length.
//
// Writers of a shared memo file take the memo header lock (a region that depends
// on the locking protocol) from the allocation to the end of the write, trying 40
// times 50 ms apart; when every try fails the write raises the file's status with
// sub-code 1112 and nothing is written. Readers take no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dbf_format.h"
#include "engine/memo_format.h"
#include "engine/vr6_disk.h"

namespace velorin {

class VRO_dBaseDBF;

// The dBase III memo file, and the common part of all three formats.
class VRobjMemo : public VRO_DiskFile {
 public:
  // Attempts at the memo header lock, and the pause after a refused one.
  static constexpr int kLockTries = 40;
  static constexpr int kLockRetryIntervalMs = 50;

  // Opens the memo file of the table tableFileName (MemoFileName with "dbt") in
  // the table's modes. A missing file is error 2 with sub-code 6101.
  VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite, bool shared);
  ~VRobjMemo() override;

  // Reports through the table's Error when there is a table.
  void Error(int32_t code, int32_t subCode, std::string_view text) override;

  // The operations added to those of the disk file, in their slot order.
  // Decides where a memo of length bytes goes, given the block it had (0: none),
  // makes that the current block and count, and fills the block header buffer.
  // dBase III and FoxPro rewrite in place when givenBlock is the memo last read
  // or written here and its blocks are enough, else append at the header's next
  // free block. Called by WriteMemo under the memo header lock. False (after a
  // report) when the memo cannot be placed.
  virtual bool AllocateBlocks(int32_t length, int32_t givenBlock);
  // dBase IV: puts the run of the memo at block first on the free chain; a block
  // that does not hold a memo (no FF FF, or a bad length) is left alone. Nothing
  // in the other formats.
  virtual void FreeBlocks(int32_t block);
  // dBase III: puts the end mark 0x1A 0x1A at the start of buffer. Nothing else.
  virtual void WriteEndMark(uint8_t* buffer);
  // The stored length, block header included, of the block header just read
  // into the header buffer; 0 for dBase III (which has none). A header of the
  // wrong kind is reported (1005/6199) and gives -1.
  virtual int64_t StoredLength();
  // 0 for dBase III, 8 for the others.
  virtual int32_t BlockHeaderSize() const;
  // Selects the memo header lock region of the protocol; a value above 3 keeps
  // the previous region.
  virtual void SetLockProtocol(uint8_t protocol);
  // Renames the memo file after its table (MemoFileName of newTableName) and, in
  // a .DBT file opened read-write, writes the new base name into the header.
  // Result: renamed.
  virtual bool RenameForTable(const std::string& newTableName);

  // The memo's length in bytes without any block header; 0 for block 0.
  int32_t MemoLength(int32_t block);
  // Fills buffer with at most size bytes of the memo at block; size becomes the
  // bytes delivered (block 0: 0, and buffer[0] := 0). No terminator is added. The
  // current block and count follow what was read, so a shorter read makes a
  // later rewrite append.
  void ReadMemo(void* buffer, int32_t block, int32_t& size);
  // Writes size bytes as the memo that was at block (0: a new memo); returns the
  // block where it now starts, which is also stored back into block. Size 0 with
  // block 0 writes nothing and returns 0. Needs a read-write file.
  int32_t WriteMemo(const void* buffer, int32_t& block, int32_t size);

  int32_t BlockSize() const { return blockSize_; }
  int32_t CurrentBlock() const { return currentBlock_; }
  int32_t CurrentBlockCount() const { return currentBlockCount_; }
  uint8_t Version() const { return version_; }
  TvrLokProtocol LockProtocol() const { return lockProtocol_; }
  MemoLockRegion MemoLock() const { return memoLock_; }

  // The memo file name for a table: the table's path, blanks trimmed, with its
  // extension replaced by ext ("dbt" or "fpt"), in lower case when the table's
  // extension begins with a lower-case letter and in upper case otherwise (also
  // when it has none). The platform layer then resolves the letter case against
  // the directory.
  static std::string MemoFileName(const std::string& tableFileName, std::string_view ext);

 protected:
  VRobjMemo(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, std::string_view ext,
            bool readWrite, bool shared);

  // Error 1005 with sub-code 6199 and the file name.
  void ReportFormatError();
  // The offset of block when it lies inside a file of fileSize bytes with at
  // least need bytes from its start; otherwise a format error and -1.
  int32_t BlockOffset(int32_t block, int32_t need, int32_t fileSize);
  // The stored memo length without block header, checked against the file; -1
  // after a report.
  int32_t CheckedMemoLength(int32_t block);
  // dBase III and FoxPro: where an appended memo of blocksNeeded blocks starts,
  // from the header's next-free value (never inside the header or the blocks the
  // file already has); the header is advanced. -1 after a report.
  int32_t AppendBlocks(int64_t blocksNeeded);
  // Whether a memo of blocks blocks starting at block stays inside 2 GB: a start
  // beyond is a damaged header (format error), an end beyond is 223.
  bool FitsInFile(int64_t block, int64_t blocks);
  // Size(), never below 0.
  int32_t FileSize();
  void WriteZeros(int64_t offset, int64_t count);

  // Holds the memo header lock of a shared file for a scope (nothing to hold in
  // an exclusive one); reports the status with sub-code 1112 when 40 tries fail.
  class HeaderLock;

  VRO_dBaseDBF* table_;
  uint8_t version_;
  std::string extension_;  // "dbt" or "fpt"
  int32_t currentBlock_ = 0;
  int32_t currentBlockCount_ = 0;
  int32_t blockSize_ = dbt3_header::kBlockSize;
  uint8_t headerBuffer_[memo_layout::kHeaderBufferSize] = {};
  TvrLokProtocol lockProtocol_ = TvrLokProtocol::Default;
  MemoLockRegion memoLock_ = kDefaultMemoLock;

 private:
  // dBase III: the bytes before the first end mark, scanning whole blocks.
  int32_t ScanLength(int32_t offset);
};

// The dBase IV memo file.
class VRobjMemo4 : public VRobjMemo {
 public:
  // Also reads the block size (0 means 512; below 8 is a format error) and, when
  // the file is read-write, extends a header shorter than one block with zeros.
  VRobjMemo4(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite, bool shared);

  // Frees the given block's run, then takes the first run of the free chain that
  // is large enough (splitting it) or the end of the file. A chain link of 0, one
  // at or beyond the end of the file, a run reaching past the end, or a walk
  // longer than the file has blocks ends the chain there.
  bool AllocateBlocks(int32_t length, int32_t givenBlock) override;
  void FreeBlocks(int32_t block) override;
  // Nothing: the block header holds the length.
  void WriteEndMark(uint8_t* buffer) override;
  int64_t StoredLength() override;
  int32_t BlockHeaderSize() const override;

 private:
  // The block count of the end of the file, rounded up: a last memo that another
  // writer did not pad to a whole block is not overwritten.
  int32_t EndBlock();
};

// The FoxPro memo file.
class VRobjFXMemo20 : public VRobjMemo {
 public:
  // Also reads the block size; 0 or below 8 is a format error.
  VRobjFXMemo20(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName, bool readWrite,
                bool shared);

  bool AllocateBlocks(int32_t length, int32_t givenBlock) override;
  // Nothing: the block header holds the length.
  void WriteEndMark(uint8_t* buffer) override;
  int64_t StoredLength() override;
  int32_t BlockHeaderSize() const override;
  // Renames only: the header has no table name.
  bool RenameForTable(const std::string& newTableName) override;
};

// The memo object for a table of this version, or nullptr when the version has no
// memo file (0x30 only with the memo flag: the caller decides that).
std::unique_ptr<VRobjMemo> MakeMemoForTable(VRO_dBaseDBF* table, uint8_t version, const std::string& tableFileName,
                                            bool readWrite, bool shared);

// The memo file name a table of this version has ("" for a version without
// memo files), before the platform resolves its letter case.
std::string MemoFileNameFor(uint8_t version, const std::string& tableFileName);

}  // namespace velorin
