#include "base/terminal_text.h"

#include <unistd.h>

namespace opjoin {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, std::string_view prefix, unsigned value, int digits) {
  out += prefix;
  for (int digit = digits - 1; digit >= 0; --digit) {
    out += kHexDigits[(value >> (4 * digit)) & 0xf];
  }
}

// The escape of an ASCII control byte or DEL.
void AppendControl(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\a':
      out += "\\a";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\v':
      out += "\\v";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\r':
      out += "\\r";
      return;
    case 0x1b:
      out += "\\e";
      return;
    default:
      AppendHex(out, "\\x", byte, 2);
  }
}

// The length of the valid UTF-8 sequence of two or more bytes at the start of `text`, and its
// code point; 0 when none starts there (overlong forms and surrogates are not valid).
std::size_t MultiByteSequence(std::string_view text, unsigned* code_point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(0);
  std::size_t length = 0;
  unsigned value = 0;
  unsigned minimum = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, value = lead & 0x1f, minimum = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, value = lead & 0x0f, minimum = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0) != 0x80) {
      return 0;
    }
    value = (value << 6) | (byte(i) & 0x3f);
  }
  if (value < minimum || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) {
    return 0;
  }
  *code_point = value;
  return length;
}

}  // namespace

bool IsTerminal(int fd) {
  return ::isatty(fd) == 1;
}

std::string TerminalEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.front());
    if (byte == '\\') {
      out += "\\\\";
      text.remove_prefix(1);
    } else if (byte < 0x20 || byte == 0x7f) {
      AppendControl(out, byte);
      text.remove_prefix(1);
    } else if (byte < 0x80) {
      out += text.front();
      text.remove_prefix(1);
    } else {
      unsigned code_point = 0;
      const std::size_t length = MultiByteSequence(text, &code_point);
      if (length == 0) {
        AppendHex(out, "\\x", byte, 2);
        text.remove_prefix(1);
      } else {
        if (code_point <= 0x9f) {
          AppendHex(out, "\\u", code_point, 4);  // a C1 control
        } else {
          out += text.substr(0, length);
        }
        text.remove_prefix(length);
      }
    }
  }
  return out;
}

std::string ForStream(int fd, std::string_view text) {
  return IsTerminal(fd) ? TerminalEscaped(text) : std::string(text);
}

}  // namespace opjoin
