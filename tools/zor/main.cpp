// zor: the command-line host for people who maintain configuration files.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/zor/commands.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Files pass through stdin and stdout byte for byte, without line-end translation.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return zorcli::Run(args, stdout, stderr);
}
