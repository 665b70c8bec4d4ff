#pragma once

#include <cstdint>
#include <span>

/// A built-in function of the sheet function table ([MS-XLS] 2.5.198.17
/// Ftab), or a macro command of the command table (2.5.198.4 Cetab).
struct TFunctionInfo {
  std::uint16_t Index = 0;
  const char* Name = nullptr;
  /// Arguments a tFunc token of this function takes; kVariableArguments for
  /// a function that was never stored with a fixed count (always tFuncVar).
  /// For functions whose optional arguments came in a later version
  /// (VLOOKUP, WEEKDAY, TRUNC, ...) this is the count of the versions that
  /// stored them as tFunc.
  std::int8_t FixedArguments = 0;
};

inline constexpr std::int8_t kVariableArguments = -1;
/// The function number of a call to a user-defined or add-in function,
/// whose name is the call's first operand.
inline constexpr std::uint16_t kUserDefinedFunction = 255;

/// The sheet function with that number, nullptr for a number no Excel used.
const TFunctionInfo* FindSheetFunction(std::uint16_t index);
/// The macro command with that number (without the command flag 0x8000),
/// nullptr for an unknown number.
const TFunctionInfo* FindMacroCommand(std::uint16_t index);
/// Both tables whole, sorted by number (for listings and tests).
std::span<const TFunctionInfo> SheetFunctions();
std::span<const TFunctionInfo> MacroCommands();
