// Writes the joined rows as the table file beside the log.
//
// The table is written to a temporary file in the same folder and renamed over the target
// only once every byte is on disk, so a failure never leaves a partial table behind and never
// touches an existing one.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace opjoin {

enum class WriteStatus {
  kWritten,
  kNotOpened,    // the target cannot be written at all: read-only, a folder, no such folder
  kSameAsLog,    // the table's name refers to the log itself
  kWriteFailed,  // writing, syncing or renaming failed part way; nothing was changed
};

struct TableWrite {
  std::string output_name;
  WriteStatus status = WriteStatus::kWritten;
  std::string reason;  // why it failed, for the user
};

// Writes `rows` (the scanner's ParameterRows, or the lines of a joined column listing), one
// per line ending in LF, to the table named after `log_path`.
TableWrite WriteTable(std::string_view log_path, std::span<const std::string> rows);

}  // namespace opjoin
