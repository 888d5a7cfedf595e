// BinaryMessengerImpl and EngineReply over the engine library's messenger.
#include "engine_client/binary_messenger_impl.h"

#include <iostream>
#include <utility>

namespace flutter {

namespace {

// Takes one reference on |messenger| for the returned holder; the last copy
// of the holder gives it back.
SharedMessengerRef AcquireMessenger(FlutterDesktopMessengerRef messenger) {
  if (messenger == nullptr) return nullptr;
  return SharedMessengerRef(FlutterDesktopMessengerAddRef(messenger),
                            [](FlutterDesktopMessengerRef held) {
                              if (held != nullptr) FlutterDesktopMessengerRelease(held);
                            });
}

}  // namespace

EngineReply::EngineReply(SharedMessengerRef messenger,
                         const FlutterDesktopMessageResponseHandle* response_handle)
    : messenger_(std::move(messenger)),
      response_handle_(std::make_shared<ResponseSlot>(response_handle)) {}

void EngineReply::operator()(const uint8_t* reply, size_t reply_size) {
  if (!messenger_) return;
  // The lock makes the availability test and the response one step: the
  // engine cannot go away between them. This is what lets a reply be sent
  // from the plugin's worker thread: the engine library allows messenger
  // calls off the platform thread only inside Lock/Unlock after
  // IsAvailable said yes.
  FlutterDesktopMessengerRef lock = FlutterDesktopMessengerLock(messenger_.get());
  if (FlutterDesktopMessengerIsAvailable(messenger_.get())) {
    if (const FlutterDesktopMessageResponseHandle* handle = response_handle_->exchange(nullptr)) {
      FlutterDesktopMessengerSendResponse(messenger_.get(), handle, reply, reply_size);
    } else {
      std::cerr << "Error: Response can be set only once. Ignoring duplicate response."
                << std::endl;
    }
  }
  if (lock != nullptr) FlutterDesktopMessengerUnlock(lock);
}

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(messenger), keep_alive_(AcquireMessenger(messenger)) {}

BinaryMessengerImpl::~BinaryMessengerImpl() {
  if (messenger_ == nullptr || handlers_.empty()) return;
  // Once the engine is gone it delivers nothing more, and its callbacks may
  // no longer be touched; while it is there, withdraw every callback that
  // points into the table about to be destroyed.
  if (!FlutterDesktopMessengerIsAvailable(messenger_)) return;
  for (const auto& entry : handlers_) {
    FlutterDesktopMessengerSetCallback(messenger_, entry.first.c_str(), nullptr, nullptr);
  }
}

void BinaryMessengerImpl::SendToChannel(const std::string& channel, const uint8_t* message,
                                        size_t message_size, ReplyCallback reply) const {
  if (messenger_ == nullptr) return;
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto* heap_reply = new ReplyCallback(std::move(reply));
  if (!FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                            &BinaryMessengerImpl::ForwardReplyToCallback,
                                            heap_reply)) {
    // Refused: the engine will never call back, so the copy is ours to drop.
    delete heap_reply;
  }
}

void BinaryMessengerImpl::SetChannelHandler(const std::string& channel,
                                            ChannelMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    if (messenger_ != nullptr) {
      FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    }
    return;
  }
  // Replacing assigns into the existing entry, so its address (already held
  // by the engine) stays valid.
  ChannelMessageHandler& entry = handlers_[channel];
  entry = std::move(handler);
  if (messenger_ != nullptr) {
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(),
                                       &BinaryMessengerImpl::ForwardMessageToHandler, &entry);
  }
}

void BinaryMessengerImpl::ForwardMessageToHandler(FlutterDesktopMessengerRef messenger,
                                                  const FlutterDesktopMessage* message,
                                                  void* user_data) {
  auto* handler = static_cast<ChannelMessageHandler*>(user_data);
  if (handler == nullptr || !*handler || message == nullptr) return;
  EngineReply reply(AcquireMessenger(messenger), message->response_handle);
  (*handler)(message->message, message->message_size, std::move(reply));
}

void BinaryMessengerImpl::ForwardReplyToCallback(const uint8_t* reply, size_t reply_size,
                                                 void* user_data) {
  std::unique_ptr<ReplyCallback> callback(static_cast<ReplyCallback*>(user_data));
  if (callback && *callback) (*callback)(reply, reply_size);
}

}  // namespace flutter
