#include "front/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/diagnostic.h"
#include "base/path.h"
#include "dialog/backend.h"
#include "extract/listing_scanner.h"
#include "front/messages.h"
#include "output/table_writer.h"

namespace opjoin {

namespace {

// Prints `message` on standard output with its "%s", if any, replaced by `path`.
void Say(std::string_view message, std::string_view path = {}) {
  std::string text(message);
  if (std::size_t at = text.find("%s"); at != std::string::npos) {
    text.replace(at, 2, path);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Opens the log for reading. Only a regular file is read: a folder, a FIFO or a device would
// block or never end. Returns the descriptor, or -1 with `reason` set.
int OpenLog(const std::string& path, std::string& reason) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    reason = std::strerror(errno);
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return -1;
  }
  return fd;
}

void WarnRowMissing(const std::string& log_path, std::size_t row, int block) {
  std::fprintf(stderr,
               "opjoin: warning: %s: block %d has no \"%.*s\" row; the joined rows may not "
               "line up\n",
               log_path.c_str(), block, static_cast<int>(KeywordTable[row].size()),
               KeywordTable[row].data());
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

}  // namespace

int JoinLog(const std::string& log_path) {
  std::string reason;
  int fd = OpenLog(log_path, reason);
  if (fd < 0) {
    Diagnose(log_path, reason);
    Say(messages::kLogNotOpened, log_path);
    return kExitFailure;
  }
  ParameterRows rows;
  LineReader log(fd);
  int block_count = ScanListing(
      log, rows, [&](std::size_t row, int block) { WarnRowMissing(log_path, row, block); });
  int read_error = log.Error();
  if (::close(fd) != 0 && read_error == 0) {
    read_error = errno;
  }
  if (read_error != 0) {
    Diagnose(log_path, std::strerror(read_error));
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

int Run(const Options& options) {
  if (options.log) {
    return JoinLog(AbsoluteFromWorkingFolder(*options.log));
  }
  std::unique_ptr<OpenDialog> dialog = StartOpenDialog(options.dialog, LogOpenDialog());
  if (!dialog) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(messages::kStartupFailure.size()),
                 messages::kStartupFailure.data());
    std::fflush(stderr);
    return kExitStartupFailure;
  }
  if (dialog->DoModal() != IDOK) {
    return kExitSuccess;
  }
  return JoinLog(dialog->GetPathName());
}

}  // namespace opjoin
