#pragma once

#include "model/SpreadSheetFile.h"
#include "platform/Errors.h"
#include "platform/SharedBytes.h"
#include "platform/text/CodePage.h"
#include "xls/ExcelVersion.h"
#include "xls/crypto/Secret.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/FieldList.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/RecordRef.h"
#include "xls/load/CellStore.h"
#include "xls/load/ContextHistory.h"
#include "xls/records/RecordSink.h"
#include "xls/records/RecordTable.h"
#include "xls/stream/SubstreamWalk.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class TDecryptingSource;
class TMSExcel;
class TRecordCipher;
class TRecordReader;
class TStreamSource;
struct TStreamRecordView;
struct TWorkbookStream;

/// A record as listeners get it: its number, where it stands, its header and
/// bytes, and the stream they lie in.
struct TStreamRecord : TRecordRef {
  /// The whole workbook stream under shared ownership, when the load keeps
  /// it (KeepStreamBuffer); empty otherwise.
  const TSharedBytes* Stream = nullptr;

  /// The record's data bytes under shared ownership: a slice of the stream
  /// when the load keeps it, else a copy.
  TSharedBytes Share() const;
};
using TOnStreamRecord = std::function<void(const TStreamRecord& record)>;

/// What the last load learnt of the workbook's encryption.
struct TWorkbookEncryption {
  /// A FILEPASS record was read: the records after it are encrypted.
  bool Present = false;
  TEncryptionScheme Scheme = TEncryptionScheme::esUnknown;
  /// The scheme for a person (EncryptionDescription).
  std::string Description;
  /// A password opened it: the records after FILEPASS were decrypted.
  bool Opened = false;
  /// FILEPASS's record number.
  std::uint64_t FilePassRecord = 0;
};

/// A request for the password of an encrypted workbook.
struct TPasswordRequest {
  TEncryptionScheme Scheme = TEncryptionScheme::esUnknown;
  std::string Description;  // as TWorkbookEncryption's
  /// Passwords refused so far in this load (0 on the first request; the
  /// default password tried silently does not count).
  int Refused = 0;
};
/// Puts a password into `password`, or sets `cancel` to give up.
using TOnPassword = std::function<void(TMSExcel& sender, const TPasswordRequest& request, TSecret& password,
                                       bool& cancel)>;

/// The BIFF reader. Loads a workbook (BIFF2 to BIFF8) from an OLE2 compound
/// file or a bare BIFF stream and raises the component's events: every record
/// through OnRecord (and OnStreamRecord), in stream order, exactly once;
/// sheets, dimensions, widths, row heights and cell values through the
/// model-filling events.
///
/// The reader keeps the load's plan, the record loop, the substreams and the
/// sheet rules; what a record means is its decoder's business (the record
/// table, src/xls/records), and every decoder reads through a bounded cursor.
class TMSExcel : public TSpreadSheetFile, private TRecordSink {
public:
  TMSExcel();
  ~TMSExcel() override;

private:
  // First: Version and SheetIndex below refer into them.
  TDecodeContext FContext;
  TCellStore FCells{*this, FContext};

public:
  /// The version the records are decoded with: from the stream's name or
  /// its BOF records. Read and written like a field.
  TExcelVersion& Version = FContext.Version;
  /// Index of the worksheet whose records are read; -1 before the first.
  /// Read and written like a field.
  int& SheetIndex = FCells.SheetIndex;

  /// Raised for every record, after OnRecord, with its number, offset and
  /// bytes in one call.
  TOnStreamRecord OnStreamRecord;
  /// Raised when an encrypted workbook needs a password that the default
  /// one ("VelvetSweatshop", tried first) is not: again after each wrong
  /// one, until it gives the right one or cancels. Unassigned, or cancelled,
  /// the workbook stays locked: the load lists every record as stored and
  /// fails with kMsgPasswordProtected. The reader wipes the password after
  /// trying it.
  TOnPassword OnPassword;

  /// Empties the model and the per-workbook lists, loads the built-in formats.
  void Clear() override;
  /// Checks the name, then reads the file: a compound file from its
  /// Workbook/Book stream, anything else as a bare BIFF stream. Throws
  /// EBiffLensError with the reader's messages, EOleError for a damaged
  /// compound file; what was decoded before a failure stays in the model.
  void LoadFromFile(const std::string& fileName) override;
  /// Reads a compound file held in memory (a bare stream fails with the
  /// storage layer's error, as nothing else could tell the two apart).
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  /// Reads bytes as LoadFromFile reads a file: compound file or bare stream.
  void LoadFromMemory(std::span<const std::uint8_t> bytes);

  /// Byte offset of the current record's header in the workbook stream;
  /// inside OnRecord, that of the record being reported.
  std::uint64_t RecordOffset() const { return FRecordOffset; }
  /// False for a load whose records are used only while they are raised:
  /// LoadFromFile then reads a compound file's workbook stream a window at
  /// a time instead of whole (far less memory to touch on a big file), and
  /// StreamBuffer() stays empty. A bare stream, or a workbook stream small
  /// enough to live in the mini stream, is still read whole. The records,
  /// cells and failures are the same either way. True by default.
  bool KeepStreamBuffer = true;
  /// The size of one window when KeepStreamBuffer is false (a record larger
  /// than it gets a window of its own size).
  std::size_t StreamWindowBytes = std::size_t{1} << 20;
  /// A code page (a CODEPAGE record's number) to decode the 8-bit text of
  /// BIFF2 to BIFF7 with, for a file whose CODEPAGE record is missing or
  /// wrong: Clear sets it and CODEPAGE records are passed over. 0, the
  /// default, takes the file's own. BIFF8 text does not depend on it.
  int ForcedCodePage = 0;

  /// The workbook stream of the last load (empty before the first), with
  /// the records after FILEPASS decrypted when a password opened it.
  /// A reference, so a handler that asks for it per record pays no count.
  const TSharedBytes& StreamBuffer() const { return FStream; }
  /// The workbook stream as the file stores it: StreamBuffer() itself,
  /// unless the load decrypted it.
  const TSharedBytes& StoredStreamBuffer() const { return FStoredStream.empty() ? FStream : FStoredStream; }
  /// What the last load found of encryption.
  const TWorkbookEncryption& Encryption() const { return FEncryption; }
  /// True when record `recordNumber` (code `code`) of the last load has its
  /// data stored encrypted: it stands after FILEPASS and is none of the
  /// records left plain. Its bytes are decrypted where Encryption().Opened.
  bool IsEncryptedRecord(std::uint64_t recordNumber, std::uint16_t code) const;
  /// Records raised through OnRecord during the last load.
  std::uint64_t RecordCount() const { return FRecordCount; }
  /// The size of the last load's workbook stream, kept whole or not.
  std::uint64_t StreamSize() const { return FStreamSize; }
  /// True when the last load read a compound file (false for a bare stream).
  bool IsCompound() const { return FCompound; }
  /// The substreams the last load read, BOF to EOF, as the substream walk
  /// found them (empty before the first load).
  const std::vector<TSubstream>& Substreams() const;
  /// How the last load's stream started, for walking its records again
  /// (TSubstreamWalk): a compound file's stream by its name, a bare one.
  const TWalkStart& WalkStart() const { return FWalkStart; }

  // Per-workbook lists, for inspection and tests.
  const std::vector<std::string>& FormatTable() const { return FContext.Tables->Formats.Formats(); }
  const std::vector<TXLSFormat>& XFList() const { return FContext.Tables->Formats.XFs(); }
  const std::vector<TXLSName>& Names() const { return FContext.Tables->Names; }
  const std::vector<TXLSFont>& Fonts() const { return FContext.Tables->Fonts; }
  const std::vector<TSheetName>& SheetNames() const { return FContext.Tables->SheetNames; }
  const std::vector<TVariant>& SharedStrings() const { return FCells.SharedStrings(); }
  int CodePage() const { return FContext.CodePage; }
  bool Date1904() const { return FContext.Date1904; }

  /// The context record `recordNumber` (from 1) of the last load was decoded
  /// with; the first one for a number before the first record.
  std::shared_ptr<const TDecodeContext> ContextAt(std::uint64_t recordNumber) const;
  /// The fields of a record as its decoder reads them, decoded with the
  /// context it had during the load (ContextAt). `record` holds the record
  /// and the CONTINUE records that belong to it. Empty for a record no
  /// decoder knows. An encrypted record of a workbook no password opened
  /// is not decoded: one field "encrypted_data" covers what is encrypted.
  /// Throws what decoding the record throws.
  std::vector<TRecordField> DescribeRecord(const TLogicalRecord& record) const;
  /// The same into `fields`, which keep what was recorded when decoding
  /// throws; false (nothing recorded) for a record no decoder knows.
  bool DescribeRecord(const TLogicalRecord& record, TFieldList& fields) const;

  /// The date decision for a number cell's XF index.
  bool IsDateXF(int xfIndex) const { return FContext.Tables->Formats.IsDateXF(xfIndex); }

private:
  /// A load's setup and cleanup: the stream dropped first, the load's label
  /// texts dropped on every exit.
  class TLoadScope {
  public:
    explicit TLoadScope(TMSExcel& reader);
    ~TLoadScope();
    TLoadScope(const TLoadScope&) = delete;
    TLoadScope& operator=(const TLoadScope&) = delete;

  private:
    TMSExcel& FReader;
  };

  void Load(TWorkbookStream&& stream);
  void RunLoop(TRecordReader& reader, bool bare);
  /// A record the substream walk acts on (BOF, EOF): the version it sets,
  /// the sheet rules. False when the load ends here.
  bool TakeBoundary(const TRecordRef& record, TRecordReader& reader, bool bare);
  /// A worksheet's BOF: the next sheet, named after its BOUNDSHEET, and
  /// skipped when OnSheet says so (false: nothing left to read).
  bool SheetStarts(const TRecordRef& record, TRecordReader& reader);
  /// True at a worksheet's EOF when it was the last sheet listed.
  bool LastSheetEnded() const;
  /// Reads the next record, reports progress and raises it; false at the end
  /// of the stream or after a record the end cut short.
  bool NextRecord(TRecordReader& reader, TRecordRef& record);
  void RaiseRecord(const TRecordRef& record)
  {
    ++FRecordCount;
    RecordHeader = record.Header;
    FRecordOffset = record.Offset;
    if (OnRecord)
      OnRecord(*this, record.Header, record.Data);
    if (OnStreamRecord)
      RaiseStreamRecord(record);
  }
  void RaiseStreamRecord(const TRecordRef& record);
  /// The record's decoder does with it what a load does; CONTINUE records
  /// that carry on its data are read and raised first. Inline: once per
  /// record.
  void ApplyRecord(TRecordReader& reader, const TRecordRef& record)
  {
    const TRecordType* type = FindRecordType(FCatalogue, record.Header.Code);
    if (!type || !type->Apply)
      return;
    if (type->Continued)
      ApplyContinued(reader, *type, record);
    else
      type->Apply(*this, TLogicalRecord{std::span(&record, 1)});
  }
  void ApplyContinued(TRecordReader& reader, const TRecordType& type, const TRecordRef& record);
  /// A STRING record after a formula with a text result: true when the
  /// record was taken for it.
  bool TakePendingText(TRecordReader& reader, const TRecordRef& record);
  /// Reads and raises the CONTINUE records after `record` into FParts.
  void GatherContinues(TRecordReader& reader, const TRecordRef& record);
  /// The same for a FILEPASS whose data the loop cannot read (`problem` says why).
  void TakeUnreadableFilePass(const char* problem);
  std::unique_ptr<TRecordCipher> FindCipher(const TFilePass& filePass);
  /// Records that the context changes from the next record on.
  void ContextChanged();
  void SetCodePage(int codePage);
  /// Keeps `message`, when it is the load's first, for the load to fail
  /// with once every record is read: damage that loses one thing (a cell, a
  /// sheet's name) and leaves the rest readable.
  void NoteDamage(std::string message);

  // What the records do with what their decoders read (TRecordSink).
  void SheetName(const TSheetName& entry) override;
  void Name(const TXLSName& name) override;
  void Font(const TXLSFont& font) override;
  void Xf(const TXfRecord& xf) override;
  void Format(const TFormatRecord& format) override;
  void CodePage(const int& codePage) override;
  void DateMode(const bool& date1904) override;
  void Dimensions(const TDimensionsRecord& dimensions) override;
  void ColumnWidths(const TColumnWidthRecord& widths) override;
  void Row(const TRowRecord& row) override;
  void Excel9() override;
  /// FILEPASS: opens the encrypted records with the default password or one
  /// OnPassword gives; when none opens them, lists the rest of the stream
  /// and throws kMsgPasswordProtected.
  void FilePass(const TFilePass& filePass) override;
  void Sst(const TLogicalRecord& record) override;

  TSharedBytes FStream;
  std::uint64_t FStreamSize = 0;
  bool FCompound = false;
  TSharedBytes FStoredStream;  // the stream as stored, when FStream is decrypted
  TWorkbookEncryption FEncryption;
  // During a load: the record reader and the source it was made with; the
  // decrypting source that wraps it (made before the loop for a stream
  // kept whole, with the offset of the FILEPASS it was made for, or at
  // FILEPASS for a stream read by window).
  TRecordReader* FReader = nullptr;
  TStreamSource* FSource = nullptr;
  std::unique_ptr<TDecryptingSource> FDecrypting;
  std::uint64_t FFilePassOffset = 0;
  std::uint64_t FRecordOffset = 0;
  std::uint64_t FRecordCount = 0;
  bool FDimensionsSeen = false;
  int FDimLastRow = 0;
  int FDimLastColumn = 0;
  // The substreams of the last load. Cells are stored only where the walk
  // says they are a sheet's: a chart's NUMBER and LABEL records are its
  // cached series, not cells of the sheet around it.
  std::unique_ptr<TSubstreamWalk> FWalk;
  TWalkStart FWalkStart;
  TExcelVersion FWalkVersion = TExcelVersion::evUnknown;  // the walk's version when last looked at
  TContextHistory FContexts;
  // The first damage the load read past (NoteDamage).
  std::optional<std::string> FDamage;
  std::vector<TRecordRef> FParts;  // a logical record's parts, reused
  const RecordTable::TCatalogue& FCatalogue = RecordTable::Catalogue();
  TCodePageDecoder FDecoder;
};
