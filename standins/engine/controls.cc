// The controls of engine_controls.h: the UI's side of the engine for tests.
#include "standins/engine/engine_controls.h"

#include <algorithm>
#include <cstring>

#include "standins/engine/engine_objects.h"

extern "C" {

int64_t OrvaEngineDeliverMessage(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* bytes, size_t size) {
  if (!channel) return 0;
  return standin::DeliverMessage(messenger, channel, bytes, size, nullptr);
}

int32_t OrvaEngineResponseCount(int64_t token) { return standin::ResponseCount(token); }

int64_t OrvaEngineResponse(int64_t token, uint8_t* buffer, size_t capacity) {
  std::vector<uint8_t> response;
  if (!standin::CopyResponse(token, &response)) return -1;
  if (buffer) std::memcpy(buffer, response.data(), std::min(capacity, response.size()));
  return static_cast<int64_t>(response.size());
}

void OrvaEngineSetMessengerAvailable(FlutterDesktopMessengerRef messenger, bool available) {
  standin::SetMessengerAvailable(messenger, available);
}

void OrvaEngineShutDown(FlutterDesktopEngineRef engine) { standin::ShutDownEngine(engine); }

void OrvaEnginePaintFrame(FlutterDesktopEngineRef engine) {
  if (!engine) return;
  if (engine->controller) {
    standin::RenderFrameNow(engine->controller);
  } else {
    // A headless engine still produces frames, it just shows them nowhere.
    ++engine->frames_rendered;
    standin::RunNextFrameCallback(engine);
  }
}

int32_t OrvaEngineCallCount(const char* name) { return standin::CallCount(name); }

size_t OrvaEngineRegistrarRequests(char* buffer, size_t capacity) {
  std::string requests = standin::RegistrarRequests();
  if (buffer) std::memcpy(buffer, requests.data(), std::min(capacity, requests.size()));
  return requests.size();
}

void OrvaEngineResetRecords(void) { standin::ResetRecords(); }

int32_t OrvaEnginePumpMessages(void) {
  int32_t dispatched = 0;
  MSG message;
  // Bounded, so that a window that keeps posting to itself cannot hang a test.
  while (dispatched < 1000000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave the quit for the caller's own loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    ++dispatched;
  }
  return dispatched;
}

int64_t OrvaEngineFramesRendered(FlutterDesktopEngineRef engine) {
  return engine ? engine->frames_rendered : 0;
}

int64_t OrvaEngineTextureFramesPulled(int64_t texture_id) {
  return standin::TextureFramesPulled(texture_id);
}

}  // extern "C"
