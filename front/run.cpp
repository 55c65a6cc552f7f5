#include "front/run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/diagnostic.h"
#include "base/path.h"
#include "base/terminal_text.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "dialog/backend.h"
#include "extract/column_listing.h"
#include "extract/listing_scanner.h"
#include "front/log_file.h"
#include "front/messages.h"
#include "output/output_name.h"
#include "output/table_writer.h"

namespace opjoin {

namespace {

// Prints `message` on standard output with its "%s", if any, replaced by `path`.
// The path is escaped when standard output is a terminal.
void Say(std::string_view message, std::string_view path = {}) {
  WriteText(StandardStream::kOutput, Fill(message, {ForStream(STDOUT_FILENO, path)}));
}

// The one message on standard error that is not a diagnostic: it stands as it is.
void SayStartupFailure() {
  WriteText(StandardStream::kError, std::string(messages::kStartupFailure) + "\n");
}

// Ends the program when the window system fails fatally while it starts.
[[noreturn]] void FailStartup(const char* reason) {
  Diagnose(reason);
  SayStartupFailure();
  std::fflush(stdout);
  std::_Exit(kExitStartupFailure);
}

// Writes `rows` as the table of `log_path` and says what went wrong. Returns the exit status.
int WriteAndReport(const std::string& log_path, std::span<const std::string> rows) {
  WriteFailure failure;
  std::string error;
  if (WriteTable(log_path, rows, &failure, &error)) {
    return kExitSuccess;
  }
  const std::string output_name = OutputNameFor(log_path);
  switch (failure) {
    case WriteFailure::kNotOpened:
      Diagnose(output_name, error);
      Say(messages::kTableNotOpened, output_name);
      break;
    case WriteFailure::kSameAsLog:
      Say(messages::kTableIsLog, output_name);
      break;
    case WriteFailure::kNotWritten:
      Diagnose(output_name, error);
      Say(messages::kTableNotWritten, output_name);
      break;
    case WriteFailure::kDamaged:
      Diagnose(output_name, error);
      Say(messages::kTableDamaged, output_name);
      break;
    case WriteFailure::kNotSynced:
      Diagnose(output_name, error);
      break;
  }
  return kExitFailure;
}

// What the SmartSpice rules read in a log, with the warnings they gave, held back until it is
// known that this reading is the one reported.
// A log may lack a row in every block: only the first kShownWarnings are kept to be told one
// by one, and the rest counted.
struct SmartSpiceReading {
  static constexpr std::size_t kShownWarnings = 20;

  int block_count = DelimiterMissing;
  ParameterRows rows;
  std::vector<std::string> warnings;
  long long more_warnings = 0;
};

// What a column layout (HSPICE, ngspice) read in a log.
struct ColumnReading {
  const ColumnLayout* layout = nullptr;
  int listings = 0;
  ColumnListing listing;
};

// Reads the open log from its current position to its end by the SmartSpice rules.
bool ReadSmartSpice(int fd, const std::string& log_path, SmartSpiceReading* reading,
                    std::string* error) {
  LineReader log(fd);
  reading->block_count = ScanListing(log, reading->rows, [&](std::size_t row, int block) {
    if (reading->warnings.size() == SmartSpiceReading::kShownWarnings) {
      ++reading->more_warnings;
      return;
    }
    reading->warnings.push_back(
        Fill(messages::kRowMissing, {log_path, std::to_string(block), KeywordTable[row]}));
  });
  return log.Succeeded(error);
}

// Reads the whole open log by `layout`, joining listing `wanted`.
bool ReadColumns(int fd, const ColumnLayout& layout, int wanted, ColumnReading* reading,
                 std::string* error) {
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    *error = Fill(messages::kLogNotRewound, {ErrnoText(errno)});
    return false;
  }
  LineReader log(fd);
  reading->layout = &layout;
  reading->listings = ReadColumnListings(log, layout, wanted, &reading->listing);
  return log.Succeeded(error);
}

// Reads the open log by the rules `options` asks for. For automatic reading: by the SmartSpice
// rules, and when they find no complete block, by the first column layout that finds a
// listing; `columns->layout` is left null when the SmartSpice reading stands.
bool ReadLog(int fd, const std::string& log_path, const Options& options,
             SmartSpiceReading* smartspice, ColumnReading* columns, std::string* error) {
  switch (options.layout) {
    case LogLayout::kSmartSpice:
      return ReadSmartSpice(fd, log_path, smartspice, error);
    case LogLayout::kHspice:
      return ReadColumns(fd, kHspiceLayout, options.listing, columns, error);
    case LogLayout::kNgspice:
      return ReadColumns(fd, kNgspiceLayout, options.listing, columns, error);
    case LogLayout::kAuto:
      break;
  }
  if (!ReadSmartSpice(fd, log_path, smartspice, error)) {
    return false;
  }
  if (smartspice->block_count > 0) {
    return true;
  }
  for (const ColumnLayout* layout : {&kHspiceLayout, &kNgspiceLayout}) {
    ColumnReading reading;
    if (!ReadColumns(fd, *layout, options.listing, &reading, error)) {
      return false;
    }
    if (reading.listings > 0) {
      *columns = std::move(reading);
      return true;
    }
  }
  return true;
}

int ReportSmartSpice(const std::string& log_path, const SmartSpiceReading& reading, int listing) {
  for (const std::string& warning : reading.warnings) {
    Warn(warning);
  }
  if (reading.more_warnings > 0) {
    Warn(Fill(messages::kMoreRowsMissing, {log_path, std::to_string(reading.more_warnings)}));
  }
  if (reading.block_count == DelimiterMissing) {
    Say(messages::kDelimiterMissing);
    return kExitFailure;
  }
  if (reading.block_count <= 0) {
    Say(messages::kNoCompleteBlock);
    return kExitFailure;
  }
  if (listing != 1) {
    Diagnose(Fill(messages::kOnlyOneListing, {log_path, std::to_string(listing)}));
    return kExitFailure;
  }
  return WriteAndReport(log_path, reading.rows);
}

std::string ListingCount(int listings) {
  return listings == 1 ? std::string(messages::kOneListing)
                       : Fill(messages::kListings, {std::to_string(listings)});
}

int ReportColumns(const std::string& log_path, const ColumnReading& reading, int wanted) {
  if (reading.listings == 0) {
    Say(messages::kDelimiterMissing);
    return kExitFailure;
  }
  const std::string number = std::to_string(wanted);
  if (wanted > reading.listings) {
    Diagnose(Fill(messages::kListingPastLast, {log_path, number, ListingCount(reading.listings)}));
    return kExitFailure;
  }
  if (reading.listing.block_cut_off) {
    Warn(Fill(messages::kBlockCutOff, {log_path, number}));
  }
  if (reading.listing.complete_blocks == 0) {
    Say(messages::kNoCompleteBlock);
    return kExitFailure;
  }
  if (reading.listings > 1) {
    Diagnose(Fill(messages::kSeveralListings, {log_path, ListingCount(reading.listings), number}));
  }
  return WriteAndReport(log_path, reading.listing.lines);
}

// Joins the listing of the log at `log_path` (absolute) into its table. Returns the exit status.
int JoinLogInMemory(const std::string& log_path, const Options& options) {
  int fd = -1;
  std::string error;
  if (!OpenLog(log_path, &fd, &error)) {
    Diagnose(log_path, error);
    Say(messages::kLogNotOpened, log_path);
    return kExitFailure;
  }
  UniqueFd log_file(fd);  // closed, checked, below; only an error unwinding leaves it to this
  SmartSpiceReading smartspice;
  ColumnReading columns;
  bool read = ReadLog(fd, log_path, options, &smartspice, &columns, &error);
  if (!log_file.Close() && read) {
    read = false;
    error = ErrnoText(errno);
  }
  if (!read) {
    Diagnose(log_path, error);
    Say(messages::kLogNotRead, log_path);
    return kExitFailure;
  }
  if (columns.layout != nullptr) {
    return ReportColumns(log_path, columns, options.listing);
  }
  return ReportSmartSpice(log_path, smartspice, options.listing);
}

// A listing too large for the memory ends the run with its reason, and no table: a temporary
// file is removed as the stack unwinds.
int JoinLog(const std::string& log_path, const Options& options) {
  try {
    return JoinLogInMemory(log_path, options);
  } catch (const std::bad_alloc&) {
    Diagnose(log_path, messages::kOutOfMemory);
    return kExitFailure;
  }
}

}  // namespace

int Run(const Options& options) {
  if (options.log) {
    return JoinLog(AbsoluteFromWorkingFolder(*options.log), options);
  }
  std::unique_ptr<OpenDialog> dialog;
  std::string error;
  if (!StartOpenDialog(options.dialog, LogOpenDialog(), FailStartup, &dialog, &error)) {
    if (!error.empty()) {
      Diagnose(error);
    }
    SayStartupFailure();
    return kExitStartupFailure;
  }
  switch (dialog->DoModal()) {
    case IDOK:
      break;
    case kDialogFailed:
      Diagnose(dialog->Failure());
      return kExitFailure;
    default:
      return kExitSuccess;  // cancelled
  }
  const int status = JoinLog(dialog->GetPathName(), options);
  if (status == kExitSuccess) {
    // Whoever clicked through a dialog sees nothing else of what was done.
    Diagnose(Fill(messages::kWroteTable, {OutputNameFor(dialog->GetPathName())}));
  }
  return status;
}

}  // namespace opjoin
