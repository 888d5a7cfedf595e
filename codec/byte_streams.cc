// Buffer-backed byte streams.
#include "codec/byte_streams.h"

#include <iostream>

namespace flutter {

void ReportInvalidStreamRead() {
  std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
}

ByteStreamReader::~ByteStreamReader() = default;

size_t ByteStreamReader::RemainingBytes() const { return std::numeric_limits<size_t>::max(); }

ByteStreamWriter::~ByteStreamWriter() = default;

}  // namespace flutter
