// Writes the joined rows as the table file beside the log.
//
// The table is usually written to a temporary file in its folder that has no name until it is
// complete and on disk, and then renamed over the old table in one step: a failure never leaves
// a partial table behind and never touches an existing one. A table that has other hard links,
// or whose folder may not be written, is written in place instead, which is not atomic.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace opjoin {

enum class WriteFailure {
  kNotOpened,   // the table cannot be written at all: read-only, a folder, a link not followed
  kSameAsLog,   // the table's name refers to the log itself
  kNotWritten,  // writing failed part way; the table was left as it was
  kDamaged,     // writing in place failed part way; the table may be incomplete
  kNotSynced,   // the table was replaced, but its folder could not be synced to disk
};

// Writes `rows` (the scanner's ParameterRows, or the lines of a joined column listing), one per
// line, to the table named after `log_path` (see OutputNameFor). Lines end in LF on Linux and in
// CR LF on Windows (table_writer_windows.cpp), as text files do there. On failure, `failure`
// tells how far it got and `error` why.
bool WriteTable(std::string_view log_path, std::span<const std::string> rows, WriteFailure* failure,
                std::string* error);

}  // namespace opjoin
