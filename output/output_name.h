// Names the table after its log: the log's file name with the extension "jtb".
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

inline constexpr std::string_view OutputExtension = "jtb";

// Replaces what follows the last dot of the file name (the part after the last '/') with
// OutputExtension. A name with no dot, or whose only dot is its first character, gets
// ".jtb" appended. Folder names are never touched.
std::string OutputNameFor(std::string_view log_path);

}  // namespace opjoin
