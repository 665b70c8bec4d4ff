#pragma once

// Link targets as the records store them: the text of a BIFF2-7
// EXTERNSHEET and the virtual path of a BIFF8 SUPBOOK, spelt out as a
// person writes them ("C:\dir\Book2.xls", "Excel|C:\x.xls") and split for
// the formula text ("'C:\dir\[Book2.xls]Prices'!").

#include <cstdint>
#include <string>
#include <string_view>

namespace LinkPath {

// First characters of a stored target ([MS-XLS] 2.5.277 VirtualPath; the
// BIFF2-7 EXTERNSHEET adds the marks of the own book and the add-ins).
inline constexpr char kEmptyBook = 0x00;   // no book name: "=Sheet1!A1", or "!A1" with no sheet
inline constexpr char kEncoded = 0x01;     // an encoded path follows
inline constexpr char kSelf = 0x02;        // this book (a sheet name may follow)
inline constexpr char kSelfSheet = 0x03;   // a sheet of this book follows
inline constexpr char kSelfNoSheet = 0x04; // this book, no sheet
inline constexpr char kAddIn = 0x3A;       // ":" alone: the add-in functions (BIFF5-7)
inline constexpr char kUnused = 0x20;      // " " alone: a SUPBOOK no longer used
// Characters inside an encoded path.
inline constexpr char kVolume = 0x01;      // drive letter follows ('@': UNC "\\")
inline constexpr char kSameVolume = 0x02;  // the root of the book's own drive
inline constexpr char kDirectory = 0x03;   // a directory separator; outside an encoded
                                           // path, what stands between a DDE or OLE
                                           // link's application and topic
inline constexpr char kParent = 0x04;      // one directory up
inline constexpr char kLongVolume = 0x05;  // a count, then that many characters of volume or URL
inline constexpr char kStartup = 0x06;     // Excel's start-up directory
inline constexpr char kAltStartup = 0x07;  // the alternative start-up directory
inline constexpr char kLibrary = 0x08;     // Excel's library directory

enum class TKind : std::uint8_t {
  lkSelf,       // this workbook
  lkEmptyBook,  // a book without a name: its sheet alone, or the sheet using the formula
  lkAddIn,      // the add-in functions
  lkBook,       // another workbook
  lkDde,        // a DDE or OLE link: application and topic
  lkUnused,     // nothing any more
};

/// A stored target taken apart. Texts are UTF-8 with no control
/// characters: one the rules above do not explain is escaped ("\x1F").
struct TTarget {
  TKind Kind = TKind::lkBook;
  std::string Directory;  // lkBook: ends with a path separator when not empty
  std::string File;       // lkBook: the file; lkDde: the application
  std::string Sheet;      // a sheet the target names; lkDde: the topic
  bool HasSheet = false;
};

/// Fills `target` from `stored` (its strings keep their capacity from call
/// to call, so a caller may keep one for many targets).
void Decode(std::string_view stored, TTarget& target);

/// The target as a person writes it: the path of a book ("\\server\share\Book.xls",
/// "[Book.xls]Sheet1" where the record names a sheet), "application|topic"
/// for a DDE or OLE link, and for the marks "this workbook", "add-in
/// functions", "no book name" and "unused".
std::string Text(std::string_view stored);

/// Appends `text`, each control character escaped as "\xNN": names and
/// paths from a file never show one raw.
void AppendVisible(std::string& out, std::string_view text);

}  // namespace LinkPath
