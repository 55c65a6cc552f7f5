#include "output/table_writer.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>

#include <gtest/gtest.h>

#include "extract/listing_scanner.h"
#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

ParameterRows NumberedRows(std::size_t width = 3) {
  ParameterRows rows;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    rows[row] = std::string(KeywordTable[row]) + std::string(width, '0' + row % 10);
  }
  return rows;
}

std::string TableText(const ParameterRows& rows) {
  std::string text;
  for (const std::string& row : rows) {
    text += row + "\n";
  }
  return text;
}

// What a write gave: the failure's kind, or nullopt when it succeeded.
struct Written {
  std::optional<WriteFailure> failure;
  std::string error;
};

Written Write(const std::string& log, const ParameterRows& rows) {
  Written written;
  WriteFailure failure;
  if (!WriteTable(log, rows, &failure, &written.error)) {
    written.failure = failure;
  }
  return written;
}

TEST(WriteTable, WritesSixteenLinesBesideTheLog) {
  TempDir dir;
  WriteFile(dir / "inv.out", "log");
  Written write = Write(dir / "inv.out", NumberedRows());
  EXPECT_EQ(write.failure, std::nullopt) << write.error;
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), TableText(NumberedRows()));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
}

TEST(WriteTable, ReplacesAnExistingTableKeepingItsMode) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "old table that is longer than the new one\n");
  ASSERT_EQ(::chmod((dir / "inv.jtb").c_str(), 0640), 0);
  EXPECT_EQ(Write(dir / "inv.out", NumberedRows()).failure, std::nullopt);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), TableText(NumberedRows()));
  struct stat written;
  ASSERT_EQ(::stat((dir / "inv.jtb").c_str(), &written), 0);
  EXPECT_EQ(written.st_mode & 07777, 0640u);
}

TEST(WriteTable, RefusesTargetsThatCannotBeWritten) {
  TempDir dir;
  WriteFile(dir / "ro.jtb", "kept");
  ASSERT_EQ(::chmod((dir / "ro.jtb").c_str(), 0444), 0);
  ASSERT_EQ(::mkdir((dir / "folder.jtb").c_str(), 0755), 0);
  WriteFile(dir / "self.jtb", "the log");

  struct Case {
    std::string log;
    WriteFailure failure;
  };
  const Case cases[] = {
      {dir / "ro.out", WriteFailure::kNotOpened},
      {dir / "folder.out", WriteFailure::kNotOpened},
      {dir / "missing/inv.out", WriteFailure::kNotOpened},
      {dir / "self.jtb", WriteFailure::kSameAsLog},
  };
  for (const Case& c : cases) {
    Written write = Write(c.log, NumberedRows());
    EXPECT_EQ(write.failure, c.failure) << c.log;
    EXPECT_FALSE(write.error.empty());
  }
  EXPECT_EQ(ReadFile(dir / "ro.jtb"), "kept");
  EXPECT_EQ(ReadFile(dir / "self.jtb"), "the log");
  EXPECT_EQ(ListFolder(dir.path()), "folder.jtb ro.jtb self.jtb");
}

TEST(WriteTable, RefusesAHardLinkToTheLog) {
  TempDir dir;
  WriteFile(dir / "inv.out", "the log");
  ASSERT_EQ(::link((dir / "inv.out").c_str(), (dir / "inv.jtb").c_str()), 0);
  EXPECT_EQ(Write(dir / "inv.out", NumberedRows()).failure, WriteFailure::kSameAsLog);
  EXPECT_EQ(ReadFile(dir / "inv.out"), "the log");
}

// Runs WriteTable in a child whose files may not grow past `limit` bytes. Returns the failure's
// kind, or nullopt when the write succeeded.
std::optional<WriteFailure> WriteUnderSizeLimit(const std::string& log, const ParameterRows& rows,
                                                rlim_t limit) {
  pid_t child = ::fork();
  if (child == 0) {
    struct rlimit size_limit = {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    std::optional<WriteFailure> failure = Write(log, rows).failure;
    _exit(failure ? static_cast<int>(*failure) : 100);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 100) {
    return std::nullopt;
  }
  return static_cast<WriteFailure>(WEXITSTATUS(status));
}

TEST(WriteTable, AFailedWriteLeavesTheOldTableAndNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "previous table\n");
  ParameterRows wide = NumberedRows(1000);
  EXPECT_EQ(WriteUnderSizeLimit(dir / "inv.out", wide, 4096), WriteFailure::kNotWritten);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), "previous table\n");
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");

  EXPECT_EQ(WriteUnderSizeLimit(dir / "new.out", wide, 4096), WriteFailure::kNotWritten);
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");
}

}  // namespace
}  // namespace opjoin
