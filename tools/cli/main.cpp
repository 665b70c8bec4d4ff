// bifflens-cli: the headless face of BIFF Lens.
#include "Commands.h"
#include "platform/Environment.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
  // Numbers and dates in `eval` read and print the way the user's locale does.
  SetSystemLocale(LocaleFromEnvironment());
  std::vector<std::string> args(argv + 1, argv + argc);
  // From here on the command line shows no password ("ps", /proc).
  WipePasswordArguments(argc, argv);
  KeepReadersUntilExit();
  const int code = RunCli(args, std::cout, std::cerr);
  WipePasswordArguments(args);
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(code);
}
