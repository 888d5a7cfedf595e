// Buffer-backed byte streams.
#include "codec/byte_streams.h"

#include <cstring>
#include <iostream>

namespace flutter {

void ReportInvalidStreamRead() {
  std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
}

ByteStreamReader::~ByteStreamReader() = default;

size_t ByteStreamReader::RemainingBytes() const { return std::numeric_limits<size_t>::max(); }

ByteStreamWriter::~ByteStreamWriter() = default;

ByteBufferStreamReader::ByteBufferStreamReader(const uint8_t* bytes, size_t size)
    : bytes_(bytes), size_(bytes == nullptr ? 0 : size) {}

ByteBufferStreamReader::~ByteBufferStreamReader() = default;

uint8_t ByteBufferStreamReader::TakeByte() {
  if (position_ >= size_) {
    ReportInvalidStreamRead();
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::TakeBytes(uint8_t* destination, size_t length) {
  // Written so that neither side can overflow; a position already past the
  // end (after an alignment skip) fails even a zero-length read.
  if (position_ > size_ || length > size_ - position_) {
    ReportInvalidStreamRead();
    return;
  }
  if (length > 0) std::memcpy(destination, bytes_ + position_, length);
  position_ += length;
}

const uint8_t* ByteBufferStreamReader::TakeInPlace(size_t length) {
  if (position_ > size_ || length > size_ - position_) {
    ReportInvalidStreamRead();
    return nullptr;
  }
  const uint8_t* first = bytes_ + position_;
  position_ += length;
  return first;
}

void ByteBufferStreamReader::SkipToAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  size_t misalignment = position_ % alignment;
  if (misalignment != 0) position_ += alignment - misalignment;
}

size_t ByteBufferStreamReader::RemainingBytes() const {
  return position_ >= size_ ? 0 : size_ - position_;
}

ByteBufferStreamWriter::ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

ByteBufferStreamWriter::~ByteBufferStreamWriter() = default;

void ByteBufferStreamWriter::PutByte(uint8_t byte) { buffer_->push_back(byte); }

void ByteBufferStreamWriter::PutBytes(const uint8_t* bytes, size_t length) {
  if (length > 0) buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::PadToAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  size_t misalignment = buffer_->size() % alignment;
  if (misalignment == 0) return;
  for (size_t i = misalignment; i < alignment; ++i) PutByte(0);
}

}  // namespace flutter
