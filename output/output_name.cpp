#include "output/output_name.h"

#include "base/path.h"

namespace opjoin {

std::string OutputNameFor(std::string_view log_path) {
  return WithExtension(log_path, OutputExtension);
}

}  // namespace opjoin
