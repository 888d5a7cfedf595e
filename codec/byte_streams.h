// Byte streams for the standard serializer.
//
// ByteStreamReader / ByteStreamWriter are the interfaces the serializer reads
// from and writes to; ByteBufferStreamReader walks a caller-owned buffer and
// ByteBufferStreamWriter appends to a caller-owned vector. Alignment is
// counted from the first byte of the buffer (the whole message).
#ifndef ORVA_CODEC_BYTE_STREAMS_H_
#define ORVA_CODEC_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace flutter {

// Writes the reader's failure line, "Invalid read in
// StandardCodecByteStreamReader", to std::cerr. The serializer writes the same
// line when it refuses an announced length or count.
void ReportInvalidStreamRead();

class ByteStreamReader {
 public:
  virtual ~ByteStreamReader();
  // The next byte; 0 when there is none.
  virtual uint8_t TakeByte() = 0;
  // Copies the next |length| bytes to |destination|; copies nothing when they
  // are not all there.
  virtual void TakeBytes(uint8_t* destination, size_t length) = 0;
  // Moves forward to the next multiple of |alignment|.
  virtual void SkipToAlignment(uint8_t alignment) = 0;
  // How many bytes are left to read, used to bound announced lengths and
  // counts. Readers that cannot tell answer the largest size_t (no bound).
  virtual size_t RemainingBytes() const;
};

class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter();
  virtual void PutByte(uint8_t byte) = 0;
  virtual void PutBytes(const uint8_t* bytes, size_t length) = 0;
  // Appends zero bytes up to the next multiple of |alignment|.
  virtual void PadToAlignment(uint8_t alignment) = 0;
};

// The reading rules of a buffer it does not own, inline so that the
// serializer can walk a ByteBufferStreamReader's buffer without a virtual
// call per read. A read that would pass the end writes "Invalid read in
// StandardCodecByteStreamReader" to std::cerr, yields nothing (0, an untouched
// destination, null) and leaves the position where it was. The checks cannot
// overflow; a position past the end (after an alignment skip) fails even a
// zero-length read.
class BufferCursor {
 public:
  BufferCursor(const uint8_t* bytes, size_t size)
      : bytes_(bytes), size_(bytes == nullptr ? 0 : size) {}

  uint8_t TakeByte() {
    if (position_ < size_) return bytes_[position_++];
    ReportInvalidStreamRead();
    return 0;
  }
  // The next |length| bytes where they lie in the buffer, moving past them.
  const uint8_t* TakeInPlace(size_t length) {
    if (position_ > size_ || length > size_ - position_) {
      ReportInvalidStreamRead();
      return nullptr;
    }
    const uint8_t* first = bytes_ + position_;
    position_ += length;
    return first;
  }
  void TakeBytes(uint8_t* destination, size_t length) {
    const uint8_t* first = TakeInPlace(length);
    if (first != nullptr && length > 0) std::memcpy(destination, first, length);
  }
  // Does not check the end: a position past it makes the next read fail.
  void SkipToAlignment(size_t alignment) {
    size_t misalignment = alignment == 0 ? 0 : position_ % alignment;
    if (misalignment != 0) position_ += alignment - misalignment;
  }
  size_t RemainingBytes() const { return position_ >= size_ ? 0 : size_ - position_; }
  size_t position() const { return position_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

// Reads a buffer it does not own, by the rules of BufferCursor.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size) : cursor_(bytes, size) {}

  uint8_t TakeByte() override { return cursor_.TakeByte(); }
  void TakeBytes(uint8_t* destination, size_t length) override {
    cursor_.TakeBytes(destination, length);
  }
  void SkipToAlignment(uint8_t alignment) override { cursor_.SkipToAlignment(alignment); }
  size_t RemainingBytes() const override { return cursor_.RemainingBytes(); }

  size_t position() const { return cursor_.position(); }
  // The reading state itself, which the serializer's fast path moves on.
  BufferCursor& cursor() { return cursor_; }

 private:
  BufferCursor cursor_;
};

// Appends to a vector owned by the caller, who keeps it alive while writing.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

  void PutByte(uint8_t byte) override { buffer_->push_back(byte); }
  void PutBytes(const uint8_t* bytes, size_t length) override {
    buffer_->insert(buffer_->end(), bytes, bytes + length);
  }
  void PadToAlignment(uint8_t alignment) override {
    size_t misalignment = alignment == 0 ? 0 : buffer_->size() % alignment;
    for (size_t i = misalignment; misalignment != 0 && i < alignment; ++i) PutByte(0);
  }

  // The vector written to (the serializer's fast path appends to it directly).
  std::vector<uint8_t>& buffer() const { return *buffer_; }

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // ORVA_CODEC_BYTE_STREAMS_H_
