// opjoin: joins the MOS operating-point listing of a SmartSpice log into a table file.
#include <cstdio>
#include <string>
#include <vector>

#include "front/messages.h"
#include "front/options.h"
#include "front/run.h"

#ifndef OPJOIN_VERSION
#define OPJOIN_VERSION "unknown"
#endif

namespace {

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// Standard output may be a full disk or a closed pipe: say so rather than pass for success.
int FinishOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("opjoin: cannot write to standard output\n", stderr);
    return status == opjoin::kExitSuccess ? opjoin::kExitFailure : status;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using opjoin::Options;
  std::string error;
  std::optional<Options> options =
      opjoin::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "opjoin: %s\n", error.c_str());
    Print(stderr, opjoin::messages::kUsage);
    std::fputs("Try 'opjoin --help' for more information.\n", stderr);
    return opjoin::kExitFailure;
  }
  switch (options->action) {
    case Options::Action::kHelp:
      Print(stdout, opjoin::messages::kUsage);
      Print(stdout, opjoin::messages::kHelp);
      return FinishOutput(opjoin::kExitSuccess);
    case Options::Action::kVersion:
      Print(stdout, "opjoin " OPJOIN_VERSION "\n");
      return FinishOutput(opjoin::kExitSuccess);
    case Options::Action::kRun:
      break;
  }
  return FinishOutput(opjoin::Run(*options));
}
