#pragma once

// Shared pieces of the reader tests: a load that records what the reader
// raised, an independent splitter of record streams to compare the record
// list against, and small workbooks built around a test's own records.

#include "platform/Errors.h"
#include "support/BiffBuilder.h"
#include "xls/MSExcel.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const TVariant& value, std::ostream* os)
{
  *os << VarTypeName(value.Type());
  switch (value.Type()) {
  case TVarType::vtInteger: *os << " " << value.AsInteger(); break;
  case TVarType::vtDouble: *os << " " << value.AsDouble(); break;
  case TVarType::vtDate: *os << " " << value.AsDate(); break;
  case TVarType::vtString: *os << " \"" << value.AsString() << "\""; break;
  case TVarType::vtBoolean: *os << (value.AsBoolean() ? " true" : " false"); break;
  default: break;
  }
}

/// One record as raised through OnRecord (or as the splitter finds it).
struct TListedRecord {
  std::uint16_t Code = 0;
  std::uint16_t Length = 0;
  std::uint64_t Offset = 0;
  std::vector<std::uint8_t> Data;
  bool operator==(const TListedRecord&) const = default;
};

inline void PrintTo(const TListedRecord& r, std::ostream* os)
{
  *os << "{code 0x" << std::hex << r.Code << std::dec << ", length " << r.Length << ", offset "
      << r.Offset << ", " << r.Data.size() << " bytes}";
}

/// Every header-led record of a stream with the bytes that exist, read the
/// simple way: 4-byte header, then the data; fewer than 4 bytes end it.
inline std::vector<TListedRecord> SplitRecords(const std::vector<std::uint8_t>& stream)
{
  std::vector<TListedRecord> records;
  std::size_t at = 0;
  while (stream.size() - at >= 4) {
    TListedRecord r;
    r.Code = static_cast<std::uint16_t>(stream[at] | (stream[at + 1] << 8));
    r.Length = static_cast<std::uint16_t>(stream[at + 2] | (stream[at + 3] << 8));
    r.Offset = at;
    const std::size_t end = std::min(stream.size(), at + 4 + r.Length);
    r.Data.assign(stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                  stream.begin() + static_cast<std::ptrdiff_t>(end));
    records.push_back(std::move(r));
    at = end;
  }
  return records;
}

/// One OnCellValue call.
struct TReportedCell {
  int Sheet = 0;
  int Row = 0;
  int Column = 0;
  TVariant Value;
  bool operator==(const TReportedCell&) const = default;
};

inline void PrintTo(const TReportedCell& c, std::ostream* os)
{
  *os << "{sheet " << c.Sheet << ", row " << c.Row << ", col " << c.Column << ", ";
  PrintTo(c.Value, os);
  *os << "}";
}

/// A reader that has loaded `bytes` through LoadFromMemory; the records it
/// raised and the failure message (empty after a normal end) are kept.
/// `configure` runs before the load, to hook further events.
class TLoad {
public:
  explicit TLoad(const std::vector<std::uint8_t>& bytes,
                 const std::function<void(TLoad&)>& configure = {})
  {
    Reader.OnRecord = [this](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                             std::span<const std::uint8_t> data) {
      Records.push_back(TListedRecord{header.Code, header.Length, Reader.RecordOffset(),
                                      std::vector<std::uint8_t>(data.begin(), data.end())});
    };
    if (configure)
      configure(*this);
    Run(bytes);
  }
  TLoad(const TLoad&) = delete;
  TLoad& operator=(const TLoad&) = delete;

  /// Loads again in the same reader; the records list starts over.
  void Run(const std::vector<std::uint8_t>& bytes)
  {
    Records.clear();
    Error.clear();
    try {
      Reader.LoadFromMemory(bytes);
    } catch (const std::exception& e) {
      Error = e.what();
    }
  }

  /// Records cells through OnCellValue instead of the model.
  void RecordCells()
  {
    Reader.OnCellValue = [this](TCustomSpreadSheetFile&, int sheet, int row, int column, int,
                                const TVariant& value, TAlignment) {
      Cells.push_back(TReportedCell{sheet, row, column, value});
    };
  }

  /// The model's value at a place (Null where nothing is stored).
  TVariant Cell(int sheet, int row, int column) const
  {
    if (sheet >= Reader.Sheets().Count())
      return TVariant::Null();
    return Reader.Sheets().Items(sheet).Cells.GetCellValue(column, row);
  }

  std::vector<std::uint16_t> Codes() const
  {
    std::vector<std::uint16_t> codes;
    for (const auto& r : Records)
      codes.push_back(r.Code);
    return codes;
  }

  TMSExcel Reader;
  std::vector<TListedRecord> Records;
  std::vector<TReportedCell> Cells;
  std::string Error;
};

using TBuildStep = std::function<void(TBiffBuilder&)>;

/// A workbook stream with one worksheet "Sheet1": globals (BOF, the
/// `globals` records, BOUNDSHEET, EOF), then the sheet (BOF, `sheet`, EOF).
inline std::vector<std::uint8_t> OneSheetStream(TExcelVersion version, const TBuildStep& globals,
                                                const TBuildStep& sheet)
{
  TBiffBuilder b;
  b.Bof(version, TBofType::btGlobals);
  if (globals)
    globals(b);
  b.BoundSheet("Sheet1", 1).Eof().Bof(version);
  if (sheet)
    sheet(b);
  b.Eof();
  return b.Build();
}

/// The same in a compound file: "Workbook" from BIFF8 on, "Book" before.
inline std::vector<std::uint8_t> OneSheetBook(TExcelVersion version, const TBuildStep& globals,
                                              const TBuildStep& sheet)
{
  return InCompoundFile(OneSheetStream(version, globals, sheet),
                        version >= TExcelVersion::evExcel8 ? "Workbook" : "Book");
}

inline std::vector<std::uint8_t> Book8(const TBuildStep& globals, const TBuildStep& sheet)
{
  return OneSheetBook(TExcelVersion::evExcel8, globals, sheet);
}

inline std::vector<std::uint8_t> Book5(const TBuildStep& globals, const TBuildStep& sheet)
{
  return OneSheetBook(TExcelVersion::evExcel5, globals, sheet);
}

/// A bare stream of one version: BOF, the records, EOF.
inline std::vector<std::uint8_t> BareStream(TExcelVersion version, const TBuildStep& records)
{
  TBiffBuilder b;
  b.Bof(version);
  if (records)
    records(b);
  b.Eof();
  return b.Build();
}

/// `bytes` as a file in the temporary folder, removed again at the end.
class TTempFile {
public:
  explicit TTempFile(const std::vector<std::uint8_t>& bytes, const char* stem)
      : FPath(std::filesystem::temp_directory_path() /
              (std::string(stem) + "-" + std::to_string(::getpid()) + ".xls"))
  {
    std::ofstream out(FPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TTempFile() { std::filesystem::remove(FPath); }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  std::string Path() const { return FPath.string(); }

private:
  std::filesystem::path FPath;
};

inline TVariant Text(const char* text)
{
  return TVariant(std::string(text));
}
