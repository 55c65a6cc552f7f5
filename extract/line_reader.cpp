#include "extract/line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace opjoin {

LineReader::LineReader(int fd, std::size_t block_size)
    : fd_(fd), buffer_(std::max(block_size, 4 * kHeadSize)) {}

bool LineReader::NextLine() {
  SkipLine();
  if (begin_ == end_ && !Refill()) {
    at_eof_ = true;
    return false;
  }
  LoadHead();
  in_line_ = true;
  return true;
}

void LineReader::SkipLine() {
  if (in_line_) {
    ConsumeLine([](std::string_view) {});
  }
}

void LineReader::AppendLine(std::string& out, std::size_t from) {
  if (!in_line_) {
    return;
  }
  std::size_t seen = 0;
  ConsumeLine([&](std::string_view piece) {
    if (seen + piece.size() > from) {
      std::size_t skip = from > seen ? from - seen : 0;
      out.append(piece.substr(skip));
    }
    seen += piece.size();
  });
}

bool LineReader::Refill() {
  if (input_ended_) {
    return false;
  }
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got > 0) {
      end_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      error_ = errno;
    }
    input_ended_ = true;
    return false;
  }
}

void LineReader::LoadHead() {
  // Enough bytes to see a head of kHeadSize plus a CR LF behind it.
  const std::size_t wanted = kHeadSize + 2;
  const char* lf = nullptr;
  for (;;) {
    std::size_t available = end_ - begin_;
    lf = static_cast<const char*>(
        std::memchr(buffer_.data() + begin_, '\n', std::min(available, wanted)));
    if (lf != nullptr || available >= wanted || !Refill()) {
      break;
    }
  }
  const char* start = buffer_.data() + begin_;
  std::size_t length = end_ - begin_;
  if (lf != nullptr) {
    length = static_cast<std::size_t>(lf - start);
    if (length > 0 && start[length - 1] == '\r') {
      --length;
    }
  }
  head_ = std::string_view(start, std::min(length, kHeadSize));
}

template <typename Sink>
void LineReader::ConsumeLine(Sink&& sink) {
  in_line_ = false;
  head_ = {};
  for (;;) {
    const char* start = buffer_.data() + begin_;
    std::size_t available = end_ - begin_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    if (lf != nullptr) {
      std::size_t length = static_cast<std::size_t>(lf - start);
      // A CR held back from the previous block stands at start[0] here.
      if (length > 0 && start[length - 1] == '\r') {
        sink(std::string_view(start, length - 1));
      } else {
        sink(std::string_view(start, length));
      }
      begin_ += length + 1;
      return;
    }
    // Hold back a trailing CR: the next block may begin with its LF.
    std::size_t emit = available;
    if (emit > 0 && start[emit - 1] == '\r') {
      --emit;
    }
    sink(std::string_view(start, emit));
    begin_ += emit;
    if (!Refill()) {
      sink(std::string_view(buffer_.data() + begin_, end_ - begin_));
      begin_ = end_;
      at_eof_ = true;
      return;
    }
  }
}

}  // namespace opjoin
