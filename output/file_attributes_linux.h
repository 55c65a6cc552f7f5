// What makes a table shared: its owner and group, permissions, access control list and user
// attributes, carried over from the old table to the one that replaces it.
#pragma once

#include <sys/stat.h>

#include <string>

namespace opjoin {

// Gives the new file open as `to` what the old file `name` in the folder open as `folder`
// (described by `old`) has, in this order and as far as this user may: owner and group,
// permissions, access control list (system.posix_acl_access) and user.* attributes. Other
// attribute name spaces need privileges and are left alone. False, with `error` naming what
// could not be kept and why, when something could not; the rest is kept all the same.
bool KeepAttributes(int folder, const std::string& name, const struct stat& old, int to,
                    std::string* error);

}  // namespace opjoin
