// The program's entry on Linux: the arguments arrive as bytes, taken as they are.
#include <string>
#include <vector>

#include "front/program.h"

int main(int argc, char** argv) {
  return opjoin::RunProgram(std::vector<std::string>(argv + 1, argv + argc));
}
