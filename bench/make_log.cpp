// make_log: writes a large SmartSpice-like log for measuring opjoin (see log_maker.h).
//
//   make_log [--size BYTES[K|M|G]] [--where start|middle|end] [--blocks N] [--columns N]
//            [--layout smartspice|hspice|ngspice] [--crlf] [--no-total] OUT
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "bench/log_maker.h"

namespace {

using opjoin::bench::LogShape;

const char kUsage[] =
    "Usage: make_log [--size BYTES[K|M|G]] [--where start|middle|end] [--blocks N]\n"
    "                [--columns N] [--layout smartspice|hspice|ngspice] [--crlf] [--no-total]\n"
    "                OUT\n";

std::optional<std::uint64_t> ParseCount(std::string_view text) {
  std::uint64_t value = 0;
  auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || rest == text.data()) {
    return std::nullopt;
  }
  std::string_view suffix(rest, static_cast<std::size_t>(text.data() + text.size() - rest));
  int shift = 0;
  if (suffix == "K" || suffix == "k") {
    shift = 10;
  } else if (suffix == "M" || suffix == "m") {
    shift = 20;
  } else if (suffix == "G" || suffix == "g") {
    shift = 30;
  } else if (!suffix.empty()) {
    return std::nullopt;
  }
  return value << shift;
}

std::optional<LogShape::Layout> ParseLayout(std::string_view text) {
  if (text == "smartspice") {
    return LogShape::Layout::kSmartSpice;
  }
  if (text == "hspice") {
    return LogShape::Layout::kHspice;
  }
  if (text == "ngspice") {
    return LogShape::Layout::kNgspice;
  }
  return std::nullopt;
}

std::optional<LogShape::Where> ParseWhere(std::string_view text) {
  if (text == "start") {
    return LogShape::Where::kStart;
  }
  if (text == "middle") {
    return LogShape::Where::kMiddle;
  }
  if (text == "end") {
    return LogShape::Where::kEnd;
  }
  return std::nullopt;
}

// Fills `shape` and `out` from the arguments. False when they are not understood.
bool ParseArguments(int argc, char** argv, LogShape& shape, std::string& out) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--crlf") {
      shape.crlf = true;
      continue;
    }
    if (arg == "--no-total") {
      shape.total_line = false;
      continue;
    }
    if (!arg.starts_with("--")) {
      if (!out.empty()) {
        return false;
      }
      out = arg;
      continue;
    }
    if (i + 1 >= argc) {
      return false;
    }
    std::string_view value = argv[++i];
    if (arg == "--layout") {
      auto layout = ParseLayout(value);
      if (!layout) {
        return false;
      }
      shape.layout = *layout;
      continue;
    }
    if (arg == "--where") {
      auto where = ParseWhere(value);
      if (!where) {
        return false;
      }
      shape.where = *where;
      continue;
    }
    auto count = ParseCount(value);
    if (!count) {
      return false;
    }
    if (arg == "--size") {
      shape.size = *count;
    } else if (arg == "--blocks") {
      shape.blocks = *count;
    } else if (arg == "--columns" && *count > 0) {
      shape.columns = *count;
    } else {
      return false;
    }
  }
  return !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  LogShape shape;
  std::string out;
  if (!ParseArguments(argc, argv, shape, out)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "make_log: %s: %s\n", out.c_str(), std::strerror(errno));
    return 1;
  }
  int error = opjoin::bench::WriteLog(fd, shape);
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    std::fprintf(stderr, "make_log: %s: %s\n", out.c_str(), std::strerror(error));
    return 1;
  }
  return 0;
}
