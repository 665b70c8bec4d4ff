#include "xls/records/RecordTable.h"

#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"
#include "xls/records/TypeEntries.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>

namespace {

constexpr char kUnknownName[] = "Unknown";
// Chart records and the chart future records: their blocks are worth showing.
constexpr std::uint16_t kChartFirst = 0x1000;
constexpr std::uint16_t kChartLast = 0x10FF;

// Codes the record list names that no layout describes.
constexpr TRecordType kNamedOnly[] = {
    {kRecRangeProtection, nullptr, "RANGEPROTECTION", false, nullptr, nullptr},
};

RecordTable::TCatalogue MakeCatalogue()
{
  RecordTable::TCatalogue catalogue;
  for (const auto family : {CellRecordTypes(), BookRecordTypes(), GlobalRecordTypes(), SheetRecordTypes(),
                            ObjectRecordTypes(), FeatureRecordTypes(), std::span<const TRecordType>(kNamedOnly)})
    catalogue.Types.insert(catalogue.Types.end(), family.begin(), family.end());
  std::sort(catalogue.Types.begin(), catalogue.Types.end(),
            [](const TRecordType& a, const TRecordType& b) { return a.Code < b.Code; });
  for (std::size_t row = 0; row < catalogue.Types.size(); ++row) {
    std::uint16_t& slot = catalogue.Index[catalogue.Types[row].Code & RecordTable::kIndexMask];
    assert(slot == 0 && "two record types share a code or an index slot");
    slot = static_cast<std::uint16_t>(row + 1);
  }
  return catalogue;
}

}  // namespace

const RecordTable::TCatalogue& RecordTable::Catalogue()
{
  static const TCatalogue catalogue = MakeCatalogue();
  return catalogue;
}

std::span<const TRecordType> RecordTypes()
{
  return RecordTable::Catalogue().Types;
}

const char* RecordTypeName(std::uint16_t code)
{
  const TRecordType* type = FindRecordType(code);
  return type && type->ListName ? type->ListName : kUnknownName;
}

int RecordTypeNameCount()
{
  const std::span<const TRecordType> types = RecordTypes();
  return static_cast<int>(std::count_if(types.begin(), types.end(), [](const TRecordType& t) { return t.ListName; }));
}

const char* RecordCatalogueName(std::uint16_t code)
{
  const TRecordType* type = FindRecordType(code);
  return type && type->Describe ? type->Type : nullptr;
}

const char* RecordDisplayName(std::uint16_t code)
{
  const TRecordType* type = FindRecordType(code);
  if (type && type->ListName)
    return type->ListName;
  if (type && type->Type)
    return type->Type;
  return kUnknownName;
}

bool IsChartRecordCode(std::uint16_t code)
{
  return (code >= kChartFirst && code <= kChartLast) || code == kRecChartFrtInfo || code == kRecStartBlock ||
         code == kRecEndBlock || code == kRecCatLab;
}

TRecordField RawRecordField(std::size_t size)
{
  TRecordField raw;
  raw.Name = "data";
  raw.Size = size;
  raw.Value = std::string();
  raw.Text = kTextNoLayout;
  return raw;
}
