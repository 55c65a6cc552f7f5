// Writes the joined rows as the table file beside the log.
//
// The table is written to a temporary file in the same folder and renamed over the target
// only once every byte is on disk, so a failure never leaves a partial table behind and never
// touches an existing one.
#pragma once

#include <string>
#include <string_view>

#include "extract/listing_scanner.h"

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

// Writes `rows`, one per line, to the table named after `log_path`. Lines end in LF on Linux
// and in CR LF on Windows (table_writer_windows.cpp), as text files do there.
TableWrite WriteTable(std::string_view log_path, const ParameterRows& rows);

}  // namespace opjoin
