#include "front/options.h"

#include <gtest/gtest.h>

namespace opjoin {
namespace {

TEST(ParseOptions, AcceptsTheDialogChoiceAndOneLog) {
  // The options parsed, or nullopt when they are refused.
  auto parse = [](std::vector<std::string> args) -> std::optional<Options> {
    Options options;
    std::string error;
    if (!ParseOptions(args, &options, &error)) {
      return std::nullopt;
    }
    return options;
  };

  auto plain = parse({});
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->dialog, DialogBackend::kAuto);
  EXPECT_FALSE(plain->log);

  auto with_log = parse({"--dialog=terminal", "inv.out"});
  ASSERT_TRUE(with_log);
  EXPECT_EQ(with_log->dialog, DialogBackend::kTerminal);
  EXPECT_EQ(with_log->log, "inv.out");

  auto separate = parse({"--dialog", "gui"});
  ASSERT_TRUE(separate);
  EXPECT_EQ(separate->dialog, DialogBackend::kGui);

  auto dashed = parse({"--", "--odd-name.out"});
  ASSERT_TRUE(dashed);
  EXPECT_EQ(dashed->log, "--odd-name.out");

  EXPECT_EQ(parse({"--help"})->action, Options::Action::kHelp);
  EXPECT_EQ(parse({"--version"})->action, Options::Action::kVersion);
}

TEST(ParseOptions, AcceptsTheLayoutAndTheListing) {
  struct Case {
    std::vector<std::string> args;
    LogLayout layout;
    int listing;
  };
  const Case cases[] = {
      {{}, LogLayout::kAuto, 1},
      {{"--layout=smartspice"}, LogLayout::kSmartSpice, 1},
      {{"--layout", "hspice", "--listing=3"}, LogLayout::kHspice, 3},
      {{"--layout=ngspice", "--listing", "12"}, LogLayout::kNgspice, 12},
      {{"--layout=hspice", "--layout=auto"}, LogLayout::kAuto, 1},  // the last one counts
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    ASSERT_TRUE(ParseOptions(c.args, &options, &error)) << error;
    EXPECT_EQ(options.layout, c.layout);
    EXPECT_EQ(options.listing, c.listing);
  }
}

TEST(ParseOptions, RejectsWhatItDoesNotKnow) {
  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{"--dialog=web"},
                                             {"--dialog"},
                                             {"-x"},
                                             {"--verbose"},
                                             {"a.out", "b.out"},
                                             {""},
                                             {"--", ""},
                                             {"--layout=spectre"},
                                             {"--layout"},
                                             {"--layouts=hspice"},
                                             {"--listing=0"},
                                             {"--listing=-1"},
                                             {"--listing=+2"},
                                             {"--listing=2x"},
                                             {"--listing="},
                                             {"--listing"},
                                             {"--listing=99999999999"}}) {
    Options options;
    std::string error;
    EXPECT_FALSE(ParseOptions(args, &options, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace opjoin
