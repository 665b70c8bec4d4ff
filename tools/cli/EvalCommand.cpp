#include "EvalCommand.h"

#include "Commands.h"
#include "expr/ZymParser.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/VariantOps.h"

#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr char kEvalUsage[] = "Usage: bifflens-cli eval EXPR [--define \"NAME(args)=body\"]...\n";

}  // namespace

int RunEvalCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
  std::optional<std::string> expression;
  std::vector<std::string> definitions;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--define") {
      if (i + 1 == args.size()) {
        err << "bifflens-cli: eval: --define needs a definition\n" << kEvalUsage;
        return kExitUsage;
      }
      definitions.push_back(args[++i]);
    } else if (arg.starts_with("--")) {
      // Expressions never start with "--": "-" takes no operand on its left.
      err << "bifflens-cli: eval: unknown option '" << arg << "'\n" << kEvalUsage;
      return kExitUsage;
    } else if (expression) {
      err << "bifflens-cli: eval: one expression only\n" << kEvalUsage;
      return kExitUsage;
    } else {
      expression = arg;
    }
  }
  if (!expression) {
    err << "bifflens-cli: eval needs an expression\n" << kEvalUsage;
    return kExitUsage;
  }

  try {
    // A registry for this run, so definitions do not outlive it.
    TExpressionModule module;
    for (const std::string& definition : definitions)
      module.Functions().Add(definition);
    TZymParser parser;
    parser.SetText(*expression);
    const TVariant result = parser.Calculate();
    out << VarTypeName(result.Type()) << '\t' << VarToStr(result) << '\n';
    return kExitOk;
  } catch (const std::exception& error) {
    err << "bifflens-cli: eval: " << ErrorBoxText(ExceptionText(error)) << '\n';
    return kExitFailure;
  }
}
