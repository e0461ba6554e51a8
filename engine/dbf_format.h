// dbf_format.h — the layout of a DBF table file, written down once.
//
//   header          32 bytes at offset 0 (dbf_header)
//   descriptors     32 bytes each from offset 32 (dbf_descriptor)
//   terminator      0x0D, then in Visual FoxPro tables 263 bytes of back link
//   records         RecordLength bytes each from HeaderLength; record n (1-based)
//                   at HeaderLength + (n - 1) * RecordLength; byte 0 is the
//                   deletion flag, the fields follow without gaps
//   end of file     0x1A after the last record
//
// All integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin {

namespace dbf_header {
constexpr size_t kSize = 32;
constexpr size_t kVersion = 0;        // 1 byte, see dbf_version
constexpr size_t kYear = 1;           // 1 byte, year of last update modulo 100
constexpr size_t kMonth = 2;          // 1 byte, 1-12
constexpr size_t kDay = 3;            // 1 byte, 1-31
constexpr size_t kRecordCount = 4;    // uint32, written, never trusted on reading
constexpr size_t kHeaderLength = 8;   // uint16
constexpr size_t kRecordLength = 10;  // uint16, deletion flag included
constexpr size_t kChangeStamp = 16;   // uint32, ((h*64+m)*64+s)*1024+ms of the last header write
constexpr size_t kUserId = 20;        // uint32, id of the last header writer
constexpr size_t kFlags = 28;         // 1 byte, dbf_flags
constexpr size_t kLanguageDriver = 29;  // 1 byte, the code page of the text
// Bytes 12-15, 24-27 and 30-31 are reserved and written back as they were read.
}  // namespace dbf_header

namespace dbf_flags {
constexpr uint8_t kProductionIndex = 0x01;  // a structural index file belongs to the table
constexpr uint8_t kMemoFile = 0x02;         // Visual FoxPro: the table has a memo file
constexpr uint8_t kContainer = 0x04;        // the table belongs to a database container
constexpr uint8_t kKnownFlags = 0x07;       // the engine writes these bits only
}  // namespace dbf_flags

namespace dbf_version {
constexpr uint8_t kDbase3 = 0x03;        // no memo file
constexpr uint8_t kDbase3Memo = 0x83;    // dBase III memo file (.DBT)
constexpr uint8_t kDbase4Memo = 0x8B;    // dBase IV memo file (.DBT)
constexpr uint8_t kFoxProMemo = 0xF5;    // FoxPro memo file (.FPT)
constexpr uint8_t kVisualFoxPro = 0x30;  // FoxPro memo file when dbf_flags::kMemoFile is set
}  // namespace dbf_version

namespace dbf_language_driver {       // header byte 29
constexpr uint8_t kNone = 0x00;
constexpr uint8_t kRussianDos = 0x26;      // code page 866
constexpr uint8_t kRussianOem = 0x65;      // code page 866
constexpr uint8_t kRussianWindows = 0xC9;  // code page 1251
}  // namespace dbf_language_driver

namespace dbf_descriptor {
constexpr size_t kSize = 32;
constexpr size_t kName = 0;           // 11 bytes, ASCII upper case, zero-padded
constexpr size_t kNameLength = 11;
constexpr size_t kType = 11;          // 1 byte, the type letter
constexpr size_t kDisplacement = 12;  // uint32, ignored on reading (computed)
constexpr size_t kLength = 16;        // 1 byte
constexpr size_t kDecimals = 17;      // 1 byte; for "C" the high byte of the length
}  // namespace dbf_descriptor

namespace dbf_layout {
constexpr uint8_t kDescriptorTerminator = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr uint8_t kActiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';
constexpr size_t kVisualFoxProBackLink = 263;  // extra header bytes after the terminator
constexpr size_t kMaxFields = 4096;
// The smallest header: the 32 bytes and a terminator (plus the back link in 0x30).
constexpr size_t kMinHeaderLength = dbf_header::kSize + 1;
constexpr size_t kMinVisualFoxProHeaderLength = kMinHeaderLength + kVisualFoxProBackLink;
}  // namespace dbf_layout

// Lock regions of the locking protocols (TvrLokProtocol). Offsets lie beyond any
// real file, above 2 GB for DB4Lock; they are unsigned 32-bit values.
enum class TvrLokProtocol : uint8_t { Default = 0, DB4Lock = 1, ClipLock = 2, FoxLock = 3 };

struct LockConstants {
  uint32_t fileLockOffset;
  uint32_t headerLockOffset;
  uint32_t fileLockLength;
};

constexpr LockConstants kDefaultLocks{1073741824u, 2147483646u, 1073741823u};
constexpr LockConstants kDB4Locks{1073741824u, 4026531839u, 2952790016u};
constexpr LockConstants kClipperLocks{1000000000u, 1000000000u, 1000000000u};

}  // namespace velorin
