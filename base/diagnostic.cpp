#include "base/diagnostic.h"

#include <unistd.h>

#include <cstring>

#include "base/console.h"
#include "base/terminal_text.h"

namespace opjoin {

namespace {

// The names in a diagnostic are escaped when standard error is a terminal.
void PrintLine(std::string_view text) {
  std::string line = "opjoin: ";
  line += ForStream(STDERR_FILENO, text);
  line += '\n';
  WriteText(StandardStream::kError, line);  // nowhere left to report a failure
}

}  // namespace

std::string ErrnoText(int error) {
  return std::strerror(error);
}

void Diagnose(std::string_view subject, std::string_view reason) {
  std::string text(subject);
  text += ": ";
  text += reason;
  PrintLine(text);
}

void Diagnose(std::string_view text) {
  PrintLine(text);
}

void Warn(std::string_view text) {
  std::string line = "warning: ";
  line += text;
  PrintLine(line);
}

}  // namespace opjoin
