// MethodCallChannel: decodes each message into a call for the handler and
// gives the handler a result that answers through the message's reply.
#include "codec/method_channel.h"

#include <iostream>
#include <utility>

#include "codec/engine_method_result.h"

MethodCallChannel::MethodCallChannel(flutter::BinaryMessenger* messenger, const std::string& name,
                                     const flutter::MethodCodec* codec)
    : messenger_(messenger), name_(name), codec_(codec) {}

MethodCallChannel::~MethodCallChannel() = default;

void MethodCallChannel::SetCallHandler(MethodCallCallback handler) const {
  if (messenger_ == nullptr) return;
  if (!handler) {
    messenger_->SetChannelHandler(name_, nullptr);
    return;
  }
  // The installed handler must not refer to this object: it outlives it.
  messenger_->SetChannelHandler(
      name_, [handler = std::move(handler), channel_name = name_, codec = codec_](
                 const uint8_t* message, size_t message_size, flutter::ReplyCallback reply) {
        auto result = std::make_unique<flutter::EngineMethodResult>(std::move(reply), codec);
        std::unique_ptr<flutter::MethodCall> call =
            codec != nullptr ? codec->DecodeCall(message, message_size) : nullptr;
        if (!call) {
          std::cerr << "Unable to construct method call from message on channel " << channel_name
                    << std::endl;
          result->OnNotImplemented();
          return;
        }
        handler(*call, std::move(result));
      });
}
