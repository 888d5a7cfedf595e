// A test double of the engine library's messenger and texture calls.
//
// The library's opaque handles get plain bodies here: a test creates a
// FlutterDesktopMessenger or FlutterDesktopTextureRegistrar object, hands its
// address to the wrapper under test as the handle, plays the UI's side with
// the helpers below and inspects what the wrapper did through the fields.
// Nothing is freed by reference counting: the test owns the objects and
// checks the count instead.
#ifndef ORVA_ENGINE_CLIENT_TESTING_FAKE_ENGINE_LIBRARY_H_
#define ORVA_ENGINE_CLIENT_TESTING_FAKE_ENGINE_LIBRARY_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine_client/flutter_desktop_api.h"

struct FlutterDesktopMessageResponseHandle {
  int64_t token;
};

struct FlutterDesktopMessenger {
  struct Callback {
    FlutterDesktopMessageCallback function = nullptr;
    void* user_data = nullptr;
  };
  struct SentMessage {
    std::string channel;
    std::vector<uint8_t> bytes;
    FlutterDesktopBinaryReply reply = nullptr;  // null: sent without reply
    void* user_data = nullptr;
  };
  struct Response {
    int64_t token;
    std::vector<uint8_t> bytes;
    bool bytes_were_null;
    bool under_lock;
  };

  // References held on the messenger; 1 is the engine's own.
  int references = 1;
  int lock_depth = 0;
  int unlocks_without_lock = 0;
  // While false, responses are refused (the engine has gone away).
  bool available = true;
  // While false, FlutterDesktopMessengerSendWithReply refuses messages.
  bool accept_sends_with_reply = true;

  // Installed callbacks by channel, and every SetCallback call in order
  // (channel, whether a function was given).
  std::map<std::string, Callback> callbacks;
  std::vector<std::pair<std::string, bool>> set_callback_calls;
  std::vector<SentMessage> sent;
  std::vector<Response> responses;
  std::vector<std::unique_ptr<FlutterDesktopMessageResponseHandle>> handles;
};

struct FlutterDesktopTextureRegistrar {
  struct Unregistration {
    int64_t texture_id;
    FlutterDesktopOnTextureUnregistered callback;
    void* user_data;
  };
  int register_calls = 0;
  FlutterDesktopTextureInfo last_registered{};
  int64_t next_texture_id = 41;
  std::vector<Unregistration> unregistrations;
};

namespace fake_engine {

// Delivers |bytes| on |channel| as the UI would and returns the message's
// token (0, delivering nothing, when no callback is installed).
int64_t DeliverMessage(FlutterDesktopMessenger& messenger, const std::string& channel,
                       const std::vector<uint8_t>& bytes);

// The responses that reached the engine for message |token|, in order.
std::vector<std::vector<uint8_t>> ResponsesTo(const FlutterDesktopMessenger& messenger,
                                              int64_t token);

// Answers the message sent with reply at |index| of |messenger.sent|, once.
void AnswerSentMessage(FlutterDesktopMessenger& messenger, size_t index,
                       const std::vector<uint8_t>& bytes);

// Reports the unregistration at |index| done, once.
void CompleteUnregistration(FlutterDesktopTextureRegistrar& registrar, size_t index);

}  // namespace fake_engine

#endif  // ORVA_ENGINE_CLIENT_TESTING_FAKE_ENGINE_LIBRARY_H_
