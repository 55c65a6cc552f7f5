// Reads a log one line at a time from a file descriptor, in large blocks.
//
// A line is handed out as its head (the first bytes, enough for every keyword test) and is
// then either copied into a caller's string or skipped. Skipped lines are never stored, so a
// line of any length costs only the block buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace opjoin {

class LineReader {
 public:
  // Bytes of a line's start that Head() shows: more than any keyword test looks at.
  static constexpr std::size_t kHeadSize = 32;

  // Reads from fd, which stays owned by the caller.
  explicit LineReader(int fd, std::size_t block_size = 256 * 1024);

  // Moves to the next line, skipping what is left of the current one. False when no byte was
  // left to read or a read failed; the end-of-file indicator is then set.
  bool NextLine();

  // Moves, like NextLine(), to the next line that holds one of `needles` starting at most
  // `max_offset` bytes into it, passing over the lines before it without looking at each.
  // False when no such line is left; the end-of-file indicator is then set. Each needle must
  // be non-empty with max_offset + needle.size() <= kHeadSize, so that it shows in Head().
  // Where each needle occurs is remembered, so a sequence of calls reads each byte about once
  // per needle.
  bool SkipToLineContaining(std::span<const std::string_view> needles, std::size_t max_offset);
  bool SkipToLineContaining(std::string_view needle, std::size_t max_offset) {
    return SkipToLineContaining(std::span(&needle, 1), max_offset);
  }

  // The current line's first bytes (at most kHeadSize), without its line end.
  std::string_view Head() const { return head_; }

  // Appends the current line from byte `from` on, without its line end, to `out`, and consumes
  // the line. A line shorter than `from` appends nothing.
  void AppendLine(std::string& out, std::size_t from);

  // Consumes the rest of the current line without storing it.
  void SkipLine();

  // Set once a consumed line ended at the end of the input rather than at a line feed, or
  // once NextLine() found nothing left: what feof() reports after reading the same lines.
  bool AtEof() const { return at_eof_; }

  // False, with `error` set, when a read failed. A failed read ends the input as its end would.
  bool Succeeded(std::string* error) const;

 private:
  // Reads more input behind the unread bytes. False at end of input or on error.
  bool Refill();
  // Consumes the rest of the current line, passing each piece of it to `sink`.
  template <typename Sink>
  void ConsumeLine(Sink&& sink);
  // Makes head_ show the current line's start, refilling as needed.
  void LoadHead();
  static constexpr std::uint64_t kNotFound = UINT64_MAX;

  // Where one needle was last searched for. Positions count bytes from the start of input.
  struct NeedleSearch {
    std::string needle;
    std::size_t key;                       // index of the needle byte that memchr looks for
    std::uint64_t resume = 0;              // occurrences starting before this have been looked at
    std::uint64_t line_start = kNotFound;  // the first qualifying line found, if any
  };
  // What FindLineWith found: the qualifying line's start or npos, and where to resume.
  struct LineSearch {
    std::size_t line_start;
    std::size_t resume;
  };

  // The search record for `needle`, made on first use.
  NeedleSearch& SearchFor(std::string_view needle);
  // Brings `search` up to date with the unread bytes: afterwards its line_start is the first
  // unread line that qualifies, or kNotFound when none of the unread bytes holds one.
  void Advance(NeedleSearch& search, std::size_t max_offset);
  // The first line among the unread bytes whose line holds `needle` at most `max_offset`
  // bytes in, looking at occurrences from buffer index `from` on.
  LineSearch FindLineWith(std::string_view needle, std::size_t key, std::size_t max_offset,
                          std::size_t from) const;
  // Drops the unread lines that FindLineWith passed over, keeping a last unfinished line
  // unless it is already too long to match, and reads more. False at the end of input.
  bool DropSearchedLines(std::size_t match_window);

  int fd_;
  std::vector<char> buffer_;
  std::uint64_t buffer_position_ = 0;  // bytes of input before buffer_[0]
  std::vector<NeedleSearch> searches_;
  std::size_t begin_ = 0;  // first unread byte; the current line's unconsumed part starts here
  std::size_t end_ = 0;    // one past the last byte read
  std::string_view head_;
  bool input_ended_ = false;  // read() returned 0 or failed
  bool in_line_ = false;      // a line is current and not yet consumed
  bool at_eof_ = false;
  int error_ = 0;
};

}  // namespace opjoin
