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
//
// Every record is laid out exactly as the library lays it out on 64-bit
// Windows (bool is one byte, enums are 32-bit); the checks after each record
// hold its size and every field's offset on any 64-bit build, so a change
// that would make this program misread the library fails to compile.
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
#define FLUTTER_DESKTOP_LAYOUT(record, field, offset)                      \
  static_assert(sizeof(void*) != 8 || offsetof(record, field) == (offset), \
                #record "." #field " must lie at byte " #offset)
#define FLUTTER_DESKTOP_SIZE(record, size) \
  static_assert(sizeof(void*) != 8 || sizeof(record) == (size), #record " is " #size " bytes")
#else
#define FLUTTER_DESKTOP_LAYOUT(record, field, offset)
#define FLUTTER_DESKTOP_SIZE(record, size)
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

// Which GPU the engine should render on; 0 leaves the choice to the library.
typedef enum {
  kFlutterDesktopGpuPreferenceNone = 0,
} FlutterDesktopGpuPreference;

// Which thread runs the UI's code; 0 is the library's default.
typedef enum {
  kFlutterDesktopUIThreadPolicyDefault = 0,
} FlutterDesktopUIThreadPolicy;

// What an engine is started from; read only during FlutterDesktopEngineCreate.
// Paths are resolved by the library against the current working directory
// when they are relative.
typedef struct {
  const wchar_t* assets_path;       // folder of the UI's compiled assets
  const wchar_t* icu_data_path;     // ICU data file
  const wchar_t* aot_library_path;  // compiled application library
  const char* entrypoint;           // UI entry function; "" means the default
  int entrypoint_argc;              // number of entries in entrypoint_argv
  const char** entrypoint_argv;     // UTF-8 arguments; null when argc is 0
  FlutterDesktopGpuPreference gpu_preference;
  FlutterDesktopUIThreadPolicy ui_thread_policy;
} FlutterDesktopEngineProperties;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, assets_path, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, icu_data_path, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, aot_library_path, 16);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, entrypoint, 24);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, entrypoint_argc, 32);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, entrypoint_argv, 40);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, gpu_preference, 48);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopEngineProperties, ui_thread_policy, 52);
FLUTTER_DESKTOP_SIZE(FlutterDesktopEngineProperties, 56);

// Called once after the next frame has been rendered, on the platform thread.
typedef void (*FlutterDesktopOnNextFrame)(void* user_data);

// The record is read only during the call.
FLUTTER_DESKTOP_API FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* properties);
// Shuts the engine down; its registrars are destroyed (their destruction
// handlers run) and its messengers stop being available. Returns true when an
// engine was destroyed.
FLUTTER_DESKTOP_API bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
// The engine's messenger. Not an owning reference: it must not be released
// (a holder that wants to keep it takes a reference of its own with AddRef).
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
// The registrar for a plugin name (UTF-8); the same name gives the same
// registrar for the life of the engine.
FLUTTER_DESKTOP_API FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine, const char* plugin_name);
// |callback| runs once, on the platform thread, after the next frame.
FLUTTER_DESKTOP_API void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrame callback, void* user_data);
FLUTTER_DESKTOP_API void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// View controllers, views and monitors (Windows only).

// Takes ownership of |engine| in every case: it returns a controller that
// owns the engine, or null (the engine cannot run, for example when its
// runtime files are missing) after it has already destroyed the engine.
FLUTTER_DESKTOP_API FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int width, int height, FlutterDesktopEngineRef engine);
// Destroys the controller and the engine it owns.
FLUTTER_DESKTOP_API void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller);
FLUTTER_DESKTOP_API FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);
// Offers a top-level window message to the engine. Returns true when the
// engine consumed it, with the message's result in |result|.
FLUTTER_DESKTOP_API bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND window, UINT message, WPARAM wparam,
    LPARAM lparam, LRESULT* result);
FLUTTER_DESKTOP_API void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller);
// The native child window that shows the engine's output.
FLUTTER_DESKTOP_API HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
// Dots per inch of a monitor; 96 means unscaled.
FLUTTER_DESKTOP_API UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
#endif  // _WIN32

// ---------------------------------------------------------------------------
// Plugin registrars.

// Called with a registrar that is being destroyed (when its engine shuts down).
typedef void (*FlutterDesktopOnPluginRegistrarDestroyed)(
    FlutterDesktopPluginRegistrarRef registrar);

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

// One incoming message on a channel, built by the library.
typedef struct {
  size_t struct_size;      // the size of the record the library built (40 today)
  const char* channel;     // zero-terminated channel name
  const uint8_t* message;  // message bytes (may be null when size is 0)
  size_t message_size;     // number of message bytes
  const FlutterDesktopMessageResponseHandle* response_handle;  // answer it exactly once
} FlutterDesktopMessage;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopMessage, struct_size, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopMessage, channel, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopMessage, message, 16);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopMessage, message_size, 24);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopMessage, response_handle, 32);
FLUTTER_DESKTOP_SIZE(FlutterDesktopMessage, 40);

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
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
    size_t message_size, FlutterDesktopBinaryReply reply, void* user_data);
// With a callback, messages on |channel| go to it with |user_data|; with a
// null callback no more messages are delivered on |channel|.
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                                            const char* channel,
                                                            FlutterDesktopMessageCallback callback,
                                                            void* user_data);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessageResponseHandle* handle,
    const uint8_t* data, size_t data_size);
// Reference counting, safe from any thread. AddRef returns |messenger|.
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
// While locked, the messenger's availability does not change. Lock returns
// its argument, the value to hand to Unlock. From any thread but the
// platform thread, every messenger call is made inside Lock/Unlock after
// IsAvailable said yes: that is what makes a reply from a worker safe.
FLUTTER_DESKTOP_API FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
FLUTTER_DESKTOP_API void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);
// True while the engine behind the messenger can still take responses.
FLUTTER_DESKTOP_API bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);

// ---------------------------------------------------------------------------
// External textures.

// One frame of pixels, RGBA, 8 bits per channel, rows packed.
typedef struct {
  const uint8_t* pixels;
  size_t width;
  size_t height;
  void (*release)(void* release_data);  // optional; called when the engine is done with it
  void* release_data;
} FlutterDesktopPixelBuffer;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBuffer, pixels, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBuffer, width, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBuffer, height, 16);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBuffer, release, 24);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBuffer, release_data, 32);
FLUTTER_DESKTOP_SIZE(FlutterDesktopPixelBuffer, 40);

// Pixel formats of a GPU surface (the library's enumeration).
typedef enum {
  kFlutterDesktopPixelFormatNone = 0,
} FlutterDesktopPixelFormat;

// A GPU surface holding one frame.
typedef struct {
  size_t struct_size;
  void* surface_handle;
  size_t width;
  size_t height;
  size_t visible_width;
  size_t visible_height;
  FlutterDesktopPixelFormat pixel_format;
  void (*release)(void* release_data);
  void* release_data;
} FlutterDesktopGpuSurfaceDescriptor;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, struct_size, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, surface_handle, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, width, 16);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, height, 24);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, visible_width, 32);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, visible_height, 40);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, pixel_format, 48);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, release, 56);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceDescriptor, release_data, 64);
FLUTTER_DESKTOP_SIZE(FlutterDesktopGpuSurfaceDescriptor, 72);

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
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBufferTextureConfig, request, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopPixelBufferTextureConfig, user_data, 8);
FLUTTER_DESKTOP_SIZE(FlutterDesktopPixelBufferTextureConfig, 16);

// Kinds of GPU surface (the library's 32-bit enumeration).
typedef enum {
  kFlutterDesktopGpuSurfaceTypeNone = 0,
  kFlutterDesktopGpuSurfaceTypeDxgiSharedHandle = 1,
  kFlutterDesktopGpuSurfaceTypeD3d11Texture = 2,
} FlutterDesktopGpuSurfaceType;

typedef struct {
  size_t struct_size;  // sizeof(FlutterDesktopGpuSurfaceTextureConfig), 32
  FlutterDesktopGpuSurfaceType surface_type;
  FlutterDesktopGpuSurfaceRequest request;
  void* user_data;
} FlutterDesktopGpuSurfaceTextureConfig;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceTextureConfig, struct_size, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceTextureConfig, surface_type, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceTextureConfig, request, 16);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopGpuSurfaceTextureConfig, user_data, 24);
FLUTTER_DESKTOP_SIZE(FlutterDesktopGpuSurfaceTextureConfig, 32);

typedef enum {
  kFlutterDesktopPixelBufferTexture = 0,
  kFlutterDesktopGpuSurfaceTexture = 1,
} FlutterDesktopTextureKind;

typedef struct {
  FlutterDesktopTextureKind kind;
  union {
    FlutterDesktopPixelBufferTextureConfig pixel_buffer;
    FlutterDesktopGpuSurfaceTextureConfig gpu_surface;
  };
} FlutterDesktopTextureInfo;
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopTextureInfo, kind, 0);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopTextureInfo, pixel_buffer, 8);
FLUTTER_DESKTOP_LAYOUT(FlutterDesktopTextureInfo, gpu_surface, 8);
FLUTTER_DESKTOP_SIZE(FlutterDesktopTextureInfo, 40);

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
