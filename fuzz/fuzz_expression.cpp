// Fuzz target: the expression language end to end. The input is split at
// the first newline into a function definition and an expression; both run
// through the tokenizer, the tree builder and the evaluator with a registry
// and a fixed environment. Any exception must be one of the project's own.
#include "expr/ZymParser.h"
#include "platform/Environment.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TFixedEnvironment environment(UsEnglishLocale(), 46000.5, 7);
  const TEnvironmentScope scope(environment);
  TExpressionModule module;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  try {
    if (newline != std::string::npos)
      module.Functions().Add(input.substr(0, newline));
  } catch (const EBiffLensError&) {
  }
  TZymParser parser;
  parser.SetText(newline == std::string::npos ? input : input.substr(newline + 1));
  try {
    parser.Calculate();
  } catch (const EBiffLensError&) {
  }
  return 0;
}
