#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "base/diagnostic.h"
#include "base/ending_signals.h"
#include "base/text.h"
#include "output/file_attributes_linux.h"
#include "output/output_name.h"
#include "output/table_place_linux.h"
#include "output/table_writer.h"
#include "output/temp_file.h"
#include "output/write_reasons.h"

namespace opjoin {

namespace {

// While alive, a write past the file-size limit fails with EFBIG instead of ending the
// program with SIGXFSZ, so that the failure is reported and the table left as it was.
class FileSizeSignalIgnored {
 public:
  FileSizeSignalIgnored() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &previous_);  // valid arguments: cannot fail
  }
  ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &previous_, nullptr); }
  FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
  FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

 private:
  struct sigaction previous_ = {};
};

std::size_t TableSize(std::span<const std::string> rows) {
  std::size_t size = 0;
  for (const std::string& row : rows) {
    size += row.size() + 1;
  }
  return size;
}

// Writes the rows, each followed by a line feed, at the file's offset. False with errno set.
bool WriteRows(int fd, std::span<const std::string> rows) {
  static char line_feed = '\n';
  std::vector<iovec> pieces;
  for (const std::string& row : rows) {
    pieces.push_back({const_cast<char*>(row.data()), row.size()});
    pieces.push_back({&line_feed, 1});
  }
  std::size_t next = 0;
  while (next < pieces.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
    ssize_t written = ::writev(fd, &pieces[next], count);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    // Skip what was written: whole pieces, then part of the next.
    auto left = static_cast<std::size_t>(written);
    while (next < pieces.size() && left >= pieces[next].iov_len) {
      left -= pieces[next++].iov_len;
    }
    if (left > 0) {
      pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + left;
      pieces[next].iov_len -= left;
    }
  }
  return true;
}

bool IsSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsTheLog(const struct stat& existing, std::string_view log_path) {
  struct stat log;
  return ::stat(std::string(log_path).c_str(), &log) == 0 && IsSameFile(existing, log);
}

// A sticky folder that everyone may write, such as /tmp: others may plant names in it.
bool IsSharedFolder(const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
}

// Checks that the existing table may be written at all.
bool MayWriteExisting(const TablePlace& place, std::string* error) {
  const struct stat& existing = place.existing;
  if (S_ISDIR(existing.st_mode)) {
    *error = ErrnoText(EISDIR);
    return false;
  }
  if (!S_ISREG(existing.st_mode)) {
    *error = write_reasons::kNotRegularFile;
    return false;
  }
  if ((existing.st_mode & 0222) == 0 ||
      ::faccessat(place.folder.get(), place.name.c_str(), W_OK, AT_EACCESS) != 0) {
    *error = write_reasons::kReadOnly;
    return false;
  }
  // The kernel's protected_regular rule, whatever the machine's setting: a file planted by
  // another user, or a hard link to someone's file, is not written.
  if (IsSharedFolder(place.folder_info) && existing.st_uid != ::geteuid()) {
    *error = write_reasons::kNotYours;
    return false;
  }
  return true;
}

// Whether a new file may be renamed over the existing table in its folder.
bool CanReplaceInFolder(const TablePlace& place) {
  if (::faccessat(place.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
    return false;
  }
  // In a sticky folder, only the owner of the file or of the folder may replace the file.
  const uid_t user = ::geteuid();
  return !(place.folder_info.st_mode & S_ISVTX) || user == 0 || place.existing.st_uid == user ||
         place.folder_info.st_uid == user;
}

bool FitsFileSizeLimit(std::size_t size) {
  struct rlimit limit;
  return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
         size <= limit.rlim_cur;
}

// Writes over the existing table, so that its other hard links see the new table too. The
// space is reserved first, so that a full disk leaves the table as it was.
bool WriteInPlace(const TablePlace& place, std::span<const std::string> rows, WriteFailure* failure,
                  std::string* error) {
  UniqueFd file(::openat(place.folder.get(), place.name.c_str(),
                         O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened;
  if (!file || ::fstat(file.get(), &opened) != 0) {
    *failure = WriteFailure::kNotOpened;
    *error = ErrnoText(errno);
    return false;
  }
  if (!IsSameFile(opened, place.existing)) {
    *failure = WriteFailure::kNotOpened;
    *error = write_reasons::kChangedMeanwhile;
    return false;
  }
  const std::size_t size = TableSize(rows);
  *failure = WriteFailure::kNotWritten;
  if (!FitsFileSizeLimit(size)) {
    *error = ErrnoText(EFBIG);
    return false;
  }
  // A file system that cannot reserve space gets the table without a reservation.
  if (::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS) {
    *error = ErrnoText(errno);
    return false;
  }
  EndingSignals::Held held;  // a signal now would leave the table half old, half new
  if (!WriteRows(file.get(), rows) || ::ftruncate(file.get(), static_cast<off_t>(size)) != 0 ||
      ::fsync(file.get()) != 0 || !file.Close()) {
    *failure = WriteFailure::kDamaged;
    *error = Fill(write_reasons::kPartWay, {ErrnoText(errno)});
    return false;
  }
  return true;
}

// Makes the rename of a new table in the folder survive a power cut. A folder this user may
// write but not read cannot be opened to be synced, and is left to the system.
bool SyncFolder(const TablePlace& place, std::string* error) {
  UniqueFd folder(::openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) {
    if (errno == EACCES) {
      return true;
    }
    *error = ErrnoText(errno);
    return false;
  }
  if (::fsync(folder.get()) != 0 && errno != EINVAL) {  // EINVAL: the file system cannot sync it
    *error = ErrnoText(errno);
    return false;
  }
  return true;
}

// Writes the table to a new file and renames it over the old one. `lost` tells what of the
// old table's attributes the new one could not keep, or stays empty.
bool ReplaceTable(const TablePlace& place, std::span<const std::string> rows, WriteFailure* failure,
                  std::string* lost, std::string* error) {
  TempFile temp;
  if (!temp.Create(place.folder.get(), error)) {
    *failure = WriteFailure::kNotOpened;
    return false;
  }
  *failure = WriteFailure::kNotWritten;
  if (!WriteRows(temp.fd(), rows)) {
    *error = ErrnoText(errno);
    return false;
  }
  if (place.exists) {
    KeepAttributes(place.folder.get(), place.name, place.existing, temp.fd(), lost);
  }
  if (::fsync(temp.fd()) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  if (!temp.Commit(place.name, error)) {
    return false;
  }
  std::string sync_error;
  if (!SyncFolder(place, &sync_error)) {
    *failure = WriteFailure::kNotSynced;
    *error = Fill(write_reasons::kNotSynced, {sync_error});
    return false;
  }
  return true;
}

}  // namespace

bool WriteTable(std::string_view log_path, std::span<const std::string> rows, WriteFailure* failure,
                std::string* error) {
  const std::string output_name = OutputNameFor(log_path);
  *failure = WriteFailure::kSameAsLog;
  if (output_name == log_path) {
    *error = write_reasons::kIsLog;
    return false;
  }
  TablePlace place;
  if (!FindTablePlace(output_name, &place, error)) {
    *failure = WriteFailure::kNotOpened;
    return false;
  }
  if (place.exists && IsTheLog(place.existing, log_path)) {
    *error = write_reasons::kIsLog;
    return false;
  }
  *failure = WriteFailure::kNotOpened;
  if (place.exists && !MayWriteExisting(place, error)) {
    return false;
  }
  FileSizeSignalIgnored file_size_signal_ignored;
  if (place.exists && (place.existing.st_nlink > 1 || !CanReplaceInFolder(place))) {
    return WriteInPlace(place, rows, failure, error);
  }
  std::string lost;
  const bool written = ReplaceTable(place, rows, failure, &lost, error);
  if (!lost.empty() && (written || *failure == WriteFailure::kNotSynced)) {
    Warn(Fill(write_reasons::kNotKept, {output_name, lost}));
  }
  return written;
}

}  // namespace opjoin
