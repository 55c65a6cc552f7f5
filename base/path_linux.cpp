// The parts of the path rules that ask the system.
#include <unistd.h>

#include <cerrno>

#include "base/diagnostic.h"
#include "base/malloced.h"
#include "base/path.h"

namespace opjoin {

bool WorkingFolder(std::string* folder, std::string* error) {
  MallocedChars cwd(::getcwd(nullptr, 0));
  if (!cwd) {
    *error = ErrnoText(errno);
    return false;
  }
  *folder = cwd.get();
  return true;
}

}  // namespace opjoin
