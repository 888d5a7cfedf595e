// A monitor's DPI: OrvaEngineSetDpi's value when set, else the environment
// variable ORVA_ENGINE_DPI, else shcore's GetDpiForMonitor (loaded at run
// time, as older systems lack it), else the system DPI, else 96.
#include <atomic>
#include <cstdlib>

#include "standins/engine/engine_objects.h"
#include "standins/engine/win_owners.h"

namespace standin {
namespace {

std::atomic<uint32_t> g_dpi_override{0};

// A positive whole number from the environment, or 0.
UINT DpiFromEnvironment() {
  wchar_t text[32];
  DWORD length = GetEnvironmentVariableW(L"ORVA_ENGINE_DPI", text, 32);
  if (length == 0 || length >= 32) return 0;
  wchar_t* end = nullptr;
  unsigned long value = std::wcstoul(text, &end, 10);
  if (end == text || *end != L'\0' || value == 0 || value > 4800) return 0;
  return static_cast<UINT>(value);
}

UINT DpiFromShcore(HMONITOR monitor) {
  UniqueModule shcore(LoadLibraryW(L"shcore.dll"));
  if (!shcore.IsValid()) return 0;
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  auto get_dpi = reinterpret_cast<GetDpiForMonitorFunction>(
      reinterpret_cast<void*>(GetProcAddress(shcore.Get(), "GetDpiForMonitor")));
  if (!get_dpi) return 0;
  UINT x = 0, y = 0;
  const int kEffectiveDpi = 0;
  if (FAILED(get_dpi(monitor, kEffectiveDpi, &x, &y))) return 0;
  return x;
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 0;
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 0;
}

}  // namespace
}  // namespace standin

extern "C" {

void OrvaEngineSetDpi(uint32_t dpi) { standin::g_dpi_override = dpi; }

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  standin::CountCall(__func__);
  if (UINT dpi = standin::g_dpi_override) return dpi;
  if (UINT dpi = standin::DpiFromEnvironment()) return dpi;
  if (monitor) {
    if (UINT dpi = standin::DpiFromShcore(monitor)) return dpi;
  }
  if (UINT dpi = standin::SystemDpi()) return dpi;
  return 96;
}

}  // extern "C"
