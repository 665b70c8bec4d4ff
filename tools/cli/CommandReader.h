#pragma once

// The reader of one command and the load every command makes.

#include "xls/MSExcel.h"

#include <memory>
#include <ostream>
#include <string>

/// A command's reader. Leaving the command frees it, unless the tool keeps
/// readers until the process ends (KeepReadersUntilExit); then it is parked
/// instead.
class TCommandReader {
public:
  TCommandReader() : FReader(std::make_unique<TMSExcel>()) {}
  TCommandReader(const TCommandReader&) = delete;
  TCommandReader& operator=(const TCommandReader&) = delete;
  ~TCommandReader();
  TMSExcel& operator*() const { return *FReader; }

private:
  std::unique_ptr<TMSExcel> FReader;
};

/// Loads the workbook a window at a time (every command uses a record only
/// while it is raised, or the model after the load); on failure prints the
/// message by the "." rule on `err` and returns false. What was read before
/// the failure stays.
bool LoadCommandWorkbook(TMSExcel& reader, const std::string& fileName, std::ostream& err);
