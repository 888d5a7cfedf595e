// The engine's runtime files: an assets folder, an ICU data file and the
// compiled application library. Relative paths are resolved against the
// current working directory, as the host expects.
#include "standins/engine/engine_objects.h"

namespace standin {
namespace {

enum class Kind { kFolder, kFile };

// Empty when |path| names an existing folder or file as |kind| asks.
std::string CheckPath(const std::wstring& path, Kind kind, const char* what) {
  if (path.empty()) return std::string(what) + " path is empty";
  wchar_t full[MAX_PATH * 4];
  DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(sizeof full / sizeof full[0]),
                                  full, nullptr);
  std::wstring resolved = length > 0 && length < sizeof full / sizeof full[0] ? full : path;
  DWORD attributes = GetFileAttributesW(resolved.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  const bool is_folder = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!exists) return std::string(what) + " not found: " + Narrow(resolved);
  if (kind == Kind::kFolder && !is_folder) {
    return std::string(what) + " is not a folder: " + Narrow(resolved);
  }
  if (kind == Kind::kFile && is_folder) {
    return std::string(what) + " is a folder, not a file: " + Narrow(resolved);
  }
  return std::string();
}

}  // namespace

std::string MissingRuntimeFile(const FlutterDesktopEngine& engine) {
  std::string problem = CheckPath(engine.assets_path, Kind::kFolder, "assets folder");
  if (problem.empty()) problem = CheckPath(engine.icu_data_path, Kind::kFile, "ICU data file");
  if (problem.empty()) problem = CheckPath(engine.aot_library_path, Kind::kFile, "AOT library");
  return problem;
}

}  // namespace standin
