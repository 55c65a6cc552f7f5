#include "output/output_name.h"

namespace opjoin {

std::string OutputNameFor(std::string_view log_path) {
  std::size_t slash = log_path.rfind('/');
  std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = log_path.rfind('.');
  std::string name(log_path);
  if (dot == std::string_view::npos || dot <= name_start) {
    name += '.';
  } else {
    name.resize(dot + 1);
  }
  name += OutputExtension;
  return name;
}

}  // namespace opjoin
