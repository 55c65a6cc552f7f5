#include "output/table_writer.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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

TEST(WriteTable, WritesSixteenLinesBesideTheLog) {
  TempDir dir;
  WriteFile(dir / "inv.out", "log");
  TableWrite write = WriteTable(dir / "inv.out", NumberedRows());
  EXPECT_EQ(write.status, WriteStatus::kWritten) << write.reason;
  EXPECT_EQ(write.output_name, dir / "inv.jtb");
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), TableText(NumberedRows()));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb inv.out");
}

TEST(WriteTable, ReplacesAnExistingTableKeepingItsMode) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "old table that is longer than the new one\n");
  ASSERT_EQ(::chmod((dir / "inv.jtb").c_str(), 0640), 0);
  EXPECT_EQ(WriteTable(dir / "inv.out", NumberedRows()).status, WriteStatus::kWritten);
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
    WriteStatus status;
  };
  const Case cases[] = {
      {dir / "ro.out", WriteStatus::kNotOpened},
      {dir / "folder.out", WriteStatus::kNotOpened},
      {dir / "missing/inv.out", WriteStatus::kNotOpened},
      {dir / "self.jtb", WriteStatus::kSameAsLog},
  };
  for (const Case& c : cases) {
    TableWrite write = WriteTable(c.log, NumberedRows());
    EXPECT_EQ(write.status, c.status) << c.log;
    EXPECT_FALSE(write.reason.empty());
  }
  EXPECT_EQ(ReadFile(dir / "ro.jtb"), "kept");
  EXPECT_EQ(ReadFile(dir / "self.jtb"), "the log");
  EXPECT_EQ(ListFolder(dir.path()), "folder.jtb ro.jtb self.jtb");
}

TEST(WriteTable, RefusesAHardLinkToTheLog) {
  TempDir dir;
  WriteFile(dir / "inv.out", "the log");
  ASSERT_EQ(::link((dir / "inv.out").c_str(), (dir / "inv.jtb").c_str()), 0);
  EXPECT_EQ(WriteTable(dir / "inv.out", NumberedRows()).status, WriteStatus::kSameAsLog);
  EXPECT_EQ(ReadFile(dir / "inv.out"), "the log");
}

// Runs WriteTable in a child whose files may not grow past `limit` bytes.
WriteStatus WriteUnderSizeLimit(const std::string& log, const ParameterRows& rows, rlim_t limit) {
  pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit size_limit = {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    _exit(static_cast<int>(WriteTable(log, rows).status));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<WriteStatus>(WEXITSTATUS(status));
}

TEST(WriteTable, AFailedWriteLeavesTheOldTableAndNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "previous table\n");
  ParameterRows wide = NumberedRows(1000);
  EXPECT_EQ(WriteUnderSizeLimit(dir / "inv.out", wide, 4096), WriteStatus::kWriteFailed);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), "previous table\n");
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");

  EXPECT_EQ(WriteUnderSizeLimit(dir / "new.out", wide, 4096), WriteStatus::kWriteFailed);
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");
}

}  // namespace
}  // namespace opjoin
