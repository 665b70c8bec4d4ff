// bifflens-cli: the headless face of BIFF Lens.
#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunCli(args, std::cout, std::cerr);
}
