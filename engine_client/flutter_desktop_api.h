// The engine library's C interface, as this program uses it.
//
// The engine library (flutter_windows.dll) is loaded at start-up as a
// load-time import. Every function here is exported by it; the handle types
// are opaque. Records passed into the library need to stay valid only for the
// duration of the call that receives them, unless a comment says otherwise.
//
// The Windows-only part (windows, monitors and window messages) is compiled
// only for Windows; the rest is platform-independent so that the messenger
// and texture wrappers can also be built and tested natively.
#ifndef ORVA_ENGINE_CLIENT_FLUTTER_DESKTOP_API_H_
#define ORVA_ENGINE_CLIENT_FLUTTER_DESKTOP_API_H_

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#endif

#if defined(_WIN32) && defined(ORVA_ENGINE_LIBRARY_EXPORTS)
#define FLUTTER_DESKTOP_API __declspec(dllexport)
#elif defined(_WIN32) && !defined(ORVA_ENGINE_LIBRARY_STATIC)
#define FLUTTER_DESKTOP_API __declspec(dllimport)
#else
#define FLUTTER_DESKTOP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------
// Opaque handles.
typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopTextureRegistrar* FlutterDesktopTextureRegistrarRef;
// Identifies one incoming message; answered once with
// FlutterDesktopMessengerSendResponse.
typedef struct FlutterDesktopMessageResponseHandle FlutterDesktopMessageResponseHandle;

// ---------------------------------------------------------------------------
// Engine start-up.

// What an engine is started from. Paths are resolved by the library against
// the current working directory when they are relative.
typedef struct {
  const wchar_t* assets_path;       // folder of the UI's compiled assets
  const wchar_t* icu_data_path;     // ICU data file
  const wchar_t* aot_library_path;  // compiled application library
  const char* entrypoint;           // UI entry function; "" means the default
  int32_t entrypoint_argc;          // number of entries in entrypoint_argv
  const char** entrypoint_argv;     // UTF-8 arguments; null when argc is 0
  int32_t engine_option_0;          // passed through, meaning is the library's
  int32_t engine_option_1;
} FlutterDesktopEngineProperties;

// Called once after the next frame has been rendered, on the platform thread.
typedef void (*FlutterDesktopOnNextFrame)(void* user_data);

FLUTTER_DESKTOP_API FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* properties);
// Shuts the engine down; its registrars are destroyed (their destruction
// handlers run) and its messengers stop being available. Returns true when an
// engine was destroyed.
FLUTTER_DESKTOP_API bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
// The registrar for a plugin name (UTF-8); the same name gives the same
// registrar for the life of the engine.
FLUTTER_DESKTOP_API FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine, const char* plugin_name);
FLUTTER_DESKTOP_API void FlutterDesktopEngineSetNextFrameCallback(FlutterDesktopEngineRef engine,
                                                                  FlutterDesktopOnNextFrame callback,
                                                                  void* user_data);
FLUTTER_DESKTOP_API void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// View controllers, views and monitors (Windows only).

// Takes ownership of |engine| when it returns a controller; returns null when
// the engine cannot run (for example when its runtime files are missing).
FLUTTER_DESKTOP_API FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int width, int height, FlutterDesktopEngineRef engine);
// Destroys the controller and the engine it owns.
FLUTTER_DESKTOP_API void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller);
FLUTTER_DESKTOP_API FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);
// Offers a top-level window message to the engine. Returns true when the
// engine consumed it, with the message's result in |result|.
FLUTTER_DESKTOP_API bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND window, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result);
FLUTTER_DESKTOP_API void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller);
// The native child window that shows the engine's output.
FLUTTER_DESKTOP_API HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
// Dots per inch of a monitor; 96 means unscaled.
FLUTTER_DESKTOP_API UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
#endif  // _WIN32

// ---------------------------------------------------------------------------
// Plugin registrars.

// Called with a registrar that is being destroyed (when its engine shuts down).
typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(FlutterDesktopPluginRegistrarRef registrar);

FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar);
FLUTTER_DESKTOP_API FlutterDesktopTextureRegistrarRef
FlutterDesktopRegistrarGetTextureRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// The engine's view, or null for a headless engine.
FLUTTER_DESKTOP_API FlutterDesktopViewRef
FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar);
// Replaces the registrar's destruction handler.
FLUTTER_DESKTOP_API void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef registrar, FlutterDesktopOnPluginRegistrarDestroyed callback);

// ---------------------------------------------------------------------------
// Binary messenger.

// One incoming message on a channel.
typedef struct {
  const char* channel;                                   // zero-terminated channel name
  const uint8_t* message;                                // message bytes (may be null when size is 0)
  size_t message_size;                                   // number of message bytes
  const FlutterDesktopMessageResponseHandle* response_handle;  // answer it exactly once
} FlutterDesktopMessage;

// Delivers an incoming message; |user_data| is what was given to
// FlutterDesktopMessengerSetCallback for the channel.
typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);
// Delivers the answer to a message sent with FlutterDesktopMessengerSendWithReply.
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);

FLUTTER_DESKTOP_API bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                                     const char* channel, const uint8_t* message,
                                                     size_t message_size);
// True: |reply| will be called exactly once with |user_data|. False: never.
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                                              const char* channel,
                                                              const uint8_t* message,
                                                              size_t message_size,
                                                              FlutterDesktopBinaryReply reply,
                                                              void* user_data);
// With a callback, messages on |channel| go to it with |user_data|; with a
// null callback no more messages are delivered on |channel|.
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                                            const char* channel,
                                                            FlutterDesktopMessageCallback callback,
                                                            void* user_data);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessageResponseHandle* handle,
    const uint8_t* data, size_t data_size);
// Reference counting; the count is atomic. AddRef returns |messenger|.
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
// While locked, the messenger's availability does not change. Lock returns
// the value to hand to Unlock.
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);
// True while the engine behind the messenger can still take responses.
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);

// ---------------------------------------------------------------------------
// External textures.

typedef enum {
  kFlutterDesktopPixelBufferTexture = 0,
  kFlutterDesktopGpuSurfaceTexture = 1,
} FlutterDesktopTextureKind;

// One frame of pixels, RGBA, 8 bits per channel, rows packed.
typedef struct {
  const uint8_t* pixels;
  size_t width;
  size_t height;
  void (*release)(void* release_data);  // optional; called when the engine is done with it
  void* release_data;
} FlutterDesktopPixelBuffer;

// Surface type values of the engine library (a 32-bit enumeration).
typedef int32_t FlutterDesktopGpuSurfaceType;

// A GPU surface holding one frame.
typedef struct {
  size_t struct_size;
  void* surface_handle;
  size_t width;
  size_t height;
  size_t visible_width;
  size_t visible_height;
  int32_t pixel_format;
  void (*release)(void* release_data);
  void* release_data;
} FlutterDesktopGpuSurfaceDescriptor;

typedef const FlutterDesktopPixelBuffer* (*FlutterDesktopPixelBufferRequest)(size_t width,
                                                                             size_t height,
                                                                             void* user_data);
typedef const FlutterDesktopGpuSurfaceDescriptor* (*FlutterDesktopGpuSurfaceRequest)(
    size_t width, size_t height, void* user_data);
typedef void (*FlutterDesktopOnTextureUnregistered)(void* user_data);

typedef struct {
  FlutterDesktopPixelBufferRequest request;
  void* user_data;
} FlutterDesktopPixelBufferTextureConfig;

typedef struct {
  size_t struct_size;  // sizeof(FlutterDesktopGpuSurfaceTextureConfig), 32 on 64-bit
  FlutterDesktopGpuSurfaceType surface_type;
  FlutterDesktopGpuSurfaceRequest request;
  void* user_data;
} FlutterDesktopGpuSurfaceTextureConfig;

typedef struct {
  FlutterDesktopTextureKind kind;
  union {
    FlutterDesktopPixelBufferTextureConfig pixel_buffer;
    FlutterDesktopGpuSurfaceTextureConfig gpu_surface;
  };
} FlutterDesktopTextureInfo;

// Returns the new texture's id (-1 on failure).
FLUTTER_DESKTOP_API int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, const FlutterDesktopTextureInfo* info);
FLUTTER_DESKTOP_API bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id);
// With a callback, it is called exactly once with |user_data| when the
// texture is gone; with none, nothing is called.
FLUTTER_DESKTOP_API void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef registrar, int64_t texture_id,
    FlutterDesktopOnTextureUnregistered callback, void* user_data);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // ORVA_ENGINE_CLIENT_FLUTTER_DESKTOP_API_H_
