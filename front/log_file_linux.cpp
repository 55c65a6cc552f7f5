#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/diagnostic.h"
#include "front/log_file.h"
#include "front/messages.h"

namespace opjoin {

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

}  // namespace opjoin
