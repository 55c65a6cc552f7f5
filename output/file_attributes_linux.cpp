#include "output/file_attributes_linux.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

#include "base/diagnostic.h"
#include "base/unique_fd.h"
#include "output/write_reasons.h"

namespace opjoin {

namespace {

constexpr const char* kAclName = "system.posix_acl_access";
constexpr std::string_view kUserPrefix = "user.";

// The old file's extended attributes, read through /proc when the file cannot be opened for
// reading (permission is only needed for the user.* ones), or through a descriptor otherwise.
class AttributeReader {
 public:
  AttributeReader(int folder, const std::string& name) {
    file_.Reset(
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file_) {
      file_.Reset(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
      by_path_ = true;
    }
  }

  // The attribute names, or nullopt with `error` set.
  std::optional<std::vector<std::string>> Names(std::string* error) const {
    std::string list;
    if (!Read(
            [&](char* buffer, std::size_t size) {
              return by_path_ ? ::listxattr(Path().c_str(), buffer, size)
                              : ::flistxattr(file_.get(), buffer, size);
            },
            &list, error)) {
      return std::nullopt;
    }
    std::vector<std::string> names;
    for (std::size_t start = 0; start < list.size();) {
      std::size_t end = list.find('\0', start);
      names.push_back(list.substr(start, end - start));
      start = end + 1;
    }
    return names;
  }

  // The value of `name`; nullopt with `error` empty when the file has none.
  std::optional<std::string> Value(const std::string& name, std::string* error) const {
    std::string value;
    if (!Read(
            [&](char* buffer, std::size_t size) {
              return by_path_ ? ::getxattr(Path().c_str(), name.c_str(), buffer, size)
                              : ::fgetxattr(file_.get(), name.c_str(), buffer, size);
            },
            &value, error)) {
      if (errno == ENODATA || errno == ENOTSUP) {
        error->clear();  // none, or a file system that has no such attributes
      }
      return std::nullopt;
    }
    return value;
  }

 private:
  std::string Path() const { return "/proc/self/fd/" + std::to_string(file_.get()); }

  // Calls `get` as the *xattr functions take it, growing the buffer until the value fits.
  template <typename Get>
  bool Read(Get get, std::string* bytes, std::string* error) const {
    if (!file_) {
      *error = ErrnoText(EBADF);
      return false;
    }
    for (;;) {
      ssize_t size = get(nullptr, 0);
      if (size >= 0) {
        bytes->resize(static_cast<std::size_t>(size));
        size = get(bytes->data(), bytes->size());
      }
      if (size >= 0) {
        bytes->resize(static_cast<std::size_t>(size));
        return true;
      }
      if (errno != ERANGE) {  // ERANGE: it grew between the two calls
        const int failure = errno;
        *error = ErrnoText(failure);
        errno = failure;
        return false;
      }
    }
  }

  UniqueFd file_;
  bool by_path_ = false;
};

// Collects what could not be kept, for one warning.
class Losses {
 public:
  void Add(std::string_view what, const std::string& reason) {
    text_ += text_.empty() ? "" : write_reasons::kComma;
    text_ += what;
    text_ += " (" + reason + ")";
  }
  bool None() const { return text_.empty(); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

void KeepOwnerAndGroup(const struct stat& old, int to, Losses* losses) {
  if (::fchown(to, old.st_uid, old.st_gid) == 0) {
    return;
  }
  const std::string owner_error = ErrnoText(errno);
  if (old.st_uid != ::geteuid()) {
    losses->Add(write_reasons::kOwner, owner_error);
  }
  if (::fchown(to, static_cast<uid_t>(-1), old.st_gid) != 0) {
    const int group_error = errno;
    struct stat now;
    if (::fstat(to, &now) != 0 || now.st_gid != old.st_gid) {
      losses->Add(write_reasons::kGroup, ErrnoText(group_error));
    }
  }
}

void KeepAcl(const AttributeReader& reader, int to, Losses* losses) {
  std::string error;
  std::optional<std::string> acl = reader.Value(kAclName, &error);
  if (!error.empty()) {
    losses->Add(write_reasons::kAcl, error);
  } else if (acl) {
    if (::fsetxattr(to, kAclName, acl->data(), acl->size(), 0) != 0) {
      losses->Add(write_reasons::kAcl, ErrnoText(errno));
    }
  } else if (::fremovexattr(to, kAclName) != 0 && errno != ENODATA && errno != ENOTSUP) {
    // The new file took the folder's default ACL, which the old one did not have.
    losses->Add(write_reasons::kAcl, ErrnoText(errno));
  }
}

void KeepUserAttributes(const AttributeReader& reader, int to, Losses* losses) {
  std::string error;
  std::optional<std::vector<std::string>> names = reader.Names(&error);
  if (!names) {
    if (errno != ENOTSUP) {  // a file system without attributes has none to keep
      losses->Add(write_reasons::kAttributes, error);
    }
    return;
  }
  for (const std::string& name : *names) {
    if (!name.starts_with(kUserPrefix)) {
      continue;
    }
    std::optional<std::string> value = reader.Value(name, &error);
    if (!value) {
      if (!error.empty()) {
        losses->Add(write_reasons::kAttributes, error);
        return;
      }
      continue;  // removed meanwhile
    }
    if (::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) {
      losses->Add(write_reasons::kAttributes, ErrnoText(errno));
      return;
    }
  }
}

}  // namespace

bool KeepAttributes(int folder, const std::string& name, const struct stat& old, int to,
                    std::string* error) {
  Losses losses;
  KeepOwnerAndGroup(old, to, &losses);
  // After the owner: changing the owner clears the set-user-ID and set-group-ID bits.
  if (::fchmod(to, old.st_mode & 07777) != 0) {
    losses.Add(write_reasons::kMode, ErrnoText(errno));
  }
  AttributeReader reader(folder, name);
  KeepAcl(reader, to, &losses);
  KeepUserAttributes(reader, to, &losses);
  if (losses.None()) {
    return true;
  }
  *error = losses.Text();
  return false;
}

}  // namespace opjoin
