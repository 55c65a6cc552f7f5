#include "output/table_place_linux.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string_view>

#include "base/diagnostic.h"
#include "base/path.h"
#include "base/text.h"
#include "output/write_reasons.h"

namespace opjoin {

namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The kernel's protected_symlinks=1 rule for a link owned by `link_owner` in `folder`.
bool MayFollowLink(uid_t link_owner, const struct stat& folder) {
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return !shared || link_owner == ::geteuid() || link_owner == folder.st_uid;
}

// The text of the link `name` in `folder`, however long.
bool ReadLink(int folder, const std::string& name, std::string* target, std::string* error) {
  std::string text(256, '\0');
  for (;;) {
    ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
    if (length < 0) {
      *error = ErrnoText(errno);
      return false;
    }
    if (static_cast<std::size_t>(length) < text.size()) {
      text.resize(static_cast<std::size_t>(length));
      *target = std::move(text);
      return true;
    }
    text.resize(text.size() * 2);
  }
}

// Moves `place` into the folder `name` in it.
bool EnterFolder(TablePlace* place, const std::string& name, std::string* error) {
  UniqueFd next(::openat(place->folder.get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
  if (!next || ::fstat(next.get(), &place->folder_info) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  place->folder = std::move(next);
  return true;
}

bool EnterRoot(TablePlace* place, std::string* error) {
  UniqueFd root(::open("/", kFolderFlags));
  if (!root || ::fstat(root.get(), &place->folder_info) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  place->folder = std::move(root);
  return true;
}

}  // namespace

bool FindTablePlace(const std::string& path, TablePlace* place, std::string* error) {
  // The folder is the log's, reached as the user named it.
  std::string shown_folder = FolderOf(path);
  place->folder.Reset(::open(shown_folder.c_str(), kFolderFlags));
  if (!place->folder || ::fstat(place->folder.get(), &place->folder_info) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  std::deque<std::string> names = {std::string(FileNameOf(path))};
  int links = 0;
  while (!names.empty()) {
    std::string name = std::move(names.front());
    names.pop_front();
    const bool last = names.empty();
    if (name == "." || name == "..") {
      if (last) {
        *error = ErrnoText(EISDIR);
        return false;
      }
      if (name == ".." && !EnterFolder(place, name, error)) {
        return false;
      }
      shown_folder = name == ".." ? FolderOf(shown_folder) : shown_folder;
      continue;
    }
    struct stat info;
    if (::fstatat(place->folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT && last) {
        place->name = name;
        place->exists = false;
        return true;
      }
      *error = ErrnoText(errno);
      return false;
    }
    const std::string shown = AbsolutePath(shown_folder, name);
    if (S_ISLNK(info.st_mode)) {
      if (!MayFollowLink(info.st_uid, place->folder_info)) {
        *error = Fill(write_reasons::kLinkNotFollowed, {shown});
        return false;
      }
      std::string target;
      if (++links > kMaxLinks) {
        *error = ErrnoText(ELOOP);
        return false;
      }
      if (!ReadLink(place->folder.get(), name, &target, error)) {
        return false;
      }
      if (target.empty()) {
        *error = ErrnoText(ENOENT);
        return false;
      }
      if (IsAbsolute(target)) {
        if (!EnterRoot(place, error)) {
          return false;
        }
        shown_folder.assign(1, '/');  // not = "/": GCC 12 warns wrongly (-Wrestrict)
      }
      std::vector<std::string> target_names = PathComponents(target);
      names.insert(names.begin(), target_names.begin(), target_names.end());
      continue;
    }
    if (last) {
      place->name = name;
      place->exists = true;
      place->existing = info;
      return true;
    }
    if (!S_ISDIR(info.st_mode)) {
      *error = ErrnoText(ENOTDIR);
      return false;
    }
    if (!EnterFolder(place, name, error)) {
      return false;
    }
    shown_folder = shown;
  }
  *error = ErrnoText(EISDIR);  // only a name that ends in a folder gets here
  return false;
}

}  // namespace opjoin
