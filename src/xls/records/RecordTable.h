#pragma once

// The record table: for every record code the reader knows, its name in the
// catalogue, what a load does with it, and how it is described. A record
// type is one entry here and one decoder (src/xls/decode): the load and the
// description run the same decoder, so they cannot drift apart.

#include "xls/decode/DecodeContext.h"
#include "xls/decode/FieldList.h"
#include "xls/RecordRef.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class TMSExcel;

/// What a load does with a record (decode it and store what it holds).
using TApplyRecord = void (*)(TMSExcel& reader, const TLogicalRecord& record);
/// Decodes a record once more, recording its fields.
using TDescribeRecord = void (*)(const TLogicalRecord& record, const TDecodeContext& context,
                                 TFieldList& fields);

struct TRecordType {
  std::uint16_t Code = 0;
  const char* Type = nullptr;     // its name in the catalogue ("NUMBER")
  bool Continued = false;         // its data goes on in the CONTINUE records after it
  TApplyRecord Apply = nullptr;   // nothing to do in a load when null
  TDescribeRecord Describe = nullptr;
};

namespace RecordTable {

/// Table slots by (code & kIndexMask): every known code has a slot of its own.
inline constexpr std::size_t kIndexSize = 0x2000;
inline constexpr std::uint16_t kIndexMask = kIndexSize - 1;
extern const TRecordType kTypes[];
extern const std::array<std::uint16_t, kIndexSize> kIndex;  // 0: none; else 1 + table row

}  // namespace RecordTable

/// The record type of `code`, or nullptr. Inline: the load asks once per record.
inline const TRecordType* FindRecordType(std::uint16_t code)
{
  const std::uint16_t row = RecordTable::kIndex[code & RecordTable::kIndexMask];
  if (row == 0)
    return nullptr;
  const TRecordType* type = RecordTable::kTypes + (row - 1);
  return type->Code == code ? type : nullptr;
}

/// Every record type of the table, in code order.
std::span<const TRecordType> RecordTypes();

/// The one field a record without a layout is shown as: "data", its `size`
/// bytes raw, meaning kTextNoLayout.
TRecordField RawRecordField(std::size_t size);
