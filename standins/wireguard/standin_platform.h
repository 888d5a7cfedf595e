// Windows services shared by the stand-in tools: handle ownership, text
// conversion, the state folder and its lock, whole-file reads and replacing
// writes, the clock, the fault switches and raw writes to standard streams.
#ifndef ORVA_STANDINS_WIREGUARD_STANDIN_PLATFORM_H_
#define ORVA_STANDINS_WIREGUARD_STANDIN_PLATFORM_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/unique_handle.h"
#include "standins/wireguard/fault_switches.h"

namespace wg_standin {

// Kernel handles are owned as in the product.
using ::UniqueHandle;

// Text is converted as in the product, UTF-8 by default.
using ::Narrow;
using ::Widen;

// The program's arguments (argv[0] included) as UTF-8.
std::vector<std::string> CommandLineArguments();

// An environment variable as UTF-8, or no value when unset.
std::optional<std::string> EnvironmentVariable(const wchar_t* name);

// The folder holding the shared state and the faults file, created when
// missing: %ORVA_STANDIN_WIREGUARD_STATE_DIR% when set, else
// <CSIDL_COMMON_APPDATA>\OrvaStandinWireGuard (C:\ProgramData\...).
std::wstring StateFolder();

// Serialises every read-modify-write of the state between tool processes.
class StateLock {
 public:
  StateLock();
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

 private:
  UniqueHandle mutex_;
  bool owned_ = false;
};

// The whole content of a file, or no value when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
// Writes |bytes| to a temporary file beside |path| and moves it over |path|.
bool ReplaceFile(const std::wstring& path, const std::string& bytes);

// Milliseconds since 1970-01-01 UTC. Tests can pin the clock with
// %ORVA_STANDIN_CLOCK_MS% and move it by %ORVA_STANDIN_CLOCK_SHIFT_MS% (both
// signed decimal numbers) to look into the future without sleeping.
int64_t NowMs();

// The fault switches of %ORVA_STANDIN_FAULTS% and of <state>\faults.txt.
FaultSwitches LoadFaults();

// Writes raw bytes to standard output or error (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE), bypassing any text-mode translation.
void WriteRaw(DWORD std_handle, const std::string& bytes);

// Sleeps |ms| milliseconds, in slices so that very long sleeps work too.
void SleepMs(uint64_t ms);

}  // namespace wg_standin

#endif  // ORVA_STANDINS_WIREGUARD_STANDIN_PLATFORM_H_
