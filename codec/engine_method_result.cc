// EngineMethodResult and PendingReply: one answer per incoming call.
#include "codec/engine_method_result.h"

#include <iostream>
#include <utility>

PendingReply::PendingReply(flutter::ReplyCallback reply) : reply_(std::move(reply)) {}

PendingReply::~PendingReply() {
  if (!spent_ && reply_) {
    std::cerr << "Warning: Failed to respond to a message. This is a memory leak." << std::endl;
  }
}

void PendingReply::Deliver(const std::vector<uint8_t>* reply) {
  if (spent_) {
    std::cerr << "Error: Only one of Success, Error, or NotImplemented can be called,"
              << " and it can be called exactly once. Ignoring duplicate result." << std::endl;
    return;
  }
  spent_ = true;
  // Moved out before the call, so the callback is dropped even if it throws
  // and a reply from inside it counts as a duplicate.
  flutter::ReplyCallback callback = std::move(reply_);
  reply_ = nullptr;
  if (!callback) return;
  if (reply != nullptr && !reply->empty()) {
    callback(reply->data(), reply->size());
  } else {
    callback(nullptr, 0);
  }
}

namespace flutter {

EngineMethodResult::EngineMethodResult(ReplyCallback reply, const MethodCodec* codec)
    : reply_(std::make_unique<PendingReply>(std::move(reply))), codec_(codec) {}

EngineMethodResult::~EngineMethodResult() = default;

void EngineMethodResult::OnSuccess(const EncodableValue* result) {
  std::unique_ptr<std::vector<uint8_t>> envelope =
      codec_ != nullptr ? codec_->EncodeSuccessReply(result) : nullptr;
  reply_->Deliver(envelope.get());
}

void EngineMethodResult::OnError(const std::string& code, const std::string& message,
                                 const EncodableValue* details) {
  std::unique_ptr<std::vector<uint8_t>> envelope =
      codec_ != nullptr ? codec_->EncodeErrorReply(code, message, details) : nullptr;
  reply_->Deliver(envelope.get());
}

void EngineMethodResult::OnNotImplemented() { reply_->Deliver(nullptr); }

}  // namespace flutter
