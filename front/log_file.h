// Opening the log: only a regular file is read, since a folder, a FIFO or a device would block
// or never end. The open log is a C runtime file descriptor, which LineReader reads with read()
// on every platform and closes with close(); opening it is what differs (log_file_linux.cpp,
// log_file_windows.cpp).
#pragma once

#include <string>

namespace opjoin {

// Opens the log at `path` for reading into `fd`.
bool OpenLog(const std::string& path, int* fd, std::string* error);

}  // namespace opjoin
