// Text at the edge of the Windows API: the program keeps text in UTF-8, the system's wide
// ("W") functions take UTF-16, and its errors are numbers with texts of their own.
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

// `text` (UTF-8) as UTF-16; invalid bytes become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);

// `text` (UTF-16) as UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// The system's text for an error number from GetLastError() ("Access is denied."), on one line
// and without a closing full stop, like ErrnoText.
std::string SystemErrorText(unsigned long error);

}  // namespace opjoin
