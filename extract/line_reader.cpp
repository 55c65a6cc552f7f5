#include "extract/line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/diagnostic.h"

namespace opjoin {

namespace {

// Bytes from the most to the least common in simulation logs: blanks, numbers, line ends and
// lower-case text. A byte not listed counts as rarer than all of them.
constexpr std::string_view kCommonBytes = " 0123456789.e-+\n\retaoinsrhldcumfpgwybvkxjqz";

// The index of the byte of `needle` that is rarest in logs, so that a search for it stops
// seldom.
std::size_t RarestByteIndex(std::string_view needle) {
  std::size_t rarest = 0;
  std::size_t rarest_rank = 0;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    std::size_t rank = std::min(kCommonBytes.find(needle[i]), kCommonBytes.size());
    if (i == 0 || rank > rarest_rank) {
      rarest = i;
      rarest_rank = rank;
    }
  }
  return rarest;
}

// The last line feed among `length` bytes at `start`, or nullptr. The bytes searched are few:
// a look-back of a few bytes, or the end of a block back to its last line feed.
const char* FindLastLineFeed(const char* start, std::size_t length) {
  for (const char* at = start + length; at != start;) {
    if (*--at == '\n') {
      return at;
    }
  }
  return nullptr;
}

}  // namespace

LineReader::LineReader(int fd, std::size_t block_size)
    : fd_(fd), buffer_(std::max(block_size, 4 * kHeadSize)) {}

bool LineReader::Succeeded(std::string* error) const {
  if (error_ != 0) {
    *error = ErrnoText(error_);
    return false;
  }
  return true;
}

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

bool LineReader::SkipToLineContaining(std::span<const std::string_view> needles,
                                      std::size_t max_offset) {
  SkipLine();
  std::size_t longest = 0;
  for (std::string_view needle : needles) {
    longest = std::max(longest, needle.size());
  }
  for (;;) {
    if (begin_ == end_ && !Refill()) {
      at_eof_ = true;
      return false;
    }
    std::uint64_t nearest = kNotFound;
    for (std::string_view needle : needles) {
      NeedleSearch& search = SearchFor(needle);
      Advance(search, max_offset);
      nearest = std::min(nearest, search.line_start);
    }
    if (nearest != kNotFound) {
      begin_ = static_cast<std::size_t>(nearest - buffer_position_);
      LoadHead();
      in_line_ = true;
      return true;
    }
    if (!DropSearchedLines(max_offset + longest)) {
      at_eof_ = true;
      return false;
    }
  }
}

LineReader::NeedleSearch& LineReader::SearchFor(std::string_view needle) {
  for (NeedleSearch& search : searches_) {
    if (search.needle == needle) {
      return search;
    }
  }
  // Callers use a handful of fixed needles; forgetting all is always safe.
  constexpr std::size_t kMostSearches = 64;
  if (searches_.size() == kMostSearches) {
    searches_.clear();
  }
  searches_.push_back({std::string(needle), RarestByteIndex(needle)});
  return searches_.back();
}

void LineReader::Advance(NeedleSearch& search, std::size_t max_offset) {
  const std::uint64_t unread = buffer_position_ + begin_;
  if (search.line_start != kNotFound && search.line_start >= unread) {
    return;  // still the first qualifying line: occurrences before it were looked at
  }
  std::size_t from = begin_;
  if (search.resume > unread) {
    from = static_cast<std::size_t>(search.resume - buffer_position_);
  }
  LineSearch found = FindLineWith(search.needle, search.key, max_offset, from);
  search.resume = buffer_position_ + found.resume;
  search.line_start =
      found.line_start == std::string_view::npos ? kNotFound : buffer_position_ + found.line_start;
}

LineReader::LineSearch LineReader::FindLineWith(std::string_view needle, std::size_t key,
                                                std::size_t max_offset, std::size_t from) const {
  constexpr std::size_t npos = std::string_view::npos;
  const char* const first = buffer_.data() + begin_;  // always a line start
  const char* const last = buffer_.data() + end_;
  const char* start = buffer_.data() + from;  // where the occurrences looked at may start
  auto index = [&](const char* at) { return static_cast<std::size_t>(at - buffer_.data()); };
  while (last - start > static_cast<std::ptrdiff_t>(key)) {
    const char* hit = static_cast<const char*>(
        std::memchr(start + key, needle[key], static_cast<std::size_t>(last - start) - key));
    if (hit == nullptr) {
      return {npos, index(last) - key};
    }
    const char* at = hit - key;
    if (static_cast<std::size_t>(last - at) < needle.size()) {
      return {npos, index(at)};  // the rest may follow in the next block
    }
    if (std::memcmp(at, needle.data(), needle.size()) == 0) {
      // The line qualifies when a line feed stands at most max_offset + 1 bytes before the
      // needle, or when no line feed does and the needle is close enough to `first`.
      std::size_t offset = static_cast<std::size_t>(at - first);
      std::size_t look_back = std::min(offset, max_offset + 1);
      if (const char* lf = FindLastLineFeed(at - look_back, look_back); lf != nullptr) {
        return {index(lf + 1), index(at + 1)};
      }
      if (offset <= max_offset) {
        return {begin_, index(at + 1)};
      }
    }
    start = at + 1;
  }
  return {npos, index(start)};
}

bool LineReader::DropSearchedLines(std::size_t match_window) {
  const char* start = buffer_.data() + begin_;
  std::size_t available = end_ - begin_;
  if (const char* lf = FindLastLineFeed(start, available); lf != nullptr) {
    begin_ += static_cast<std::size_t>(lf - start) + 1;
  } else if (available >= match_window) {
    // A needle past this line's first match_window bytes cannot start a match.
    ConsumeLine([](std::string_view) {});
    return !at_eof_;
  }
  if (begin_ < end_ && !Refill()) {
    begin_ = end_;  // the last line, unfinished and without a match
    return false;
  }
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
    buffer_position_ += begin_;
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
