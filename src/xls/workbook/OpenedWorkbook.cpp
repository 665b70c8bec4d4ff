#include "xls/workbook/OpenedWorkbook.h"

#include "platform/ErrorText.h"
#include "xls/records/RecordTable.h"
#include "xls/records/RecordTable.h"

#include <exception>

namespace {

// How often the check looks at its cancel flag.
constexpr std::size_t kCancelCheckRecords = 4096;
constexpr std::size_t kHeaderBytes = 4;

}  // namespace

std::string RecordHeadingText(std::uint64_t number, const char* listName, const char* type,
                              std::size_t bytes, std::size_t continues)
{
  std::string text(1, '#');
  text += std::to_string(number);
  text += ' ';
  text += listName;
  if (type) {
    text += " (";
    text += type;
    text += ')';
  }
  text += ", ";
  text += std::to_string(bytes);
  text += bytes == 1 ? " byte" : " bytes";
  if (continues > 0) {
    text += " + ";
    text += std::to_string(continues);
    text += continues == 1 ? " CONTINUE record" : " CONTINUE records";
  }
  return text;
}

TOpenedWorkbook::TOpenedWorkbook(TMSExcel& reader, TKeep keep)
    : FReader(reader), FKeep(keep), FPrevious(std::move(reader.OnStreamRecord))
{
  // Keeping nothing, the workbook leaves the reader's record event as it
  // was: a load that raises no event per record is the fastest.
  if (FKeep == TKeep::kpNothing) {
    FReader.OnStreamRecord = FPrevious;
    return;
  }
  FReader.OnStreamRecord = [this](const TStreamRecord& record) {
    if (FKeep == TKeep::kpRecords) {
      FRecords.Append(record);
    } else {
      // Made at the first record, for the stream the load opened.
      if (!FGathered)
        FGathered = std::make_unique<TFormulaBook>(FReader.WalkStart());
      FGathered->Add(record);
    }
    if (FPrevious)
      FPrevious(record);
  };
}

TOpenedWorkbook::~TOpenedWorkbook()
{
  FReader.OnStreamRecord = std::move(FPrevious);
}

void TOpenedWorkbook::Reset()
{
  FRecordFormulas.reset();
  FDirectory.reset();
  FGathered.reset();
  FRecords.Clear();
}

const TRecordDirectory& TOpenedWorkbook::Directory()
{
  if (!FDirectory)
    FDirectory = std::make_unique<TRecordDirectory>(FRecords.Stream().Span(), FRecords.Offsets(),
                                                    FReader.WalkStart());
  return *FDirectory;
}

TRecordFormulas& TOpenedWorkbook::RecordFormulas()
{
  if (!FRecordFormulas)
    FRecordFormulas = std::make_unique<TRecordFormulas>(Directory());
  return *FRecordFormulas;
}

TFormulaBook& TOpenedWorkbook::Formulas()
{
  if (FKeep == TKeep::kpRecords)
    return RecordFormulas().Book();
  if (!FGathered)
    FGathered = std::make_unique<TFormulaBook>(FReader.WalkStart());
  return *FGathered;
}

TRecordDescription TOpenedWorkbook::Describe(std::size_t index)
{
  TRecordDescription description;
  const TRecordDirectory& directory = Directory();
  const std::vector<TRecordRef> parts = directory.LogicalParts(index);
  if (parts.empty())
    return description;
  const TRecordRef& head = parts.front();
  const std::uint16_t code = head.Header.Code;
  description.Heading = RecordHeadingText(head.Number, RecordTypeName(code), RecordCatalogueName(code),
                                          head.Data.size(), parts.size() - 1);
  if (const auto continuation = directory.ContinuationOf(index))
    description.Continuation = ContinuationText(*continuation, directory.Record(continuation->Head));
  description.ChartBlocks = directory.ChartPath(index);
  TFieldList list;
  try {
    description.Decoded = FReader.DescribeRecord(TLogicalRecord{parts}, list);
    description.Fields = list.TakeFields();
    // A formula's text and tokens come from the formula decoder.
    if (description.Decoded && TRecordFormulas::HoldsFormula(code))
      RecordFormulas().AddTokenFields(index, description.Fields);
  } catch (const std::exception& e) {
    // What was read before the failure stays.
    description.Decoded = true;
    description.Error = ExceptionText(e);
    if (description.Fields.empty())
      description.Fields = list.TakeFields();
  }
  if (!description.Decoded)
    description.Fields.push_back(RawRecordField(head.Data.size()));
  return description;
}

TStructureCheck TOpenedWorkbook::Check(const TCompoundMap* container,
                                       const std::atomic<bool>* cancel) const
{
  TStructureCheck check;
  const std::span<const std::uint8_t> stream = FRecords.Stream().Span();
  const std::span<const std::uint32_t> offsets = FRecords.Offsets();
  // Data no password opened is checked by its headers alone.
  const bool locked = !FReader.Encryption().Opened;
  try {
    TStructureLint lint(FReader.WalkStart());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      if (cancel && i % kCancelCheckRecords == 0 && cancel->load()) {
        check.Cancelled = true;
        return check;
      }
      const std::size_t offset = offsets[i];
      if (offset > stream.size() || stream.size() - offset < kHeaderBytes)
        break;
      TStreamRecord record;
      record.Number = i + 1;
      record.Offset = offset;
      record.Header.Code = static_cast<std::uint16_t>(stream[offset] | stream[offset + 1] << 8);
      record.Header.Length = static_cast<std::uint16_t>(stream[offset + 2] | stream[offset + 3] << 8);
      record.Data = stream.subspan(offset + kHeaderBytes,
                                   std::min<std::size_t>(record.Header.Length, stream.size() - offset - kHeaderBytes));
      record.Stream = &FRecords.Stream();
      lint.Add(record, locked && FReader.IsEncryptedRecord(record.Number, record.Header.Code));
    }
    try {
      lint.Finish(stream, container);
    } catch (const std::exception& e) {
      check.Stopped = ExceptionText(e);
    }
    check.Findings = lint.Findings();
    check.Substreams = lint.Substreams();
  } catch (const std::exception& e) {
    check.Stopped = ExceptionText(e);
  }
  return check;
}

std::vector<TOutlineNode> TOpenedWorkbook::Outline() const
{
  return BuildOutline(FRecords.Stream().Span(), FRecords.Offsets(), FReader.SheetNames(),
                      FReader.WalkStart());
}

std::vector<TRecordTypeCount> TOpenedWorkbook::RecordTypes() const
{
  return CountRecordTypes(FRecords.Stream().Span(), FRecords.Offsets());
}
