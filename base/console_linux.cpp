// Standard output and standard error on Linux: UTF-8 bytes as they are.
#include <cstdio>

#include "base/console.h"

namespace opjoin {

bool WriteText(StandardStream stream, std::string_view text) {
  std::FILE* file = stream == StandardStream::kOutput ? stdout : stderr;
  return std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
}

bool StandardOutputSucceeded() {
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

}  // namespace opjoin
