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

#include <algorithm>
#include <cstring>

namespace {

// A 1904-system serial plus this is the same day in the 1900 system.
constexpr double kDate1904Offset = 1462.0;

bool IsBof(std::uint16_t code)
{
  return (code & 0xFF) == kBofLowByte;
}

/// The BOF's substream type (the word after the version), or -1 when the
/// record is too short to say.
int BofType(const TRecordRef& record)
{
  TRecordCursor cursor(record.Data);
  cursor.U16("version");
  const int type = cursor.U16("type");
  return cursor.Short() ? -1 : type;
}

}  // namespace

TSharedBytes TStreamRecord::Share() const
{
  if (!Stream || Stream->empty())
    return TSharedBytes::Copy(Data);
  return Stream->Slice(static_cast<std::size_t>(Offset + TRecordReader::kHeaderSize), Data.size());
}

TMSExcel::TMSExcel() = default;
TMSExcel::~TMSExcel() = default;

void TMSExcel::Clear()
{
  TSpreadSheetFile::Clear();
  // The version stays: records before the first BOF decode with it.
  FContext.Tables = std::make_shared<TWorkbookTables>();
  FFormats = &FContext.Tables->Formats;
  FContext.Date1904 = false;
  SetCodePage(ForcedCodePage != 0 ? ForcedCodePage : 1252);
  SheetIndex = -1;
  FSharedStrings = std::make_shared<std::vector<TVariant>>();
  FStringTableOwner = FSharedStrings;
  FRecordCount = 0;
  FRecordOffset = 0;
  FForeignDepth = 0;
  FPendingText = {};
  FDamage.reset();
  FContexts.clear();
}

void TMSExcel::AddFormat(bool isFormatText, const std::string& text, int index, int fontIndex)
{
  if (isFormatText)
    FFormats->SetFormat(index, text);
  else
    FFormats->AddXf(index, fontIndex);
}

bool TMSExcel::IsDateFormat(std::string_view lowerText)
{
  return TFormatTables::IsDateFormat(lowerText);
}

std::string TMSExcel::ErrorCodeText(int code)
{
  return ::ErrorCodeText(code);
}

double TMSExcel::DecodeRK(std::uint32_t rk)
{
  return DecodeRk(rk);
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
  if (FContexts.empty())
    return;  // not loading: the load's first stretch takes the context as it is
  auto snapshot = std::make_shared<TDecodeContext>(FContext);
  snapshot->Text = nullptr;
  // The record being decoded changed it: the change holds from the next one.
  const std::uint64_t first = FRecordCount + 1;
  if (FContexts.back().FirstRecord == first)
    FContexts.back().Context = std::move(snapshot);
  else
    FContexts.push_back({first, std::move(snapshot)});
}

std::shared_ptr<const TDecodeContext> TMSExcel::ContextAt(std::uint64_t recordNumber) const
{
  if (FContexts.empty())
    return std::make_shared<TDecodeContext>(FContext);
  auto after = std::upper_bound(FContexts.begin(), FContexts.end(), recordNumber,
                                [](std::uint64_t n, const TContextStretch& s) { return n < s.FirstRecord; });
  return after == FContexts.begin() ? FContexts.front().Context : std::prev(after)->Context;
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
  context.SharedStrings = FSharedStrings.get();
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
  FReader.FLabels.reset();
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
  if (stream.Compound) {
    // Excel 5 and 95 name the stream "Book"; later versions "Workbook".
    Version = stream.StreamName == "Book" ? TExcelVersion::evExcel7 : TExcelVersion::evExcel8;
  }
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
  FContexts.push_back({1, std::make_shared<TDecodeContext>(FContext)});
  TRecordReader reader(FDecrypting ? *FDecrypting : *FSource);
  FReader = &reader;
  if (stream.Compound)
    RunCompoundLoop(reader);
  else
    RunBareLoop(reader);
  (FDecrypting ? *FDecrypting : *FSource).Finish();
  if (!FEncryption.Opened)
    FStoredStream = {};
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

void TMSExcel::NoteStringPastTable(std::uint64_t index)
{
  NoteDamage(StringPastTableMessage(FRecordCount, FRecordOffset, index, FSharedStrings->size()));
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
  const TPendingText pending = FPendingText;
  FPendingText = {};
  if (code != kRecString && code != kRecString2)
    return false;  // the formula gets no cell; the record is an ordinary one
  std::string text;
  const std::span<const std::uint8_t> s = record.Data;
  if (record.Header.Length > RecordLimit(Version)) {
    // Over the limit the data is not read: the text stays empty.
  } else if (code == kRecString2) {
    if (s.empty())
      return true;
    text = BytesToString(Slice(s, 1, s.size()), s[0], false, FContext);
  } else {
    if (s.size() < 2)
      return true;
    TRecordCursor cursor(s);
    const std::size_t length = cursor.U16("length");
    if (!FContext.Biff8()) {
      text = BytesToString(Slice(s, 2, s.size()), length, true, FContext);
    } else if (s.size() >= 3) {
      // A long text goes on in CONTINUE records, as in the SST; when they
      // are missing the text ends with the bytes there are.
      GatherContinues(reader, record);
      TPartCursor parts(FParts);
      parts.Current().U16("length");
      const bool wide = parts.Current().U8("options") & 0x01;
      text = ReadCharacters(parts, wide ? 2 * length : length, wide, false);
    }
  }
  CellSink().StoreMovedValue(SheetIndex, pending.Row, pending.Column, TVariant(std::move(text)),
                             TAlignment::taLeftJustify, 0);
  NoteCellPosition(pending.Row, pending.Column);
  return true;
}

void TMSExcel::RunCompoundLoop(TRecordReader& reader)
{
  TRecordRef record;
  for (;;) {
    // The last record and whatever followed it are done with.
    reader.Release();
    if (!NextRecord(reader, record))
      break;
    if (FPendingText.Waiting && TakePendingText(reader, record))
      continue;
    // A record over the length limit is listed and passed over (a FILEPASS
    // so long says only that the rest is encrypted).
    if (record.Header.Length > RecordLimit(Version)) {
      if (record.Header.Code == kRecFilePass)
        TakeUnreadableFilePass(kFilePassTooLong);
      continue;
    }
    if (record.Header.Code == kRecEof || IsBofCode(record.Header.Code)) {
      if (record.Number == 1)
        TakeVersionFromFirstBof(record);
      if (TrackSubstream(record))
        continue;
      bool stop = false;
      ApplySheetRules(record, reader, stop);
      if (stop)
        break;
      continue;
    }
    ApplyRecord(reader, record);
  }
}

void TMSExcel::TakeVersionFromFirstBof(const TRecordRef& bof)
{
  // Some writers name a BIFF8 stream "Book", as Excel 5 and 95 did; its BOF
  // says what it holds, and its text is UTF-16 like any BIFF8 text.
  TRecordCursor cursor(bof.Data);
  const std::uint16_t version = cursor.U16("version");
  if (Version == TExcelVersion::evExcel7 && !cursor.Short() && version == kBofVersionBiff8) {
    Version = TExcelVersion::evExcel8;
    ContextChanged();
  }
}

void TMSExcel::TakeFilePass(const TFilePass& filePass)
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
  do {
    FReader->Release();
  } while (NextRecord(*FReader, record));
  throw EBiffLensError(kMsgPasswordProtected);
}

void TMSExcel::TakeUnreadableFilePass(const char* problem)
{
  TFilePass filePass;
  filePass.Problem = problem;
  TakeFilePass(filePass);
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

void TMSExcel::RunBareLoop(TRecordReader& reader)
{
  FDimensionsSeen = false;
  FDimLastRow = 0;
  FDimLastColumn = 0;
  FHighestRow = 0;
  FHighestColumn = 0;
  TRecordRef record;
  while (NextRecord(reader, record)) {
    if (FPendingText.Waiting && TakePendingText(reader, record))
      continue;
    if (record.Header.Length == 0 || record.Header.Length > RecordLimit(Version)) {
      if (record.Header.Code == kRecFilePass)
        TakeUnreadableFilePass(record.Header.Length == 0 ? kFilePassEmpty : kFilePassTooLong);
      continue;
    }
    const std::uint16_t code = record.Header.Code;
    if (code != kRecEof && !IsBof(code)) {
      ApplyRecord(reader, record);
      continue;
    }
    TrackSubstream(record);
    if (!IsBof(code))
      continue;
    switch (code >> 8) {
    case 0x00: Version = TExcelVersion::evExcel2; break;
    case 0x02: Version = TExcelVersion::evExcel3; break;
    case 0x04: Version = TExcelVersion::evExcel4; break;
    case 0x08: {
      // The BOF's version word tells BIFF8 (0x0600) from BIFF5/7 (0x0500);
      // a BIFF8 stream saved without a compound file needs its UTF-16 text.
      TRecordCursor cursor(record.Data);
      Version = cursor.U16("version") == kBofVersionBiff8 ? TExcelVersion::evExcel8
                                                          : TExcelVersion::evExcel5;
      break;
    }
    default: throw EBiffLensError(kMsgNotExcelFile);
    }
    ContextChanged();
  }
  if (OnDimensions &&
      (!FDimensionsSeen || FDimLastRow < FHighestRow || FDimLastColumn < FHighestColumn))
    OnDimensions(*this, SheetIndex, 0, FHighestRow + 1, 0, FHighestColumn + 1);
}

bool TMSExcel::TrackSubstream(const TRecordRef& record)
{
  const std::uint16_t code = record.Header.Code;
  if (code == kRecEof) {
    if (FForeignDepth == 0)
      return false;
    --FForeignDepth;
    return true;
  }
  const int type = BofType(record);
  if (type < 0)
    return false;
  // Worksheets and the workbook globals hold cells; charts, macro sheets,
  // VB modules and workspaces do not. A worksheet never stands inside a
  // chart, so its BOF also ends a chart whose EOF a damaged file lost.
  if (type == kBofTypeWorksheet) {
    FForeignDepth = 0;
    return false;
  }
  if (FForeignDepth == 0 && type == kBofTypeGlobals)
    return false;
  ++FForeignDepth;
  return true;
}

void TMSExcel::ApplySheetRules(const TRecordRef& record, TRecordReader& reader, bool& stop)
{
  const std::uint16_t code = record.Header.Code;
  const std::vector<TSheetName>& names = FContext.Tables->SheetNames;
  const int nameCount = static_cast<int>(names.size());
  if (code == kRecEof) {
    if (SheetIndex >= 0 && SheetIndex >= nameCount - 1)
      stop = true;
    return;
  }
  if (BofType(record) != kBofTypeWorksheet)
    return;
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
    return;
  if (entry < 0 || entry >= nameCount - 1) {
    stop = true;
    return;
  }
  const std::size_t target = names[static_cast<std::size_t>(entry) + 1].BofOffset;
  // Only forward: a sheet list that points backwards must not loop the load.
  if (target <= record.Offset) {
    stop = true;
    return;
  }
  reader.Seek(target);
}

void TMSExcel::StoreErrorCell(const TCellRecord& cell)
{
  // An error code has one text, made the first time a cell has the code and
  // shared by every cell with it after.
  if (!FErrorTexts) {
    FErrorTexts = std::make_shared<std::array<TVariant, 256>>();
    FErrorTextsOwner = FErrorTexts;
  }
  TVariant& text = (*FErrorTexts)[cell.Code & 0xFF];
  if (text.IsEmpty())
    text = TVariant(::ErrorCodeText(static_cast<int>(cell.Code)));
  StoreSharedText(cell, text, FErrorTextsOwner);
}

void TMSExcel::StoreLabel(const TCellRecord& cell)
{
  const std::span<const std::uint8_t> raw = cell.Text;
  // The key: what the text depends on, the code page included. A label too
  // long to keep is decoded as one of its own.
  if (raw.size() <= TLabelTable::kLongestKey) {
    const bool biff8 = FContext.Biff8();
    const std::uint64_t kind = cell.LabelForm == TLabelForm::lfBiff2 ? (biff8 ? 1 : 0) : (biff8 ? 3 : 2);
    const auto codePage = static_cast<std::uint32_t>(FContext.CodePage);
    const std::uint64_t head = kind | static_cast<std::uint64_t>(cell.Length & 0xFFFF) << 8 |
                               static_cast<std::uint64_t>(codePage) << 24;
    if (!FLabels)
      FLabels = std::make_unique<TLabelTable>();
    const std::uint64_t hash = TLabelTable::Hash(head, raw);
    const TVariant* kept = FLabels->Find(head, raw, hash);
    if (!kept && !FLabels->Full())
      kept = &FLabels->Add(head, raw, hash, TVariant(LabelText(cell, FContext)));
    if (kept) {
      // Cells share the table's text as they share the SST's.
      StoreSharedText(cell, *kept, FLabels->TextOwner());
      return;
    }
  }
  StoreValue(cell, TVariant(LabelText(cell, FContext)));
}

TVariant TMSExcel::DateNumber(double value) const
{
  return TVariant::Date(FContext.Date1904 ? value + kDate1904Offset : value);
}

void TMSExcel::ApplySst(const TLogicalRecord& record)
{
  TPartCursor parts(record.Parts);
  std::size_t bytes = 0;
  for (const TRecordRef& part : record.Parts)
    bytes += part.Data.size();
  std::vector<TVariant>& table = *FSharedStrings;
  DecodeSst(
      parts,
      [&](std::size_t count) {
        // Every string takes at least 3 bytes, so a damaged count asks for
        // no more than the parts could hold.
        table.reserve(table.size() + std::min(count, bytes / 3));
      },
      [&](std::string&& text) { table.emplace_back(std::move(text)); });
}

void TMSExcel::SetDimensions(const TDimensionsRecord& d)
{
  // A chart's series data opens with a DIMENSIONS record of its own, which
  // is not the sheet's (and in a chart sheet before the first worksheet
  // would create a sheet).
  if (FForeignDepth != 0)
    return;
  FDimensionsSeen = true;
  FDimLastRow = d.LastRow;
  FDimLastColumn = d.LastColumn;
  if (OnDimensions)
    OnDimensions(*this, SheetIndex, d.FirstRow, d.LastRow, d.FirstColumn, d.LastColumn);
}

void TMSExcel::SetColumnWidths(const TColumnWidthRecord& w)
{
  if (FForeignDepth != 0 || !OnColumnWidth)
    return;
  for (int column = w.FirstColumn; column <= w.LastColumn; ++column)
    OnColumnWidth(*this, SheetIndex, column, w.Width);
}
