#include "base/diagnostic.h"

#include <cstring>

#include "base/console.h"

namespace opjoin {

namespace {

void PrintLine(std::string_view text) {
  std::string line = "opjoin: ";
  line += text;
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
