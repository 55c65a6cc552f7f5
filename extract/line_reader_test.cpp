#include "extract/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "tests/support/test_input.h"

namespace opjoin {
namespace {

struct ReadLine {
  std::string text;
  bool eof_after;
  bool operator==(const ReadLine&) const = default;
};

std::vector<ReadLine> ReadAll(std::string_view bytes, std::size_t block_size = 128) {
  TestInput input(bytes);
  LineReader reader(input.fd(), block_size);
  std::vector<ReadLine> lines;
  while (reader.NextLine()) {
    std::string text;
    reader.AppendLine(text, 0);
    lines.push_back({text, reader.AtEof()});
  }
  EXPECT_TRUE(reader.AtEof());
  std::string read_error;
  EXPECT_TRUE(reader.Succeeded(&read_error)) << read_error;
  return lines;
}

TEST(LineReader, SplitsLinesAndSetsEofOnlyAtAnUnterminatedLastLine) {
  struct Case {
    std::string_view bytes;
    std::vector<ReadLine> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"\n", {{"", false}}},
      {"a\nb\n", {{"a", false}, {"b", false}}},
      {"a\nb", {{"a", false}, {"b", true}}},
      {"a\r\nb\r\n", {{"a", false}, {"b", false}}},
      {"a\rb\n\r\r\n", {{"a\rb", false}, {"\r", false}}},
      {"a\r", {{"a\r", true}}},
      {std::string_view("x\0y\n", 4), {{std::string("x\0y", 3), false}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(c.bytes), c.lines) << "input: " << c.bytes;
  }
}

TEST(LineReader, KeepsLinesWholeAcrossBlocksWithCrLfAtEveryBoundary) {
  // Line lengths sweep past the 128-byte block so that CR and LF fall on every boundary.
  std::string bytes;
  std::vector<ReadLine> expected;
  for (std::size_t length = 0; length < 600; length += 7) {
    std::string line(length, static_cast<char>('a' + length % 26));
    bytes += line + (length % 2 == 0 ? "\r\n" : "\n");
    expected.push_back({line, false});
  }
  EXPECT_EQ(ReadAll(bytes), expected);
}

TEST(LineReader, HeadShowsTheLineStartWithoutLineEnd) {
  std::string long_line(100, 'q');
  TestInput input("short\r\n" + long_line + "\n");
  LineReader reader(input.fd());
  ASSERT_TRUE(reader.NextLine());
  EXPECT_EQ(reader.Head(), "short");
  ASSERT_TRUE(reader.NextLine());  // skips the rest of "short" unread
  EXPECT_EQ(reader.Head(), long_line.substr(0, LineReader::kHeadSize));
  EXPECT_FALSE(reader.NextLine());
}

TEST(LineReader, AppendsFromAnOffset) {
  TestInput input("0123456789abc\n012345\n");
  LineReader reader(input.fd());
  std::string out = "x";
  ASSERT_TRUE(reader.NextLine());
  reader.AppendLine(out, 10);
  ASSERT_TRUE(reader.NextLine());
  reader.AppendLine(out, 10);
  EXPECT_EQ(out, "xabc");
}

// The lines SkipToLineContaining stops at, each read whole, and whether it ended at the end
// of the input.
std::vector<ReadLine> SkipAll(std::string_view bytes, std::string_view needle,
                              std::size_t max_offset, std::size_t block_size) {
  TestInput input(bytes);
  LineReader reader(input.fd(), block_size);
  std::vector<ReadLine> lines;
  while (reader.SkipToLineContaining(needle, max_offset)) {
    std::string text;
    std::string head(reader.Head());
    reader.AppendLine(text, 0);
    EXPECT_EQ(head, text.substr(0, LineReader::kHeadSize));
    lines.push_back({text, reader.AtEof()});
  }
  EXPECT_TRUE(reader.AtEof());
  std::string read_error;
  EXPECT_TRUE(reader.Succeeded(&read_error)) << read_error;
  return lines;
}

// The same lines found by reading every line.
std::vector<ReadLine> LinesWith(std::string_view bytes, std::string_view needle,
                                std::size_t max_offset) {
  std::vector<ReadLine> lines = ReadAll(bytes);
  std::erase_if(lines, [&](const ReadLine& line) { return line.text.find(needle) > max_offset; });
  return lines;
}

TEST(LineReader, SkipsToTheLinesThatHoldTheNeedleNearTheirStart) {
  struct Case {
    std::string_view bytes;
    std::vector<ReadLine> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"subckt", {{"subckt", true}}},
      {"a\nsubckt\n", {{"subckt", false}}},
      {"x subckt\r\n0123456789subckt\n01234567890subckt\n",
       {{"x subckt", false}, {"0123456789subckt", false}}},
      {"subc\nkt subck\n subc kt\nsubcktsubckt\n", {{"subcktsubckt", false}}},
      {"\r\rsubckt\r", {{"\r\rsubckt\r", true}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SkipAll(c.bytes, "subckt", 10, 128), c.lines) << "input: " << c.bytes;
  }
}

TEST(LineReader, SkipFindsTheSameLinesAsReadingEachLineAtEveryBlockBoundary) {
  // Needles at offsets 0 to 12, after lines whose lengths sweep past the block size, so that
  // the needle, its line start and CR LF fall on every block boundary.
  std::string bytes;
  for (std::size_t length = 0; length < 700; length += 3) {
    bytes += std::string(length, static_cast<char>('a' + length % 26));
    bytes += length % 2 == 0 ? "\r\n" : "\n";
    std::string lead(length % 13, length % 3 == 0 ? ' ' : 'q');
    bytes += lead + "subckt " + std::to_string(length) + "\n";
  }
  bytes += std::string(1000, 'z') + "subckt\n" + std::string(400, '-') + "\nsubckt";
  std::vector<ReadLine> expected = LinesWith(bytes, "subckt", 10);
  ASSERT_GT(expected.size(), 150u);
  for (std::size_t block_size : {128u, 129u, 131u, 250u, 4096u}) {
    EXPECT_EQ(SkipAll(bytes, "subckt", 10, block_size), expected) << "block " << block_size;
  }
}

TEST(LineReader, SkipWithSeveralNeedlesAgreesWithReadingEachLine) {
  // Calls alternate between needle sets, so what was found for one needle in an earlier call
  // must still hold in a later one.
  const std::vector<std::vector<std::string_view>> sets = {
      {"vds", "Total"}, {"element"}, {"vds", "element", "Total"}, {"Total"}};
  const std::string_view words[] = {"vds", "Total", "element", "vdsat", "x", "1.0e-3"};
  std::string bytes;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < 900; ++i) {
    std::string line(i * 7 % 13, i % 5 == 0 ? 'q' : ' ');
    line += words[i * i % 6];
    line += std::string(i * 31 % 150, '0');
    lines.push_back(line);
    bytes += line + (i % 3 == 0 ? "\r\n" : "\n");
  }
  for (std::size_t block_size : {128u, 131u, 4096u}) {
    TestInput input(bytes);
    LineReader reader(input.fd(), block_size);
    std::size_t next = 0;  // the first line the reference has not passed
    for (std::size_t call = 0;; ++call) {
      std::span<const std::string_view> needles = sets[call % sets.size()];
      while (next < lines.size() && std::none_of(needles.begin(), needles.end(), [&](auto n) {
               return lines[next].find(n) <= 10;
             })) {
        ++next;
      }
      bool found = reader.SkipToLineContaining(needles, 10);
      ASSERT_EQ(found, next < lines.size()) << "call " << call << ", block " << block_size;
      if (!found) {
        break;
      }
      std::string text;
      reader.AppendLine(text, 0);
      ASSERT_EQ(text, lines[next]) << "call " << call << ", block " << block_size;
      ++next;
    }
  }
}

TEST(LineReader, ReportsAReadFailure) {
  int fd = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  LineReader reader(fd);
  EXPECT_FALSE(reader.NextLine());
  EXPECT_TRUE(reader.AtEof());
  std::string read_error;
  EXPECT_FALSE(reader.Succeeded(&read_error));
  EXPECT_EQ(read_error, std::strerror(EISDIR));
  ::close(fd);
}

}  // namespace
}  // namespace opjoin
