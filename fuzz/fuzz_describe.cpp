// Fuzz target: a loaded workbook read as the Fields pane, `fields` and
// `lint` read it, through the opened workbook: every logical record
// described once (a record and its CONTINUE records as one, however many
// there are; a formula's tokens among its fields), the items of its lists,
// its links, its chart blocks and its cell; then the structure check, the
// outline and the record types. Inputs past 64 KiB are skipped: the load
// target reads big ones, and here each byte may be described several times.
// Any exception out of a description must be one of the project's own.
#include "platform/Errors.h"
#include "xls/MSExcel.h"
#include "xls/workbook/OpenedWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kMostInput = 64 * 1024;
// Items of a list described per record, at most; cell records whose cell's
// record is looked up (each lookup looks through all of its sheet).
constexpr std::size_t kMostItems = 300;
constexpr std::size_t kMostLookups = 32;

/// Every field and its inner fields lie in the bytes of their part.
void CheckInside(const TRecordField& field, std::span<const TRecordRef> parts)
{
  const auto part = static_cast<std::size_t>(field.Part);
  if (field.Part < 0 || part >= parts.size() || field.Offset + field.Size > parts[part].Data.size())
    __builtin_trap();
  for (const TRecordField& inner : field.Fields)
    CheckInside(inner, parts);
}

void DescribeAll(TOpenedWorkbook& workbook)
{
  const TRecordDirectory& records = workbook.Directory();
  std::size_t lookups = 0;
  for (std::size_t i = 0; i < records.Count(); ++i) {
    // A CONTINUE record is described with the record it carries on.
    if (records.ContinuationOf(i))
      continue;
    const std::vector<TRecordRef> parts = records.LogicalParts(i);
    const TRecordDescription described = workbook.Describe(i);
    for (const TRecordField& field : described.Fields) {
      CheckInside(field, parts);
      (void)records.Resolve(field.Link, i);
      if (!field.Lazy)
        continue;
      try {
        for (std::size_t k = 0; k < field.Lazy->Count() && k < kMostItems; ++k)
          CheckInside(field.Lazy->Item(k), parts);
        (void)field.Lazy->ItemAt(static_cast<int>(parts.size() - 1), parts.back().Data.size() / 2);
      } catch (const EBiffLensError&) {
      }
    }
    if (lookups >= kMostLookups)
      continue;
    const auto cell = records.CellOf(i);
    if (cell) {
      ++lookups;
      if (!records.RecordOfCell(*cell))
        __builtin_trap();  // the cell's own record writes it
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size > kMostInput)
    return -1;  // not kept in the corpus
  TMSExcel reader;
  TOpenedWorkbook workbook(reader, TOpenedWorkbook::TKeep::kpRecords);
  reader.KeepStreamBuffer = true;
  reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    cancel = request.Refused > 0;
    password.Assign("bifflens");
  };
  try {
    reader.LoadFromMemory({data, size});
  } catch (const EBiffLensError&) {
    // What was read before the failure is described all the same.
  }
  DescribeAll(workbook);
  const TStructureCheck check = workbook.Check(nullptr);
  for (const TSubstream& substream : check.Substreams)
    if (substream.Bof > workbook.RecordCount() || substream.Last > workbook.RecordCount())
      __builtin_trap();
  (void)workbook.Outline();
  (void)workbook.RecordTypes();
  return 0;
}
