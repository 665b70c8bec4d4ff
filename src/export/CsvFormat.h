#pragma once

#include <cstdint>

/// Which fields a CSV writer puts in quotes.
enum class TCsvQuote : std::uint8_t {
  cqMinimal,  // those holding the delimiter, a quote, CR or LF (RFC 4180)
  cqAll,      // every field, empty ones too
  cqNone,     // none: such fields are written as they are, and counted
};

enum class TCsvEol : std::uint8_t { ceLf, ceCrLf };

/// How date cells are written.
enum class TCsvDates : std::uint8_t {
  cdIso,     // ISO 8601 by the parts their number format shows
  cdSerial,  // the serial number, in the workbook's own date system
};

/// The choices of a CSV export; the defaults are the command-line tool's and
/// the viewer's.
struct TCsvFormat {
  char Delimiter = ',';
  TCsvQuote Quote = TCsvQuote::cqMinimal;
  TCsvEol Eol = TCsvEol::ceLf;
  bool Bom = false;  // a UTF-8 byte order mark first
  TCsvDates Dates = TCsvDates::cdIso;
};
