// The fake engine library's calls and helpers (see fake_engine_library.h).
#include "engine_client/testing/fake_engine_library.h"

namespace {

std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) {
  return data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
}

}  // namespace

extern "C" {

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  messenger->sent.push_back({channel, Bytes(message, message_size)});
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  if (!messenger->accept_sends_with_reply) return false;
  messenger->sent.push_back({channel, Bytes(message, message_size), reply, user_data});
  return true;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  messenger->set_callback_calls.emplace_back(channel, callback != nullptr);
  if (callback == nullptr) {
    messenger->callbacks.erase(channel);
  } else {
    messenger->callbacks[channel] = {callback, user_data};
  }
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_size) {
  messenger->responses.push_back(
      {handle->token, Bytes(data, data_size), data == nullptr, messenger->lock_depth > 0});
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  ++messenger->references;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  --messenger->references;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  ++messenger->lock_depth;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (messenger->lock_depth == 0) {
    ++messenger->unlocks_without_lock;
  } else {
    --messenger->lock_depth;
  }
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return messenger->available;
}

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, const FlutterDesktopTextureInfo* info) {
  ++registrar->register_calls;
  registrar->last_registered = *info;
  return registrar->next_texture_id++;
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef, int64_t) {
  return true;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id,
    FlutterDesktopOnTextureUnregistered callback, void* user_data) {
  registrar->unregistrations.push_back({texture_id, callback, user_data});
}

}  // extern "C"

#ifdef _WIN32
// Code compiled against the real library calls each function through an
// import slot named __imp_<function>. Defining those slots here lets the
// product's wrappers, compiled unchanged, link straight to this fake.
#define ORVA_FAKE_IMPORT_SLOT(function) void* __imp_##function = reinterpret_cast<void*>(&function)
extern "C" {
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerSend);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerSendWithReply);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerSetCallback);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerSendResponse);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerAddRef);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerRelease);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerLock);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerUnlock);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopMessengerIsAvailable);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopTextureRegistrarRegisterExternalTexture);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable);
ORVA_FAKE_IMPORT_SLOT(FlutterDesktopTextureRegistrarUnregisterExternalTexture);
}  // extern "C"
#endif

namespace fake_engine {

int64_t DeliverMessage(FlutterDesktopMessenger& messenger, const std::string& channel,
                       const std::vector<uint8_t>& bytes) {
  auto installed = messenger.callbacks.find(channel);
  if (installed == messenger.callbacks.end()) return 0;
  const int64_t token = static_cast<int64_t>(messenger.handles.size()) + 1;
  messenger.handles.push_back(std::make_unique<FlutterDesktopMessageResponseHandle>(
      FlutterDesktopMessageResponseHandle{token}));
  const FlutterDesktopMessage message = {sizeof(FlutterDesktopMessage), channel.c_str(),
                                         bytes.empty() ? nullptr : bytes.data(), bytes.size(),
                                         messenger.handles.back().get()};
  installed->second.function(&messenger, &message, installed->second.user_data);
  return token;
}

std::vector<std::vector<uint8_t>> ResponsesTo(const FlutterDesktopMessenger& messenger,
                                              int64_t token) {
  std::vector<std::vector<uint8_t>> found;
  for (const auto& response : messenger.responses) {
    if (response.token == token) found.push_back(response.bytes);
  }
  return found;
}

void AnswerSentMessage(FlutterDesktopMessenger& messenger, size_t index,
                       const std::vector<uint8_t>& bytes) {
  FlutterDesktopMessenger::SentMessage& sent = messenger.sent.at(index);
  FlutterDesktopBinaryReply reply = sent.reply;
  sent.reply = nullptr;
  if (reply != nullptr) reply(bytes.empty() ? nullptr : bytes.data(), bytes.size(), sent.user_data);
}

void CompleteUnregistration(FlutterDesktopTextureRegistrar& registrar, size_t index) {
  FlutterDesktopTextureRegistrar::Unregistration& entry = registrar.unregistrations.at(index);
  FlutterDesktopOnTextureUnregistered callback = entry.callback;
  entry.callback = nullptr;
  if (callback != nullptr) callback(entry.user_data);
}

}  // namespace fake_engine
