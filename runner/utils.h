// Small process utilities of the entry point: where the executable lives, the
// command-line arguments for the UI, and wide-to-UTF-8 conversion.
#ifndef ORVA_RUNNER_UTILS_H_
#define ORVA_RUNNER_UTILS_H_

#include <string>
#include <vector>

// The folder of the running executable, ending with a backslash; empty when
// the path cannot be read, was cut at 260 characters or holds no backslash.
std::wstring ExecutableFolder();

// Every command-line argument after the program name, in order, as UTF-8.
std::vector<std::string> ReadCommandLineArguments();

// The UTF-8 form of a zero-terminated wide text. Empty for a null or empty
// input and for text that cannot be converted strictly (an unpaired
// surrogate is refused rather than replaced).
std::string ToUtf8(const wchar_t* utf16_string);

#endif  // ORVA_RUNNER_UTILS_H_
