#include "xls/MSExcel.h"

#include "platform/Errors.h"
#include "xls/LabelTable.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"
#include "xls/crypto/Encryption.h"
#include "xls/decode/ErrorCodes.h"
#include "xls/decode/SharedStrings.h"
#include "xls/records/RecordTable.h"
#include "xls/stream/DecryptingSource.h"
#include "xls/stream/OpenPlan.h"
#include "xls/stream/RecordReader.h"
#include "xls/stream/SubstreamWalk.h"

#include <algorithm>
#include <cstring>

namespace {


}  // namespace

TSharedBytes TStreamRecord::Share() const
{
  if (!Stream || Stream->empty())
    return TSharedBytes::Copy(Data);
  return Stream->Slice(static_cast<std::size_t>(Offset + TRecordReader::kHeaderSize), Data.size());
}

TMSExcel::TMSExcel() : TRecordSink(FContext, FCells)
{
  // A LABELSST whose string the table lacks: its cell is left out, the load
  // goes on and fails once the stream is read.
  FCells.OnStringPastTable = [this](std::uint64_t index, std::size_t count) {
    NoteDamage(StringPastTableMessage(FRecordCount, FRecordOffset, index, count));
  };
}
TMSExcel::~TMSExcel() = default;

void TMSExcel::Clear()
{
  TSpreadSheetFile::Clear();
  // The version stays: records before the first BOF decode with it.
  FContext.Tables = std::make_shared<TWorkbookTables>();
  FContext.Date1904 = false;
  SetCodePage(ForcedCodePage != 0 ? ForcedCodePage : 1252);
  FCells.Clear();
  FRecordCount = 0;
  FRecordOffset = 0;
  FDamage.reset();
  FContexts.Clear();
}

void TMSExcel::SetCodePage(int codePage)
{
  FDecoder.SetCodePage(codePage);
  // The decoder's own page: an unknown one falls back to Windows-1252.
  if (FContext.CodePage != FDecoder.CodePage()) {
    FContext.CodePage = FDecoder.CodePage();
    ContextChanged();
  }
}

void TMSExcel::ContextChanged()
{
  // The record being decoded changed it: the change holds from the next one.
  FContexts.Changed(FContext, FRecordCount);
}

std::shared_ptr<const TDecodeContext> TMSExcel::ContextAt(std::uint64_t recordNumber) const
{
  return FContexts.At(recordNumber, FContext);
}

const std::vector<TSubstream>& TMSExcel::Substreams() const
{
  static const std::vector<TSubstream> kNone;
  return FWalk ? FWalk->Substreams() : kNone;
}

bool TMSExcel::IsEncryptedRecord(std::uint64_t recordNumber, std::uint16_t code) const
{
  return FEncryption.Present && recordNumber > FEncryption.FilePassRecord && PlainDataBytes(code) != kAllPlain;
}

std::vector<TRecordField> TMSExcel::DescribeRecord(const TLogicalRecord& record) const
{
  TFieldList fields;
  DescribeRecord(record, fields);
  return fields.TakeFields();
}

bool TMSExcel::DescribeRecord(const TLogicalRecord& record, TFieldList& fields) const
{
  const std::uint16_t code = record.Head().Header.Code;
  if (!FEncryption.Opened && IsEncryptedRecord(record.Head().Number, code)) {
    // Without the password there is nothing to decode: what is plain (a
    // BOUNDSHEET's position) and one field for the rest.
    TDescribingCursor cursor(record.Head().Data, &fields);
    if (PlainDataBytes(code) == sizeof(std::uint32_t))
      cursor.U32("position");
    cursor.SkipRest("encrypted_data");
    cursor.Meaning([] { return std::string(kFieldEncrypted); });
    return true;
  }
  const TRecordType* type = FindRecordType(code);
  if (!type || !type->Describe)
    return false;
  TDecodeContext context = *ContextAt(record.Head().Number);
  TCodePageDecoder text(context.CodePage);
  context.Text = &text;
  context.SharedStrings = &FCells.SharedStrings();
  type->Describe(record, context, fields);
  return true;
}

TMSExcel::TLoadScope::TLoadScope(TMSExcel& reader) : FReader(reader)
{
  FReader.FStream = {};
  FReader.FStreamSize = 0;
  FReader.FCompound = false;
  FReader.FContext.Text = &FReader.FDecoder;
}

TMSExcel::TLoadScope::~TLoadScope()
{
  // The label texts are for this load only; the cells keep their own.
  FReader.FCells.EndLoad();
  FReader.FReader = nullptr;
  FReader.FSource = nullptr;
}

void TMSExcel::LoadFromFile(const std::string& fileName)
{
  TSpreadSheetFile::LoadFromFile(fileName);
  const TLoadScope scope(*this);
  Load(OpenWorkbookFile(fileName, TOpenOptions{KeepStreamBuffer, StreamWindowBytes}));
}

void TMSExcel::LoadFromStream(std::span<const std::uint8_t> bytes)
{
  TSpreadSheetFile::LoadFromStream(bytes);
  const TLoadScope scope(*this);
  Load(OpenWorkbookBytes(bytes, false));
}

void TMSExcel::LoadFromMemory(std::span<const std::uint8_t> bytes)
{
  TSpreadSheetFile::LoadFromStream(bytes);
  const TLoadScope scope(*this);
  Load(OpenWorkbookBytes(bytes, true));
}

void TMSExcel::Load(TWorkbookStream&& stream)
{
  FWalkStart = stream.Compound ? TSubstreamWalk::CompoundStart(stream.StreamName)
                               : TSubstreamWalk::BareStart(Version);
  FWalk = std::make_unique<TSubstreamWalk>(FWalkStart);
  Version = FWalk->Version();
  FWalkVersion = Version;
  FCells.SetInCells(true);
  FStream = stream.Whole;
  FStreamSize = stream.Source->Size();
  FCompound = stream.Compound;
  FStoredStream = {};
  FEncryption = {};
  // The decrypting source goes before the stream it wraps, however the load ends.
  struct TDecryptingScope {
    std::unique_ptr<TDecryptingSource>& Source;
    ~TDecryptingScope() { Source.reset(); }
  } const decryptingScope{FDecrypting};
  FSource = stream.Source.get();
  // A stream kept whole is listed from one block: when it is encrypted, the
  // decrypted block, which must be chosen before the first record is.
  // (Read by window, the stream gets its decrypting source at FILEPASS.)
  if (!stream.Whole.empty())
    if (const std::optional<TFilePassPlace> place = FindFilePass(*FSource)) {
      FDecrypting = std::make_unique<TDecryptingSource>(*FSource, place->End, true);
      FFilePassOffset = place->Offset;
      FStoredStream = stream.Whole;
      FStream = FDecrypting->Block();
    }
  FContexts.Start(FContext);
  TRecordReader reader(FDecrypting ? *FDecrypting : *FSource);
  FReader = &reader;
  RunLoop(reader, !stream.Compound);
  (FDecrypting ? *FDecrypting : *FSource).Finish();
  if (!FEncryption.Opened)
    FStoredStream = {};
  // Records of which none is a BOF are no workbook: nothing read from them
  // makes a sheet, and the load fails as for any file that is not one.
  if (FRecordCount > 0 && FWalk->Substreams().empty()) {
    Sheets().Clear();
    throw EBiffLensError(kMsgNoBof);
  }
  // A FILEPASS the end of the stream cut short ends the load as it stands:
  // nothing after it could be read, encrypted or not.
  if (RecordHeader.Code == kRecFilePass && !FEncryption.Present && FRecordCount > 0)
    TakeUnreadableFilePass(kFilePassCutShort);
  // A damaged compound file gave what could be found of its stream, and
  // damaged records were read past: the load fails as the file deserves,
  // with all of it read.
  if (stream.Damage && FDamage)
    throw EOleError(stream.Damage->Status(), BothDamagesMessage(stream.Damage->what(), *FDamage));
  if (stream.Damage)
    throw *stream.Damage;
  if (FDamage)
    throw EBiffLensError(*FDamage);
}

void TMSExcel::NoteDamage(std::string message)
{
  if (!FDamage)
    FDamage = std::move(message);
}

void TMSExcel::RaiseStreamRecord(const TRecordRef& record)
{
  TStreamRecord listed;
  static_cast<TRecordRef&>(listed) = record;
  listed.Stream = &FStream;
  OnStreamRecord(listed);
}

// Inlined: the record loop calls it once per record, and a call there costs
// as much as the rest of the step.
[[gnu::always_inline]] inline bool TMSExcel::NextRecord(TRecordReader& reader, TRecordRef& record)
{
  TStreamRecordView view;
  if (!reader.Next(view))
    return false;
  record.Number = FRecordCount + 1;
  record.Offset = view.Offset;
  record.Header = view.Header;
  record.Data = view.Data;
  DoLoadProgress(static_cast<std::int64_t>(reader.Position()),
                 static_cast<std::int64_t>(reader.Size()));
  RaiseRecord(record);
  // A record cut short by the end of the stream is listed, not decoded, and
  // ends the load.
  return !record.Truncated();
}

void TMSExcel::GatherContinues(TRecordReader& reader, const TRecordRef& record)
{
  FParts.clear();
  FParts.push_back(record);
  TStreamRecordView next;
  while (reader.Peek(next) && next.Header.Code == kRecContinue) {
    reader.Next(next);
    TRecordRef part{FRecordCount + 1, next.Offset, next.Header, next.Data};
    RaiseRecord(part);
    FParts.push_back(part);
  }
}

void TMSExcel::ApplyContinued(TRecordReader& reader, const TRecordType& type,
                              const TRecordRef& record)
{
  GatherContinues(reader, record);
  type.Apply(*this, TLogicalRecord{FParts});
}

bool TMSExcel::TakePendingText(TRecordReader& reader, const TRecordRef& record)
{
  // A text result stands in the STRING record that follows its formula; a
  // shared or array formula puts its SHRFMLA, ARRAY or TABLE record between.
  const std::uint16_t code = record.Header.Code;
  if (code == kRecSharedFormula || code == kRecArray || code == kRecTable)
    return true;
  const TPendingText pending = FCells.TakePending();
  if (code != kRecString && code != kRecString2)
    return false;  // the formula gets no cell; the record is an ordinary one
  std::string text;
  if (record.Header.Length <= RecordLimit(Version)) {
    // Over the limit the data is not read: the text stays empty. A long
    // BIFF8 text goes on in CONTINUE records, as in the SST; when they are
    // missing it ends with the bytes there are.
    if (code == kRecString && FContext.Biff8())
      GatherContinues(reader, record);
    else
      FParts.assign(1, record);
    TPartCursor parts(FParts);
    TStringDecoder()(parts, FContext, code, [&](const std::string& value) { text = value; });
  }
  FCells.StorePendingText(pending, std::move(text));
  return true;
}

// One loop for both kinds of stream; they differ in three things. A bare
// stream (BIFF2 to BIFF4, or a workbook saved without a compound file)
// passes over its empty records, reports its extent at the end, and has
// no BOUNDSHEET list for the sheet rules to follow.
void TMSExcel::RunLoop(TRecordReader& reader, bool bare)
{
  if (bare) {
    FDimensionsSeen = false;
    FDimLastRow = 0;
    FDimLastColumn = 0;
    FCells.ResetExtent();
  }
  TRecordRef record;
  for (;;) {
    // The last record and whatever followed it are done with.
    reader.Release();
    if (!NextRecord(reader, record))
      break;
    if (FCells.Pending().Waiting && TakePendingText(reader, record))
      continue;
    const std::uint16_t code = record.Header.Code;
    if (FWalk->Acts(code)) {
      if (!TakeBoundary(record, reader, bare))
        break;
      continue;
    }
    // A record over the length limit is listed and passed over (a FILEPASS
    // so long says only that the rest is encrypted).
    const bool empty = bare && record.Header.Length == 0;
    if (empty || record.Header.Length > RecordLimit(Version)) {
      if (code == kRecFilePass)
        TakeUnreadableFilePass(empty ? kFilePassEmpty : kFilePassTooLong);
      continue;
    }
    ApplyRecord(reader, record);
  }
  const int highestRow = FCells.HighestRow();
  const int highestColumn = FCells.HighestColumn();
  if (bare && OnDimensions &&
      (!FDimensionsSeen || FDimLastRow < highestRow || FDimLastColumn < highestColumn))
    OnDimensions(*this, SheetIndex, 0, highestRow + 1, 0, highestColumn + 1);
}

bool TMSExcel::TakeBoundary(const TRecordRef& record, TRecordReader& reader, bool bare)
{
  // The sheet rules concern worksheets and the globals: a chart's or
  // module's EOF closes only itself.
  const bool sheetEnds = FCells.InCells();
  const TWalkStep step = FWalk->Step(record);
  FCells.SetInCells(FWalk->InCells());
  switch (step) {
  case TWalkStep::wsNotBiff:
    throw EBiffLensError(kMsgNotExcelFile);
  case TWalkStep::wsOpened:
    // A bare stream's every BOF sets the version; a compound file's only
    // where the walk's changes (a later record may have raised it to
    // evExcel9, which no BOF says).
    if (FWalk->Version() != FWalkVersion || (bare && FWalk->Version() != Version)) {
      FWalkVersion = FWalk->Version();
      Version = FWalkVersion;
      ContextChanged();
    }
    return bare || FWalk->CurrentType() != kBofTypeWorksheet || SheetStarts(record, reader);
  case TWalkStep::wsClosed:
    return bare || !sheetEnds || !LastSheetEnded();
  case TWalkStep::wsStrayEof:
    return bare || !LastSheetEnded();
  case TWalkStep::wsRecord:
  case TWalkStep::wsNoType:
    break;
  }
  return true;
}

void TMSExcel::FilePass(const TFilePass& filePass)
{
  // A second FILEPASS changes nothing: it is listed like the plain record
  // it is.
  if (FEncryption.Present)
    return;
  FEncryption.Present = true;
  FEncryption.Scheme = filePass.Scheme;
  FEncryption.Description = EncryptionDescription(filePass);
  FEncryption.FilePassRecord = FRecordCount;
  // A stream read by window is decrypted from here on; one kept whole only
  // where the load planned for it, a FILEPASS among its first records.
  if (!FDecrypting && FStream.empty()) {
    FFilePassOffset = FRecordOffset;
    FDecrypting = std::make_unique<TDecryptingSource>(
        *FSource, FRecordOffset + TRecordReader::kHeaderSize + RecordHeader.Length, false);
    FReader->SwitchSource(*FDecrypting);
  }
  if (FDecrypting && FRecordOffset == FFilePassOffset) {
    if (std::unique_ptr<TRecordCipher> cipher = FindCipher(filePass)) {
      FDecrypting->Open(std::move(cipher));
      FEncryption.Opened = true;
      return;
    }
    FDecrypting->Lock();
  }
  FStoredStream = {};
  // Locked: the rest of the stream is listed as stored, not decoded, and the
  // load fails as it always did on an encrypted workbook.
  TRecordRef record;
  for (;;) {
    FReader->Release();
    if (!NextRecord(*FReader, record))
      break;
    // Headers and BOF records are stored plain: the substreams still show.
    if (FWalk->Acts(record.Header.Code))
      FWalk->Step(record);
  }
  throw EBiffLensError(kMsgPasswordProtected);
}

void TMSExcel::TakeUnreadableFilePass(const char* problem)
{
  TFilePass filePass;
  filePass.Problem = problem;
  FilePass(filePass);
}

std::unique_ptr<TRecordCipher> TMSExcel::FindCipher(const TFilePass& filePass)
{
  if (filePass.Scheme == TEncryptionScheme::esUnknown)
    return nullptr;
  {
    const TPasswordUnits password(kDefaultPassword);
    if (std::unique_ptr<TRecordCipher> cipher = OpenCipher(filePass, password))
      return cipher;
  }
  TPasswordRequest request;
  request.Scheme = filePass.Scheme;
  request.Description = FEncryption.Description;
  while (OnPassword) {
    TSecret password;
    bool cancel = false;
    OnPassword(*this, request, password, cancel);
    if (cancel)
      return nullptr;
    const TPasswordUnits units(password.View());
    password.Clear();
    if (std::unique_ptr<TRecordCipher> cipher = OpenCipher(filePass, units))
      return cipher;
    ++request.Refused;
  }
  return nullptr;
}

bool TMSExcel::LastSheetEnded() const
{
  const int nameCount = static_cast<int>(FContext.Tables->SheetNames.size());
  return SheetIndex >= 0 && SheetIndex >= nameCount - 1;
}

bool TMSExcel::SheetStarts(const TRecordRef& record, TRecordReader& reader)
{
  const std::vector<TSheetName>& names = FContext.Tables->SheetNames;
  const int nameCount = static_cast<int>(names.size());
  ++SheetIndex;
  // The caption is the BOUNDSHEET entry that points at this BOF; counting
  // worksheets alone would shift every caption after a chart sheet.
  int entry = -1;
  for (int i = 0; i < nameCount; ++i)
    if (names[static_cast<std::size_t>(i)].BofOffset == record.Offset) {
      entry = i;
      break;
    }
  if (entry < 0 && SheetIndex < nameCount)
    entry = SheetIndex;
  // A worksheet past the BOUNDSHEET records (a damaged globals part may
  // have lost them all) still holds its cells: it is read under a name of
  // its own, and the load says so at its end.
  std::string unlisted;
  if (entry < 0) {
    unlisted = kCaptionUnlistedSheet + std::to_string(SheetIndex + 1);
    NoteDamage(UnlistedSheetMessage(record.Number, record.Offset, SheetIndex, names.size()));
  }
  bool skip = false;
  if (OnSheet)
    OnSheet(*this, entry < 0 ? unlisted : names[static_cast<std::size_t>(entry)].Name, SheetIndex, skip);
  if (!skip)
    return true;
  if (entry < 0 || entry >= nameCount - 1)
    return false;
  const std::size_t target = names[static_cast<std::size_t>(entry) + 1].BofOffset;
  // Only forward: a sheet list that points backwards must not loop the load.
  if (target <= record.Offset)
    return false;
  reader.Seek(target);
  return true;
}

void TMSExcel::Dimensions(const TDimensionsRecord& d)
{
  // A chart's series data opens with a DIMENSIONS record of its own, which
  // is not the sheet's (and in a chart sheet before the first worksheet
  // would create a sheet).
  if (!FCells.InCells())
    return;
  FDimensionsSeen = true;
  FDimLastRow = d.LastRow;
  FDimLastColumn = d.LastColumn;
  if (OnDimensions)
    OnDimensions(*this, SheetIndex, d.FirstRow, d.LastRow, d.FirstColumn, d.LastColumn);
}

void TMSExcel::ColumnWidths(const TColumnWidthRecord& w)
{
  if (!FCells.InCells() || !OnColumnWidth)
    return;
  for (int column = w.FirstColumn; column <= w.LastColumn; ++column)
    OnColumnWidth(*this, SheetIndex, column, w.Width);
}

void TMSExcel::Row(const TRowRecord& row)
{
  // A chart's own records size nothing of the sheet around it.
  if (OnRowHeight && FCells.InCells())
    OnRowHeight(*this, SheetIndex, row.Row, row.Height);
}

void TMSExcel::SheetName(const TSheetName& entry)
{
  FContext.Tables->SheetNames.push_back(entry);
}

void TMSExcel::Name(const TXLSName& name)
{
  FContext.Tables->Names.push_back(name);
}

void TMSExcel::Font(const TXLSFont& font)
{
  FContext.Tables->Fonts.push_back(font);
}

void TMSExcel::Xf(const TXfRecord& xf)
{
  FContext.Tables->Formats.AddXf(xf.FormatIndex, xf.FontIndex);
}

void TMSExcel::Format(const TFormatRecord& format)
{
  TFormatTables& formats = FContext.Tables->Formats;
  formats.SetFormat(format.ByOrder ? formats.NextFormatByOrder() : format.Index, format.Text);
}

void TMSExcel::CodePage(const int& codePage)
{
  if (ForcedCodePage == 0)
    SetCodePage(codePage);
}

void TMSExcel::DateMode(const bool& date1904)
{
  if (FContext.Date1904 == date1904)
    return;
  FContext.Date1904 = date1904;
  ContextChanged();
}

void TMSExcel::Excel9()
{
  Version = TExcelVersion::evExcel9;
  ContextChanged();
}

void TMSExcel::Sst(const TLogicalRecord& record)
{
  FCells.AddSharedStrings(record);
}
