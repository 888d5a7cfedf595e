// flutter::StandardMethodCodec: method calls and reply envelopes in the
// standard value form.
//
//   call:     method name as a string value, then the arguments (00 if none)
//   success:  00, then the result (00 if none)
//   error:    01, code as a string value, message as a string value (00 if
//             empty), details (00 if none)
#ifndef ORVA_CODEC_STANDARD_METHOD_CODEC_H_
#define ORVA_CODEC_STANDARD_METHOD_CODEC_H_

#include "codec/method_codec.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {

class StandardMethodCodec : public MethodCodec {
 public:
  // The shared codec for |serializer| (the default serializer when null). It
  // lives as long as the process.
  static const StandardMethodCodec& ForSerializer(
      const StandardCodecSerializer* serializer = nullptr);

  // |serializer| is not owned and must outlive the codec. Prefer
  // ForSerializer, which shares one codec per serializer.
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer);
  ~StandardMethodCodec() override;

  std::unique_ptr<MethodCall> DecodeCall(const uint8_t* bytes, size_t size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeCall(const MethodCall& call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessReply(
      const EncodableValue* result = nullptr) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorReply(
      const std::string& code, const std::string& message = "",
      const EncodableValue* details = nullptr) const override;
  // Raises std::bad_variant_access, calling nothing, when an error
  // envelope's code is not a string or its message neither a string nor
  // null.
  bool DecodeReply(const uint8_t* bytes, size_t size, MethodResult* result) const override;

 private:
  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // ORVA_CODEC_STANDARD_METHOD_CODEC_H_
