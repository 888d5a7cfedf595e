// The scripted session's contact with the file system and the process: the
// session file, the transcript, the @write / @delete / @readonly /
// @writable / @diagnostics directives. Paths are UTF-8; relative ones resolve against the working
// directory.
#ifndef ORVA_STANDINS_ENGINE_SESSION_IO_H_
#define ORVA_STANDINS_ENGINE_SESSION_IO_H_

#include <cstdint>
#include <memory>
#include <string>

#include "standins/engine/win_owners.h"

namespace standin {

// The transcript: created empty (an earlier file is replaced), then one line
// per Append, written through at once so that a reader sees each line as it
// arrives. Readers may open it while it is being written.
class TranscriptFile {
 public:
  static std::unique_ptr<TranscriptFile> Create(const std::string& path, std::string* error);
  // Writes |line| and a line feed; false when the write failed.
  bool Append(const std::string& line);

 private:
  explicit TranscriptFile(UniqueHandle file) : file_(std::move(file)) {}
  UniqueHandle file_;
};

bool ReadWholeFile(const std::string& path, std::string* contents, std::string* error);
// Writes |text| to |path| (replacing it), creating missing folders first.
bool WriteWholeFile(const std::string& path, const std::string& text, std::string* error);
// Deletes the file |path|; a file that does not exist is not an error.
bool DeleteFileIfPresent(const std::string& path, std::string* error);
// Sets or clears the read-only attribute of the existing file |path|.
bool SetReadOnly(const std::string& path, bool read_only, std::string* error);
// This process's open handle count and private memory (bytes).
void ProcessDiagnostics(uint64_t* handles, uint64_t* private_bytes);
// Starts |command_line| hidden and detached, with its output going to the
// NUL device, and waits for it to end; false (and |error|) when it cannot
// be started.
bool RunAndWait(const std::string& command_line, uint32_t* exit_code, std::string* error);
// The value of an environment variable as UTF-8; false when it is not set.
bool EnvironmentVariable(const wchar_t* name, std::string* value);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_SESSION_IO_H_
