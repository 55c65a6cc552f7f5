#include "base/path.h"

#include <gtest/gtest.h>

namespace opjoin {
namespace {

TEST(FolderAndFileName, SplitAtTheLastSlash) {
  struct Case {
    std::string_view path, folder, name;
  };
  const Case cases[] = {
      {"/a/b/inv.out", "/a/b", "inv.out"},
      {"/inv.out", "/", "inv.out"},
      {"inv.out", ".", "inv.out"},
      {"/a/b/", "/a/b", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
  }
}

TEST(WithDefaultExtension, AddsTheExtensionOnlyToNamesWithoutOne) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/a/inv", "/a/inv.dat"},
      {"/a/inv.out", "/a/inv.out"},
      {"/a/sim.old/inv", "/a/sim.old/inv.dat"},
      {"/a/.hidden", "/a/.hidden.dat"},
      {"inv", "inv.dat"},
  };
  for (auto [typed, chosen] : cases) {
    EXPECT_EQ(WithDefaultExtension(typed, "dat"), chosen);
  }
}

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
