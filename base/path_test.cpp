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

}  // namespace
}  // namespace opjoin
