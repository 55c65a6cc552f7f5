// opjoin: joins the MOS operating-point listing of a SmartSpice log into a table file.
#include "front/program.h"

#include <new>

#include "base/console.h"
#include "base/diagnostic.h"
#include "front/messages.h"
#include "front/options.h"
#include "front/run.h"

namespace opjoin {

namespace {

// Standard output may be a full disk or a closed pipe: say so rather than pass for success.
int FinishOutput(int status) {
  if (!StandardOutputSucceeded()) {
    Diagnose(messages::kStandardOutputFailed);
    return status == kExitSuccess ? kExitFailure : status;
  }
  return status;
}

}  // namespace

int RunProgram(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) {
    Diagnose(error);
    WriteText(StandardStream::kError, messages::kUsage);
    WriteText(StandardStream::kError, messages::kTryHelp);
    return kExitFailure;
  }
  switch (options.action) {
    case Options::Action::kHelp:
      WriteText(StandardStream::kOutput, messages::kUsage);
      WriteText(StandardStream::kOutput, messages::kHelp);
      return FinishOutput(kExitSuccess);
    case Options::Action::kVersion:
      WriteText(StandardStream::kOutput, messages::kVersion);
      return FinishOutput(kExitSuccess);
    case Options::Action::kRun:
      break;
  }
  try {
    return FinishOutput(Run(options));
  } catch (const std::bad_alloc&) {  // a run that joins a log says so itself, naming the log
    Diagnose(messages::kOutOfMemoryAtAll);
    return kExitFailure;
  }
}

}  // namespace opjoin
