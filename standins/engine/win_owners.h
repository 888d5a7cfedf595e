// Small owners for the Win32 handles and GDI objects the stand-in engine
// opens, so that each one is closed on every path by construction.
#ifndef ORVA_STANDINS_ENGINE_WIN_OWNERS_H_
#define ORVA_STANDINS_ENGINE_WIN_OWNERS_H_

#include <windows.h>

#include <utility>

namespace standin {

// Owns one value of a handle kind; |Traits| gives the invalid value and the
// function that closes a valid one.
template <typename Traits>
class UniqueOwner {
 public:
  using Value = typename Traits::Value;
  UniqueOwner() = default;
  explicit UniqueOwner(Value value) : value_(value) {}
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueOwner() { reset(); }

  Value get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  Value release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Value value = Traits::Invalid()) {
    Value old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Value value_ = Traits::Invalid();
};

struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value v) { CloseHandle(v); }
};
struct WindowTraits {
  using Value = HWND;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) {
    if (IsWindow(v)) DestroyWindow(v);
  }
};
struct GdiObjectTraits {
  using Value = HGDIOBJ;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteObject(v); }
};
struct MemoryDcTraits {
  using Value = HDC;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { DeleteDC(v); }
};
struct ModuleTraits {
  using Value = HMODULE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { FreeLibrary(v); }
};

using UniqueFile = UniqueOwner<FileHandleTraits>;
using UniqueWindow = UniqueOwner<WindowTraits>;
using UniqueGdiObject = UniqueOwner<GdiObjectTraits>;
using UniqueMemoryDc = UniqueOwner<MemoryDcTraits>;
using UniqueModule = UniqueOwner<ModuleTraits>;

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
