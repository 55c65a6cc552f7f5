// The run sequence: choose the log, scan it, write the table, and say what went wrong.
#pragma once

#include <string>

#include "front/options.h"

namespace opjoin {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitStartupFailure = 1;
inline constexpr int kExitFailure = 2;

// Runs once, as the options say. Returns the exit status.
int Run(const Options& options);

}  // namespace opjoin
