// flutter::MethodCall.
#include "codec/method_call.h"

#include <utility>

namespace flutter {

MethodCall::MethodCall(std::string method_name, std::unique_ptr<EncodableValue> arguments)
    : method_name_(std::move(method_name)), arguments_(std::move(arguments)) {}

MethodCall::~MethodCall() = default;

}  // namespace flutter
