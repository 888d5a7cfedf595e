// flutter::StandardMethodCodec and its process-wide registry.
#include "codec/standard_method_codec.h"

#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace flutter {

namespace {

constexpr uint8_t kSuccessEnvelope = 0;
constexpr uint8_t kErrorEnvelope = 1;

const EncodableValue& NullValue() {
  static const EncodableValue null_value;
  return null_value;
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::ForSerializer(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) serializer = &StandardCodecSerializer::DefaultInstance();
  // Created once and never destroyed, so a returned codec stays valid for
  // the life of the process, including during static destruction.
  static auto* registry =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>();
  static auto* registry_mutex = new std::mutex();
  std::lock_guard<std::mutex> lock(*registry_mutex);
  auto& codec = (*registry)[serializer];
  if (!codec) codec = std::make_unique<StandardMethodCodec>(serializer);
  return *codec;
}

StandardMethodCodec::StandardMethodCodec(const StandardCodecSerializer* serializer)
    : serializer_(serializer) {}

StandardMethodCodec::~StandardMethodCodec() = default;

std::unique_ptr<MethodCall> StandardMethodCodec::DecodeCall(const uint8_t* bytes,
                                                            size_t size) const {
  ByteBufferStreamReader stream(bytes, size);
  EncodableValue name = serializer_->ReadTaggedValue(&stream);
  auto* name_text = std::get_if<std::string>(&name);
  if (name_text == nullptr) {
    std::cerr << "Invalid method call; method name is not a string." << std::endl;
    return nullptr;
  }
  // A message that ends after the name reads null arguments; bytes after
  // the arguments are ignored.
  // Made where it stays: make_unique would move it from a temporary.
  std::unique_ptr<EncodableValue> arguments(
      new EncodableValue(serializer_->ReadTaggedValue(&stream)));
  return std::make_unique<MethodCall>(std::move(*name_text), std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeCall(
    const MethodCall& call) const {
  const EncodableValue name(call.method_name());
  const EncodableValue& arguments = call.arguments() ? *call.arguments() : NullValue();
  return EncodeMessage(*serializer_, std::nullopt, {&name, &arguments});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessReply(
    const EncodableValue* result) const {
  return EncodeMessage(*serializer_, kSuccessEnvelope, {result ? result : &NullValue()});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorReply(
    const std::string& code, const std::string& message, const EncodableValue* details) const {
  const EncodableValue code_value(code);
  const EncodableValue message_value = message.empty() ? EncodableValue() : EncodableValue(message);
  return EncodeMessage(*serializer_, kErrorEnvelope,
                       {&code_value, &message_value, details ? details : &NullValue()});
}

bool StandardMethodCodec::DecodeReply(const uint8_t* bytes, size_t size,
                                      MethodResult* result) const {
  ByteBufferStreamReader stream(bytes, size);
  uint8_t flag = stream.TakeByte();
  if (flag == kSuccessEnvelope) {
    EncodableValue value = serializer_->ReadTaggedValue(&stream);
    if (result != nullptr) result->OnSuccess(value.IsNull() ? nullptr : &value);
    return true;
  }
  if (flag == kErrorEnvelope) {
    EncodableValue code = serializer_->ReadTaggedValue(&stream);
    EncodableValue message = serializer_->ReadTaggedValue(&stream);
    EncodableValue details = serializer_->ReadTaggedValue(&stream);
    // A code that is not a string, or a message that is neither a string nor
    // null, raises std::bad_variant_access before the result hears anything.
    const std::string& code_text = GetStrict<std::string>(code);
    std::string message_text = message.IsNull() ? std::string() : GetStrict<std::string>(message);
    if (result != nullptr) {
      result->OnError(code_text, message_text, details.IsNull() ? nullptr : &details);
    }
    return true;
  }
  return false;
}

}  // namespace flutter
