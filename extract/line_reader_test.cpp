#include "extract/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "extract/test_input.h"

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
  EXPECT_EQ(reader.Error(), 0);
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

TEST(LineReader, ReportsAReadFailure) {
  int fd = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  LineReader reader(fd);
  EXPECT_FALSE(reader.NextLine());
  EXPECT_TRUE(reader.AtEof());
  EXPECT_EQ(reader.Error(), EISDIR);
  ::close(fd);
}

}  // namespace
}  // namespace opjoin
