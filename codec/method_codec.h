// flutter::MethodCodec: turns method calls and their replies into message
// bytes and back.
#ifndef ORVA_CODEC_METHOD_CODEC_H_
#define ORVA_CODEC_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_call.h"
#include "codec/method_result.h"

namespace flutter {

class MethodCodec {
 public:
  MethodCodec();
  virtual ~MethodCodec();

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // The call in |bytes|, or null when they do not hold a valid call.
  virtual std::unique_ptr<MethodCall> DecodeCall(const uint8_t* bytes, size_t size) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall& call) const = 0;
  // |result| null means no result value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessReply(
      const EncodableValue* result = nullptr) const = 0;
  // An empty |message| and null |details| mean none.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorReply(
      const std::string& code, const std::string& message = "",
      const EncodableValue* details = nullptr) const = 0;
  // Passes the reply envelope in |bytes| to |result|'s OnSuccess or OnError.
  // Returns false, calling nothing, when the envelope kind is unknown.
  virtual bool DecodeReply(const uint8_t* bytes, size_t size, MethodResult* result) const = 0;
};

}  // namespace flutter

#endif  // ORVA_CODEC_METHOD_CODEC_H_
