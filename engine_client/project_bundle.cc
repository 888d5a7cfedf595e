// ProjectBundle: the engine's runtime paths below one data folder.
#include "engine_client/project_bundle.h"

ProjectBundle::ProjectBundle(const std::wstring& data_folder)
    : assets_path(data_folder + L"\\flutter_assets"),
      icu_data_path(data_folder + L"\\icudtl.dat"),
      aot_library_path(data_folder + L"\\app.so") {}
