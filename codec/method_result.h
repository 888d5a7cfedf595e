// flutter::MethodResult: the one-shot answer to a method call.
//
// The public operations forward to the On* sinks and check nothing; the
// implementation (the method channel's result) decides what a second answer
// means. The sinks are public so that MethodCodec::DecodeReply can feed a
// decoded reply into them.
#ifndef ORVA_CODEC_METHOD_RESULT_H_
#define ORVA_CODEC_METHOD_RESULT_H_

#include <string>

#include "codec/encodable_value.h"

namespace flutter {

class MethodResult {
 public:
  MethodResult();
  virtual ~MethodResult();

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const EncodableValue& result);
  // Success without a result value.
  void Success();
  void Error(const std::string& code, const std::string& message = "");
  void Error(const std::string& code, const std::string& message, const EncodableValue& details);
  void NotImplemented();

  // |result| and |details| are null when there is no value.
  virtual void OnSuccess(const EncodableValue* result) = 0;
  virtual void OnError(const std::string& code, const std::string& message,
                       const EncodableValue* details) = 0;
  virtual void OnNotImplemented() = 0;
};

}  // namespace flutter

#endif  // ORVA_CODEC_METHOD_RESULT_H_
