#include "dialog/rules.h"

#include "dialog/description.h"

#include <sys/stat.h>

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
  ASSERT_EQ(::chmod((dir / "ro.out").c_str(), 0444), 0);
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

TEST(DecideChoice, EntersFoldersAddsTheExtensionRefusesOrAsksAsTheFlagsSay) {
  TempDir dir;
  WriteFile(dir / "inv.dat", "");
  WriteFile(dir / "README", "");
  WriteFile(dir / "ro.out", "");
  ASSERT_EQ(::chmod((dir / "ro.out").c_str(), 0444), 0);
  ASSERT_EQ(::mkdir((dir / "sim").c_str(), 0755), 0);
  using Action = ChoiceDecision::Action;
  struct Case {
    std::string chosen;
    Action action;
    std::string path;
  };
  const Case cases[] = {
      {dir / "sim", Action::kEnterFolder, dir / "sim"},
      {dir / "inv", Action::kAccept, dir / "inv.dat"},       // the extension is added
      {dir / "README", Action::kAccept, dir / "README"},     // an existing name is kept
      {dir / "new", Action::kAskToCreate, dir / "new.dat"},  // then the create question
      {dir / "new.", Action::kAskToCreate, dir / "new."},    // a bare dot is an extension
      {dir / "ro.out", Action::kRefuse, dir / "ro.out"},
      {dir / "none/x.out", Action::kRefuse, dir / "none/x.out"},
  };
  for (const Case& c : cases) {
    ChoiceDecision decision = DecideChoice(c.chosen, LogOpenDialog());
    EXPECT_EQ(decision.action, c.action) << c.chosen;
    EXPECT_EQ(decision.path, c.path) << c.chosen;
  }
  EXPECT_EQ(DecideChoice(dir / "new", LogOpenDialog()).text,
            dir / "new.dat" + "\nThis file does not exist.");
  EXPECT_EQ(DecideChoice(dir / "ro.out", LogOpenDialog()).text,
            dir / "ro.out" + "\nThis file is read-only. Choose another file.");
}

}  // namespace
}  // namespace opjoin
