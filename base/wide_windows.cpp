#include "base/wide_windows.h"

#include <windows.h>

#include <climits>

namespace opjoin {

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  int wide_length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), wide_length);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) {
    return {};
  }
  const int length = static_cast<int>(text.size());
  int narrow_length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(narrow_length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), narrow_length, nullptr,
                        nullptr);
  return narrow;
}

std::string SystemErrorText(unsigned long error) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) {
    return "system error " + std::to_string(error);
  }
  std::string text = WideToUtf8(std::wstring_view(buffer, length));
  ::LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      c = ' ';
    }
  }
  return text;
}

}  // namespace opjoin
