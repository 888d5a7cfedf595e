// The engine library's records as the library itself lays them out on
// 64-bit Windows, read and written by byte offset.
//
// The stand-in deliberately does not use the host's record declarations to
// look inside what the host hands it, nor to build what it hands the host:
// a record declared wrongly in the host's header must show up as a failure
// here, not be shared silently by both sides.
#ifndef ORVA_STANDINS_ENGINE_PUBLISHED_RECORDS_H_
#define ORVA_STANDINS_ENGINE_PUBLISHED_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace standin {
namespace published {

// Engine properties (56 bytes).
constexpr size_t kPropertiesAssetsPath = 0;       // const wchar_t*
constexpr size_t kPropertiesIcuDataPath = 8;      // const wchar_t*
constexpr size_t kPropertiesAotLibraryPath = 16;  // const wchar_t*
constexpr size_t kPropertiesEntrypoint = 24;      // const char*
constexpr size_t kPropertiesArgumentCount = 32;   // int
constexpr size_t kPropertiesArguments = 40;       // const char**
constexpr size_t kPropertiesGpuPreference = 48;   // 32-bit enum
constexpr size_t kPropertiesUiThreadPolicy = 52;  // 32-bit enum

// Incoming message (40 bytes), starting with its own size.
constexpr size_t kMessageRecordSize = 40;
constexpr size_t kMessageStructSize = 0;       // size_t
constexpr size_t kMessageChannel = 8;          // const char*
constexpr size_t kMessageBytes = 16;           // const uint8_t*
constexpr size_t kMessageSize = 24;            // size_t
constexpr size_t kMessageResponseHandle = 32;  // opaque pointer

// Texture info (40 bytes): the kind, then the matching config at 8.
constexpr size_t kTextureKind = 0;  // 32-bit enum: 0 pixel buffer, 1 GPU surface
constexpr size_t kTextureConfig = 8;
// Pixel-buffer texture config, relative to kTextureConfig.
constexpr size_t kPixelConfigRequest = 0;
constexpr size_t kPixelConfigUserData = 8;
// GPU-surface texture config, relative to kTextureConfig (32 bytes).
constexpr size_t kGpuConfigStructSize = 0;
constexpr size_t kGpuConfigSurfaceType = 8;  // 32-bit enum
constexpr size_t kGpuConfigRequest = 16;
constexpr size_t kGpuConfigUserData = 24;
constexpr size_t kGpuConfigRecordSize = 32;

// Pixel buffer (40 bytes) and GPU surface descriptor (72 bytes): only their
// release callback and its context are used here.
constexpr size_t kPixelBufferRelease = 24;
constexpr size_t kPixelBufferReleaseContext = 32;
constexpr size_t kSurfaceRelease = 56;
constexpr size_t kSurfaceReleaseContext = 64;

template <typename T>
T Read(const void* record, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof(T));
  return value;
}

template <typename T>
void Write(void* record, size_t offset, T value) {
  std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof(T));
}

}  // namespace published
}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_PUBLISHED_RECORDS_H_
