// Small process utilities of the entry point: where the executable lives and
// the command-line arguments for the UI.
#ifndef ORVA_RUNNER_UTILS_H_
#define ORVA_RUNNER_UTILS_H_

#include <string>
#include <vector>

// The folder of the running executable, ending with a backslash; empty when
// the path cannot be read, was cut at 260 characters or holds no backslash.
std::wstring ExecutableFolder();

// Every command-line argument after the program name, in order, as UTF-8.
std::vector<std::string> ReadCommandLineArguments();

#endif  // ORVA_RUNNER_UTILS_H_
