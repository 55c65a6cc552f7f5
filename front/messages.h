// Everything the program's front end says. Each "%s" is filled in, in order (see Fill). Messages
// about the run go to standard output exactly as written, some without a line end; reasons and
// warnings go to standard error through Diagnose and Warn, which prefix the program's name. The
// Open dialog's texts stand with its description (dialog/description.h).
#pragma once

#include <string_view>

#ifndef OPJOIN_VERSION
#define OPJOIN_VERSION "unknown"
#endif

namespace opjoin::messages {

inline constexpr std::string_view kStartupFailure = "Fatal Error: MFC initialization failed";
inline constexpr std::string_view kLogNotOpened = "Failure opening file: %s. Quits.";
inline constexpr std::string_view kLogNotRead = "Failure reading file: %s. Quits.\n";
inline constexpr std::string_view kDelimiterMissing =
    "\nFailed to find start delimiter. Probably bad input file!\n";
inline constexpr std::string_view kNoCompleteBlock =
    "\nFailed to find a complete listing block. Probably bad input file!\n";
inline constexpr std::string_view kTableNotOpened =
    "Failed to write data to output file %s because it did not open.";
inline constexpr std::string_view kTableNotWritten =
    "Failed to write data to output file %s; the file was left as it was.\n";
inline constexpr std::string_view kTableDamaged =
    "Failed to write data to output file %s part way; the file may be incomplete.\n";
inline constexpr std::string_view kTableIsLog =
    "Refusing to write output file %s: it is the log file itself.\n";

// Reasons and warnings, for standard error.
inline constexpr std::string_view kNotRegularFile = "not a regular file";
inline constexpr std::string_view kRowMissing =
    "%s: block %s has no \"%s\" row; the joined rows may not line up";
inline constexpr std::string_view kMoreRowsMissing =
    "%s: %s more rows are missing from blocks; the joined rows may not line up";
inline constexpr std::string_view kOutOfMemory = "not enough memory to join the listing";
inline constexpr std::string_view kOutOfMemoryAtAll = "not enough memory";
inline constexpr std::string_view kStandardOutputFailed = "cannot write to standard output";

// The command line.
inline constexpr std::string_view kOnlyOneLog = "only one log can be given";
inline constexpr std::string_view kEmptyLogName = "the log's name is empty";
inline constexpr std::string_view kOptionNeedsValue = "option '%s' needs a value";
inline constexpr std::string_view kInvalidValue = "invalid value '%s' for '%s'";
inline constexpr std::string_view kUnrecognizedOption = "unrecognized option '%s'";
inline constexpr std::string_view kTryHelp = "Try 'opjoin --help' for more information.\n";
inline constexpr std::string_view kVersion = "opjoin " OPJOIN_VERSION "\n";
inline constexpr std::string_view kUsage = "Usage: opjoin [--dialog=auto|terminal|gui] [LOG]\n";
inline constexpr std::string_view kHelp =
    "Joins the MOS operating-point listing of a SmartSpice log into a table of sixteen rows,\n"
    "written beside the log as NAME.jtb.\n"
    "\n"
    "With no LOG, an Open dialog asks for the log.\n"
    "\n"
    "  --dialog=KIND  the Open dialog to show: auto (the default; a window when a display\n"
    "                 is set and the build has one, else the terminal), terminal or gui\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Exit status: 0 when the table was written or the dialog was cancelled, 1 when the\n"
    "dialog could not start, 2 for any other failure.\n";

}  // namespace opjoin::messages
