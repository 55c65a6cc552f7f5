// The program's text on standard output and standard error, as the platform shows text. Text
// is given in UTF-8 with LF line ends. On Linux it is written as it is. On Windows each LF
// becomes CR LF, as a text-mode stream writes it there, and a console is written wide, so that
// names outside the user's code page show correctly.
#pragma once

#include <string_view>

namespace opjoin {

enum class StandardStream { kOutput, kError };

// Writes `text` and flushes it. False when it could not be written.
bool WriteText(StandardStream stream, std::string_view text);

// Whether everything written to standard output so far reached it. Called once at the end, so
// that a full disk or a closed pipe does not pass for success.
bool StandardOutputSucceeded();

}  // namespace opjoin
