#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <string_view>

#include "base/diagnostic.h"
#include "base/ending_signals.h"
#include "output/temp_file.h"

namespace opjoin {

namespace {

constexpr int kAttempts = 100;

// ".opjoin-" and six random letters or digits.
std::string TempName() {
  static std::minstd_rand random(static_cast<std::uint_fast32_t>(
      ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  static constexpr std::string_view kChars =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = ".opjoin-";
  for (int i = 0; i < 6; ++i) {
    name += kChars[random() % kChars.size()];
  }
  return name;
}

// The path through which the kernel reaches the open file `fd`.
std::string ProcPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// The permissions a file created with 0666 gets under the umask.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

TempFile::~TempFile() {
  if (has_name_) {
    ::unlinkat(folder_, name_.c_str(), 0);  // nothing more can be done should this fail
  }
  if (remembered_) {
    EndingSignals::Process().Forget(RemoveNamed, this);
  }
}

bool TempFile::Create(int folder, std::string* error) {
  folder_ = folder;
  // The kernel gives the file the permissions (and the folder's default ACL) of a new file.
  file_.Reset(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (file_ && ::access(ProcPath(file_.get()).c_str(), F_OK) == 0) {
    return true;
  }
  // EISDIR and EOPNOTSUPP mean that the kernel or the file system cannot make a file without a
  // name; without /proc it cannot be given one later.
  if (!file_ && errno != EISDIR && errno != EOPNOTSUPP && errno != EINVAL) {
    *error = ErrnoText(errno);
    return false;
  }
  file_.Reset();
  return CreateNamed(error);
}

bool TempFile::CreateNamed(std::string* error) {
  EndingSignals::Held held;  // no signal between making the file and recording its name
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name_ = TempName();
    file_.Reset(::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file_) {
      has_name_ = true;
      if (!EndingSignals::Process().Remember(RemoveNamed, this, error)) {
        return false;
      }
      remembered_ = true;
      if (::fchmod(file_.get(), NewFileMode()) != 0) {
        *error = ErrnoText(errno);
        return false;
      }
      return true;
    }
    if (errno != EEXIST) {
      *error = ErrnoText(errno);
      return false;
    }
  }
  *error = ErrnoText(EEXIST);
  return false;
}

void TempFile::RemoveNamed(void* self) {
  auto* temp = static_cast<TempFile*>(self);
  ::unlinkat(temp->folder_, temp->name_.c_str(), 0);
}

// Links the file without a name into the folder under a fresh name. /proc/self/fd/N reaches it
// for an ordinary user; linkat's AT_EMPTY_PATH would need a capability.
bool TempFile::LinkIntoFolder(std::string* error) {
  const std::string source = ProcPath(file_.get());
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    name_ = TempName();
    if (::linkat(AT_FDCWD, source.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      has_name_ = true;
      return true;
    }
    if (errno != EEXIST) {
      *error = ErrnoText(errno);
      return false;
    }
  }
  *error = ErrnoText(EEXIST);
  return false;
}

bool TempFile::Commit(const std::string& name, std::string* error) {
  EndingSignals::Held held;  // the name exists only for this instant
  if (!has_name_ && !LinkIntoFolder(error)) {
    return false;
  }
  if (!file_.Close()) {
    *error = ErrnoText(errno);
    return false;
  }
  if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  has_name_ = false;
  return true;
}

}  // namespace opjoin
