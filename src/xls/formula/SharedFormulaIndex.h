#pragma once

// The formulas a sheet's cells point to with a tExp or tTbl token: SHRFMLA
// (shared formulas), ARRAY (array formulas) and TABLE (data tables), kept
// by their anchor cell. Each of these records follows the FORMULA record of
// the first cell of its range, so the reader adds them as it meets them and
// looks them up once the sheet is read (or whenever a cell is shown).

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

enum class TExcelVersion : std::uint8_t;

/// A cell position, zero-based.
struct TFormulaCell {
  std::uint16_t Row = 0;
  std::uint16_t Column = 0;
  bool operator==(const TFormulaCell&) const = default;
};

enum class TMasterKind : std::uint8_t { mkShared, mkArray, mkTable };

/// TABLE flags ([MS-XLS] 2.4.319 Table).
// fRw: a one-input table's input is a row input (else a column input).
inline constexpr std::uint16_t kTableRowInput = 0x0004;
// fTbl2: two inputs, the row input first.
inline constexpr std::uint16_t kTableTwoInputs = 0x0008;
// fDeleted1, fDeleted2: the first or second input cell was deleted.
inline constexpr std::uint16_t kTableFirstDeleted = 0x0010;
inline constexpr std::uint16_t kTableSecondDeleted = 0x0020;

/// One stored master formula. The spans point into the index: valid until
/// the next Add* or Clear.
struct TFormulaMaster {
  TMasterKind Kind = TMasterKind::mkShared;
  TFormulaCell First;  // the range the record gives
  TFormulaCell Last;
  /// mkShared, mkArray: the token array and the data after it.
  std::span<const std::uint8_t> Tokens;
  std::span<const std::uint8_t> Extra;
  /// mkTable: the flags and the input cells (the row input, or a one-input
  /// table's only input, first).
  std::uint16_t TableFlags = 0;
  TFormulaCell FirstInput;
  TFormulaCell SecondInput;
};

/// The masters of one sheet. Copies what it is given (at most a record
/// each), so the records need not stay alive.
class TSharedFormulaIndex {
public:
  void Clear();
  /// A SHRFMLA record's data (BIFF5-8). `host` is the cell of the FORMULA
  /// record it follows, when the reader knows it: writers get the range in
  /// the record wrong often enough that the host is the better key. False,
  /// with nothing stored, for a record too short for its own fields.
  bool AddSharedFormula(std::span<const std::uint8_t> data, const TFormulaCell* host = nullptr);
  /// An ARRAY record's data, laid out as `version` writes it.
  bool AddArray(std::span<const std::uint8_t> data, TExcelVersion version,
                const TFormulaCell* host = nullptr);
  /// A TABLE record's data (0x0236, BIFF3-8).
  bool AddTable(std::span<const std::uint8_t> data, const TFormulaCell* host = nullptr);

  /// The master a tExp or tTbl token with `anchor` points to, for the cell
  /// `cell`: one stored for that anchor (by host or by its range's first
  /// cell), preferring one whose range holds `cell`.
  std::optional<TFormulaMaster> Find(TFormulaCell anchor, TFormulaCell cell) const;
  std::size_t Size() const { return FEntries.size(); }

private:
  struct TEntry {
    TMasterKind Kind = TMasterKind::mkShared;
    TFormulaCell First;
    TFormulaCell Last;
    std::uint32_t TokensBegin = 0;
    std::uint32_t TokensSize = 0;
    std::uint32_t ExtraSize = 0;
    std::uint16_t TableFlags = 0;
    TFormulaCell FirstInput;
    TFormulaCell SecondInput;
  };
  void Store(TEntry entry, std::span<const std::uint8_t> tokens,
             std::span<const std::uint8_t> extra, const TFormulaCell* host);
  TFormulaMaster View(const TEntry& entry) const;
  static std::uint32_t Key(TFormulaCell cell)
  {
    return std::uint32_t{cell.Row} << 16 | cell.Column;
  }

  std::vector<std::uint8_t> FBytes;  // every master's tokens and data, one after the other
  std::vector<TEntry> FEntries;
  std::unordered_multimap<std::uint32_t, std::uint32_t> FByAnchor;  // key -> entry
};

/// A FORMULA record split into its fields.
struct TFormulaRecord {
  TFormulaCell Cell;
  std::span<const std::uint8_t> Tokens;
  std::span<const std::uint8_t> Extra;
};

/// Splits a FORMULA record's data (0x0006, 0x0206, 0x0406) as `version`
/// lays it out; nullopt when the record is shorter than its fields say
/// (a cell the reader shows with kMsgFormulaRecordTruncated). The spans
/// point into `data`.
std::optional<TFormulaRecord> ReadFormulaRecord(std::span<const std::uint8_t> data,
                                                TExcelVersion version);
