#pragma once

// Two opened workbooks compared record by record. The substreams pair by
// sheet name (then by order); inside a pair, records that have a key pair
// by it (cells by row and column, ROW by row, BOUNDSHEET by name, XF, FONT
// and STYLE by their place, ...) and the others by a sequence alignment of
// their types and contents, so one inserted record reads as one addition.
// A record and its CONTINUE records compare as one; an SST compares by its
// strings and a LABELSST by its text, not the string's number; a cell whose
// XF index alone changed is a change of style. What a writer derives from
// the layout (INDEX, DBCELL and EXTSST, a BOUNDSHEET's stream position) and
// how a file is locked (FILEPASS) never count as differences.
//
//   TWorkbookDiff diff = CompareRecords(a, b, options);   // both loaded, kpRecords
//   for (const TRecordDifference& d : diff.Differences) ...

#include "xls/compare/FieldDiff.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TDiffOptions {
  /// Record types left out of the comparison ("WRITEACCESS"), by their
  /// catalogue type or their name in the record list.
  std::vector<std::string> IgnoredTypes;
  /// Fields left out, as TYPE.FIELD ("BOF.build"); a field's inner fields
  /// go with it.
  std::vector<std::string> IgnoredFields;
  /// Make TWorkbookDiff::Rows (the side-by-side list).
  bool KeepRows = false;
  /// Field differences listed per record at most (the rest are counted).
  std::size_t MostFields = 1000;
};

enum class TDiffOp : std::uint8_t { doChanged, doAdded, doRemoved };

/// "changed", "added" or "removed".
const char* DiffOpName(TDiffOp op);

struct TRecordDifference {
  TDiffOp Op = TDiffOp::doChanged;
  std::size_t Part = 0;  // into TWorkbookDiff::Parts
  std::string Type;      // the catalogue's type ("NUMBER"), else the list's name
  std::string Cell;      // a cell record's cell ("B3")
  std::string Key;       // another keyed record's key ("row 7", "XF 21", "Sheet2")
  /// The record's index (its number less 1) in A and in B.
  std::optional<std::size_t> A;
  std::optional<std::size_t> B;
  bool Style = false;  // a cell whose XF index alone changed
  std::vector<TFieldDifference> Fields;  // for a changed record
  std::size_t FieldsLeftOut = 0;
};

/// A pair of substreams (or one only one workbook has).
struct TDiffPart {
  std::string Name;   // "globals", a sheet's name, "sheet 3" for one without
  std::string NameB;  // B's name where it differs (a renamed sheet)
  bool InA = true;
  bool InB = true;
  std::size_t Changed = 0;
  std::size_t Added = 0;
  std::size_t Removed = 0;
};

inline constexpr std::uint32_t kNoDiffRecord = 0xFFFFFFFFu;

/// One row of the side-by-side list: a record of A, of B, or of both.
struct TDiffRow {
  std::uint32_t A = kNoDiffRecord;
  std::uint32_t B = kNoDiffRecord;
  std::int32_t Difference = -1;  // into TWorkbookDiff::Differences; -1: the same
  std::uint32_t Part = 0;        // into TWorkbookDiff::Parts
};

struct TWorkbookDiff {
  std::vector<TDiffPart> Parts;
  /// In stream order, part by part.
  std::vector<TRecordDifference> Differences;
  /// With KeepRows: every record of both workbooks, aligned; a record and
  /// its CONTINUE records in rows after one another.
  std::vector<TDiffRow> Rows;
};

/// Compares the records `a` and `b` keep (TKeep::kpRecords, both loaded).
TWorkbookDiff CompareRecords(TOpenedWorkbook& a, TOpenedWorkbook& b, const TDiffOptions& options);

/// The name a comparison gives a record code: its catalogue type, else its
/// name in the record list, else "0x" and the code.
std::string DiffTypeName(std::uint16_t code);
