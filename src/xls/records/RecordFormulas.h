#pragma once

// The formulas of the records a viewer lists: a formula record's text and
// its tokens as fields, and the text of any formula cell. What a formula
// refers to (sheet names, link tables, names, the masters of shared and
// array formulas) is gathered from the listed records on first use, so a
// load pays nothing for it.
//
//   TRecordFormulas formulas(directory);
//   std::vector<TRecordField> fields = ...;     // record 57 described
//   formulas.AddTokenFields(57, fields);       // "formula" gets its tokens

#include "xls/decode/FieldList.h"
#include "xls/formula/FormulaBook.h"

#include <cstddef>
#include <memory>
#include <vector>

class TRecordDirectory;

/// Lists a decoded formula in the fields of the record holding it: the
/// field named `tokensName` (the token bytes) gets the formula's text as its
/// meaning ("=" and the text, or the error) and a field per token as its
/// children: the token's name, its bytes as value, its operand as meaning,
/// its bytes' range. Blocks of constant data after the tokens become
/// children of the field that follows the tokens. When the decoding
/// failed, the last token listed without an operand gets the error as its
/// meaning. `listing` counts bytes from the token field's first byte.
/// Fields of other parts than the first, and records without the field,
/// are left as they are.
void AddFormulaTokenFields(std::vector<TRecordField>& fields, std::string_view tokensName,
                           std::span<const std::uint8_t> data, const TFormulaResult& result,
                           const std::vector<TFormulaToken>& listing);

class TRecordFormulas {
public:
  /// Keeps a reference to `directory`: it must outlive this object and
  /// list the same records while it is used.
  explicit TRecordFormulas(const TRecordDirectory& directory);
  ~TRecordFormulas();
  TRecordFormulas(const TRecordFormulas&) = delete;
  TRecordFormulas& operator=(const TRecordFormulas&) = delete;

  /// True for the records whose formula AddTokenFields lists: FORMULA of
  /// every version, SHRFMLA, ARRAY and NAME.
  static bool HoldsFormula(std::uint16_t code);

  /// When record `index` holds a formula (HoldsFormula), its text and
  /// tokens go into `fields`, its fields as described
  /// (AddFormulaTokenFields); a FORMULA shows the text of its cell (a
  /// shared or array formula's, as its cell reads it). Other records are
  /// left as they are. Nothing is thrown for a formula that cannot be read.
  void AddTokenFields(std::size_t index, std::vector<TRecordField>& fields);

  /// The formula of a worksheet cell, as TFormulaBook::Formula.
  bool Formula(int sheet, int row, int column, TFormulaResult& result);

  /// The workbook's formulas, read from the listed records on first use.
  TFormulaBook& Book();

private:
  const TRecordDirectory& FDirectory;
  std::unique_ptr<TFormulaBook> FBook;
  std::vector<TFormulaToken> FListing;  // reused from record to record
};
