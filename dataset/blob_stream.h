// blob_stream.h — TVLBlobStream: the bytes of a memo or binary-blob field of the
// current record, held whole in memory.
//
// A field's content is read by opening a stream on it and reading it whole; it
// is replaced by opening a stream for writing, writing the bytes and committing
// (or destroying) the stream, which stores them in the memo file and the new
// block number in the record. Text memos are converted between the table's OEM
// code page and the program's ANSI one when the dataset translates; binary
// blobs never are.
//
// Positions run from 0 to 2,147,483,647. Read at or beyond the end returns 0;
// Write beyond the end fills the gap with zero bytes and drops everything after
// the written range. Seek never goes below 0.
#pragma once

#include <cstdint>
#include <vector>

#include "dataset/data_set_base.h"
#include "dataset/fields.h"

namespace velorin {

class TVelorinDataSet;

class TVLBlobStream : public TStream {
 public:
  // Read and read-write streams load the field's content; write streams start
  // empty. Without a current record the stream stays empty. Writing needs the
  // field writable ("Поле '%s' не может быть изменено") and the dataset in the
  // edit or insert state ("Dataset not in edit or insert mode").
  TVLBlobStream(TField& field, TBlobStreamMode mode);
  // Stores a written stream not yet committed; a failure is shown through the
  // program's error display (ShowErrorMessage), never thrown.
  ~TVLBlobStream() override;
  TVLBlobStream(const TVLBlobStream&) = delete;
  TVLBlobStream& operator=(const TVLBlobStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  // origin Beginning: offset; Current: position + offset; End: size + offset.
  int32_t Seek(int32_t offset, TSeekOrigin origin) override;
  int32_t Size() const override { return size_; }
  int32_t Position() const { return position_; }
  bool Modified() const { return modified_; }
  // Stores a written stream now (in the edit or insert state only) and throws
  // what fails; afterwards the stream stores nothing more.
  void Commit() override;

 private:
  void Load(uint8_t* image);

  TField& field_;
  TVelorinDataSet* dataSet_ = nullptr;
  int32_t fieldNumber_ = 0;
  bool modified_ = false;
  bool committed_ = false;
  std::vector<char> buffer_;  // the content and a zero byte; empty when there is none
  int32_t size_ = 0;
  int32_t position_ = 0;
};

}  // namespace velorin
