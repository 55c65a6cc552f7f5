// Text for a terminal. A terminal obeys the control bytes in what it shows: a file name with
// escape sequences could set the window's title, clear the screen or write the clipboard, and
// one with a line feed could forge a line. Names shown on a terminal are therefore escaped;
// written anywhere else, they keep their bytes, so that scripts can rely on them.
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

// Whether the stream on `fd` goes to a terminal. Each stream is judged by itself.
bool IsTerminal(int fd);

// `text` read as UTF-8, whatever the locale, with what a terminal would obey or mangle shown
// as an escape: the C0 controls and DEL as \a \b \t \n \v \f \r \e or \xHH, the C1 controls
// (U+0080 to U+009F) as \u0080 to \u009f, each byte that is not part of valid UTF-8 as \xHH,
// and a backslash as \\, so that the escapes cannot be mistaken for the name's own text.
std::string TerminalEscaped(std::string_view text);

// `text` as it goes to the stream on `fd`: escaped for a terminal, unchanged otherwise.
std::string ForStream(int fd, std::string_view text);

}  // namespace opjoin
