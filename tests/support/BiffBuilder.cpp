#include "support/BiffBuilder.h"

#include "support/CompoundFileBuilder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

// Record codes as the format numbers them; written out here rather than
// taken from the reader, so that builder and reader are two codings.
constexpr std::uint16_t kBlank2 = 0x0001;
constexpr std::uint16_t kInteger2 = 0x0002;
constexpr std::uint16_t kNumber2 = 0x0003;
constexpr std::uint16_t kLabel2 = 0x0004;
constexpr std::uint16_t kBoolErr2 = 0x0005;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kString2 = 0x0007;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFormat2 = 0x001E;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kColWidth = 0x0024;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kFont3 = 0x0231;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kWindow2Biff2 = 0x003E;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kMergeCells = 0x00E5;
constexpr std::uint16_t kHLink = 0x01B8;
constexpr std::uint16_t kTxo = 0x01B6;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kXf2 = 0x0043;
constexpr std::uint16_t kColInfo = 0x007D;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kMulBlank = 0x00BE;
constexpr std::uint16_t kXf5 = 0x00E0;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kExcel9 = 0x01C0;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kFormula3 = 0x0206;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kRow = 0x0208;
constexpr std::uint16_t kXf3 = 0x0243;
constexpr std::uint16_t kFormula4 = 0x0406;
constexpr std::uint16_t kFormat4 = 0x041E;
constexpr std::uint16_t kXf4 = 0x0443;
constexpr std::uint16_t kExternSheet = 0x0017;
constexpr std::uint16_t kName = 0x0018;
constexpr std::uint16_t kSupBook = 0x01AE;
constexpr std::uint16_t kSharedFormula = 0x04BC;

// Filler of rich runs and ext data: read as a string header it gives the
// option byte 0x02, which no reader accepts.
constexpr std::uint8_t kFiller = 0x02;

std::vector<std::uint8_t> Header(std::uint16_t code, std::uint16_t length)
{
  return TBytes().U16(code).U16(length).Data();
}

}  // namespace

std::u16string Utf16Units(std::string_view utf8)
{
  std::u16string units;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    char32_t cp;
    std::size_t extra;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if (lead < 0xE0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if (lead < 0xF0) {
      cp = lead & 0x0F;
      extra = 2;
    } else {
      cp = lead & 0x07;
      extra = 3;
    }
    for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
      cp = (cp << 6) | (static_cast<std::uint8_t>(utf8[i + k]) & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  return units;
}

// --- TBytes ---------------------------------------------------------------

TBytes& TBytes::U8(std::uint8_t value)
{
  FData.push_back(value);
  return *this;
}

TBytes& TBytes::U16(std::uint16_t value)
{
  FData.push_back(static_cast<std::uint8_t>(value));
  FData.push_back(static_cast<std::uint8_t>(value >> 8));
  return *this;
}

TBytes& TBytes::U32(std::uint32_t value)
{
  for (int k = 0; k < 4; ++k)
    FData.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
  return *this;
}

TBytes& TBytes::F64(double value)
{
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int k = 0; k < 8; ++k)
    FData.push_back(static_cast<std::uint8_t>(bits >> (8 * k)));
  return *this;
}

TBytes& TBytes::Ascii(std::string_view text)
{
  FData.insert(FData.end(), text.begin(), text.end());
  return *this;
}

TBytes& TBytes::Utf16(std::string_view utf8)
{
  return Units(Utf16Units(utf8));
}

TBytes& TBytes::Units(std::u16string_view units)
{
  for (const char16_t u : units)
    U16(static_cast<std::uint16_t>(u));
  return *this;
}

TBytes& TBytes::Append(const std::vector<std::uint8_t>& bytes)
{
  FData.insert(FData.end(), bytes.begin(), bytes.end());
  return *this;
}

TBytes& TBytes::Zeros(std::size_t count)
{
  FData.insert(FData.end(), count, 0);
  return *this;
}

// --- TSstBuilder ----------------------------------------------------------

void TSstBuilder::Add(TPieceKind kind, std::vector<std::uint8_t> bytes)
{
  FPieces.push_back(TPiece{kind, std::move(bytes)});
}

TSstBuilder& TSstBuilder::Counts(std::uint32_t total, std::uint32_t unique)
{
  FCountsSet = true;
  FTotal = total;
  FUnique = unique;
  return *this;
}

TSstBuilder& TSstBuilder::String(std::string_view text, bool wide, std::uint16_t runs,
                                 std::uint32_t extSize)
{
  const std::size_t chars = wide ? Utf16Units(text).size() : text.size();
  const auto options = static_cast<std::uint8_t>((wide ? 0x01 : 0) | (runs ? 0x08 : 0) |
                                                 (extSize ? 0x04 : 0));
  Header(static_cast<std::uint16_t>(chars), options, runs, extSize);
  if (wide)
    Chars16(text);
  else
    Chars8(text);
  if (runs)
    Runs(runs);
  if (extSize)
    Ext(extSize);
  return *this;
}

TSstBuilder& TSstBuilder::Header(std::uint16_t chars, std::uint8_t options, std::uint16_t runs,
                                 std::uint32_t extSize)
{
  TBytes bytes;
  bytes.U16(chars).U8(options);
  if (options & 0x08)
    bytes.U16(runs);
  if (options & 0x04)
    bytes.U32(extSize);
  Add(TPieceKind::pkPlain, bytes.Data());
  ++FStrings;
  return *this;
}

TSstBuilder& TSstBuilder::Chars8(std::string_view latin1)
{
  Add(TPieceKind::pkChars8, TBytes().Ascii(latin1).Data());
  return *this;
}

TSstBuilder& TSstBuilder::Chars16(std::string_view utf8)
{
  Add(TPieceKind::pkChars16, TBytes().Utf16(utf8).Data());
  return *this;
}

TSstBuilder& TSstBuilder::Runs(std::uint16_t runs)
{
  Add(TPieceKind::pkPlain, std::vector<std::uint8_t>(4u * runs, kFiller));
  return *this;
}

TSstBuilder& TSstBuilder::Ext(std::uint32_t size)
{
  Add(TPieceKind::pkPlain, std::vector<std::uint8_t>(size, kFiller));
  return *this;
}

TSstBuilder& TSstBuilder::Raw(const TBytes& bytes)
{
  Add(TPieceKind::pkPlain, bytes.Data());
  return *this;
}

TSstBuilder& TSstBuilder::Continue()
{
  Add(TPieceKind::pkBreak, {});
  return *this;
}

TSstBuilder& TSstBuilder::ContinueChars(std::uint8_t flag)
{
  Add(TPieceKind::pkBreak, {flag});
  return *this;
}

TSstBuilder& TSstBuilder::SplitAt(std::vector<std::size_t> offsets)
{
  FSplits = std::move(offsets);
  return *this;
}

std::vector<std::vector<std::uint8_t>> TSstBuilder::Records() const
{
  std::vector<std::vector<std::uint8_t>> records(1);
  std::size_t logical = 0;
  auto emit = [&](const TPiece& piece) {
    for (const std::uint8_t b : piece.Bytes) {
      if (logical > 0 && std::find(FSplits.begin(), FSplits.end(), logical) != FSplits.end()) {
        records.emplace_back();
        if (piece.Kind == TPieceKind::pkChars8)
          records.back().push_back(0);
        else if (piece.Kind == TPieceKind::pkChars16)
          records.back().push_back(1);
      }
      records.back().push_back(b);
      ++logical;
    }
  };
  const std::uint32_t total = FCountsSet ? FTotal : FStrings;
  const std::uint32_t unique = FCountsSet ? FUnique : FStrings;
  emit(TPiece{TPieceKind::pkPlain, TBytes().U32(total).U32(unique).Data()});
  for (const TPiece& piece : FPieces) {
    if (piece.Kind == TPieceKind::pkBreak)
      records.push_back(piece.Bytes);
    else
      emit(piece);
  }
  return records;
}

// --- TBiffBuilder ---------------------------------------------------------

TBiffBuilder& TBiffBuilder::Record(std::uint16_t code, const std::vector<std::uint8_t>& data)
{
  return RecordWithLength(code, static_cast<std::uint16_t>(data.size()), data);
}

TBiffBuilder& TBiffBuilder::RecordWithLength(std::uint16_t code, std::uint16_t length,
                                             const std::vector<std::uint8_t>& data)
{
  const auto header = Header(code, length);
  FBytes.insert(FBytes.end(), header.begin(), header.end());
  FBytes.insert(FBytes.end(), data.begin(), data.end());
  return *this;
}

TBiffBuilder& TBiffBuilder::Raw(const std::vector<std::uint8_t>& bytes)
{
  FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
  return *this;
}

TBiffBuilder& TBiffBuilder::Bof(TExcelVersion version, TBofType type)
{
  FVersion = version;
  FBofOffsets.push_back(FBytes.size());
  const auto typeWord = static_cast<std::uint16_t>(type);
  switch (version) {
  case TExcelVersion::evExcel2:
    return Record(0x0009, TBytes().U16(0x0200).U16(typeWord));
  case TExcelVersion::evExcel3:
    return Record(0x0209, TBytes().U16(0x0300).U16(typeWord).U16(0));
  case TExcelVersion::evExcel4:
    return Record(0x0409, TBytes().U16(0x0400).U16(typeWord).U16(0));
  case TExcelVersion::evExcel5:
  case TExcelVersion::evExcel7:
    return Record(0x0809, TBytes().U16(0x0500).U16(typeWord).U16(0x0DBB).U16(0x07CC));
  default:
    return Record(0x0809, TBytes().U16(0x0600).U16(typeWord).U16(0x0DBB).U16(0x07CC).U32(0x41).U32(6));
  }
}

TBiffBuilder& TBiffBuilder::Eof()
{
  return Record(kEof, {});
}

TBytes TBiffBuilder::UnicodeBody(std::string_view text, bool wide)
{
  TBytes bytes;
  bytes.U8(wide ? 1 : 0);
  if (wide)
    bytes.Utf16(text);
  else
    bytes.Ascii(text);
  return bytes;
}

TBiffBuilder& TBiffBuilder::BoundSheet(std::string_view name, int bofNumber, bool wide,
                                       std::uint8_t sheetType, std::uint8_t visibility)
{
  FPatches.push_back(TPatch{FBytes.size() + 4, bofNumber});
  TBytes data;
  data.U32(0).U8(visibility).U8(sheetType);
  if (IsBiff8()) {
    data.U8(static_cast<std::uint8_t>(wide ? Utf16Units(name).size() : name.size()));
    data.Append(UnicodeBody(name, wide));
  } else {
    data.U8(static_cast<std::uint8_t>(name.size())).Ascii(name);
  }
  return Record(kBoundSheet, data);
}

TBiffBuilder& TBiffBuilder::BoundSheetAt(std::string_view name, std::uint32_t bofOffset, std::uint8_t sheetType)
{
  TBytes data;
  data.U32(bofOffset).U8(0).U8(sheetType).U8(static_cast<std::uint8_t>(name.size()));
  if (IsBiff8())
    data.U8(0);
  data.Ascii(name);
  return Record(kBoundSheet, data);
}

TBiffBuilder& TBiffBuilder::CodePage(std::uint16_t codePage)
{
  return Record(kCodePage, TBytes().U16(codePage));
}

TBiffBuilder& TBiffBuilder::DateMode(std::uint16_t mode)
{
  return Record(kDateMode, TBytes().U16(mode));
}

TBiffBuilder& TBiffBuilder::FilePass()
{
  return Record(kFilePass, TBytes().U16(0).U16(0x1234).U16(0x5678));
}

TBiffBuilder& TBiffBuilder::Excel9()
{
  return Record(kExcel9, TBytes().U32(0));
}

TBiffBuilder& TBiffBuilder::Sst(const TSstBuilder& sst)
{
  const auto records = sst.Records();
  for (std::size_t i = 0; i < records.size(); ++i)
    Record(i == 0 ? kSst : kContinue, records[i]);
  return *this;
}

TBiffBuilder& TBiffBuilder::Xf(std::uint16_t formatIndex)
{
  const auto format8 = static_cast<std::uint8_t>(formatIndex);
  switch (FVersion) {
  case TExcelVersion::evExcel2:
    // Font, reserved, number format in bits 0-5 (bits 6-7 are flags).
    return Record(kXf2, TBytes().U8(0).U8(0).U8(static_cast<std::uint8_t>(format8 | 0xC0)).U8(0));
  case TExcelVersion::evExcel3:
    return Record(kXf3, TBytes().U8(0).U8(format8).Zeros(10));
  case TExcelVersion::evExcel4:
    return Record(kXf4, TBytes().U8(0).U8(format8).Zeros(10));
  case TExcelVersion::evExcel5:
  case TExcelVersion::evExcel7:
    return Record(kXf5, TBytes().U16(0).U16(formatIndex).Zeros(12));
  default:
    return Record(kXf5, TBytes().U16(0).U16(formatIndex).Zeros(16));
  }
}

TBiffBuilder& TBiffBuilder::Format(std::uint16_t index, std::string_view text)
{
  if (FVersion <= TExcelVersion::evExcel3)
    return Record(kFormat2, TBytes().U8(static_cast<std::uint8_t>(text.size())).Ascii(text));
  TBytes data;
  data.U16(index);
  if (IsBiff8())
    data.U16(static_cast<std::uint16_t>(text.size())).Append(UnicodeBody(text, false));
  else
    data.U8(static_cast<std::uint8_t>(text.size())).Ascii(text);
  return Record(kFormat4, data);
}

TBiffBuilder& TBiffBuilder::Dimensions(std::uint32_t firstRow, std::uint32_t lastRowPlus1,
                                       std::uint16_t firstColumn, std::uint16_t lastColumnPlus1)
{
  TBytes data;
  if (IsBiff8())
    data.U32(firstRow).U32(lastRowPlus1);
  else
    data.U16(static_cast<std::uint16_t>(firstRow)).U16(static_cast<std::uint16_t>(lastRowPlus1));
  data.U16(firstColumn).U16(lastColumnPlus1).U16(0);
  return Record(kDimensions, data);
}

TBiffBuilder& TBiffBuilder::ColInfo(std::uint16_t first, std::uint16_t last, std::uint16_t width)
{
  return Record(kColInfo, TBytes().U16(first).U16(last).U16(width).U16(15).U16(0).U16(0));
}

TBiffBuilder& TBiffBuilder::ColWidth(std::uint8_t first, std::uint8_t last, std::uint16_t width)
{
  return Record(kColWidth, TBytes().U8(first).U8(last).U16(width));
}

TBiffBuilder& TBiffBuilder::Row(std::uint16_t row, std::uint16_t height)
{
  return Record(kRow, TBytes().U16(row).U16(0).U16(1).U16(height).U16(0).U16(0).U32(0x0100));
}

TBytes TBiffBuilder::CellPrefix(std::uint16_t row, std::uint16_t column, std::uint16_t xf) const
{
  return TBytes().U16(row).U16(column).U16(xf);
}

TBiffBuilder& TBiffBuilder::Number(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                                   double value)
{
  return Record(kNumber, CellPrefix(row, column, xf).F64(value));
}

TBiffBuilder& TBiffBuilder::Rk(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                               std::uint32_t rk)
{
  return Record(kRk, CellPrefix(row, column, xf).U32(rk));
}

TBiffBuilder& TBiffBuilder::MulRk(std::uint16_t row, std::uint16_t firstColumn,
                                  const std::vector<std::pair<std::uint16_t, std::uint32_t>>& cells)
{
  TBytes data;
  data.U16(row).U16(firstColumn);
  for (const auto& [xf, rk] : cells)
    data.U16(xf).U32(rk);
  data.U16(static_cast<std::uint16_t>(firstColumn + cells.size() - 1));
  return Record(kMulRk, data);
}

TBiffBuilder& TBiffBuilder::MulBlank(std::uint16_t row, std::uint16_t firstColumn,
                                     std::uint16_t count)
{
  TBytes data;
  data.U16(row).U16(firstColumn);
  for (std::uint16_t i = 0; i < count; ++i)
    data.U16(15);
  data.U16(static_cast<std::uint16_t>(firstColumn + count - 1));
  return Record(kMulBlank, data);
}

TBiffBuilder& TBiffBuilder::LabelSst(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                                     std::uint32_t index)
{
  return Record(kLabelSst, CellPrefix(row, column, xf).U32(index));
}

TBiffBuilder& TBiffBuilder::Label(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                                  std::string_view text, bool wide)
{
  TBytes data = CellPrefix(row, column, xf);
  if (IsBiff8())
    data.U16(static_cast<std::uint16_t>(wide ? Utf16Units(text).size() : text.size()))
        .Append(UnicodeBody(text, wide));
  else
    data.U16(static_cast<std::uint16_t>(text.size())).Ascii(text);
  return Record(kLabel, data);
}

TBiffBuilder& TBiffBuilder::BoolErr(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                                    std::uint8_t value, bool isError)
{
  return Record(kBoolErr, CellPrefix(row, column, xf).U8(value).U8(isError ? 1 : 0));
}

namespace {

std::uint16_t FormulaCode(TExcelVersion version)
{
  if (version == TExcelVersion::evExcel3)
    return kFormula3;
  if (version == TExcelVersion::evExcel4)
    return kFormula4;
  return kFormula;
}

}  // namespace

TBiffBuilder& TBiffBuilder::FormulaNumber(std::uint16_t row, std::uint16_t column,
                                          std::uint16_t xf, double value)
{
  TBytes data = CellPrefix(row, column, xf).F64(value).U16(0);
  if (FVersion >= TExcelVersion::evExcel5)
    data.U32(0);
  data.U16(0);  // no formula tokens
  return Record(FormulaCode(FVersion), data);
}

TBiffBuilder& TBiffBuilder::FormulaTokens(std::uint16_t row, std::uint16_t column, double value,
                                          const std::vector<std::uint8_t>& tokens,
                                          const std::vector<std::uint8_t>& extra)
{
  TBytes data = CellPrefix(row, column, 0).F64(value).U16(0);
  if (FVersion >= TExcelVersion::evExcel5)
    data.U32(0);
  data.U16(static_cast<std::uint16_t>(tokens.size())).Append(tokens).Append(extra);
  return Record(FormulaCode(FVersion), data);
}

TBiffBuilder& TBiffBuilder::SharedFormula(std::uint16_t firstRow, std::uint16_t lastRow,
                                          std::uint8_t firstColumn, std::uint8_t lastColumn,
                                          const std::vector<std::uint8_t>& tokens)
{
  // [MS-XLS] 2.4.260 ShrFmla: the range, a reserved byte, the use count,
  // then the formula with its token size.
  TBytes data;
  data.U16(firstRow).U16(lastRow).U8(firstColumn).U8(lastColumn).U8(0).U8(1);
  data.U16(static_cast<std::uint16_t>(tokens.size())).Append(tokens);
  return Record(kSharedFormula, data);
}

TBiffBuilder& TBiffBuilder::Name(std::string_view name, const std::vector<std::uint8_t>& tokens,
                                 std::uint16_t sheet, std::uint16_t options)
{
  // BIFF5 and BIFF8 NAME: options, shortcut key, name length, token size,
  // a reserved word, the sheet it belongs to, four text lengths, the name
  // (BIFF8: with an option byte) and the tokens.
  TBytes data;
  data.U16(options).U8(0).U8(static_cast<std::uint8_t>(name.size()));
  data.U16(static_cast<std::uint16_t>(tokens.size())).U16(0).U16(sheet).U32(0);
  if (IsBiff8())
    data.U8(0);
  data.Ascii(name).Append(tokens);
  return Record(kName, data);
}

TBiffBuilder& TBiffBuilder::ExternSheet8(const std::vector<std::array<std::uint16_t, 3>>& xti)
{
  TBytes data;
  data.U16(static_cast<std::uint16_t>(xti.size()));
  for (const auto& entry : xti)
    data.U16(entry[0]).U16(entry[1]).U16(entry[2]);
  return Record(kExternSheet, data);
}

TBiffBuilder& TBiffBuilder::SupBookSelf(std::uint16_t sheets)
{
  return Record(kSupBook, TBytes().U16(sheets).U16(0x0401));
}

TBiffBuilder& TBiffBuilder::FormulaSpecial(std::uint16_t row, std::uint16_t column,
                                           std::uint16_t xf, std::uint8_t type, std::uint8_t value)
{
  TBytes data = CellPrefix(row, column, xf);
  data.U8(type).U8(0).U8(value).U8(0).U8(0).U8(0).U16(0xFFFF).U16(0);
  if (FVersion >= TExcelVersion::evExcel5)
    data.U32(0);
  data.U16(0);
  return Record(FormulaCode(FVersion), data);
}

TBiffBuilder& TBiffBuilder::String(std::string_view text, bool wide)
{
  TBytes data;
  if (IsBiff8())
    data.U16(static_cast<std::uint16_t>(wide ? Utf16Units(text).size() : text.size()))
        .Append(UnicodeBody(text, wide));
  else
    data.U16(static_cast<std::uint16_t>(text.size())).Ascii(text);
  return Record(kString, data);
}

TBiffBuilder& TBiffBuilder::String2(std::string_view text)
{
  return Record(kString2, TBytes().U8(static_cast<std::uint8_t>(text.size())).Ascii(text));
}

TBytes TBiffBuilder::Cell2Prefix(std::uint16_t row, std::uint16_t column, std::uint8_t xf,
                                 std::uint8_t align) const
{
  // Attribute byte 0 also carries the hidden/locked bits 6-7: set them, so a
  // reader that does not mask them gets a wrong XF index.
  return TBytes().U16(row).U16(column).U8(static_cast<std::uint8_t>(xf | 0xC0)).U8(0).U8(align);
}

TBiffBuilder& TBiffBuilder::Blank2(std::uint16_t row, std::uint16_t column, std::uint8_t xf,
                                   std::uint8_t align)
{
  return Record(kBlank2, Cell2Prefix(row, column, xf, align));
}

TBiffBuilder& TBiffBuilder::Integer2(std::uint16_t row, std::uint16_t column, std::uint16_t value,
                                     std::uint8_t xf, std::uint8_t align)
{
  return Record(kInteger2, Cell2Prefix(row, column, xf, align).U16(value));
}

TBiffBuilder& TBiffBuilder::Number2(std::uint16_t row, std::uint16_t column, double value,
                                    std::uint8_t xf, std::uint8_t align)
{
  return Record(kNumber2, Cell2Prefix(row, column, xf, align).F64(value));
}

TBiffBuilder& TBiffBuilder::Label2(std::uint16_t row, std::uint16_t column, std::string_view text,
                                   std::uint8_t xf, std::uint8_t align)
{
  return Record(kLabel2, Cell2Prefix(row, column, xf, align)
                             .U8(static_cast<std::uint8_t>(text.size()))
                             .Ascii(text));
}

TBiffBuilder& TBiffBuilder::BoolErr2(std::uint16_t row, std::uint16_t column, std::uint8_t value,
                                     bool isError, std::uint8_t xf, std::uint8_t align)
{
  return Record(kBoolErr2, Cell2Prefix(row, column, xf, align).U8(value).U8(isError ? 1 : 0));
}

TBiffBuilder& TBiffBuilder::Formula2(std::uint16_t row, std::uint16_t column, double value,
                                     std::uint8_t xf)
{
  return Record(kFormula, Cell2Prefix(row, column, xf, 0).F64(value).U8(0).U8(0));
}

std::size_t TBiffBuilder::BofOffset(int bofNumber) const
{
  return FBofOffsets.at(static_cast<std::size_t>(bofNumber));
}

std::vector<std::uint8_t> TBiffBuilder::Build() const
{
  std::vector<std::uint8_t> bytes = FBytes;
  for (const TPatch& patch : FPatches) {
    const auto offset = static_cast<std::uint32_t>(BofOffset(patch.BofNumber));
    for (int k = 0; k < 4; ++k)
      bytes[patch.At + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(offset >> (8 * k));
  }
  return bytes;
}

std::vector<std::uint8_t> InCompoundFile(const std::vector<std::uint8_t>& stream,
                                         const std::string& streamName)
{
  return TCompoundFileBuilder().AddStream(streamName, stream).Build();
}

TBiffBuilder& TBiffBuilder::Font(std::uint16_t height, std::uint16_t options, std::uint16_t weight,
                                 std::string_view name, bool wide)
{
  TBytes data;
  data.U16(height).U16(options);
  if (FVersion == TExcelVersion::evExcel2)
    return Record(kFont, data.U8(static_cast<std::uint8_t>(name.size())).Ascii(name));
  if (FVersion <= TExcelVersion::evExcel4)
    return Record(kFont3, data.U16(0x7FFF).U8(static_cast<std::uint8_t>(name.size())).Ascii(name));
  // Colour, weight, escapement, underline, family, character set, reserved.
  data.U16(0x7FFF).U16(weight).U16(0).U8(0).U8(2).U8(0).U8(0);
  if (!IsBiff8())
    return Record(kFont, data.U8(static_cast<std::uint8_t>(name.size())).Ascii(name));
  const std::u16string units = Utf16Units(name);
  data.U8(static_cast<std::uint8_t>(wide ? units.size() : name.size()));
  return Record(kFont, data.Append(UnicodeBody(name, wide)));
}

TBiffBuilder& TBiffBuilder::BuiltInStyle(std::uint16_t xf, std::uint8_t style, std::uint8_t level)
{
  return Record(kStyle, TBytes().U16(static_cast<std::uint16_t>(xf | 0x8000)).U8(style).U8(level));
}

TBiffBuilder& TBiffBuilder::UserStyle(std::uint16_t xf, std::string_view name)
{
  TBytes data;
  data.U16(xf);
  if (IsBiff8())
    data.U16(static_cast<std::uint16_t>(name.size())).Append(UnicodeBody(name, false));
  else
    data.U8(static_cast<std::uint8_t>(name.size())).Ascii(name);
  return Record(kStyle, data);
}

TBiffBuilder& TBiffBuilder::FilePassXor(std::uint16_t key, std::uint16_t verifier)
{
  if (!IsBiff8())
    return Record(kFilePass, TBytes().U16(key).U16(verifier));
  return Record(kFilePass, TBytes().U16(0).U16(key).U16(verifier));
}

TBiffBuilder& TBiffBuilder::FilePassRc4(std::uint8_t fill)
{
  TBytes data;
  data.U16(1).U16(1).U16(1);
  for (int block = 0; block < 3; ++block)
    for (int i = 0; i < 16; ++i)
      data.U8(static_cast<std::uint8_t>(fill + block));
  return Record(kFilePass, data);
}

TBiffBuilder& TBiffBuilder::FilePassCryptoApi(std::uint16_t major, std::string_view provider,
                                              std::uint32_t keyBits)
{
  // [MS-OFFCRYPTO] 2.3.5.1: version, flags, header size, the header (eight
  // words and the provider's name ending in a zero character), the verifier.
  TBytes name;
  name.Utf16(provider).U16(0);
  TBytes data;
  data.U16(1).U16(major).U16(2);
  data.U32(0x0C).U32(static_cast<std::uint32_t>(32 + name.Size()));
  data.U32(0x0C).U32(0).U32(0x6801).U32(0x8004).U32(keyBits).U32(1).U32(0).U32(0).Append(name);
  data.U32(16);
  for (int i = 0; i < 16; ++i)
    data.U8(static_cast<std::uint8_t>(0xA0 + i));
  data.Zeros(16).U32(20).Zeros(20);
  return Record(kFilePass, data);
}

TBiffBuilder& TBiffBuilder::Window2(std::uint16_t options, std::uint16_t topRow, std::uint16_t leftColumn)
{
  if (FVersion == TExcelVersion::evExcel2) {
    TBytes data;
    for (int bit = 0; bit < 5; ++bit)
      data.U8(static_cast<std::uint8_t>((options >> bit) & 1));
    return Record(kWindow2Biff2, data.U16(topRow).U16(leftColumn).U8(1).U32(0));
  }
  TBytes data;
  data.U16(options).U16(topRow).U16(leftColumn);
  if (!IsBiff8())
    return Record(kWindow2, data.U32(0));
  return Record(kWindow2, data.U16(64).U16(0).U16(60).U16(100).U32(0));
}

TBiffBuilder& TBiffBuilder::MergeCells(const std::vector<std::array<std::uint16_t, 4>>& ranges)
{
  TBytes data;
  data.U16(static_cast<std::uint16_t>(ranges.size()));
  for (const auto& r : ranges)
    data.U16(r[0]).U16(r[1]).U16(r[2]).U16(r[3]);
  return Record(kMergeCells, data);
}

namespace {

// [MS-OSHARED] 2.3.7.1: the class ids of the hyperlink object and the URL
// moniker, as stored (their first three groups little-endian).
constexpr std::uint8_t kHyperlinkClsid[16] = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                              0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
constexpr std::uint8_t kUrlMonikerClsid[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                               0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};

TBytes HyperlinkString(std::string_view utf8)
{
  // Characters counted with the terminating zero.
  TBytes result;
  result.U32(static_cast<std::uint32_t>(Utf16Units(utf8).size() + 1)).Utf16(utf8).U16(0);
  return result;
}

TBytes HLinkStart(std::uint16_t row, std::uint16_t column, std::uint32_t flags)
{
  TBytes data;
  data.U16(row).U16(row).U16(column).U16(column);
  for (const std::uint8_t b : kHyperlinkClsid)
    data.U8(b);
  return data.U32(2).U32(flags);
}

}  // namespace

TBiffBuilder& TBiffBuilder::HLinkUrl(std::uint16_t row, std::uint16_t column, std::string_view url,
                                     std::string_view location)
{
  // Flags: has a moniker, absolute, and a location when one is given.
  TBytes data = HLinkStart(row, column, location.empty() ? 0x03u : 0x0Bu);
  for (const std::uint8_t b : kUrlMonikerClsid)
    data.U8(b);
  data.U32(static_cast<std::uint32_t>(2 * (Utf16Units(url).size() + 1))).Utf16(url).U16(0);
  if (!location.empty())
    data.Append(HyperlinkString(location));
  return Record(kHLink, data);
}

TBiffBuilder& TBiffBuilder::HLinkLocation(std::uint16_t row, std::uint16_t column, std::string_view location)
{
  TBytes data = HLinkStart(row, column, 0x08);
  data.Append(HyperlinkString(location));
  return Record(kHLink, data);
}

TBiffBuilder& TBiffBuilder::Txo(std::string_view text, const std::vector<std::uint16_t>& runFonts)
{
  // Options (left, top), rotation, 6 reserved bytes, text length, runs'
  // size, the empty text's font, then the text and the runs.
  const auto runBytes = static_cast<std::uint16_t>(8 * runFonts.size());
  Record(kTxo, TBytes().U16(0x0012).U16(0).Zeros(6).U16(static_cast<std::uint16_t>(text.size())).U16(runBytes).U16(0));
  Record(kContinue, TBytes().U8(0).Ascii(text));
  TBytes runs;
  for (std::size_t i = 0; i < runFonts.size(); ++i)
    runs.U16(static_cast<std::uint16_t>(i + 1 == runFonts.size() ? text.size() : i)).U16(runFonts[i]).U32(0);
  return Record(kContinue, runs);
}
