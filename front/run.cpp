#include "front/run.h"

#include <memory>

#include "base/console.h"
#include "base/diagnostic.h"
#include "base/path.h"
#include "base/text.h"
#include "dialog/backend.h"
#include "extract/listing_scanner.h"
#include "front/log_file.h"
#include "front/messages.h"
#include "output/table_writer.h"

namespace opjoin {

namespace {

// Prints `message` on standard output with its "%s", if any, replaced by `path`.
void Say(std::string_view message, std::string_view path = {}) {
  WriteText(StandardStream::kOutput, Fill(message, {path}));
}

void WarnRowMissing(const std::string& log_path, std::size_t row, int block) {
  Warn(Fill(messages::kRowMissing, {log_path, std::to_string(block), KeywordTable[row]}));
}

int ReportTable(const TableWrite& write) {
  switch (write.status) {
    case WriteStatus::kWritten:
      return kExitSuccess;
    case WriteStatus::kNotOpened:
      Diagnose(write.output_name, write.reason);
      Say(messages::kTableNotOpened, write.output_name);
      break;
    case WriteStatus::kSameAsLog:
      Say(messages::kTableIsLog, write.output_name);
      break;
    case WriteStatus::kWriteFailed:
      Diagnose(write.output_name, write.reason);
      Say(messages::kTableNotWritten, write.output_name);
      break;
  }
  return kExitFailure;
}

// Joins the listing of the log at `log_path` (absolute) into its table. Returns the exit status.
int JoinLog(const std::string& log_path) {
  int fd = -1;
  std::string error;
  if (!OpenLog(log_path, &fd, &error)) {
    Diagnose(log_path, error);
    Say(messages::kLogNotOpened, log_path);
    return kExitFailure;
  }
  ParameterRows rows;
  LineReader log(fd);
  int block_count = ScanListing(
      log, rows, [&](std::size_t row, int block) { WarnRowMissing(log_path, row, block); });
  bool read = log.Succeeded(&error);
  std::string close_error;
  if (!CloseLog(fd, &close_error) && read) {
    read = false;
    error = close_error;
  }
  if (!read) {
    Diagnose(log_path, error);
    Say(messages::kLogNotRead, log_path);
    return kExitFailure;
  }
  if (block_count == DelimiterMissing) {
    Say(messages::kDelimiterMissing);
    return kExitFailure;
  }
  if (block_count <= 0) {
    Say(messages::kNoCompleteBlock);
    return kExitFailure;
  }
  return ReportTable(WriteTable(log_path, rows));
}

}  // namespace

int Run(const Options& options) {
  if (options.log) {
    return JoinLog(AbsoluteFromWorkingFolder(*options.log));
  }
  std::unique_ptr<OpenDialog> dialog = StartOpenDialog(options.dialog, LogOpenDialog());
  if (!dialog) {
    // The one message on standard error that is not a diagnostic: it stands as it is.
    WriteText(StandardStream::kError, std::string(messages::kStartupFailure) + "\n");
    return kExitStartupFailure;
  }
  const int result = dialog->DoModal();
  if (result == kDialogFailed) {
    Diagnose(dialog->FailureReason());
    return kExitFailure;
  }
  if (result != IDOK) {
    return kExitSuccess;
  }
  return JoinLog(dialog->GetPathName());
}

}  // namespace opjoin
