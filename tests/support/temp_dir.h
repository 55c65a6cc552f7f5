// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace opjoin::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                        ("opjoin-test-" + std::to_string(random() % 1000000000));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        path_ = candidate.string();
      }
    }
    if (path_.empty()) {
      throw std::runtime_error("cannot make a temporary folder");
    }
  }
  ~TempDir() {
    std::error_code ignored;
    // Restore write access where a test took it away, so that everything can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path);
  }
}

// The bytes of the file at `path`, read in one go: some files here are megabytes long.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code error;
  std::string bytes(std::filesystem::file_size(path, error), '\0');
  if (error || !in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot read " + path);
  }
  return bytes;
}

// The names in `folder`, sorted, as one string "a b c".
inline std::string ListFolder(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  std::string listing;
  for (const std::string& name : names) {
    listing += (listing.empty() ? "" : " ") + name;
  }
  return listing;
}

}  // namespace opjoin::testing
