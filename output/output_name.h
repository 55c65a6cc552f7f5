// Names the table after its log: the log's file name with the extension "jtb".
#pragma once

#include <string>
#include <string_view>

namespace opjoin {

inline constexpr std::string_view OutputExtension = "jtb";

// `log_path` with the file name's extension replaced by OutputExtension, or ".jtb" appended
// when it has none (see WithExtension). Folder names are never touched.
std::string OutputNameFor(std::string_view log_path);

}  // namespace opjoin
