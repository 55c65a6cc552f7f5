// The whole program once its arguments are in UTF-8: what main (main_linux.cpp) or wmain
// (main_windows.cpp) runs.
#pragma once

#include <string>
#include <vector>

namespace opjoin {

// Runs opjoin with `args`, the arguments after the program's name. Returns the exit status.
int RunProgram(const std::vector<std::string>& args);

}  // namespace opjoin
