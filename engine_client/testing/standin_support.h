// Helpers for tests that run against the stand-in engine library under Wine.
#ifndef ORVA_ENGINE_CLIENT_TESTING_STANDIN_SUPPORT_H_
#define ORVA_ENGINE_CLIENT_TESTING_STANDIN_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standins/engine/engine_controls.h"

namespace standin_support {

// The folder holding the test executable, where the build lays out the
// engine's runtime files under "data".
inline std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

inline std::wstring RuntimeDataFolder() { return ExecutableFolder() + L"\\data"; }

// A folder that holds no runtime files.
inline std::wstring MissingDataFolder() { return ExecutableFolder() + L"\\no-such-data"; }

// The first response the engine received for message |token|; empty when
// there is none (see OrvaEngineResponseCount to tell the two apart).
inline std::vector<uint8_t> ResponseTo(int64_t token) {
  const int64_t size = OrvaEngineResponse(token, nullptr, 0);
  if (size <= 0) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  OrvaEngineResponse(token, bytes.data(), bytes.size());
  return bytes;
}

}  // namespace standin_support

#endif  // ORVA_ENGINE_CLIENT_TESTING_STANDIN_SUPPORT_H_
