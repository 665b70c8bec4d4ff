#pragma once

#include "xls/crypto/Secret.h"

#include <ostream>
#include <span>
#include <string>

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

/// `records FILE`: one JSON line per record raised through OnRecord.
int RunRecordsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `cells FILE`: one JSON line per stored cell, sheet by sheet, row by row.
int RunCellsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `hex FILE N`: the bytes of record N (from 1) as hex dump lines.
int RunHexCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
/// `stats FILE`: version, record count and per-sheet extent in one JSON
/// object; for an encrypted workbook also "encryption": its scheme and
/// whether it was opened.
int RunStatsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
