// The engine library's messenger functions over a plain in-process record.
#include "bench/fake_engine_messenger.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

struct FlutterDesktopMessageResponseHandle {
  uint64_t message_id;
};

struct FlutterDesktopMessenger {
  std::atomic<int32_t> references{1};
  std::mutex lock;
  bool available = true;
  std::map<std::string, std::pair<FlutterDesktopMessageCallback, void*>, std::less<>> callbacks;
  uint64_t next_message_id = 1;
  uint64_t response_count = 0;
  std::vector<uint8_t> last_response;
};

extern "C" {

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef, const char*, const uint8_t*, size_t) {
  return true;
}

// The benchmark UI never answers sent messages: report the send as refused,
// so the wrapper frees its reply callback at once.
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef, const char*, const uint8_t*,
                                          size_t, FlutterDesktopBinaryReply, void*) {
  return false;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  if (callback == nullptr) {
    messenger->callbacks.erase(channel);
  } else {
    messenger->callbacks[channel] = {callback, user_data};
  }
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle*,
                                         const uint8_t* data, size_t data_size) {
  ++messenger->response_count;
  if (data_size == 0) {
    messenger->last_response.clear();
  } else {
    messenger->last_response.assign(data, data + data_size);
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  messenger->references.fetch_add(1, std::memory_order_relaxed);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (messenger->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete messenger;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  messenger->lock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  messenger->lock.unlock();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return messenger->available;
}

}  // extern "C"

namespace bench {

FakeEngineMessenger::FakeEngineMessenger() : messenger_(new FlutterDesktopMessenger) {}

FakeEngineMessenger::~FakeEngineMessenger() {
  messenger_->available = false;
  FlutterDesktopMessengerRelease(messenger_);
}

bool FakeEngineMessenger::Deliver(const char* channel, const uint8_t* bytes, size_t size) {
  auto it = messenger_->callbacks.find(channel);
  if (it == messenger_->callbacks.end()) return false;
  FlutterDesktopMessageResponseHandle response{messenger_->next_message_id++};
  FlutterDesktopMessage message{sizeof(FlutterDesktopMessage), channel, bytes, size, &response};
  it->second.first(messenger_, &message, it->second.second);
  return true;
}

const std::vector<uint8_t>& FakeEngineMessenger::last_response() const {
  return messenger_->last_response;
}

uint64_t FakeEngineMessenger::response_count() const { return messenger_->response_count; }

}  // namespace bench
