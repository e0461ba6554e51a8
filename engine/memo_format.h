// memo_format.h — the layouts of the three memo files, written down once.
//
// A memo file is a sequence of equal blocks; block n starts at n * block size.
// Block 0 holds the file header; a memo fills one or more consecutive blocks from
// its first block, and the rest of its last block is zero bytes. A record holds
// the number of its memo's first block; 0 there means "no memo".
//
//   dBase III .DBT  little-endian, 512-byte blocks, no block header: the text
//                   ends at the end mark 0x1A 0x1A, found by scanning
//   dBase IV  .DBT  little-endian, block size in the header, an 8-byte block
//                   header in front of each memo, freed runs on a chain
//   FoxPro    .FPT  big-endian, block size in the header, an 8-byte block header
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin {

namespace dbt3_header {            // dBase III, block 0
constexpr size_t kNextFree = 0;    // uint32, the block at which the next appended memo starts
constexpr size_t kTableName = 8;   // upper-case base name of the table, 8 bytes, zero-padded
constexpr size_t kTableNameLength = 8;
constexpr size_t kWriterVersion = 16;  // 1 byte: 0x03 in the files dBase III writers make; never read
constexpr uint8_t kWriterVersionValue = 0x03;
constexpr int32_t kBlockSize = 512;
}  // namespace dbt3_header

namespace dbt4_header {            // dBase IV, block 0 (the header fills the whole block)
constexpr size_t kFreeChainHead = 0;  // uint32, first free run; the end-of-file block when none
constexpr size_t kFreedMark = 4;      // uint32, set to 0 whenever a memo is freed
constexpr size_t kChainWordsSize = 8;  // the two words above, rewritten when a memo is freed
constexpr size_t kTableName = 8;      // as in dBase III
constexpr size_t kTableNameLength = 8;
constexpr size_t kBlockSize = 20;     // uint16; the two bytes after it are zero in practice
constexpr int32_t kDefaultBlockSize = 512;  // when the header says 0 (also a zero-padded header)
}  // namespace dbt4_header

namespace dbt4_block {             // in front of every dBase IV memo
constexpr size_t kSignature = 0;   // uint16 0xFFFF: a memo in use
constexpr size_t kHeaderSize = 2;  // uint16, 8
constexpr size_t kLength = 4;      // uint32, memo length including these 8 bytes
constexpr size_t kSize = 8;
constexpr uint16_t kInUse = 0xFFFF;
}  // namespace dbt4_block

namespace dbt4_free_run {          // instead of the block header, at the start of a free run
constexpr size_t kNext = 0;        // uint32, the next run of the chain
constexpr size_t kBlockCount = 4;  // uint32, blocks in this run
constexpr size_t kSize = 8;
}  // namespace dbt4_free_run

namespace fpt_header {             // FoxPro, block 0; big-endian
constexpr size_t kNextFree = 0;    // uint32
constexpr size_t kBlockSize = 6;   // uint16
constexpr int32_t kMinBlockSize = 8;  // a block must hold the block header
constexpr uint32_t kSize = 512;    // the header area; the first memo starts in the block after it
}  // namespace fpt_header

namespace fpt_block {              // in front of every FoxPro memo; big-endian
constexpr size_t kType = 0;        // uint32, fpt_block_type
constexpr size_t kLength = 4;      // uint32, memo length without these 8 bytes
constexpr size_t kSize = 8;
constexpr uint32_t kTypePicture = 0;
constexpr uint32_t kTypeText = 1;  // what the engine writes
}  // namespace fpt_block

namespace memo_layout {
constexpr uint8_t kEndMark = 0x1A;       // dBase III text ends at the first of these
constexpr size_t kEndMarkLength = 2;     // 0x1A 0x1A is written
constexpr int32_t kScanLimit = 65520;    // a dBase III scan stops when it counts this many
constexpr int32_t kMaxScannedLength = 65519;  // ...and gives this length
constexpr int32_t kTransferPiece = 32768;     // memo bytes move in pieces of at most this
constexpr size_t kHeaderBufferSize = 32;      // file and block headers are read 32 bytes at a time
}  // namespace memo_layout

// The memo header lock, taken by writers of shared memo files around an
// allocation and its write: one region per locking protocol.
struct MemoLockRegion {
  uint32_t offset;
  uint32_t length;
};
constexpr MemoLockRegion kDefaultMemoLock{0x7FFFFFFDu, 1};
constexpr MemoLockRegion kDB4MemoLock{0xEFFFFFFEu, 2};
constexpr MemoLockRegion kClipperMemoLock{1000000000u, 1};
constexpr MemoLockRegion kFoxMemoLock{0x7FFFFFFDu, 1};

}  // namespace velorin
