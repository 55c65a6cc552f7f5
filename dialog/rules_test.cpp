#include "dialog/rules.h"

#include "dialog/description.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(CheckChoice, RefusesWhatTheFlagsSay) {
  TempDir dir;
  WriteFile(dir / "rw.out", "");
  WriteFile(dir / "ro.out", "");
  // On Windows, the read-only attribute.
  using std::filesystem::perms;
  std::filesystem::permissions(dir / "ro.out",
                               perms::owner_write | perms::group_write | perms::others_write,
                               std::filesystem::perm_options::remove);
  const unsigned long all = OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
  struct Case {
    std::string path;
    unsigned long flags;
    ChoiceRefusal refusal;
  };
  const Case cases[] = {
      {dir / "rw.out", all, ChoiceRefusal::kNone},
      {dir / "new.out", all, ChoiceRefusal::kNone},
      {dir / "ro.out", all, ChoiceRefusal::kReadOnlyFile},
      {dir / "ro.out", OFN_PATHMUSTEXIST, ChoiceRefusal::kNone},
      {dir / "none/x.out", all, ChoiceRefusal::kFolderMissing},
      {dir / "none/x.out", OFN_NOREADONLYRETURN, ChoiceRefusal::kNone},
      {dir.path(), 0, ChoiceRefusal::kNotAFile},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckChoice(c.path, c.flags), c.refusal) << c.path << " flags " << c.flags;
  }
}

}  // namespace
}  // namespace opjoin
