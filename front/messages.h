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
inline constexpr std::string_view kWroteTable = "wrote %s";
inline constexpr std::string_view kStandardOutputFailed = "cannot write to standard output";
inline constexpr std::string_view kLogNotRewound = "cannot read the log again: %s";
// Shown on Windows when the program has a console of its own (started from Explorer), which
// would close with the program before its messages could be read.
inline constexpr std::string_view kPressEnterToClose = "Press Enter to close.";

// Logs with several listings (HSPICE and ngspice layouts). The count reads "1 MOS listing" or
// "N MOS listings".
inline constexpr std::string_view kOneListing = "1 MOS listing";
inline constexpr std::string_view kListings = "%s MOS listings";
inline constexpr std::string_view kSeveralListings =
    "%s: the log has %s; the table holds listing %s (--listing=N picks another)";
inline constexpr std::string_view kListingPastLast =
    "%s: --listing=%s is past the last listing: the log has %s";
inline constexpr std::string_view kOnlyOneListing =
    "%s: --listing=%s: the SmartSpice rules read only the first listing of a log; "
    "--layout=hspice or --layout=ngspice read others";
inline constexpr std::string_view kBlockCutOff =
    "%s: the end of the log cuts off a block of listing %s; the table leaves it out";

// The command line.
inline constexpr std::string_view kOnlyOneLog = "only one log can be given";
inline constexpr std::string_view kEmptyLogName = "the log's name is empty";
inline constexpr std::string_view kOptionNeedsValue = "option '%s' needs a value";
inline constexpr std::string_view kInvalidValue = "invalid value '%s' for '%s'";
inline constexpr std::string_view kUnrecognizedOption = "unrecognized option '%s'";
inline constexpr std::string_view kTryHelp = "Try 'opjoin --help' for more information.\n";
inline constexpr std::string_view kVersion = "opjoin " OPJOIN_VERSION "\n";
inline constexpr std::string_view kUsage =
    "Usage: opjoin [--dialog=auto|terminal|gui] [--layout=LAYOUT] [--listing=N] [LOG]\n";
inline constexpr std::string_view kHelp =
    "Joins the MOS operating-point listing of a simulation log (SmartSpice, HSPICE or\n"
    "ngspice) into a table, one line per quantity, written beside the log as NAME.jtb.\n"
    "\n"
    "With no LOG, an Open dialog asks for the log.\n"
    "\n"
    "  --dialog=KIND    the Open dialog to show: auto (the default; a window when a display\n"
    "                   is set and the build has one, else the terminal), terminal or gui\n"
    "  --layout=LAYOUT  which rules read the log: smartspice (the sixteen rows after the\n"
    "                   first \"subckt\" line), hspice (the \"**** mosfets\" sections),\n"
    "                   ngspice (the MOS tables of \"show\"), or auto (the default:\n"
    "                   smartspice, and when it finds no complete block, hspice or ngspice)\n"
    "  --listing=N      join the N-th MOS listing of an HSPICE or ngspice log (default 1)\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when the table was written or the dialog was cancelled, 1 when the\n"
    "dialog could not start, 2 for any other failure.\n";

}  // namespace opjoin::messages
