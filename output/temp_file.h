// The table's temporary file: made in the table's folder, and either renamed over the table
// or gone, even when a signal ends the program part way.
#pragma once

#include <string>

#include "base/unique_fd.h"

namespace opjoin {

// A new file in a folder that has no name while it is written (O_TMPFILE), and gets one only
// for the instant between linking it into the folder and renaming it over the target. Where
// the file system or /proc cannot give such a file, it is a named file ".opjoin-XXXXXX" that
// any catchable signal ending the program removes first.
class TempFile {
 public:
  TempFile() = default;
  // Removes the file unless it was committed.
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file, with the permissions a new file gets, in the folder open as `folder`,
  // which the caller keeps open for the file's life.
  bool Create(int folder, std::string* error);

  // The descriptor to write to, while the file is not committed.
  int fd() const { return file_.get(); }

  // Gives the complete and synced file the name `name` in its folder, replacing whatever had
  // that name, with the ending signals held back meanwhile.
  bool Commit(const std::string& name, std::string* error);

 private:
  bool CreateNamed(std::string* error);
  bool LinkIntoFolder(std::string* error);
  static void RemoveNamed(void* self);

  int folder_ = -1;
  UniqueFd file_;
  bool has_name_ = false;    // the file stands in the folder as name_
  bool remembered_ = false;  // a signal removes it
  std::string name_;
};

}  // namespace opjoin
