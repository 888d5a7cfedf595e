// The engine's binary messenger: channel callbacks, message delivery with
// one response handle per message, the atomic reference count, the
// availability lock, and sending towards the UI.
//
// A response handle is the message's token disguised as a pointer; it is
// never dereferenced, so a handle kept past its message (or its engine) can
// do no harm: a response to an unknown token is dropped.
#include <cstdio>
#include <utility>

#include "standins/engine/engine_objects.h"
#include "standins/engine/published_records.h"

namespace standin {
namespace {

struct MessageRecord {
  int32_t response_count = 0;
  std::vector<uint8_t> first_response;
  ResponseListener listener;
};

struct MessageTable {
  std::mutex lock;
  int64_t next_token = 1;
  std::map<int64_t, MessageRecord> records;
};

MessageTable& Messages() {
  static MessageTable* table = new MessageTable();  // outlives every engine
  return *table;
}

const FlutterDesktopMessageResponseHandle* HandleForToken(int64_t token) {
  return reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(
      static_cast<uintptr_t>(token));
}

int64_t TokenForHandle(const FlutterDesktopMessageResponseHandle* handle) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

FlutterDesktopMessenger* NewMessenger(FlutterDesktopEngine* engine) {
  auto* messenger = new FlutterDesktopMessenger();
  messenger->engine = engine;
  return messenger;
}

void SetMessengerAvailable(FlutterDesktopMessenger* messenger, bool available) {
  if (!messenger) return;
  std::lock_guard<std::recursive_mutex> guard(messenger->availability_lock);
  messenger->available = available;
}

void DetachMessenger(FlutterDesktopMessenger* messenger) {
  {
    std::lock_guard<std::recursive_mutex> guard(messenger->availability_lock);
    messenger->available = false;
    messenger->engine = nullptr;
  }
  FlutterDesktopMessengerRelease(messenger);
}

int64_t DeliverMessage(FlutterDesktopMessenger* messenger, const std::string& channel,
                       const uint8_t* bytes, size_t size, ResponseListener listener) {
  if (!messenger || !messenger->available) return 0;
  FlutterDesktopMessenger::ChannelCallback target{};
  {
    std::lock_guard<std::mutex> guard(messenger->callbacks_lock);
    auto found = messenger->callbacks.find(channel);
    if (found == messenger->callbacks.end()) return 0;
    target = found->second;
  }
  MessageTable& table = Messages();
  int64_t token;
  {
    std::lock_guard<std::mutex> guard(table.lock);
    token = table.next_token++;
    table.records[token].listener = std::move(listener);
  }
  // Built by the library's own layout: the record starts with its size.
  namespace pub = published;
  alignas(8) unsigned char record[pub::kMessageRecordSize] = {};
  pub::Write<size_t>(record, pub::kMessageStructSize, pub::kMessageRecordSize);
  pub::Write<const char*>(record, pub::kMessageChannel, channel.c_str());
  pub::Write<const uint8_t*>(record, pub::kMessageBytes, size ? bytes : nullptr);
  pub::Write<size_t>(record, pub::kMessageSize, size);
  pub::Write<const FlutterDesktopMessageResponseHandle*>(record, pub::kMessageResponseHandle,
                                                         HandleForToken(token));
  target.callback(messenger, reinterpret_cast<const FlutterDesktopMessage*>(record),
                  target.user_data);
  return token;
}

int32_t ResponseCount(int64_t token) {
  MessageTable& table = Messages();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.records.find(token);
  return found == table.records.end() ? 0 : found->second.response_count;
}

bool CopyResponse(int64_t token, std::vector<uint8_t>* response) {
  MessageTable& table = Messages();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.records.find(token);
  if (found == table.records.end() || found->second.response_count == 0) return false;
  *response = found->second.first_response;
  return true;
}

void ForgetMessage(int64_t token) {
  MessageTable& table = Messages();
  std::lock_guard<std::mutex> guard(table.lock);
  table.records.erase(token);
}

}  // namespace standin

using standin::CountCall;

extern "C" {

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size) {
  CountCall(__func__);
  if (!messenger || !channel) return false;
  std::lock_guard<std::recursive_mutex> guard(messenger->availability_lock);
  // The stand-in UI listens on no channel: an accepted message is dropped.
  return messenger->available && messenger->engine;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  CountCall(__func__);
  if (!messenger || !channel) return false;
  std::lock_guard<std::recursive_mutex> guard(messenger->availability_lock);
  if (!messenger->available || !messenger->engine) return false;
  // The stand-in UI has no handler for anything sent to it, so it answers
  // with an empty reply, later, on the loop thread, exactly once.
  if (reply) {
    messenger->engine->tasks.Post([reply, user_data] { reply(nullptr, 0, user_data); });
  }
  return true;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  CountCall(__func__);
  if (!messenger || !channel) return;
  std::lock_guard<std::mutex> guard(messenger->callbacks_lock);
  if (callback) {
    messenger->callbacks[channel] = {callback, user_data};
  } else {
    messenger->callbacks.erase(channel);
  }
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_size) {
  CountCall(__func__);
  if (!messenger || !handle) return;
  std::lock_guard<std::recursive_mutex> availability(messenger->availability_lock);
  if (!messenger->available) return;  // the engine is gone: nobody to answer
  int64_t token = standin::TokenForHandle(handle);
  standin::ResponseListener listener;
  {
    standin::MessageTable& table = standin::Messages();
    std::lock_guard<std::mutex> guard(table.lock);
    auto found = table.records.find(token);
    if (found == table.records.end()) return;
    standin::MessageRecord& record = found->second;
    if (++record.response_count > 1) return;
    if (data && data_size) record.first_response.assign(data, data + data_size);
    listener = std::move(record.listener);
  }
  if (listener) listener(token);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  CountCall(__func__);
  if (messenger) messenger->references.fetch_add(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  CountCall(__func__);
  if (messenger && messenger->references.fetch_sub(1) == 1) delete messenger;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  CountCall(__func__);
  if (messenger) messenger->availability_lock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  CountCall(__func__);
  if (messenger) messenger->availability_lock.unlock();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  CountCall(__func__);
  return messenger && messenger->available;
}

}  // extern "C"
