// Controls of the stand-in engine library that the product never calls.
// Tests use them to play the UI's side: deliver messages and read the
// responses, end an engine's availability, paint frames, fix the DPI.
#ifndef ORVA_STANDINS_ENGINE_ENGINE_CONTROLS_H_
#define ORVA_STANDINS_ENGINE_ENGINE_CONTROLS_H_

#include "engine_client/flutter_desktop_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// Delivers |bytes| on |channel| of |messenger| as if the UI had sent it and
// returns a token for the message (0 when no handler is installed on the
// channel; nothing is delivered then). The handler runs before this returns.
FLUTTER_DESKTOP_API int64_t OrvaEngineDeliverMessage(FlutterDesktopMessengerRef messenger,
                                                     const char* channel, const uint8_t* bytes,
                                                     size_t size);
// How many responses reached the engine for the message |token| (0 or 1; the
// engine counts every response call that got through, so 2 would be a bug).
FLUTTER_DESKTOP_API int32_t OrvaEngineResponseCount(int64_t token);
// Copies the first response for |token| into |buffer| (at most |capacity|
// bytes) and returns its full size, or -1 when there is no response yet.
FLUTTER_DESKTOP_API int64_t OrvaEngineResponse(int64_t token, uint8_t* buffer, size_t capacity);
// Ends (false) or restores (true) the availability of |messenger|.
FLUTTER_DESKTOP_API void OrvaEngineSetMessengerAvailable(FlutterDesktopMessengerRef messenger,
                                                         bool available);
// Shuts |engine| down as at exit: its messengers stop being available and its
// registrars are destroyed (their destruction handlers run). The handle stays
// valid for FlutterDesktopEngineDestroy / FlutterDesktopViewControllerDestroy.
FLUTTER_DESKTOP_API void OrvaEngineShutDown(FlutterDesktopEngineRef engine);
// Renders one frame of |engine| now (running an armed next-frame callback).
FLUTTER_DESKTOP_API void OrvaEnginePaintFrame(FlutterDesktopEngineRef engine);
// Makes FlutterDesktopGetDpiForMonitor answer |dpi| for every monitor; 0
// restores the real answer.
FLUTTER_DESKTOP_API void OrvaEngineSetDpi(uint32_t dpi);
// The properties of the last FlutterDesktopEngineCreate call: the argument
// count, and whether the argument array was null.
FLUTTER_DESKTOP_API int32_t OrvaEngineLastArgumentCount(void);
FLUTTER_DESKTOP_API bool OrvaEngineLastArgumentArrayWasNull(void);
// The last two words of that record (GPU preference, UI-thread policy) as
// the library read them: |index| 0 or 1; -1 for any other index.
FLUTTER_DESKTOP_API int32_t OrvaEngineLastEngineOption(int32_t index);
// Number of calls so far of the engine library function |name| (for example
// "FlutterDesktopMessengerSetCallback"); 0 for an unknown name.
FLUTTER_DESKTOP_API int32_t OrvaEngineCallCount(const char* name);

// Every plugin name asked of FlutterDesktopEngineGetPluginRegistrar since the
// process started (or the last OrvaEngineResetRecords), each followed by
// '\n', in order. Copies at most |capacity| bytes into |buffer| (no
// terminating zero) and returns the full length.
FLUTTER_DESKTOP_API size_t OrvaEngineRegistrarRequests(char* buffer, size_t capacity);
// Forgets the call counts and the registrar requests recorded so far.
FLUTTER_DESKTOP_API void OrvaEngineResetRecords(void);
// Dispatches every message waiting for the calling thread (posted replies,
// frames, texture work, session steps) until none is left, and returns how
// many it dispatched. A test that has no message loop of its own uses it.
FLUTTER_DESKTOP_API int32_t OrvaEnginePumpMessages(void);
// Frames rendered so far by |engine| (0 for a null engine).
FLUTTER_DESKTOP_API int64_t OrvaEngineFramesRendered(FlutterDesktopEngineRef engine);
// Frames the engine has pulled from the external texture |texture_id| after
// frame notifications (0 for an unknown id).
FLUTTER_DESKTOP_API int64_t OrvaEngineTextureFramesPulled(int64_t texture_id);

// Makes FlutterDesktopViewControllerHandleTopLevelWindowProc consume the
// top-level window message |message| with |result|, as a real engine
// consumes some; 0 (the default) consumes nothing again.
FLUTTER_DESKTOP_API void OrvaEngineConsumeTopLevelMessage(uint32_t message, int64_t result);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // ORVA_STANDINS_ENGINE_ENGINE_CONTROLS_H_
