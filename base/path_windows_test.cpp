// Path rules on Windows: drive letters, '\' and '/', and network shares.
#include <gtest/gtest.h>

#include "base/path.h"

namespace opjoin {
namespace {

TEST(WindowsPaths, SplitFolderAndNameAtEitherSeparatorNeverInsideTheRoot) {
  struct Case {
    std::string_view path, folder, name;
  };
  const Case cases[] = {
      {R"(C:\sim\inv.out)", R"(C:\sim)", "inv.out"},
      {R"(C:\inv.out)", R"(C:\)", "inv.out"},
      {"C:/sim/inv.out", "C:/sim", "inv.out"},
      {R"(C:\sim/run\inv.out)", R"(C:\sim/run)", "inv.out"},
      {"C:inv.out", "C:", "inv.out"},
      {R"(\\server\share\inv.out)", R"(\\server\share\)", "inv.out"},
      {R"(\\server\share\sim\inv.out)", R"(\\server\share\sim)", "inv.out"},
      {R"(\\?\C:\sim\inv.out)", R"(\\?\C:\sim)", "inv.out"},
      {"inv.out", ".", "inv.out"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
  }
}

TEST(WindowsPaths, ExtensionsAreTheFileNamesOnly) {
  EXPECT_EQ(WithExtension(R"(C:\sim.v2\inv)", "jtb"), R"(C:\sim.v2\inv.jtb)");
  EXPECT_EQ(WithExtension(R"(\\server\share.x\inv.out)", "jtb"), R"(\\server\share.x\inv.jtb)");
  EXPECT_EQ(WithDefaultExtension(R"(C:\sim\inv)", "dat"), R"(C:\sim\inv.dat)");
  EXPECT_EQ(WithDefaultExtension(R"(C:\sim\.hidden)", "dat"), R"(C:\sim\.hidden.dat)");
}

TEST(WindowsPaths, AbsoluteOnlyWithADriveRootOrAShare) {
  const std::pair<std::string_view, bool> cases[] = {
      {R"(C:\inv.out)", true}, {"c:/inv.out", true},      {R"(\\server\share\x)", true},
      {R"(\\?\C:\x)", true},   {"C:inv.out", false},      {R"(\inv.out)", false},
      {"inv.out", false},      {R"(sim\inv.out)", false},
  };
  for (auto [path, absolute] : cases) {
    EXPECT_EQ(IsAbsolute(path), absolute) << path;
  }
}

TEST(WindowsPaths, AbsolutePathJoinsAndTidiesAsTheSystemDoes) {
  struct Case {
    std::string_view base, path, absolute;
  };
  const Case cases[] = {
      {R"(C:\sim)", "inv.out", R"(C:\sim\inv.out)"},
      {R"(C:\sim)", "run/./inv.out", R"(C:\sim\run\inv.out)"},
      {R"(C:\sim\run)", R"(..\inv.out)", R"(C:\sim\inv.out)"},
      {R"(C:\sim)", R"(..\..\..\inv.out)", R"(C:\inv.out)"},
      {R"(C:\sim)", R"(D:\x\\inv.out)", R"(D:\x\inv.out)"},
      {R"(C:\sim)", R"(\inv.out)", R"(C:\inv.out)"},
      {R"(C:\sim)", "C:inv.out", R"(C:\sim\inv.out)"},
      {R"(C:\sim)", "D:inv.out", R"(D:\inv.out)"},
      {R"(\\server\share\sim)", R"(..\..\inv.out)", R"(\\server\share\inv.out)"},
      {R"(\\server\share\sim)", R"(\inv.out)", R"(\\server\share\inv.out)"},
      {R"(C:\)", ".", R"(C:\)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AbsolutePath(c.base, c.path), c.absolute) << c.base << " + " << c.path;
  }
}

TEST(WindowsPaths, TheWorkingFolderIsAbsolute) {
  std::string folder;
  std::string error;
  ASSERT_TRUE(WorkingFolder(&folder, &error)) << error;
  EXPECT_TRUE(IsAbsolute(folder)) << folder;
  EXPECT_EQ(AbsoluteFromWorkingFolder("inv.out"), AbsolutePath(folder, "inv.out"));
  // A path that names a folder keeps a final separator, as the system takes it.
  EXPECT_EQ(AbsoluteFromWorkingFolder(R"(C:\sim.out\)"), R"(C:\sim.out\)");
  EXPECT_EQ(AbsoluteFromWorkingFolder("C:/sim.out/."), R"(C:\sim.out\)");
  EXPECT_EQ(AbsoluteFromWorkingFolder(R"(C:\)"), R"(C:\)");
}

}  // namespace
}  // namespace opjoin
