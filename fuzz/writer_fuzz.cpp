// Writes arbitrary rows under an arbitrary log name and checks that the table reads back
// exactly, lands where its name says, and that nothing else is left in the folder.
//
// Input: the log's file name, a line feed, then the rows separated by line feeds (missing rows
// are empty). The name loses any '/' and NUL, so every file stays in the fuzzer's own folder.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "extract/listing_scanner.h"
#include "output/output_name.h"
#include "output/table_writer.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "writer fuzz: %s\n", what.c_str());
  std::abort();
}

// A fresh folder on a memory file system when there is one, so that fsync costs nothing.
const std::string& Folder() {
  static const std::string folder = [] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/opjoin-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      Fail("cannot make a folder");
    }
    return pattern;
  }();
  // Left in place after a failure, to show what was there.
  static const int removal = std::atexit([] { ::rmdir(Folder().c_str()); });
  (void)removal;
  return folder;
}

// The names in the folder, other than . and ..
std::size_t EntryCount(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    Fail("cannot list the folder");
  }
  std::size_t count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    count += name != "." && name != ".." ? 1 : 0;
  }
  ::closedir(dir);
  return count;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Fail("cannot read " + path);
  }
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t name_end = std::min(input.find('\n'), input.size());
  std::string name;
  for (char c : input.substr(0, std::min<std::size_t>(name_end, 200))) {
    if (c != '/' && c != '\0') {
      name += c;
    }
  }
  if (name.empty()) {
    name = "log";
  }
  opjoin::ParameterRows rows;
  std::string_view rest = input.substr(std::min(name_end + 1, input.size()));
  for (std::string& row : rows) {
    std::size_t end = std::min(rest.find('\n'), rest.size());
    row = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }

  const std::string log = Folder() + "/" + name;
  const std::string table = opjoin::OutputNameFor(log);
  opjoin::WriteFailure failure;
  std::string error;
  if (opjoin::WriteTable(log, rows, &failure, &error)) {
    std::string expected;
    for (const std::string& row : rows) {
      expected += row + "\n";
    }
    if (ReadWhole(table) != expected) {
      Fail("the table does not read back as written: " + table);
    }
    if (EntryCount(Folder()) != 1) {
      Fail("more than the table is in the folder");
    }
    if (::unlink(table.c_str()) != 0) {
      Fail("cannot remove " + table);
    }
  } else if (failure != opjoin::WriteFailure::kSameAsLog) {
    Fail("the write failed: " + error);
  } else if (table != log) {
    Fail("refused a table that is not the log");
  }
  if (EntryCount(Folder()) != 0) {
    Fail("a file was left behind");
  }
  return 0;
}
