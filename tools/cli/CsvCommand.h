#pragma once

#include "export/CellRange.h"
#include "export/CsvFormat.h"
#include "platform/Errors.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

/// A command line the tool cannot run; the message says why.
class EUsageError : public EBiffLensError {
public:
  using EBiffLensError::EBiffLensError;
};

/// The csv command's command line.
struct TCsvCommandLine {
  std::string File;
  /// The --sheet values in their order: each a sheet's name, else its
  /// number from 1.
  std::vector<std::string> Sheets;
  bool AllSheets = false;
  /// -o: the files' path, with {n} and {name}; empty for standard output.
  std::string OutputPattern;
  TCellRange Range;
  TCsvFormat Format;
  /// --codepage: the code page for BIFF2-7 text; 0 takes the file's own.
  int CodePage = 0;
  /// --formulas: a formula cell's formula ("=A1+1") instead of its value.
  bool Formulas = false;
  bool Help = false;
};

/// Reads csv's arguments (those after "csv"): options in any order around
/// the one FILE, a value after its option or joined with "=". Later values
/// of an option replace earlier ones, except --sheet, which adds. Throws
/// EUsageError with one of the kMsgCsv texts for a bad command line.
TCsvCommandLine ParseCsvCommandLine(std::span<const std::string> args);

/// `csv FILE [OPTIONS]`: the chosen worksheets as CSV, to standard output or
/// to files. A damaged workbook gives what was read and exit 1 with the
/// reader's message; a bad command line exit 2 with the message and usage.
int RunCsvCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
