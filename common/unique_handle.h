// Small owners for Win32 handles: each closes its handle exactly once, when
// it goes out of scope or is reset, so every path through a function that
// opened a handle also closes it.
//
//   UniqueHandle   kernel objects closed with CloseHandle (processes, threads,
//                  pipe ends, events, mappings, files); both null and
//                  INVALID_HANDLE_VALUE count as "no handle"
//   UniqueHkey     registry keys (RegCloseKey)
//   UniqueLocal    LocalAlloc'd memory returned by the system (LocalFree)
//   UniqueView     mapped views of a file mapping (UnmapViewOfFile)
//   UniqueModule   loaded libraries (FreeLibrary)
//
// The out-parameter form (`CreatePipe(read.Put(), ...)`) resets first, so an
// owner never leaks what it held before.
#ifndef ORVA_COMMON_UNIQUE_HANDLE_H_
#define ORVA_COMMON_UNIQUE_HANDLE_H_

#ifdef _WIN32

#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type Get() const { return value_; }
  bool IsValid() const { return Traits::IsValid(value_); }
  explicit operator bool() const { return IsValid(); }

  // Gives up ownership without closing.
  Type Release() { return std::exchange(value_, Traits::Invalid()); }

  // Closes the current value (if any) and takes |value|.
  void Reset(Type value = Traits::Invalid()) {
    Type old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

  // Closes the current value and returns where a creating call may store a
  // new one.
  Type* Put() {
    Reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};

// Owners whose "no value" is null and that free with one call, |kFree|.
template <typename T, auto kFree>
struct NullIsNoneTraits {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type value) { return value != nullptr; }
  static void Close(Type value) { kFree(value); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueHkey = UniqueResource<NullIsNoneTraits<HKEY, ::RegCloseKey>>;
using UniqueLocal = UniqueResource<NullIsNoneTraits<HLOCAL, ::LocalFree>>;
using UniqueView = UniqueResource<NullIsNoneTraits<void*, ::UnmapViewOfFile>>;
using UniqueModule = UniqueResource<NullIsNoneTraits<HMODULE, ::FreeLibrary>>;

// The two handles CreateProcess hands back, owned together.
struct UniqueProcessInformation {
  UniqueHandle process;
  UniqueHandle thread;
  DWORD process_id = 0;

  // Takes ownership of both handles of |info|.
  void Adopt(const PROCESS_INFORMATION& info) {
    process.Reset(info.hProcess);
    thread.Reset(info.hThread);
    process_id = info.dwProcessId;
  }
};

#endif  // _WIN32

#endif  // ORVA_COMMON_UNIQUE_HANDLE_H_
