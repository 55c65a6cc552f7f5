// How the program reports what went wrong.
//
// A function that can fail returns bool (true when it succeeded), gives its results through
// pointer parameters, and takes `std::string* error` last, which it sets to a one-line reason
// for the user when it fails. The reason becomes a diagnostic on standard error, always through
// the functions below, so that every diagnostic speaks in one voice: "opjoin: ...".
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

// The system's text for an errno value ("No such file or directory").
std::string ErrnoText(int error);

// Prints "opjoin: SUBJECT: REASON" on standard error; the subject is usually a path.
void Diagnose(std::string_view subject, std::string_view reason);

// Prints "opjoin: TEXT" on standard error.
void Diagnose(std::string_view text);

// Prints "opjoin: warning: TEXT" on standard error.
void Warn(std::string_view text);

}  // namespace opjoin
