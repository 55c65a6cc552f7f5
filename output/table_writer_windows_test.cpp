// The table writer on Windows: CR LF lines, the move over an old table, and the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/wide_windows.h"
#include "extract/listing_scanner.h"
#include "output/table_writer.h"
#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The outcome of one WriteTable call.
struct Written {
  bool ok = false;
  WriteFailure failure = WriteFailure::kNotOpened;
  std::string error;
};

std::vector<std::string> NumberedRows() {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row < KeywordTable.size(); ++row) {
    rows.push_back(std::string(KeywordTable[row]) + "  " + std::to_string(row));
  }
  return rows;
}

Written Write(const std::string& log) {
  Written written;
  written.ok = WriteTable(log, NumberedRows(), &written.failure, &written.error);
  return written;
}

std::string CrLfTable(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) {
    text += row + "\r\n";
  }
  return text;
}

void SetReadOnly(const std::string& path) {
  ASSERT_TRUE(::SetFileAttributesW(Utf8ToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
}

TEST(WindowsTableWriter, WritesCrLfLinesBesideTheLog) {
  TempDir dir;
  Written write = Write(dir / "inv.out");
  EXPECT_TRUE(write.ok) << write.error;
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), CrLfTable(NumberedRows()));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");
}

TEST(WindowsTableWriter, ReplacesAnOldTable) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "an old table, longer than the new one will be\r\n");
  EXPECT_TRUE(Write(dir / "inv.out").ok);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), CrLfTable(NumberedRows()));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");
}

TEST(WindowsTableWriter, RefusesWhatCannotBeWrittenAndLeavesItAsItWas) {
  TempDir dir;
  WriteFile(dir / "ro.jtb", "read-only table\r\n");
  SetReadOnly(dir / "ro.jtb");
  std::filesystem::create_directory(dir / "folder.jtb");
  struct Case {
    std::string log;
    std::string reason;
  };
  const Case cases[] = {
      {dir / "ro.out", "the file is read-only"},
      {dir / "folder.out", "Is a directory"},
      {dir / "missing\\inv.out", ""},
  };
  for (const Case& c : cases) {
    Written write = Write(c.log);
    EXPECT_FALSE(write.ok) << c.log;
    EXPECT_EQ(write.failure, WriteFailure::kNotOpened) << c.log;
    if (!c.reason.empty()) {
      EXPECT_EQ(write.error, c.reason) << c.log;
    }
  }
  ::SetFileAttributesW(Utf8ToWide(dir / "ro.jtb").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(dir / "ro.jtb"), "read-only table\r\n");
  EXPECT_EQ(ListFolder(dir.path()), "folder.jtb ro.jtb");
}

TEST(WindowsTableWriter, RefusesToWriteOverTheLogUnderAnotherSpelling) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "log\r\n");
  Written write = Write(dir / "INV.jtb");
  EXPECT_FALSE(write.ok);
  EXPECT_EQ(write.failure, WriteFailure::kSameAsLog);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), "log\r\n");
}

TEST(WindowsTableWriter, WritesBesideALogWithANameOutsideTheCodePage) {
  TempDir dir;
  const std::string folder = dir / "\xce\xb1\xce\xb2 \xe6\xbc\xa2";  // "αβ 漢"
  ASSERT_TRUE(::CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr));
  const std::string log = folder + "\\\xd0\xb6.out";  // "ж.out"
  Written write = Write(log);
  EXPECT_TRUE(write.ok) << write.error;
  EXPECT_NE(::GetFileAttributesW(Utf8ToWide(folder + "\\\xd0\xb6.jtb").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace opjoin
