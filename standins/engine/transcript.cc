// Transcript lines and the codec round trip of session calls (see
// transcript.h).
#include "standins/engine/transcript.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "codec/method_call.h"
#include "codec/method_result.h"
#include "codec/standard_method_codec.h"
#include "standins/engine/json_value.h"

namespace standin {
namespace {

// Receives what the codec reads out of a reply envelope.
class CapturingResult : public flutter::MethodResult {
 public:
  explicit CapturingResult(DecodedReply* reply) : reply_(reply) {}
  void OnSuccess(const flutter::EncodableValue* result) override {
    reply_->kind = DecodedReply::Kind::kSuccess;
    reply_->value = result ? *result : flutter::EncodableValue();
  }
  void OnError(const std::string& code, const std::string& message,
               const flutter::EncodableValue* details) override {
    reply_->kind = DecodedReply::Kind::kError;
    reply_->code = code;
    reply_->message = message;
    reply_->details = details ? *details : flutter::EncodableValue();
  }
  void OnNotImplemented() override { reply_->kind = DecodedReply::Kind::kNotImplemented; }

 private:
  DecodedReply* reply_;
};

std::string Head(const std::string& method) { return "{\"method\": " + JsonString(method); }

}  // namespace

std::vector<uint8_t> EncodeSessionCall(const std::string& method,
                                       const flutter::EncodableValue& arguments) {
  flutter::MethodCall call(method, std::make_unique<flutter::EncodableValue>(arguments));
  auto bytes = flutter::StandardMethodCodec::ForSerializer().EncodeCall(call);
  return bytes ? *bytes : std::vector<uint8_t>();
}

DecodedReply DecodeSessionReply(const uint8_t* bytes, size_t size) {
  DecodedReply reply;
  reply.size = size;
  if (size == 0) {
    reply.kind = DecodedReply::Kind::kNotImplemented;
    return reply;
  }
  CapturingResult sink(&reply);
  try {
    if (!flutter::StandardMethodCodec::ForSerializer().DecodeReply(bytes, size, &sink)) {
      reply = DecodedReply();
      reply.size = size;
    }
  } catch (const std::exception&) {
    // An error envelope whose code or message is not text.
    reply = DecodedReply();
    reply.size = size;
  }
  return reply;
}

std::string ReplyLine(const std::string& method, const DecodedReply& reply, double elapsed_ms) {
  std::string line = Head(method);
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      line += ", \"reply\": \"success\", \"value\": ";
      WriteJson(reply.value, &line);
      break;
    case DecodedReply::Kind::kError:
      line += ", \"reply\": \"error\", \"code\": " + JsonString(reply.code) +
              ", \"message\": " + JsonString(reply.message) + ", \"details\": ";
      WriteJson(reply.details, &line);
      break;
    case DecodedReply::Kind::kNotImplemented:
      line += ", \"reply\": \"not_implemented\"";
      break;
    case DecodedReply::Kind::kMalformed:
      line += ", \"reply\": \"malformed\", \"size\": " + std::to_string(reply.size);
      break;
  }
  if (elapsed_ms >= 0) {
    char elapsed[32];
    std::snprintf(elapsed, sizeof(elapsed), ", \"ms\": %.1f", elapsed_ms);
    line += elapsed;
  }
  return line + "}";
}

std::string TimeoutLine(const std::string& method, uint32_t waited_ms) {
  return Head(method) + ", \"reply\": \"timeout\", \"waited_ms\": " + std::to_string(waited_ms) +
         "}";
}

std::string ScriptErrorLine(const std::string& name, int line_number, const std::string& message) {
  return Head(name) + ", \"reply\": \"script_error\", \"line\": " + std::to_string(line_number) +
         ", \"message\": " + JsonString(message) + "}";
}

std::string DiagnosticsLine(uint64_t handles, uint64_t private_bytes) {
  return Head("@diagnostics") + ", \"handles\": " + std::to_string(handles) +
         ", \"private_bytes\": " + std::to_string(private_bytes) + "}";
}

std::string FailedLine(const std::string& directive, const std::string& message) {
  return Head(directive) + ", \"reply\": \"failed\", \"message\": " + JsonString(message) + "}";
}

}  // namespace standin
