#include "output/table_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/diagnostic.h"
#include "base/malloced.h"
#include "base/path.h"
#include "output/output_name.h"
#include "output/temp_file.h"

namespace opjoin {

namespace {

// The file a write to `path` lands in: a symbolic link is followed, as opening it would be.
std::string WriteDestination(const std::string& path) {
  struct stat link;
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
    return path;
  }
  MallocedChars resolved(::realpath(path.c_str(), nullptr));
  return resolved ? std::string(resolved.get()) : path;
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Checks that an existing target may be replaced, and finds the mode the table keeps.
// Returns an empty string when it may, or the reason it may not.
std::string CheckTarget(const std::string& target, mode_t& mode) {
  struct stat existing;
  if (::stat(target.c_str(), &existing) != 0) {
    if (errno != ENOENT) {
      return ErrnoText(errno);
    }
    mode = NewFileMode();
    return {};
  }
  if (S_ISDIR(existing.st_mode)) {
    return ErrnoText(EISDIR);
  }
  if (!S_ISREG(existing.st_mode)) {
    return "not a regular file";
  }
  if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
    return "the file is read-only";
  }
  mode = existing.st_mode & 07777;
  return {};
}

bool SameFile(const std::string& a, std::string_view b) {
  struct stat first;
  struct stat second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(std::string(b).c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      if (written == 0) {
        errno = EIO;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes the rows into the open temporary file and closes it. Returns the failure's errno,
// or 0.
int FillAndClose(int fd, std::span<const std::string> rows, mode_t mode) {
  bool ok = ::fchmod(fd, mode) == 0;
  for (std::size_t row = 0; ok && row < rows.size(); ++row) {
    ok = WriteAll(fd, rows[row]) && WriteAll(fd, "\n");
  }
  ok = ok && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  return error;
}

}  // namespace

TableWrite WriteTable(std::string_view log_path, std::span<const std::string> rows) {
  TableWrite result;
  result.output_name = OutputNameFor(log_path);
  const std::string target = WriteDestination(result.output_name);
  if (result.output_name == log_path || SameFile(target, log_path)) {
    result.status = WriteStatus::kSameAsLog;
    result.reason = "it is the log file itself";
    return result;
  }
  mode_t mode = 0;
  result.reason = CheckTarget(target, mode);
  if (!result.reason.empty()) {
    result.status = WriteStatus::kNotOpened;
    return result;
  }

  TempFile temp;
  int fd = temp.Create(FolderOf(target));
  if (fd < 0) {
    result.status = WriteStatus::kNotOpened;
    result.reason = ErrnoText(errno);
    return result;
  }
  int error = temp.Finish(std::string(FileNameOf(target)), FillAndClose(fd, rows, mode));
  if (error != 0) {
    result.status = WriteStatus::kWriteFailed;
    result.reason = ErrnoText(error);
  }
  return result;
}

}  // namespace opjoin
