#pragma once

#include "xls/MSExcel.h"
#include "xls/crypto/Secret.h"

#include <memory>
#include <ostream>
#include <string>

/// A command's reader. Leaving the command frees it, unless the tool keeps
/// readers until the process ends (KeepReadersUntilExit); then it is parked
/// instead, as freeing a big model only to end the process costs time.
class TCommandReader {
public:
  TCommandReader();
  ~TCommandReader();
  TCommandReader(const TCommandReader&) = delete;
  TCommandReader& operator=(const TCommandReader&) = delete;
  TMSExcel& operator*() const { return *FReader; }

private:
  std::unique_ptr<TMSExcel> FReader;
};

/// The password the workbook commands offer an encrypted workbook (after
/// Excel's default one) while this lives; none for nullptr. Keeps the
/// pointer: the caller keeps the secret alive longer than this.
class TCommandPassword {
public:
  explicit TCommandPassword(const TSecret* password);
  ~TCommandPassword();
  TCommandPassword(const TCommandPassword&) = delete;
  TCommandPassword& operator=(const TCommandPassword&) = delete;

private:
  const TSecret* FPrevious;
};

/// The path a command reads: "-" is standard input, read whole like any pipe.
std::string CommandInputPath(const std::string& fileName);

/// Writes a failure about `fileName` on `err`: "bifflens-cli: FILE: " and
/// `message` by the "." rule, one line.
void ReportFileError(std::ostream& err, const std::string& fileName, const std::string& message);
/// Writes a bad command line's message: "bifflens-cli: wrong arguments for
/// COMMAND", then the usage line and where the help is.
void ReportUsage(std::ostream& err, const char* command, const char* usage);

/// Loads the workbook, offering an encrypted one the command's password
/// (TCommandPassword) once; on failure prints the message on `err`
/// (ReportFileError) and returns false. What was read before the failure stays. Unless
/// `keepStream`, the workbook stream is read a window at a time (the
/// commands that use a record only while it is raised).
bool Load(TMSExcel& reader, const std::string& fileName, std::ostream& err, bool keepStream = false);
/// The same for a file already read whole: `bytes` are a compound file or a
/// bare stream (read from `fileName`), and the workbook stream is kept.
bool LoadBytes(TMSExcel& reader, const TSharedBytes& bytes, const std::string& fileName, std::ostream& err);

