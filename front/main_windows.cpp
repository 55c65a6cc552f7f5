// The program's entry on Windows. The arguments arrive wide (wmain, linked with -municode) and
// are taken into UTF-8, the program's own text, so that names outside the user's code page
// survive. Standard streams are binary: the program writes CR LF itself (base/console.h).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/wide_windows.h"
#include "front/messages.h"
#include "front/program.h"

namespace {

// A console program started from Explorer gets a console of its own, which closes the moment
// the program exits. It is ours alone when no other process (a shell) is attached to it.
bool ConsoleIsOursAlone() {
  DWORD processes[2];
  if (::GetConsoleProcessList(processes, 2) != 1) {
    return false;
  }
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Keeps the console open until the user has read it and pressed Enter.
void WaitForEnter() {
  opjoin::WriteText(opjoin::StandardStream::kError,
                    "\n" + std::string(opjoin::messages::kPressEnterToClose));
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  wchar_t buffer[64];
  DWORD read = 0;
  while (::ReadConsoleW(input, buffer, 64, &read, nullptr) && read > 0) {
    if (std::wstring_view(buffer, read).find(L'\n') != std::wstring_view::npos) {
      break;
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(opjoin::WideToUtf8(argv[i]));
  }
  const bool console_ours = ConsoleIsOursAlone();
  int status = opjoin::RunProgram(args);
  if (console_ours) {
    WaitForEnter();
  }
  return status;
}
