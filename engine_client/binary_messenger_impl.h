// BinaryMessenger over the engine library's messenger handle, and
// EngineReply, the reply callback given with every incoming message.
#ifndef ORVA_ENGINE_CLIENT_BINARY_MESSENGER_IMPL_H_
#define ORVA_ENGINE_CLIENT_BINARY_MESSENGER_IMPL_H_

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "engine_client/binary_messenger.h"
#include "engine_client/flutter_desktop_api.h"

namespace flutter {

// A counted reference to the engine's messenger handle; the last holder
// releases it with FlutterDesktopMessengerRelease.
using SharedMessengerRef = std::shared_ptr<FlutterDesktopMessenger>;

// Answers one incoming message, at most once, and only while the engine can
// still take responses. May be called from any thread and after the message
// handler has returned. Copies share the messenger reference and the
// response handle, which the first answer through any of them spends.
class EngineReply {
 public:
  EngineReply(SharedMessengerRef messenger,
              const FlutterDesktopMessageResponseHandle* response_handle);

  // Sends |reply| as the response; a second call writes the duplicate-response
  // line to the standard error stream instead. Once the engine is gone the
  // call sends and writes nothing.
  void operator()(const uint8_t* reply, size_t reply_size);

 private:
  using ResponseSlot = std::atomic<const FlutterDesktopMessageResponseHandle*>;

  SharedMessengerRef messenger_;
  std::shared_ptr<ResponseSlot> response_handle_;
};

class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // |messenger| is not owned: the engine library owns it. It may be null
  // (an engine that failed to start); every operation is then a no-op.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);

  // Withdraws the engine's callbacks for every channel still in the handler
  // table (while the engine can still deliver), so no message can reach the
  // table once it is gone.
  ~BinaryMessengerImpl() override;

  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void SendToChannel(const std::string& channel, const uint8_t* message, size_t message_size,
                     ReplyCallback reply = nullptr) const override;
  void SetChannelHandler(const std::string& channel, ChannelMessageHandler handler) override;

  // The functions handed to the engine library. |user_data| is the address of
  // a handler-table entry, respectively the heap copy of a reply callback.
  static void ForwardMessageToHandler(FlutterDesktopMessengerRef messenger,
                                      const FlutterDesktopMessage* message, void* user_data);
  static void ForwardReplyToCallback(const uint8_t* reply, size_t reply_size, void* user_data);

 private:
  FlutterDesktopMessengerRef messenger_;
  // Our own counted reference, so the handle is still valid in the
  // destructor even when the engine has already shut down. The handle the
  // engine or registrar hands out is not an owning one and is never
  // released as such: only this AddRef is given back.
  SharedMessengerRef keep_alive_;
  // std::map never moves an entry while it is in the map: the engine keeps
  // the address of each installed entry as its callback data.
  std::map<std::string, ChannelMessageHandler> handlers_;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_BINARY_MESSENGER_IMPL_H_
