// The real orva_vpn.exe from the bundle, started as a child process: its
// window, the single-instance guard and exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runner/tests/child_process.h"

namespace {

using runner_test::ChildProcess;
using runner_test::WaitUntil;

constexpr wchar_t kTitle[] = L"ORVA VPN";
constexpr wchar_t kMutexName[] = L"Local\\ZAREZEV-SingleInstance";

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  return std::wstring(full, length);
}

std::wstring BundleFolder() { return FullPath(runner_test::TestProgramFolder() + L"..\\bundle\\"); }

std::vector<HWND> ProductWindows() {
  std::vector<HWND> found;
  ::EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        wchar_t text[32] = {};
        ::GetWindowTextW(window, text, 32);
        if (std::wstring(text) == kTitle)
          reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A visible window titled "ORVA VPN" of |process_id|, or null.
HWND VisibleWindowOf(DWORD process_id) {
  for (HWND window : ProductWindows()) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == process_id && ::IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// Starts the bundled program from an unrelated working folder, so that it
// has to find its "data" folder by its own location.
std::unique_ptr<ChildProcess> StartProduct(const std::wstring& folder,
                                           const std::wstring& arguments = L"") {
  const std::wstring program = folder + L"orva_vpn.exe";
  std::wstring command_line = L"\"" + program + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::make_unique<ChildProcess>(program, command_line, temp);
}

class ProductTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::GetFileAttributesW((BundleFolder() + L"orva_vpn.exe").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "build the bundle first";
    ASSERT_TRUE(ProductWindows().empty()) << "another ORVA VPN window is open";
  }
  void TearDown() override {
    for (HWND window : ProductWindows()) ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
};

TEST_F(ProductTest, ShowsItsWindowOnTheFirstFrameAndExitsZeroWhenClosed) {
  auto product = StartProduct(BundleFolder());
  ASSERT_TRUE(product->started());
  HWND window = nullptr;
  ASSERT_TRUE(
      WaitUntil([&]() { return (window = VisibleWindowOf(product->process_id())) != nullptr; }));

  RECT rect{};
  ::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 10);
  EXPECT_EQ(rect.right - rect.left, 900);
  EXPECT_EQ(rect.bottom - rect.top, 700);
  wchar_t class_name[64] = {};
  ::GetClassNameW(window, class_name, 64);
  EXPECT_STREQ(class_name, L"FLUTTER_RUNNER_WIN32_WINDOW");

  // The engine's view fills the client area.
  HWND view = ::GetWindow(window, GW_CHILD);
  ASSERT_NE(view, nullptr);
  RECT client{}, view_rect{};
  ::GetClientRect(window, &client);
  ::GetWindowRect(view, &view_rect);
  EXPECT_EQ(view_rect.right - view_rect.left, client.right);
  EXPECT_EQ(view_rect.bottom - view_rect.top, client.bottom);

  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(product->WaitForExit(), 0);
  EXPECT_TRUE(ProductWindows().empty());
}

// The second copy finds the first by class and title: another program's
// window with the same title, minimised above it, stays as it is. This
// thread keeps that window answering, so a wrong choice shows as the decoy
// restored, not as a hang.
TEST_F(ProductTest, SecondCopyRestoresTheFirstCopysWindowAndExitsZero) {
  auto first = StartProduct(BundleFolder());
  HWND window = nullptr;
  ASSERT_TRUE(
      WaitUntil([&]() { return (window = VisibleWindowOf(first->process_id())) != nullptr; }));
  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&]() { return ::IsIconic(window) != FALSE; }));
  HWND decoy = ::CreateWindowExW(0, L"STATIC", kTitle, WS_OVERLAPPEDWINDOW, 50, 50, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(decoy, nullptr);
  ::ShowWindow(decoy, SW_MINIMIZE);

  auto second = StartProduct(BundleFolder(), L"--from-second-copy");
  EXPECT_TRUE(WaitUntil(
      [&]() {
        runner_test::DrainQueueForQuit();
        return ::IsIconic(window) == FALSE;
      },
      20000));
  EXPECT_EQ(second->WaitForExit(), 0);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_TRUE(::IsIconic(decoy));
  ::DestroyWindow(decoy);
  EXPECT_EQ(ProductWindows(), std::vector<HWND>{window});

  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first->WaitForExit(), 0);
}

TEST_F(ProductTest, CopyStartedWhileAnotherIsStartingExitsZeroWithoutAWindow) {
  // This test holds the guard, as a first copy does before its window exists.
  HANDLE guard = ::CreateMutexW(nullptr, TRUE, kMutexName);
  ASSERT_NE(guard, nullptr);
  ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  auto product = StartProduct(BundleFolder());
  const long exit_code = product->WaitForExit();
  const bool no_window = ProductWindows().empty();
  ::ReleaseMutex(guard);
  ::CloseHandle(guard);
  EXPECT_EQ(exit_code, 0);
  EXPECT_TRUE(no_window);
}

TEST_F(ProductTest, WithoutItsDataFolderExitsOneWithTheEngineLayersLine) {
  // A copy of the bundle without data\.
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"orva-no-data-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const wchar_t* files[] = {L"orva_vpn.exe",
                            L"flutter_windows.dll",
                            L"connectivity_plus_plugin.dll",
                            L"flutter_secure_storage_windows_plugin.dll",
                            L"permission_handler_windows_plugin.dll",
                            L"url_launcher_windows_plugin.dll"};
  for (const wchar_t* file : files) {
    ASSERT_TRUE(::CopyFileW((BundleFolder() + file).c_str(), (folder + file).c_str(), FALSE));
  }
  long exit_code;
  std::string output;
  {
    auto product = StartProduct(folder);
    exit_code = product->WaitForExit();
    output = product->output();
  }
  EXPECT_EQ(exit_code, 1);
  EXPECT_NE(output.find("Failed to create view controller."), std::string::npos) << output;
  EXPECT_TRUE(ProductWindows().empty());

  // The guard was given up: the real bundle starts normally afterwards.
  auto product = StartProduct(BundleFolder());
  HWND window = nullptr;
  EXPECT_TRUE(
      WaitUntil([&]() { return (window = VisibleWindowOf(product->process_id())) != nullptr; }));
  if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(product->WaitForExit(), 0);

  for (const wchar_t* file : files) ::DeleteFileW((folder + file).c_str());
  ::RemoveDirectoryW(folder.c_str());
}

// Owns a module loaded only for its resources.
class ResourceModule {
 public:
  explicit ResourceModule(const std::wstring& path)
      : module_(::LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceModule() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  HMODULE get() const { return module_; }
  // The bytes of resource |id| of |type|; empty when it is missing.
  std::string Bytes(LPCWSTR type, LPCWSTR id) const {
    HRSRC found = ::FindResourceW(module_, id, type);
    if (found == nullptr) return std::string();
    HGLOBAL loaded = ::LoadResource(module_, found);
    const char* data = static_cast<const char*>(::LockResource(loaded));
    return data ? std::string(data, ::SizeofResource(module_, found)) : std::string();
  }

 private:
  HMODULE module_;
};

TEST(ProductResources, ManifestIconAndVersionAreThoseShipped) {
  ResourceModule product(BundleFolder() + L"orva_vpn.exe");
  ASSERT_NE(product.get(), nullptr);

  const std::string manifest = product.Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
  EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
  EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);

  // Icon group 101: one 256 x 256, 32-bit image stored as PNG.
#pragma pack(push, 2)
  struct GroupHeader {
    WORD reserved, type, count;
  };
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bit_count;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  const std::string group = product.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(101));
  ASSERT_EQ(group.size(), sizeof(GroupHeader) + sizeof(GroupEntry));
  const auto* header = reinterpret_cast<const GroupHeader*>(group.data());
  const auto* entry = reinterpret_cast<const GroupEntry*>(group.data() + sizeof(GroupHeader));
  EXPECT_EQ(header->type, 1);
  EXPECT_EQ(header->count, 1);
  EXPECT_EQ(entry->width, 0);  // 0 stands for 256
  EXPECT_EQ(entry->height, 0);
  EXPECT_EQ(entry->bit_count, 32);
  const std::string image = product.Bytes(RT_ICON, MAKEINTRESOURCEW(entry->id));
  ASSERT_GE(image.size(), 24u);
  EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  // IHDR: width and height 256, 8 bits per channel, RGBA.
  EXPECT_EQ(image.substr(16, 10), std::string("\0\0\x01\0\0\0\x01\0\x08\x06", 10));

  // The version information names the product.
  const std::string version = product.Bytes(RT_VERSION, MAKEINTRESOURCEW(1));
  const std::wstring product_name = L"ORVA VPN";
  const std::string name_bytes(reinterpret_cast<const char*>(product_name.c_str()),
                               product_name.size() * sizeof(wchar_t));
  EXPECT_NE(version.find(name_bytes), std::string::npos);
}

}  // namespace
