#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "base/diagnostic.h"
#include "base/wide_windows.h"
#include "front/log_file.h"
#include "front/messages.h"

namespace opjoin {

namespace {

// "\\.\PhysicalDrive0" and the like name devices, some of which the system calls disks.
bool NamesDevice(const std::string& path) {
  return path.size() >= 4 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/') && path[2] == '.' &&
         (path[3] == '\\' || path[3] == '/');
}

}  // namespace

bool OpenLog(const std::string& path, int* fd, std::string* error) {
  *fd = -1;
  if (NamesDevice(path)) {
    *error = messages::kNotRegularFile;
    return false;
  }
  // Backup semantics open a folder too, so that it is refused as a folder rather than with
  // "Access is denied".
  HANDLE file =
      ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = SystemErrorText(::GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    *error = messages::kNotRegularFile;
  } else if (!::GetFileInformationByHandle(file, &info)) {
    *error = SystemErrorText(::GetLastError());
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = ErrnoText(EISDIR);
  } else {
    *fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (*fd >= 0) {
      return true;
    }
    *error = ErrnoText(errno);
  }
  ::CloseHandle(file);  // only read from, and about to be refused: nothing to lose
  return false;
}

}  // namespace opjoin
