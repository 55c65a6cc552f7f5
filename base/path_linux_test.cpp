// Path rules that hold on Linux only.
#include <gtest/gtest.h>

#include "base/path.h"

namespace opjoin {
namespace {

TEST(AbsolutePath, JoinsRelativePathsAndDropsDotComponents) {
  struct Case {
    std::string_view base, path, absolute;
  };
  const Case cases[] = {
      {"/home/u", "inv.out", "/home/u/inv.out"},
      {"/home/u", "./sim/./inv.out", "/home/u/sim/inv.out"},
      {"/home/u", "../inv.out", "/home/u/../inv.out"},
      {"/home/u", "/tmp//inv.out", "/tmp/inv.out"},
      {"/", "inv.out", "/inv.out"},
      {"/home/u", ".", "/home/u"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AbsolutePath(c.base, c.path), c.absolute);
  }
}

}  // namespace
}  // namespace opjoin
