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

// Reads a buffer it does not own. A read that would pass the end writes
// "Invalid read in StandardCodecByteStreamReader" to std::cerr, yields
// nothing (0 for TakeByte, an untouched destination for TakeBytes) and leaves
// the position where it was.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size);
  ~ByteBufferStreamReader() override;

  uint8_t TakeByte() override;
  void TakeBytes(uint8_t* destination, size_t length) override;
  // Does not check the end: a position past it makes the next read fail.
  void SkipToAlignment(uint8_t alignment) override;
  size_t RemainingBytes() const override;

  size_t position() const { return position_; }

  // The next |length| bytes where they lie in the buffer, moving past them;
  // when they are not all there, the diagnostic, null, and the position
  // unchanged (as TakeBytes). Lets the serializer build strings and arrays
  // straight from the message instead of zero-filling and then copying.
  const uint8_t* TakeInPlace(size_t length);

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

// Appends to a vector owned by the caller, who keeps it alive while writing.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer);
  ~ByteBufferStreamWriter() override;

  void PutByte(uint8_t byte) override;
  void PutBytes(const uint8_t* bytes, size_t length) override;
  void PadToAlignment(uint8_t alignment) override;

  // The vector written to (the serializer's fast path appends to it directly).
  std::vector<uint8_t>& buffer() const { return *buffer_; }

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // ORVA_CODEC_BYTE_STREAMS_H_
