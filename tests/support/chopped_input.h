// Bytes sent through a socket in pieces of random size, so that reads of them come back short:
// a reader must give the same result however its input arrives.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

namespace opjoin {

class ChoppedInput {
 public:
  ChoppedInput(std::string bytes, std::uint32_t seed) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
      throw std::runtime_error("cannot make a socket pair");
    }
    read_end_ = ends[0];
    writer_ = std::thread([bytes = std::move(bytes), seed, fd = ends[1]] {
      std::mt19937 random(seed);
      std::size_t at = 0;
      while (at < bytes.size()) {
        std::size_t piece = std::min<std::size_t>(bytes.size() - at, 1 + random() % 97);
        ssize_t written = ::send(fd, bytes.data() + at, piece, MSG_NOSIGNAL);
        if (written <= 0) {
          break;
        }
        at += static_cast<std::size_t>(written);
      }
      ::close(fd);
    });
  }
  ~ChoppedInput() {
    // The reader may stop early; closing the read end releases a blocked writer.
    ::close(read_end_);
    writer_.join();
  }
  ChoppedInput(const ChoppedInput&) = delete;
  ChoppedInput& operator=(const ChoppedInput&) = delete;

  int fd() const { return read_end_; }

 private:
  int read_end_;
  std::thread writer_;
};

}  // namespace opjoin
