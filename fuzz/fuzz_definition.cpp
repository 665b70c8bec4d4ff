// Fuzz target: the definition parser of user functions, then one call of
// the function with its arguments unset.
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
  TZymParserFunction function;
  try {
    function.SetDefinition(std::string(reinterpret_cast<const char*>(data), size));
    if (function.ArgCount() > 11)
      __builtin_trap();
    function.Calculate();
  } catch (const EBiffLensError&) {
  }
  return 0;
}
