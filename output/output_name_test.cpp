#include "output/output_name.h"

#include <gtest/gtest.h>

namespace opjoin {
namespace {

TEST(OutputNameFor, ChangesOnlyTheFileNamesExtension) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/a/inv.out", "/a/inv.jtb"},
      {"/a/inv.dat", "/a/inv.jtb"},
      {"/a/inv.data", "/a/inv.jtb"},
      {"/a/inv.c", "/a/inv.jtb"},
      {"/a/inv.", "/a/inv.jtb"},
      {"/a/inv", "/a/inv.jtb"},
      {"/a/sim.old/inv", "/a/sim.old/inv.jtb"},
      {"/a/.hidden", "/a/.hidden.jtb"},
      {"/a/.hidden.out", "/a/.hidden.jtb"},
      {"/a/inv.tar.out", "/a/inv.tar.jtb"},
      {"/inv.out", "/inv.jtb"},
      {"a.out", "a.jtb"},
      {"inv", "inv.jtb"},
      {"/a/inv.jtb", "/a/inv.jtb"},
  };
  for (auto [log, table] : cases) {
    EXPECT_EQ(OutputNameFor(log), table) << log;
  }
}

}  // namespace
}  // namespace opjoin
