#include "base/terminal_text.h"

#include <stdio.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace opjoin {
namespace {

TEST(TerminalEscaped, ShowsWhatATerminalWouldObeyAsEscapes) {
  struct Case {
    std::string_view text, shown;
  };
  const Case cases[] = {
      {"inv.out", "inv.out"},
      {"a\x1b]0;PWNED\a\x1b[2J.out", "a\\e]0;PWNED\\a\\e[2J.out"},
      {"new\nline\r\t\b\v\f", "new\\nline\\r\\t\\b\\v\\f"},
      {std::string_view("nul\0\x01\x1f\x7f", 7), "nul\\x00\\x01\\x1f\\x7f"},
      {"back\\slash", "back\\\\slash"},
      {"r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "r\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"c1 \xc2\x80 \xc2\x9b[2J \xc2\x9f \xc2\xa0", "c1 \\u0080 \\u009b[2J \\u009f \xc2\xa0"},
      {"latin1 \xe9\xff", "latin1 \\xe9\\xff"},
      {"cut \xe2\x82", "cut \\xe2\\x82"},
      {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\xc0\\xaf \\xe0\\x80\\xaf"},
      {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
      {"too high \xf4\x90\x80\x80", "too high \\xf4\\x90\\x80\\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalEscaped(c.text), c.shown) << c.shown;
  }
}

TEST(ForStream, LeavesTheBytesAloneWhereNoTerminalReadsThem) {
  std::FILE* file = std::tmpfile();  // a file, on every platform
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ForStream(fileno(file), "a\x1b[2J\n"), "a\x1b[2J\n");
  std::fclose(file);
}

}  // namespace
}  // namespace opjoin
