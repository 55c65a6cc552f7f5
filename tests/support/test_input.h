// An in-memory file with given bytes, for feeding a LineReader in tests.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>
#include <string_view>

namespace opjoin {

class TestInput {
 public:
  explicit TestInput(std::string_view bytes) : fd_(memfd_create("log", MFD_CLOEXEC)) {
    if (fd_ < 0 || ::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        ::lseek(fd_, 0, SEEK_SET) != 0) {
      throw std::runtime_error("cannot make test input");
    }
  }
  ~TestInput() { ::close(fd_); }
  TestInput(const TestInput&) = delete;
  TestInput& operator=(const TestInput&) = delete;

  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace opjoin
