#pragma once

// The record catalogue: for every record code the reader knows, its name in
// the record list, its type in the catalogue, what a load does with it, and
// how it is described. A record type is one entry here and one decoder
// (src/xls/decode): the load and the description run the same decoder, so
// they cannot drift apart. The entries live in family tables (*Types.cpp).

#include "xls/RecordRef.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/FieldList.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TRecordSink;

/// What a load does with a record (decode it and hand what it holds to the load).
using TApplyRecord = void (*)(TRecordSink& sink, const TLogicalRecord& record);
/// Decodes a record once more, recording its fields.
using TDescribeRecord = void (*)(const TLogicalRecord& record, const TDecodeContext& context,
                                 TFieldList& fields);

struct TRecordType {
  std::uint16_t Code = 0;
  /// Its name in the catalogue ("NUMBER"), the name of its layout; nullptr
  /// for a code the record list names and no layout describes.
  const char* Type = nullptr;
  /// Its name in the record list ("2NUMBER" for BIFF2's), as the viewer's
  /// name table has it; nullptr: the list calls it "Unknown".
  const char* ListName = nullptr;
  bool Continued = false;         // its data goes on in the CONTINUE records after it
  TApplyRecord Apply = nullptr;   // nothing to do in a load when null
  TDescribeRecord Describe = nullptr;
};

namespace RecordTable {

/// Table slots by (code & kIndexMask): every known code has a slot of its own.
inline constexpr std::size_t kIndexSize = 0x2000;
inline constexpr std::uint16_t kIndexMask = kIndexSize - 1;

/// Every family's entries in code order, and each code's slot (0: none;
/// else 1 + its place in Types).
struct TCatalogue {
  std::vector<TRecordType> Types;
  std::array<std::uint16_t, kIndexSize> Index{};
};
/// Made from the family tables on first use.
const TCatalogue& Catalogue();

}  // namespace RecordTable

/// The record type of `code` in `catalogue`, or nullptr. Inline: the load
/// asks once per record, with the catalogue it holds.
inline const TRecordType* FindRecordType(const RecordTable::TCatalogue& catalogue, std::uint16_t code)
{
  const std::uint16_t row = catalogue.Index[code & RecordTable::kIndexMask];
  if (row == 0)
    return nullptr;
  const TRecordType* type = catalogue.Types.data() + (row - 1);
  return type->Code == code ? type : nullptr;
}

/// The record type of `code`, or nullptr.
inline const TRecordType* FindRecordType(std::uint16_t code)
{
  static const RecordTable::TCatalogue& catalogue = RecordTable::Catalogue();
  return FindRecordType(catalogue, code);
}

/// Every record type of the catalogue, in code order.
std::span<const TRecordType> RecordTypes();

/// The record list's name of a record code: an exact match of the whole
/// code (no masking: 0x0809 is not "BOF"), "Unknown" for codes it does not name.
const char* RecordTypeName(std::uint16_t code);
/// Number of codes the record list names (two codes share "EXTERNNAME").
int RecordTypeNameCount();
/// The record's type as the catalogue names it, the name the Fields pane's
/// heading, the record list's Type column and the command-line tool give:
/// the name of its layout, one for every BIFF version that stores the
/// record ("XF" for the XF records of BIFF2 to BIFF8, "FORMAT" for FORMAT4,
/// "FEATHEADR" for what the list calls SHEETPROTECTION). nullptr for a code
/// no layout describes.
const char* RecordCatalogueName(std::uint16_t code);
/// The name a viewer shows beside the list's: the list's name, else the
/// catalogue's, else "Unknown".
const char* RecordDisplayName(std::uint16_t code);
/// True for the records of a chart's blocks: the chart records and the
/// chart "future" records.
bool IsChartRecordCode(std::uint16_t code);

/// The one field a record without a layout is shown as: "data", its `size`
/// bytes raw, meaning kTextNoLayout.
TRecordField RawRecordField(std::size_t size);
