// What an engine is started from: the three runtime paths below one data
// folder, the UI's entry function and its arguments.
#ifndef ORVA_ENGINE_CLIENT_PROJECT_BUNDLE_H_
#define ORVA_ENGINE_CLIENT_PROJECT_BUNDLE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A value: copies are independent.
struct ProjectBundle {
  // Each path is |data_folder| followed by its file name, so a relative
  // folder gives paths the engine resolves against the working directory.
  explicit ProjectBundle(const std::wstring& data_folder);

  std::wstring assets_path;                       // <data_folder>\flutter_assets
  std::wstring icu_data_path;                     // <data_folder>\icudtl.dat
  std::wstring aot_library_path;                  // <data_folder>\app.so
  std::string entrypoint;                         // empty: the engine's default entry function
  std::vector<std::string> entrypoint_arguments;  // UTF-8
  // Handed unchanged to the engine library; their meaning is the library's.
  std::array<int32_t, 2> engine_options{};
};

#endif  // ORVA_ENGINE_CLIENT_PROJECT_BUNDLE_H_
