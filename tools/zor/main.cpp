// zor: the command-line host for people who maintain configuration files.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/zor/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return zorcli::Run(args, stdout, stderr);
}
