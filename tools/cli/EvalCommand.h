#pragma once

#include <ostream>
#include <span>
#include <string>

/// `bifflens-cli eval EXPR [--define "NAME(args)=body"]...`: evaluates EXPR
/// with a TZymParser. The run gets a registry of its own holding the three
/// start-up functions, then the --define ones in the order given. Prints
/// "<kind>\t<text>\n" (kind as VarTypeName, text as VarToStr, in the current
/// locale) and returns kExitOk; on a failing definition or evaluation prints
/// the message with the error-box "." rule on `err` and returns
/// kExitFailure; on a bad command line prints a usage line and returns
/// kExitUsage. `args` are the words after "eval".
int RunEvalCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
