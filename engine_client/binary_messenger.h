// The byte-level message path between native code and the UI running in the
// engine: named channels carrying raw bytes, each incoming message answered
// through a one-shot reply callback.
#ifndef ORVA_ENGINE_CLIENT_BINARY_MESSENGER_H_
#define ORVA_ENGINE_CLIENT_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Receives the answer to a message: (bytes, size). The bytes may be null
// when the size is 0.
using ReplyCallback = std::function<void(const uint8_t* reply, size_t reply_size)>;

// Receives one incoming message with the callback that answers it. The
// handler may keep the reply and call it later, from any thread.
using ChannelMessageHandler =
    std::function<void(const uint8_t* message, size_t message_size, ReplyCallback reply)>;

class BinaryMessenger {
 public:
  virtual ~BinaryMessenger();

  // Sends |message| on |channel|. A non-empty |reply| is called once with
  // the UI's answer (never, when the engine refuses the message).
  virtual void SendToChannel(const std::string& channel, const uint8_t* message,
                             size_t message_size, ReplyCallback reply = nullptr) const = 0;

  // Installs or replaces the handler of |channel|; an empty |handler| removes
  // it, after which no more messages on |channel| reach this messenger.
  virtual void SetChannelHandler(const std::string& channel, ChannelMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // ORVA_ENGINE_CLIENT_BINARY_MESSENGER_H_
