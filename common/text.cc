// UTF-16 <-> narrow text through the system's conversion calls.
#include "common/text.h"

#include <climits>

std::wstring Widen(std::string_view text, UINT code_page) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view text, UINT code_page) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const DWORD flags = code_page == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(code_page, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  if (::WideCharToMultiByte(code_page, flags, text.data(), size, narrow.data(), length, nullptr,
                            nullptr) <= 0) {
    return std::string();
  }
  return narrow;
}
