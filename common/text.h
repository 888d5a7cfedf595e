// Text between UTF-16, which Windows' wide calls speak, and the narrow forms
// the code keeps: UTF-8 (channel strings, the stand-ins' files) or the
// system's ANSI code page (the plugin's paths and command lines).
#ifndef ORVA_COMMON_TEXT_H_
#define ORVA_COMMON_TEXT_H_

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <string_view>

// |text| in |code_page| as UTF-16; empty when it cannot be converted.
// Bytes that are not valid in the code page become U+FFFD.
std::wstring Widen(std::string_view text, UINT code_page = CP_UTF8);

// |text| in |code_page|; empty when it cannot be converted. For UTF-8 an
// unpaired surrogate fails the conversion rather than becoming U+FFFD; any
// other code page puts its default character in for what it lacks.
std::string Narrow(std::wstring_view text, UINT code_page = CP_UTF8);

#endif  // _WIN32

#endif  // ORVA_COMMON_TEXT_H_
