// Owners for the windows and GDI objects the stand-in engine opens, on the
// product's UniqueResource, so that each one is closed on every path by
// construction. Files are kernel handles (UniqueHandle), modules UniqueModule.
#ifndef ORVA_STANDINS_ENGINE_WIN_OWNERS_H_
#define ORVA_STANDINS_ENGINE_WIN_OWNERS_H_

#include <windows.h>

#include "common/unique_handle.h"

namespace standin {

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type v) { return v != nullptr; }
  static void Close(Type v) {
    if (IsWindow(v)) DestroyWindow(v);
  }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type v) { return v != nullptr; }
  static void Close(Type v) { DeleteObject(v); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type v) { return v != nullptr; }
  static void Close(Type v) { DeleteDC(v); }
};

using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Selects a GDI object into a device context for one scope.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_WIN_OWNERS_H_
