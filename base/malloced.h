// Ownership of the strings that C functions return in memory from malloc (getcwd, realpath,
// readline).
#pragma once

#include <cstdlib>
#include <memory>

namespace opjoin {

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};
using MallocedChars = std::unique_ptr<char, FreeDeleter>;

}  // namespace opjoin
