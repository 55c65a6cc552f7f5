#include "front/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/diagnostic.h"
#include "base/path.h"
#include "base/terminal_text.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "dialog/backend.h"
#include "extract/listing_scanner.h"
#include "front/messages.h"
#include "output/output_name.h"
#include "output/table_writer.h"

namespace opjoin {

namespace {

// Prints `message` on standard output with its "%s", if any, replaced by `path`.
// The path is escaped when standard output is a terminal.
void Say(std::string_view message, std::string_view path = {}) {
  std::string text = Fill(message, {ForStream(STDOUT_FILENO, path)});
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Opens the log for reading into `fd`. Only a regular file is read: a folder, a FIFO or a
// device would block or never end.
bool OpenLog(const std::string& path, int* fd, std::string* error) {
  *fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (*fd < 0) {
    *error = ErrnoText(errno);
    return false;
  }
  struct stat info;
  if (::fstat(*fd, &info) != 0) {
    *error = ErrnoText(errno);
  } else if (S_ISDIR(info.st_mode)) {
    *error = ErrnoText(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    *error = messages::kNotRegularFile;
  } else {
    return true;
  }
  ::close(*fd);  // only read from, and about to be refused: nothing to lose
  return false;
}

// Warns of rows missing from blocks: a log may lack one in every block, so only the first
// few are told one by one, and the rest counted in one line at the end.
class RowMissingWarnings {
 public:
  static constexpr int kShown = 20;

  explicit RowMissingWarnings(const std::string& log_path) : log_path_(log_path) {}

  void Add(std::size_t row, int block) {
    if (++count_ <= kShown) {
      Warn(Fill(messages::kRowMissing, {log_path_, std::to_string(block), KeywordTable[row]}));
    }
  }

  void Finish() const {
    if (count_ > kShown) {
      Warn(Fill(messages::kMoreRowsMissing, {log_path_, std::to_string(count_ - kShown)}));
    }
  }

 private:
  const std::string& log_path_;
  long long count_ = 0;
};

// The one message on standard error that is not a diagnostic: it stands as it is.
void SayStartupFailure() {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(messages::kStartupFailure.size()),
               messages::kStartupFailure.data());
  std::fflush(stderr);
}

// Ends the program when the window system fails fatally while it starts.
[[noreturn]] void FailStartup(const char* reason) {
  Diagnose(reason);
  SayStartupFailure();
  std::fflush(stdout);
  std::_Exit(kExitStartupFailure);
}

// Writes the table of `log_path` and says what went wrong. Returns the exit status.
int WriteAndReport(const std::string& log_path, const ParameterRows& rows) {
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

// Joins the listing of the log at `log_path` (absolute) into its table. Returns the exit status.
int JoinLogInMemory(const std::string& log_path) {
  int fd = -1;
  std::string error;
  if (!OpenLog(log_path, &fd, &error)) {
    Diagnose(log_path, error);
    Say(messages::kLogNotOpened, log_path);
    return kExitFailure;
  }
  UniqueFd log_file(fd);  // closed, checked, below; only an error unwinding leaves it to this
  ParameterRows rows;
  LineReader log(fd);
  RowMissingWarnings warnings(log_path);
  int block_count =
      ScanListing(log, rows, [&](std::size_t row, int block) { warnings.Add(row, block); });
  warnings.Finish();
  bool read = log.Succeeded(&error);
  if (!log_file.Close() && read) {
    read = false;
    error = ErrnoText(errno);
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
  return WriteAndReport(log_path, rows);
}

// A listing too large for the memory ends the run with its reason, and no table: a temporary
// file is removed as the stack unwinds.
int JoinLog(const std::string& log_path) {
  try {
    return JoinLogInMemory(log_path);
  } catch (const std::bad_alloc&) {
    Diagnose(log_path, messages::kOutOfMemory);
    return kExitFailure;
  }
}

}  // namespace

int Run(const Options& options) {
  if (options.log) {
    return JoinLog(AbsoluteFromWorkingFolder(*options.log));
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
  return JoinLog(dialog->GetPathName());
}

}  // namespace opjoin
