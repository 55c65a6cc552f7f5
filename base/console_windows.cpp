// Standard output and standard error on Windows: CR LF line ends, and wide text to a console.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/console.h"
#include "base/wide_windows.h"

namespace opjoin {

namespace {

// Set once a write to a console that stands for standard output failed: the C stream's error
// indicator does not see those writes.
bool console_output_failed = false;

std::string WithCrLf(std::string_view text) {
  std::string converted;
  converted.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') {
      converted += '\r';
    }
    converted += c;
  }
  return converted;
}

bool WriteConsoleText(HANDLE console, std::string_view text) {
  std::wstring wide = Utf8ToWide(text);
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16 * 1024));
    DWORD written = 0;
    if (!::WriteConsoleW(console, rest.data(), chunk, &written, nullptr) || written == 0) {
      return false;
    }
    rest.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WriteText(StandardStream stream, std::string_view text) {
  const bool output = stream == StandardStream::kOutput;
  std::FILE* file = output ? stdout : stderr;
  HANDLE handle = ::GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  const std::string converted = WithCrLf(text);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
    // Whatever the C stream holds goes first, so that the order stays as written.
    std::fflush(file);
    if (WriteConsoleText(handle, converted)) {
      return true;
    }
    console_output_failed = console_output_failed || output;
    return false;
  }
  return std::fwrite(converted.data(), 1, converted.size(), file) == converted.size() &&
         std::fflush(file) == 0;
}

bool StandardOutputSucceeded() {
  return std::fflush(stdout) == 0 && !std::ferror(stdout) && !console_output_failed;
}

}  // namespace opjoin
