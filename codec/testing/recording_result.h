// A MethodResult that records the answers it is given, for the tests and fuzz
// targets of code that answers method calls.
#ifndef ORVA_CODEC_TESTING_RECORDING_RESULT_H_
#define ORVA_CODEC_TESTING_RECORDING_RESULT_H_

#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_result.h"

namespace flutter {
namespace testing {

struct RecordedAnswers {
  std::vector<std::string> calls;  // "success", "error" or "not_implemented", in order
  std::string code;
  std::string message;
  std::optional<EncodableValue> value;  // the last success value or error details
};

// Records into itself, or into |into| when the result is handed over.
class RecordingResult : public MethodResult, public RecordedAnswers {
 public:
  RecordingResult() = default;
  explicit RecordingResult(RecordedAnswers* into) : into_(into) {}

  void OnSuccess(const EncodableValue* result) override { Record("success", result); }
  void OnError(const std::string& error_code, const std::string& error_message,
               const EncodableValue* details) override {
    into_->code = error_code;
    into_->message = error_message;
    Record("error", details);
  }
  void OnNotImplemented() override { Record("not_implemented", nullptr); }

 private:
  void Record(const char* kind, const EncodableValue* content) {
    into_->calls.push_back(kind);
    into_->value = content ? std::optional<EncodableValue>(*content) : std::nullopt;
  }
  RecordedAnswers* into_ = this;
};

}  // namespace testing
}  // namespace flutter

#endif  // ORVA_CODEC_TESTING_RECORDING_RESULT_H_
