// A method channel: turns the byte messages of one named channel into
// method calls for a handler, and the handler's one-shot answer back into the
// reply message.
#ifndef ORVA_CODEC_METHOD_CHANNEL_H_
#define ORVA_CODEC_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>

#include "codec/method_call.h"
#include "codec/method_codec.h"
#include "codec/method_result.h"
#include "engine_client/binary_messenger.h"

// Gets each decoded call (borrowed for the duration of the call) and the
// ownership of the result that answers it, now or later.
using MethodCallCallback = std::function<void(const flutter::MethodCall& call,
                                              std::unique_ptr<flutter::MethodResult> result)>;

class MethodCallChannel {
 public:
  // |messenger| and |codec| are not owned and must outlive the channel.
  MethodCallChannel(flutter::BinaryMessenger* messenger, const std::string& name,
                    const flutter::MethodCodec* codec);
  ~MethodCallChannel();

  MethodCallChannel(const MethodCallChannel&) = delete;
  MethodCallChannel& operator=(const MethodCallChannel&) = delete;

  // Installs |handler| on the messenger for this channel's name, replacing an
  // earlier one; an empty |handler| removes it. The installed handler carries
  // its own copies of |handler| and of the name, so it keeps working after
  // this channel object is gone (destroying the channel does not remove it).
  void SetCallHandler(MethodCallCallback handler) const;

  const std::string& name() const { return name_; }

 private:
  flutter::BinaryMessenger* messenger_;
  std::string name_;
  const flutter::MethodCodec* codec_;
};

#endif  // ORVA_CODEC_METHOD_CHANNEL_H_
