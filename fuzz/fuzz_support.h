// What the fuzz targets share: their input as a file, and a check that ends the run loudly.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace opjoin::fuzz {

// The bytes as an in-memory file, read back from its start.
inline int MemoryFile(std::string_view bytes) {
  int fd = ::memfd_create("log", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      ::lseek(fd, 0, SEEK_SET) != 0) {
    std::perror("memfd");
    std::abort();
  }
  return fd;
}

// Aborts, which the fuzzer reports as a finding, when `holds` is false.
inline void Require(bool holds, std::string_view target, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(target.size()), target.data(), what);
    std::abort();
  }
}

}  // namespace opjoin::fuzz
