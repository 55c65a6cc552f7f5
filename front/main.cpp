// opjoin: joins the MOS operating-point listing of a SmartSpice log into a table file.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "base/diagnostic.h"
#include "front/messages.h"
#include "front/options.h"
#include "front/run.h"

namespace {

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// Standard output may be a full disk or a closed pipe: say so rather than pass for success.
int FinishOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    opjoin::Diagnose(opjoin::messages::kStandardOutputFailed);
    return status == opjoin::kExitSuccess ? opjoin::kExitFailure : status;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using opjoin::Options;
  Options options;
  std::string error;
  if (!opjoin::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    opjoin::Diagnose(error);
    Print(stderr, opjoin::messages::kUsage);
    Print(stderr, opjoin::messages::kTryHelp);
    return opjoin::kExitFailure;
  }
  switch (options.action) {
    case Options::Action::kHelp:
      Print(stdout, opjoin::messages::kUsage);
      Print(stdout, opjoin::messages::kHelp);
      return FinishOutput(opjoin::kExitSuccess);
    case Options::Action::kVersion:
      Print(stdout, opjoin::messages::kVersion);
      return FinishOutput(opjoin::kExitSuccess);
    case Options::Action::kRun:
      break;
  }
  try {
    return FinishOutput(opjoin::Run(options));
  } catch (const std::bad_alloc&) {  // a run that joins a log says so itself, naming the log
    opjoin::Diagnose(opjoin::messages::kOutOfMemoryAtAll);
    return opjoin::kExitFailure;
  }
}
