#pragma once

// Link targets of formulas: the encoded paths of SUPBOOK and BIFF2-7
// EXTERNSHEET records spelt out as Excel writes them before a "!"
// ("'C:\dir\[Book2.xls]Prices'!", "App|Topic!"). Private to the formula
// decoder.

#include <string>
#include <string_view>

namespace FormulaDecode {

// First characters of an encoded path ([MS-XLS] 2.5.277 VirtualPath; BIFF2-7
// EXTERNSHEET adds the marks for the own book).
inline constexpr char kUrlEncoded = 0x01;      // an encoded path follows
inline constexpr char kUrlSelf = 0x02;         // this book (a sheet name may follow)
inline constexpr char kUrlSelfSheet = 0x03;    // a sheet of this book follows
inline constexpr char kUrlSelfNoSheet = 0x04;  // this book, no sheet
// Characters inside an encoded path.
inline constexpr char kUrlVolume = 0x01;      // drive letter follows ('@': UNC "\\")
inline constexpr char kUrlSameVolume = 0x02;  // the root of the book's own drive
inline constexpr char kUrlDirectory = 0x03;   // a directory separator
inline constexpr char kUrlParent = 0x04;      // one directory up
inline constexpr char kUrlLongVolume = 0x05;  // a count, then that many characters of volume or URL
inline constexpr char kUrlStartup = 0x06;     // Excel's start-up directory
inline constexpr char kUrlAltStartup = 0x07;  // the alternative start-up directory
inline constexpr char kUrlLibrary = 0x08;     // Excel's library directory

/// An encoded link target: the directory, the file, the sheet.
struct TLink {
  bool Self = false;
  std::string Directory;  // ends with a path separator when not empty
  std::string File;
  std::string Sheet;
  bool HasSheet = false;
};

/// Fills `link` from `encoded` (its strings keep their capacity from call
/// to call).
void DecodeLink(std::string_view encoded, TLink& link);

/// "dir\[file]sheet" (or "dir\[file]first:last"), between apostrophes as a
/// whole when any part needs them (a path always does); without sheets
/// (`hasSheets` false) the file stands alone.
void AppendBookPrefix(std::string& out, const TLink& link, std::string_view first,
                      std::string_view last, bool hasSheets);

/// A DDE link's "application|topic": `path` is "application\x03topic".
void AppendDdePrefix(std::string& out, std::string_view path);

}  // namespace FormulaDecode
