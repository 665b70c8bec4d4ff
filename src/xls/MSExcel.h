#pragma once

#include "model/SpreadSheetFile.h"
#include "platform/SharedBytes.h"
#include "xls/TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TCompoundFile;

/// Workbook versions, compared by order: "before BIFF8" is below evExcel8;
/// evExcel9 is a BIFF8 workbook written by a later Excel.
enum class TExcelVersion : std::uint8_t {
  evUnknown,
  evExcel2,
  evExcel3,
  evExcel4,
  evExcel5,
  evExcel7,
  evExcel8,
  evExcel9,
};

/// Name of a version as the tools print it ("evExcel8").
const char* ExcelVersionName(TExcelVersion version);

/// One number format (from an XF record: only the indexes are set).
struct TXLSFormat {
  std::string FormatText;
  std::int32_t FormatIndex = 0;
  std::int32_t FontIndex = 0;
  bool IsDate = false;
};

/// One NAME record: the name, its formula bytes, its option flags.
struct TXLSName {
  std::string Name;
  std::string Definition;
  std::int32_t Options = 0;
};

/// One FONT record.
struct TXLSFont {
  std::string Name;
  int Size = 0;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  int CharSet = 0;
  int Color = 0;
};

/// One BOUNDSHEET entry: sheet name and the stream offset of its BOF.
struct TSheetName {
  std::string Name;
  std::uint32_t BofOffset = 0;
};

/// The BIFF reader. Loads a workbook (BIFF2 to BIFF8) from an OLE2 compound
/// file or a bare BIFF stream and raises the component's events: every record
/// through OnRecord, in stream order, exactly once; sheets, dimensions, widths,
/// row heights and cell values through the model-filling events.
///
/// The workbook stream is read into memory once; OnRecord's data views point
/// into that buffer, which StreamBuffer() shares with anyone who wants to keep
/// record bytes without copying them. A caller that keeps none can have it
/// read a window at a time instead (KeepStreamBuffer).
class TMSExcel : public TSpreadSheetFile {
public:
  TMSExcel();
  ~TMSExcel() override;

  TExcelVersion Version = TExcelVersion::evUnknown;
  /// Index of the worksheet whose records are read; -1 before the first.
  int SheetIndex = -1;

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

  /// The workbook stream of the last load (empty before the first).
  /// A reference, so a handler that asks for it per record pays no count.
  const TSharedBytes& StreamBuffer() const { return FStream; }
  /// Records raised through OnRecord during the last load.
  std::uint64_t RecordCount() const { return FRecordCount; }

  // Per-workbook lists, for inspection and tests.
  const std::vector<std::string>& FormatTable() const { return FFormats; }
  const std::vector<TXLSFormat>& XFList() const { return FXFs; }
  const std::vector<TXLSName>& Names() const { return FNames; }
  const std::vector<TXLSFont>& Fonts() const { return FFonts; }
  const std::vector<TSheetName>& SheetNames() const { return FSheetNames; }
  const std::vector<TVariant>& SharedStrings() const { return *FSharedStrings; }
  int CodePage() const { return FDecoder.CodePage(); }
  bool Date1904() const { return FDate1904; }

  /// The date decision for a number cell's XF index; inline, as every
  /// number cell asks.
  bool IsDateXF(int xfIndex) const
  {
    int index = xfIndex;
    if (xfIndex >= 0 && static_cast<std::size_t>(xfIndex) < FXFs.size()) {
      const int formatIndex = FXFs[static_cast<std::size_t>(xfIndex)].FormatIndex;
      if (formatIndex <= 0)
        return false;
      index = formatIndex;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= FFormatIsDate.size())
      return false;
    return FFormatIsDate[static_cast<std::size_t>(index)] != 0;
  }
  /// True when the (lower-cased) format text holds "dd", "mm" or "yy".
  static bool IsDateFormat(std::string_view lowerText);
  /// "#NULL!", "#DIV/0!", ... or "Unknown error code N".
  static std::string ErrorCodeText(int code);
  /// The number an RK value stands for.
  static double DecodeRK(std::uint32_t rk);
  /// Sets or adds a format text (isFormatText) or appends an XF entry.
  void AddFormat(bool isFormatText, const std::string& text, int index, int fontIndex);

private:
  struct TRecord;
  class TRecordSource;
  class TStreamWindow;
  class TStreamFill;
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

  void LoadBuiltInFormats();
  void LoadBytes(TSharedBytes file, bool allowBare);
  void ReadBIFFStream();
  /// Reads a compound file's workbook stream by its runs of sectors, whole
  /// or (KeepStreamBuffer false) a window at a time; false, with nothing
  /// done, for a file that is read whole (a bare stream, a small stream).
  bool LoadByRuns(const std::string& fileName);
  /// The name of the workbook stream, and the version its name tells.
  std::string ChooseWorkbook(const TCompoundFile& storage);
  /// Chooses the workbook stream and the version; the caller runs the loop.
  void ReadWorkbookStorage(TCompoundFile&& storage);
  void RunCompoundLoop(TRecordSource& source);
  void RaiseRecord(const TRecord& record);
  /// Reads the next record, reports progress and raises OnRecord; false at
  /// the end of the stream or after a record the end cut short.
  bool NextRecord(TRecordSource& source, TRecord& record);
  bool ProcessRecord(const TRecord& record, TRecordSource& source);
  void ApplySheetRules(const TRecord& record, TRecordSource& source, bool& stop);
  /// Follows BOF and EOF nesting; true when the record opened or closed a
  /// substream that is not a worksheet (the sheet rules do not apply to it).
  bool TrackSubstream(const TRecord& record);
  std::uint32_t RecordLimit() const;

  // Decoders.
  void ReportCell(int row, int column, const TVariant& value, TAlignment alignment);
  /// ReportCell for a text made for this cell alone, which moves into it.
  void ReportTextCell(int row, int column, TVariant&& value, TAlignment alignment);
  /// Reports an error cell: the code's text ("#DIV/0!"...).
  void ReportErrorCell(int row, int column, std::uint8_t code, TAlignment alignment);
  /// Reports a LABEL cell whose text `decode` makes from `raw`. The text of
  /// an earlier cell of this load with the same bytes (and so the same
  /// text) is shared when there is one, without decoding again. `kind`
  /// tells the decoders apart.
  template <typename TDecode>
  void ReportLabel(int row, int column, std::uint8_t kind, std::size_t length,
                   std::span<const std::uint8_t> raw, TAlignment alignment, TDecode&& decode);
  /// ReportCell for a text that `owner` keeps (the shared-string table, the
  /// label texts): the model's own store shares it without counting it.
  void ReportSharedText(int row, int column, const TVariant& text,
                        const std::shared_ptr<const void>& owner, TAlignment alignment);
  void NoteCellPosition(int row, int column)
  {
    FHighestRow = std::max(FHighestRow, row);
    FHighestColumn = std::max(FHighestColumn, column);
  }
  TVariant TypedNumber(double value, int xfIndex) const;
  void DecodeFormula(const TRecord& record, TRecordSource& source);
  void DecodeSst(const TRecord& record, TRecordSource& source);
  /// Moves to the next record, which must be a CONTINUE: raises it and makes
  /// it current. When it is not one: throws kMsgNoContinue if `required`,
  /// else leaves the record to the loop and returns false.
  bool NextContinue(TRecordSource& source, std::span<const std::uint8_t>& current, std::size_t& p,
                    bool required);
  /// `remaining` bytes of characters from current[p] on, going on into
  /// CONTINUE records as NextContinue allows; UTF-8.
  std::string ReadCharacters(TRecordSource& source, std::span<const std::uint8_t>& current,
                             std::size_t& p, std::size_t remaining, bool wide, bool required);
  void DecodeBoundSheet(std::span<const std::uint8_t> data);
  void DecodeName(std::uint16_t code, std::span<const std::uint8_t> data);
  void DecodeFont(std::uint16_t code, std::span<const std::uint8_t> data);
  void DecodeDimensions(std::span<const std::uint8_t> data);
  void DecodeColumnWidths(std::uint16_t code, std::span<const std::uint8_t> data);

  // Text helpers.
  bool IsBiff8() const { return Version >= TExcelVersion::evExcel8; }
  /// 8-bit text of the workbook's code page (Latin-1 in BIFF8).
  void Append8Bit(std::span<const std::uint8_t> bytes, std::string& out);
  /// Text inside one record, as the reader's string helper reads it: 8-bit
  /// (a leading 0 option byte passed over) before BIFF8 or when forced,
  /// otherwise the option byte and `count` UTF-16 characters. Reads only
  /// bytes that exist.
  std::string BytesToString(std::span<const std::uint8_t> source, std::size_t count,
                            bool force8Bit);
  /// A BIFF8 string whose option byte is at `source[0]`.
  std::string UnicodeString(std::span<const std::uint8_t> source, std::size_t count);

  TSharedBytes FStream;
  std::uint64_t FRecordOffset = 0;
  std::uint64_t FRecordCount = 0;
  int FHighestRow = 0;
  int FHighestColumn = 0;
  bool FDimensionsSeen = false;
  int FDimLastRow = 0;
  int FDimLastColumn = 0;
  bool FDate1904 = false;
  int FFormat2Count = 0;  // BIFF2/3 FORMAT records seen, which number them
  // Depth of chart, macro and other non-worksheet substreams the reader is
  // inside. Their NUMBER and LABEL records are a chart's cached series, not
  // cells of the sheet around them, so cells are decoded only at depth 0.
  int FForeignDepth = 0;
  std::vector<TXLSFont> FFonts;
  std::vector<TXLSFormat> FXFs;
  std::vector<std::string> FFormats;
  // IsDateFormat of each lower-cased entry of FFormats, worked out when the
  // entry is set: every number cell asks.
  std::vector<std::uint8_t> FFormatIsDate;  // bytes, not bits: read per number cell
  std::vector<TXLSName> FNames;
  std::vector<TSheetName> FSheetNames;
  // The shared-string table. Cells of the model share its texts without a
  // count and keep the table (FStringTableOwner, the same table) instead, so
  // a load starts a new table rather than emptying the one cells may hold.
  std::shared_ptr<std::vector<TVariant>> FSharedStrings = std::make_shared<std::vector<TVariant>>();
  std::shared_ptr<const void> FStringTableOwner = FSharedStrings;
  // Texts of the load's LABEL cells, by the bytes they were read from.
  // Older files have no shared-string table, yet their labels repeat as
  // much: cells with the same bytes share one block, decoded once. Short
  // texts only and a bounded count, and dropped when the load ends, so it
  // never costs much more than the cells themselves.
  class TLabelTable;
  std::unique_ptr<TLabelTable> FLabels;
  // The texts of error cells by code, made when first met; cells share them
  // without a count and keep the list (FErrorTextsOwner, the same list).
  std::shared_ptr<std::array<TVariant, 256>> FErrorTexts;
  std::shared_ptr<const void> FErrorTextsOwner;
  TCodePageDecoder FDecoder;
  std::u16string FUnits;  // scratch for SST strings split across records
};
