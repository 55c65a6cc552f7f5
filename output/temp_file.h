// The table's temporary file: made in the table's folder and either renamed over the table or
// removed, even when a signal ends the program part way.
#pragma once

#include <signal.h>

#include <cstddef>
#include <string>

namespace opjoin {

// The table's temporary file, in the table's folder. The folder is held open, so that the file
// is renamed or removed where it was made even when the folder is moved meanwhile.
//
// While alive, an ending signal removes the temporary file before it ends the program, and a
// file-size limit makes a write fail with EFBIG instead of ending the program. Signals the
// program ignores stay ignored. Creating and renaming the file each happen with the signals
// held back, so no signal falls between making the file and recording its name.
class TempFile {
 public:
  TempFile();
  // Putting back actions that were read successfully cannot fail, and closing a folder that
  // was only searched loses nothing.
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file, readable and writable by the owner only, in `folder`. Returns the open
  // descriptor, or -1 with errno set.
  int Create(const std::string& folder);

  // Renames the finished file to `target_name` in its folder, or removes it when `error` is set
  // or the rename fails. Returns the error, or 0.
  int Finish(const std::string& target_name, int error);

 private:
  int folder_ = -1;
  std::string name_;
  bool ready_ = true;          // every handler is in place
  std::size_t installed_ = 0;  // signals whose previous action was read
  bool file_size_action_changed_ = false;
  struct sigaction previous_file_size_action_ = {};
};

}  // namespace opjoin
