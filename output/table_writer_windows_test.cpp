// The table writer on Windows: CR LF lines, the move over an old table, and the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/wide_windows.h"
#include "output/table_writer.h"
#include "tests/support/temp_dir.h"

namespace opjoin {
namespace {

using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

ParameterRows NumberedRows() {
  ParameterRows rows;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    rows[row] = std::string(KeywordTable[row]) + "  " + std::to_string(row);
  }
  return rows;
}

std::string CrLfTable(const ParameterRows& rows) {
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
  TableWrite write = WriteTable(dir / "inv.out", NumberedRows());
  EXPECT_EQ(write.status, WriteStatus::kWritten) << write.reason;
  EXPECT_EQ(write.output_name, dir / "inv.jtb");
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), CrLfTable(NumberedRows()));
  EXPECT_EQ(ListFolder(dir.path()), "inv.jtb");
}

TEST(WindowsTableWriter, ReplacesAnOldTable) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "an old table, longer than the new one will be\r\n");
  EXPECT_EQ(WriteTable(dir / "inv.out", NumberedRows()).status, WriteStatus::kWritten);
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
    TableWrite write = WriteTable(c.log, NumberedRows());
    EXPECT_EQ(write.status, WriteStatus::kNotOpened) << c.log;
    if (!c.reason.empty()) {
      EXPECT_EQ(write.reason, c.reason) << c.log;
    }
  }
  ::SetFileAttributesW(Utf8ToWide(dir / "ro.jtb").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(dir / "ro.jtb"), "read-only table\r\n");
  EXPECT_EQ(ListFolder(dir.path()), "folder.jtb ro.jtb");
}

TEST(WindowsTableWriter, RefusesToWriteOverTheLogUnderAnotherSpelling) {
  TempDir dir;
  WriteFile(dir / "inv.jtb", "log\r\n");
  TableWrite write = WriteTable(dir / "INV.jtb", NumberedRows());
  EXPECT_EQ(write.status, WriteStatus::kSameAsLog);
  EXPECT_EQ(ReadFile(dir / "inv.jtb"), "log\r\n");
}

TEST(WindowsTableWriter, WritesBesideALogWithANameOutsideTheCodePage) {
  TempDir dir;
  const std::string folder = dir / "\xce\xb1\xce\xb2 \xe6\xbc\xa2";  // "αβ 漢"
  ASSERT_TRUE(::CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr));
  const std::string log = folder + "\\\xd0\xb6.out";  // "ж.out"
  TableWrite write = WriteTable(log, NumberedRows());
  EXPECT_EQ(write.status, WriteStatus::kWritten) << write.reason;
  EXPECT_EQ(write.output_name, folder + "\\\xd0\xb6.jtb");
  EXPECT_NE(::GetFileAttributesW(Utf8ToWide(write.output_name).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace opjoin
