#include "output/table_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "output/output_name.h"

namespace opjoin {

namespace {

// ---- Removing the temporary file when a signal ends the program ----

// The signals that end the program while a user or a supervisor can be expected to send them.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// The temporary file being written: its name, or null, in the folder open as temp_folder. A
// signal handler reads them, so they are lock-free.
std::atomic<const char*> temp_in_progress{nullptr};
std::atomic<int> temp_folder{-1};
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

// What each ending signal did before the write began, for the handler to hand the signal on.
struct sigaction previous_actions[std::size(kEndingSignals)];

void RemoveTempAndResignal(int signal) {
  if (const char* temp = temp_in_progress.exchange(nullptr)) {
    ::unlinkat(temp_folder.load(), temp, 0);
  }
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (kEndingSignals[i] == signal) {
      ::sigaction(signal, &previous_actions[i], nullptr);
    }
  }
  // The signal stays blocked until the handler returns, then ends the program as it would
  // have without the handler, so the exit status still shows it.
  ::raise(signal);
}

sigset_t EndingSignalSet() {
  sigset_t set;
  ::sigemptyset(&set);
  for (int signal : kEndingSignals) {
    ::sigaddset(&set, signal);
  }
  return set;
}

// Holds the ending signals back for one step that must not be cut in two.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t ending = EndingSignalSet();
    held_ = ::sigprocmask(SIG_BLOCK, &ending, &saved_) == 0;
  }
  // Restoring a mask that was read successfully cannot fail.
  ~SignalsHeld() {
    if (held_) {
      ::sigprocmask(SIG_SETMASK, &saved_, nullptr);
    }
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

  bool held() const { return held_; }

 private:
  sigset_t saved_;
  bool held_;
};

#ifdef O_PATH
// Enough to create, rename and remove files in the folder, even one that may not be listed.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// A name for a temporary file, ".opjoin-" and six random letters or digits.
std::string TempName(std::minstd_rand& random) {
  static constexpr std::string_view kChars =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = ".opjoin-";
  for (int i = 0; i < 6; ++i) {
    name += kChars[random() % kChars.size()];
  }
  return name;
}

// The table's temporary file, in the table's folder. The folder is held open, so that the file
// is renamed or removed where it was made even when the folder is moved meanwhile.
//
// While alive, an ending signal removes the temporary file before it ends the program, and a
// file-size limit makes a write fail with EFBIG instead of ending the program. Signals the
// program ignores stay ignored. Creating and renaming the file each happen with the signals
// held back, so no signal falls between making the file and recording its name.
class TempFile {
 public:
  TempFile() {
    struct sigaction handler = {};
    handler.sa_handler = RemoveTempAndResignal;
    handler.sa_mask = EndingSignalSet();
    for (std::size_t i = 0; i < std::size(kEndingSignals) && ready_; ++i) {
      ready_ = ::sigaction(kEndingSignals[i], nullptr, &previous_actions[i]) == 0 &&
               (previous_actions[i].sa_handler == SIG_IGN ||
                ::sigaction(kEndingSignals[i], &handler, nullptr) == 0);
      installed_ = i + 1;
    }
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ready_ = ready_ && ::sigaction(SIGXFSZ, &ignore, &previous_file_size_action_) == 0;
    file_size_action_changed_ = ready_;
  }

  // Putting back actions that were read successfully cannot fail, and closing a folder that
  // was only searched loses nothing.
  ~TempFile() {
    if (folder_ >= 0) {
      ::close(folder_);
    }
    if (file_size_action_changed_) {
      ::sigaction(SIGXFSZ, &previous_file_size_action_, nullptr);
    }
    for (std::size_t i = 0; i < installed_; ++i) {
      ::sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file, readable and writable by the owner only, in `folder`. Returns the open
  // descriptor, or -1 with errno set.
  int Create(const std::string& folder) {
    if (!ready_) {
      errno = EINVAL;
      return -1;
    }
    folder_ = ::open(folder.c_str(), kFolderFlags);
    if (folder_ < 0) {
      return -1;
    }
    std::minstd_rand random(static_cast<std::uint_fast32_t>(
        ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
    SignalsHeld held;
    if (!held.held()) {
      return -1;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = TempName(random);
      int fd = ::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        temp_folder.store(folder_);
        temp_in_progress.store(name_.c_str());
        return fd;
      }
      if (errno != EEXIST) {
        return -1;
      }
    }
    return -1;
  }

  // Renames the finished file to `target_name` in its folder, or removes it when `error` is set
  // or the rename fails. Returns the error, or 0.
  int Finish(const std::string& target_name, int error) {
    SignalsHeld held;
    if (error == 0 && ::renameat(folder_, name_.c_str(), folder_, target_name.c_str()) != 0) {
      error = errno;
    }
    if (error != 0) {
      ::unlinkat(folder_, name_.c_str(), 0);
    }
    temp_in_progress.store(nullptr);
    return error;
  }

 private:
  int folder_ = -1;
  std::string name_;
  bool ready_ = true;          // every handler is in place
  std::size_t installed_ = 0;  // signals whose previous action was read
  bool file_size_action_changed_ = false;
  struct sigaction previous_file_size_action_ = {};
};

// ---- Writing ----

std::string ErrnoText(int error) {
  return std::strerror(error);
}

// The file a write to `path` lands in: a symbolic link is followed, as opening it would be.
std::string WriteDestination(const std::string& path) {
  struct stat link;
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
    return path;
  }
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
int FillAndClose(int fd, const ParameterRows& rows, mode_t mode) {
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

TableWrite WriteTable(std::string_view log_path, const ParameterRows& rows) {
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
  int error = temp.Finish(FileNameOf(target), FillAndClose(fd, rows, mode));
  if (error != 0) {
    result.status = WriteStatus::kWriteFailed;
    result.reason = ErrnoText(error);
  }
  return result;
}

}  // namespace opjoin
