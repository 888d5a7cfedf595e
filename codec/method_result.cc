// flutter::MethodResult: the public answers forward to the sinks.
#include "codec/method_result.h"

namespace flutter {

MethodResult::MethodResult() = default;
MethodResult::~MethodResult() = default;

void MethodResult::Success(const EncodableValue& result) { OnSuccess(&result); }

void MethodResult::Success() { OnSuccess(nullptr); }

void MethodResult::Error(const std::string& code, const std::string& message) {
  OnError(code, message, nullptr);
}

void MethodResult::Error(const std::string& code, const std::string& message,
                         const EncodableValue& details) {
  OnError(code, message, &details);
}

void MethodResult::NotImplemented() { OnNotImplemented(); }

}  // namespace flutter
