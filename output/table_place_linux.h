// Where the table goes, after the symbolic links that stand in its place.
#pragma once

#include <sys/stat.h>

#include <string>

#include "base/unique_fd.h"

namespace opjoin {

struct TablePlace {
  UniqueFd folder;  // the folder the table stands in, held open for the calls at it
  struct stat folder_info = {};
  std::string name;  // the table's name in that folder
  bool exists = false;
  struct stat existing = {};  // what stands there now, when something does; never a link
};

// Finds where a write to `path` (absolute) lands: a symbolic link in the table's place is
// followed, dangling or not, as the shell's `>` would, so that the table is written at the
// link's target and the link stays. Every link met is followed only as the kernel's
// protected_symlinks=1 rule allows, whatever the machine's setting: when this user owns it,
// when its owner owns the folder it stands in, or when that folder is not both sticky and
// writable by everyone. False, with `error` set, when a link may not be followed, a folder on
// the way cannot be reached, or the links go round in a loop.
bool FindTablePlace(const std::string& path, TablePlace* place, std::string* error);

}  // namespace opjoin
