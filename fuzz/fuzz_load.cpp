// Fuzz target: a whole workbook load from memory, as a compound file or a
// bare BIFF stream, with every event assigned and every record described
// again as the inspector would (during the load one by one; after it with
// its CONTINUE records, the items of its lists, its links, its chart blocks
// and its cell); then the same bytes through LoadFromStream, and from a
// file (an in-memory one) read whole while it is decoded and a small window
// at a time. Any exception must be one of the project's own.
// An encrypted input is opened with Excel's default password when it has
// that one, else with the one password the handler offers once ("bifflens",
// as the seeds and the encrypted corpus use it), else listed as locked: the
// decrypting paths see fuzzed FILEPASS records and fuzzed encrypted data.
#include "platform/Errors.h"
#include "xls/MSExcel.h"
#include "xls/records/RecordDirectory.h"
#include "xls/records/RecordFormulas.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Items of a list described per record, at most; records whose chart blocks
// and whose cell's record are looked up (each looks through many records).
constexpr std::size_t kMostItems = 300;
constexpr std::size_t kMostLookups = 200;

/// Every field and its inner fields lie in the bytes of their part.
void CheckInside(const TRecordField& field, std::span<const TRecordRef> parts)
{
  const auto part = static_cast<std::size_t>(field.Part);
  if (field.Part < 0 || part >= parts.size() || field.Offset + field.Size > parts[part].Data.size())
    __builtin_trap();
  for (const TRecordField& inner : field.Fields)
    CheckInside(inner, parts);
}

/// Describes every record after the load as the Fields pane and the
/// command-line tool do.
void DescribeAfterLoad(const TMSExcel& reader, const std::vector<std::uint32_t>& offsets)
{
  const TRecordDirectory records(reader.StreamBuffer().Span(), offsets, reader.WalkStart());
  TRecordFormulas formulas(records);
  std::size_t lookups = 0;
  for (std::size_t i = 0; i < records.Count(); ++i) {
    const std::vector<TRecordRef> parts = records.LogicalParts(i);
    TFieldList fields;
    try {
      reader.DescribeRecord(TLogicalRecord{parts}, fields);
    } catch (const EBiffLensError&) {
    }
    // A formula's tokens listed as its fields, its masters and links read
    // from the whole listing; nothing may throw out of it.
    std::vector<TRecordField> described = fields.Fields();
    if (TRecordFormulas::HoldsFormula(records.Code(i)))
      formulas.AddTokenFields(i, described);
    for (const TRecordField& field : described) {
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
    (void)records.ContinuationOf(i);
    if (lookups >= kMostLookups)
      continue;
    const auto cell = records.CellOf(i);
    if (cell || (records.Code(i) & 0xFF00) == 0x1000) {
      ++lookups;
      (void)records.ChartPath(i);
      if (cell && !records.RecordOfCell(*cell))
        __builtin_trap();  // the cell's own record writes it
    }
  }
}

void Attach(TMSExcel& reader, std::size_t& seen)
{
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t> bytes) {
    if (bytes.size() > header.Length)
      __builtin_trap();
    for (const std::uint8_t b : bytes)
      seen += b;
  };
  reader.OnStreamRecord = [&](const TStreamRecord& listed) {
    const TRecordRef& record = listed;
    for (const TRecordField& field : reader.DescribeRecord(TLogicalRecord{std::span(&record, 1)}))
      if (field.Part != 0 || field.Offset + field.Size > record.Data.size())
        __builtin_trap();  // a field outside its record's bytes
  };
  reader.OnRowHeight = [](TCustomSpreadSheetFile&, int, int, int) {};
  reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    cancel = request.Refused > 0;
    password.Assign("bifflens");
  };
}

/// The bytes as a file that lives in memory, or an empty name when the
/// system gives none.
class TMemoryFile {
public:
  explicit TMemoryFile(std::span<const std::uint8_t> bytes) : FDescriptor(memfd_create("fuzz", 0))
  {
    if (FDescriptor < 0)
      return;
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = write(FDescriptor, bytes.data() + written, bytes.size() - written);
      if (n <= 0)
        return;
      written += static_cast<std::size_t>(n);
    }
    FName = "/proc/self/fd/" + std::to_string(FDescriptor);
  }
  ~TMemoryFile()
  {
    if (FDescriptor >= 0)
      close(FDescriptor);
  }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;
  const std::string& Name() const { return FName; }

private:
  int FDescriptor;
  std::string FName;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMSExcel reader;
  std::size_t seen = 0;
  Attach(reader, seen);
  std::vector<std::uint32_t> offsets;
  const TOnStreamRecord describe = reader.OnStreamRecord;
  reader.OnStreamRecord = [&](const TStreamRecord& listed) {
    offsets.push_back(static_cast<std::uint32_t>(listed.Offset));
    describe(listed);
  };
  const std::span<const std::uint8_t> input(data, size);
  try {
    reader.LoadFromMemory(input);
  } catch (const EBiffLensError&) {
  }
  DescribeAfterLoad(reader, offsets);
  reader.OnStreamRecord = describe;
  try {
    reader.LoadFromStream(input);
  } catch (const EBiffLensError&) {
  }
  const TMemoryFile file(input);
  if (!file.Name().empty()) {
    for (const bool whole : {true, false}) {
      reader.KeepStreamBuffer = whole;
      reader.StreamWindowBytes = 4096;
      try {
        reader.LoadFromFile(file.Name());
      } catch (const EBiffLensError&) {
      }
    }
  }
  return seen == 1 ? 1 : 0;
}
