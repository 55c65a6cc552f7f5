// An unnamed temporary file with given bytes, for feeding a LineReader in tests.
#pragma once

#include <stdio.h>

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace opjoin {

class TestInput {
 public:
  explicit TestInput(std::string_view bytes) : file_(std::tmpfile()) {
    if (file_ == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
        std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
      throw std::runtime_error("cannot make test input");
    }
  }
  ~TestInput() { std::fclose(file_); }
  TestInput(const TestInput&) = delete;
  TestInput& operator=(const TestInput&) = delete;

  int fd() const { return fileno(file_); }

 private:
  std::FILE* file_;
};

}  // namespace opjoin
