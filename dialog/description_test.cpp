#include "dialog/description.h"

#include <gtest/gtest.h>

namespace opjoin {
namespace {

TEST(LogOpenDialog, HasTheTitleFilterEntriesAndDefaultExtension) {
  const OpenDialogDescription& dialog = LogOpenDialog();
  EXPECT_EQ(dialog.title, "Load SmartSpice Log File");
  ASSERT_EQ(dialog.filters.size(), 2u);
  EXPECT_EQ(dialog.filters[0].shown_text, "SmartSpice Log File (*.out; *.dat) ");
  EXPECT_EQ(dialog.filters[0].patterns, "*.out; *.dat");
  EXPECT_EQ(dialog.filters[1].shown_text, "All Files (*.*) ");
  EXPECT_EQ(dialog.filters[1].patterns, "*.*");
  EXPECT_EQ(dialog.selected_filter, 0u);
  EXPECT_EQ(dialog.default_extension, "dat");
}

TEST(MatchesFilter, MatchesAnyPatternIgnoringCase) {
  struct Case {
    std::string_view patterns;
    std::string_view name;
    bool matches;
  };
  const Case cases[] = {
      {"*.out; *.dat", "inv.out", true},
      {"*.out; *.dat", "inv.dat", true},
      {"*.out; *.dat", "INV.OUT", true},
      {"*.out; *.dat", "inv.jtb", false},
      {"*.out; *.dat", "inv.out.1", false},
      {"*.out; *.dat", "out", false},
      {"*.*", "README", true},
      {"*.*", ".profile", true},
      {"*.*", "inv.out", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesFilter(c.patterns, c.name), c.matches) << c.patterns << " " << c.name;
  }
}

}  // namespace
}  // namespace opjoin
