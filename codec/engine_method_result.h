// The MethodResult that answers a call by sending an encoded envelope as the
// reply to the engine, and PendingReply, the reply it sends through once.
#ifndef ORVA_CODEC_ENGINE_METHOD_RESULT_H_
#define ORVA_CODEC_ENGINE_METHOD_RESULT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "codec/method_result.h"
#include "engine_client/binary_messenger.h"

// Owns one reply callback until it has been used. Not thread-safe: one
// result is answered from one thread.
class PendingReply {
 public:
  explicit PendingReply(flutter::ReplyCallback reply);

  // Unanswered: writes the leak warning to the standard error stream and
  // drops the callback uncalled.
  ~PendingReply();

  PendingReply(const PendingReply&) = delete;
  PendingReply& operator=(const PendingReply&) = delete;

  // Sends |reply| (null or empty: a reply of zero bytes) on the first call;
  // every later call sends nothing and writes the duplicate-result line.
  void Deliver(const std::vector<uint8_t>* reply);

  bool spent() const { return spent_; }

 private:
  flutter::ReplyCallback reply_;
  bool spent_ = false;
};

namespace flutter {

class EngineMethodResult : public MethodResult {
 public:
  // |codec| is not owned and must outlive the result.
  EngineMethodResult(ReplyCallback reply, const MethodCodec* codec);
  ~EngineMethodResult() override;

  void OnSuccess(const EncodableValue* result) override;
  void OnError(const std::string& code, const std::string& message,
               const EncodableValue* details) override;
  // Sends an empty reply.
  void OnNotImplemented() override;

 private:
  std::unique_ptr<PendingReply> reply_;
  const MethodCodec* codec_;
};

}  // namespace flutter

#endif  // ORVA_CODEC_ENGINE_METHOD_RESULT_H_
