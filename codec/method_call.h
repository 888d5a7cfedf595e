// flutter::MethodCall: a method name and its arguments, as decoded from or
// encoded into a method channel message.
#ifndef ORVA_CODEC_METHOD_CALL_H_
#define ORVA_CODEC_METHOD_CALL_H_

#include <memory>
#include <string>

#include "codec/encodable_value.h"

namespace flutter {

class MethodCall {
 public:
  // |arguments| may be null on an outgoing call; a decoded call always has
  // them (null when the message held none).
  MethodCall(std::string method_name, std::unique_ptr<EncodableValue> arguments);
  virtual ~MethodCall();

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& method_name() const { return method_name_; }
  // The arguments, or null when the call has none.
  const EncodableValue* arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<EncodableValue> arguments_;
};

}  // namespace flutter

#endif  // ORVA_CODEC_METHOD_CALL_H_
