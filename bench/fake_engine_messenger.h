// A minimal in-process engine messenger for the native benchmarks: it
// defines the engine library's FlutterDesktopMessenger* functions (the only
// part of the library that the messenger wrapper calls), keeps the installed
// channel callbacks, and plays the UI's side by delivering messages and
// keeping the last response. Locking and reference counting are real (a
// mutex and an atomic count), so the measured path pays what it pays against
// the engine. Benchmark equipment only; never linked into the product.
#ifndef ORVA_BENCH_FAKE_ENGINE_MESSENGER_H_
#define ORVA_BENCH_FAKE_ENGINE_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine_client/flutter_desktop_api.h"

namespace bench {

class FakeEngineMessenger {
 public:
  FakeEngineMessenger();
  ~FakeEngineMessenger();

  FakeEngineMessenger(const FakeEngineMessenger&) = delete;
  FakeEngineMessenger& operator=(const FakeEngineMessenger&) = delete;

  FlutterDesktopMessengerRef handle() const { return messenger_; }

  // Delivers |bytes| on |channel| to the installed callback, which runs
  // before this returns. Returns false when the channel has no callback.
  bool Deliver(const char* channel, const uint8_t* bytes, size_t size);

  // The bytes of the last response and how many responses arrived so far.
  const std::vector<uint8_t>& last_response() const;
  uint64_t response_count() const;

 private:
  FlutterDesktopMessengerRef messenger_;
};

}  // namespace bench

#endif  // ORVA_BENCH_FAKE_ENGINE_MESSENGER_H_
