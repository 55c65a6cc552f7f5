// Path rules that hold on Linux only.
#include <string>
#include <vector>

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

TEST(AbsoluteFromWorkingFolder, KeepsTheSlashOfAPathThatNamesAFolder) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/tmp/sim.out", "/tmp/sim.out"},
      {"/tmp/sim.out/", "/tmp/sim.out/"},
      {"/tmp/sim.out/.", "/tmp/sim.out/"},
      {"/tmp//sim.out//", "/tmp/sim.out/"},
      {"/", "/"},
  };
  for (auto [given, absolute] : cases) {
    EXPECT_EQ(AbsoluteFromWorkingFolder(given), absolute) << given;
  }
}

TEST(PathComponents, SplitsAtSlashesAndKeepsAFolderAtTheEnd) {
  struct Case {
    std::string_view path;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"inv.jtb", {"inv.jtb"}},
      {"../tables/./inv.jtb", {"..", "tables", "inv.jtb"}},
      {"/tmp//inv.jtb", {"tmp", "inv.jtb"}},
      {"tables/", {"tables", "."}},
      {"/", {"."}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathComponents(c.path), c.names) << c.path;
  }
}

}  // namespace
}  // namespace opjoin
