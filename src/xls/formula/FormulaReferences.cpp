#include "xls/formula/FormulaDecoderState.h"

#include "xls/formula/FormulaMessages.h"
#include "xls/decode/FormulaText.h"

#include <algorithm>

using namespace FormulaDecode;

namespace {

// What a reference token holds and how its cells read.
struct TReferenceForm {
  bool Area = false;     // two rows and two columns
  bool Deleted = false;  // "#REF!" whatever its fields
  bool Offsets = false;  // relative parts are offsets from the cell (tRefN, tAreaN)
  bool ThreeD = false;   // sheets first
};

TReferenceForm FormOf(std::uint8_t base)
{
  switch (base) {
  case kPtgArea: return {true, false, false, false};
  case kPtgRefErr: return {false, true, false, false};
  case kPtgAreaErr: return {true, true, false, false};
  case kPtgRefN: return {false, false, true, false};
  case kPtgAreaN: return {true, false, true, false};
  case kPtgRef3d: return {false, false, false, true};
  case kPtgArea3d: return {true, false, false, true};
  case kPtgRefErr3d: return {false, true, false, true};
  case kPtgAreaErr3d: return {true, true, false, true};
  default: return {};  // kPtgRef
  }
}

}  // namespace

// One reference field pair resolved. `offsets`: the relative parts are
// offsets from the cell (tRefN, and every reference of a NAME), added to it
// and wrapped around the sheet; otherwise they are the cell itself and the
// flags only decide the "$".
TFormulaDecoder::TState::TResolved TFormulaDecoder::TState::Resolve(std::uint16_t rowField,
                                                                    std::uint16_t columnField,
                                                                    bool offsets) const
{
  const bool biff8 = FBiff == TBiff::bf8;
  const std::uint16_t flags = biff8 ? columnField : rowField;
  TResolved cell;
  cell.RowRelative = (flags & kRowRelative) != 0;
  cell.ColumnRelative = (flags & kColumnRelative) != 0;
  cell.Row = biff8 ? rowField : (rowField & kBiff5RowMask);
  cell.Column = biff8 ? (columnField & kBiff8ColumnMask) : (columnField & 0xFF);
  if (offsets && cell.RowRelative) {
    // BIFF8 rows are 16-bit offsets; BIFF2-7 keep 14 bits, the sign in bit 13.
    const std::int32_t offset = biff8 ? static_cast<std::int16_t>(rowField)
                                      : (static_cast<std::int32_t>(cell.Row ^ 0x2000) - 0x2000);
    cell.Row = static_cast<std::uint32_t>(static_cast<std::int32_t>(FCell.Row) + offset) &
               (RowCount() - 1);
  }
  if (offsets && cell.ColumnRelative) {
    const auto offset = static_cast<std::int8_t>(columnField & 0xFF);
    cell.Column = static_cast<std::uint32_t>(static_cast<std::int32_t>(FCell.Column) + offset) &
                  kLastColumn;
  }
  return cell;
}

// A cell reads "B3", "$B$3", ...; an area over every row of the version's
// grid "A:B", one over all 256 columns "1:3", as Excel writes them. The
// relative flags of the parts it leaves out do not count: writers set them
// either way (one stores the last row of a BIFF7 column as 0xFFFF, which
// reads as row 16384 with both flags set), and an area that spans the grid
// spans it wherever the formula is copied.
char* TFormulaDecoder::TState::WriteReference(char* out, const TPiece& piece) const
{
  const TResolved first = Resolve(piece.Row1, piece.Column1, piece.Offsets);
  if (piece.Kind == TPieceKind::pkCell)
    return WriteCellReference(out, first.Row, first.Column, first.RowRelative,
                              first.ColumnRelative);
  const TResolved last = Resolve(piece.Row2, piece.Column2, piece.Offsets);
  if (first.Row == 0 && last.Row == RowCount() - 1) {
    if (!first.ColumnRelative)
      *out++ = '$';
    out = WriteColumnName(out, first.Column);
    *out++ = ':';
    if (!last.ColumnRelative)
      *out++ = '$';
    return WriteColumnName(out, last.Column);
  }
  if (first.Column == 0 && last.Column == kLastColumn) {
    if (!first.RowRelative)
      *out++ = '$';
    out = WriteWholeNumber(out, std::uint64_t{first.Row} + 1);
    *out++ = ':';
    if (!last.RowRelative)
      *out++ = '$';
    return WriteWholeNumber(out, std::uint64_t{last.Row} + 1);
  }
  out = WriteCellReference(out, first.Row, first.Column, first.RowRelative, first.ColumnRelative);
  *out++ = ':';
  return WriteCellReference(out, last.Row, last.Column, last.RowRelative, last.ColumnRelative);
}

void TFormulaDecoder::TState::SheetRange(std::string_view first, std::string_view last)
{
  if (first == last) {
    AppendSheetName(FExpression.Scratch, first);
    return;
  }
  // Excel quotes a range of sheets as a whole: 'Sheet 1:Sheet3'!A1.
  const bool quote = SheetNameNeedsQuotes(first) || SheetNameNeedsQuotes(last);
  if (quote)
    FExpression.Scratch += '\'';
  for (const std::string_view part : {first, std::string_view(":"), last})
    for (const char c : part) {
      if (quote && c == '\'')
        FExpression.Scratch += '\'';
      LinkPath::AppendVisible(FExpression.Scratch, std::string_view(&c, 1));
    }
  if (quote)
    FExpression.Scratch += '\'';
}

// The sheet part of a BIFF8 3D reference, without the "!": XTI -> SUPBOOK.
// A deleted sheet reads "#REF!" as Excel writes it ("#REF!A1").
bool TFormulaDecoder::TState::SheetPrefix8(std::uint16_t ixti)
{
  if (ixti >= FContext.Xti.size() || FContext.Xti[ixti].SupBook >= FContext.SupBooks.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(ixti));
  const TFormulaXti& xti = FContext.Xti[ixti];
  const TFormulaSupBook& book = FContext.SupBooks[xti.SupBook];
  switch (book.Kind) {
  case TSupBookKind::sbSelf: {
    const auto& names = FContext.SheetNames;
    if (xti.FirstSheet >= names.size() || xti.LastSheet >= names.size()) {
      FExpression.Scratch += "#REF";
      return true;
    }
    SheetRange(names[xti.FirstSheet], names[std::max(xti.FirstSheet, xti.LastSheet)]);
    return true;
  }
  case TSupBookKind::sbExternal:
  case TSupBookKind::sbOther:
    return BookPrefix8(book, xti);
  case TSupBookKind::sbAddIn:
    break;
  }
  FExpression.Scratch += "#REF";
  return true;
}

// A SUPBOOK with a path: another book with the XTI's sheets (none for a
// reference to the whole book), a book without a name ("!A1": the sheet
// that uses the formula), or a DDE or OLE link.
bool TFormulaDecoder::TState::BookPrefix8(const TFormulaSupBook& book, const TFormulaXti& xti)
{
  LinkPath::Decode(book.Path, FLink);
  const auto& names = book.SheetNames;
  const bool sheetsKnown = xti.FirstSheet < names.size() && xti.LastSheet < names.size();
  switch (FLink.Kind) {
  case LinkPath::TKind::lkDde:
    AppendDdePrefix(FExpression.Scratch, FLink);
    return true;
  case LinkPath::TKind::lkAddIn:
  case LinkPath::TKind::lkUnused:
    FExpression.Scratch += "#REF";
    return true;
  case LinkPath::TKind::lkSelf:
  case LinkPath::TKind::lkEmptyBook:
    if (sheetsKnown)
      SheetRange(names[xti.FirstSheet], names[std::max(xti.FirstSheet, xti.LastSheet)]);
    return true;
  case LinkPath::TKind::lkBook:
    break;
  }
  if (xti.FirstSheet == kXtiWorkbookLevel) {
    AppendBookPrefix(FExpression.Scratch, FLink, {}, {}, false);
    return true;
  }
  if (!sheetsKnown) {
    FExpression.Scratch += "#REF";
    return true;
  }
  AppendBookPrefix(FExpression.Scratch, FLink, names[xti.FirstSheet], names[xti.LastSheet], true);
  return true;
}

// The sheet part of a BIFF5-7 3D reference: a negative EXTERNSHEET number
// is this book, whose sheets the token numbers itself (0xFFFF: deleted);
// a positive one is an entry of the link table naming book and sheet.
bool TFormulaDecoder::TState::SheetPrefix5(std::int16_t ixals, std::int16_t first,
                                           std::int16_t last)
{
  if (ixals < 0) {
    const auto& names = FContext.SheetNames;
    if (first < 0 || last < 0 || static_cast<std::size_t>(first) >= names.size() ||
        static_cast<std::size_t>(last) >= names.size()) {
      FExpression.Scratch += "#REF";
      return true;
    }
    SheetRange(names[static_cast<std::size_t>(first)],
               names[static_cast<std::size_t>(std::max(first, last))]);
    return true;
  }
  if (ixals == 0 || static_cast<std::size_t>(ixals) > FContext.ExternSheets.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(ixals)));
  return LinkPrefix(FContext.ExternSheets[static_cast<std::size_t>(ixals - 1)]);
}

// A BIFF2-7 link table entry before a reference's "!": a sheet of this
// book, a sheet of a book without a name (or none: "!A1"), another book's
// sheet, a DDE link.
bool TFormulaDecoder::TState::LinkPrefix(const TFormulaExternSheet& entry)
{
  LinkPath::Decode(entry.Encoded, FLink);
  switch (FLink.Kind) {
  case LinkPath::TKind::lkSelf:
    if (FLink.HasSheet)
      AppendSheetName(FExpression.Scratch, FLink.Sheet);
    else
      FExpression.Scratch += "#REF";
    return true;
  case LinkPath::TKind::lkEmptyBook:
    if (FLink.HasSheet)
      AppendSheetName(FExpression.Scratch, FLink.Sheet);
    return true;
  case LinkPath::TKind::lkDde:
    AppendDdePrefix(FExpression.Scratch, FLink);
    return true;
  case LinkPath::TKind::lkAddIn:
  case LinkPath::TKind::lkUnused:
    FExpression.Scratch += "#REF";
    return true;
  case LinkPath::TKind::lkBook:
    break;
  }
  AppendBookPrefix(FExpression.Scratch, FLink, FLink.Sheet, FLink.Sheet, FLink.HasSheet);
  return true;
}

bool TFormulaDecoder::TState::Reference(std::uint8_t base, TRecordCursor& r)
{
  const bool biff8 = FBiff == TBiff::bf8;
  const TReferenceForm form = FormOf(base);
  const bool threeD = form.ThreeD;
  const bool area = form.Area;
  const bool deleted = form.Deleted;
  const bool offsets = form.Offsets || FKind == TFormulaKind::fkName;

  // 3D: BIFF8 an XTI number; BIFF5 an EXTERNSHEET number, 8 unused bytes,
  // and (own book) the first and last sheet.
  std::uint16_t ixti = 0;
  std::int16_t ixals = 0;
  std::int16_t firstSheet = 0;
  std::int16_t lastSheet = 0;
  if (threeD) {
    if (biff8) {
      ixti = r.U16("word");
    } else {
      ixals = r.I16("word");
      r.Skip("unused", 8);
      firstSheet = r.I16("word");
      lastSheet = r.I16("word");
    }
  }
  // The rows and columns are field slots: the text reads them only when
  // written.
  const std::size_t columnSize = biff8 ? 2 : 1;
  const std::size_t row1At = r.Position();
  const std::uint16_t row1 = r.U16("word");
  const std::size_t row2At = r.Position();
  const std::uint16_t row2 = area ? r.U16("word") : 0;
  const std::size_t col1At = r.Position();
  const std::uint16_t col1 = biff8 ? r.U16("word") : r.U8("byte");
  const std::size_t col2At = r.Position();
  const std::uint16_t col2 = !area ? 0 : biff8 ? r.U16("word") : r.U8("byte");
  if (r.Short())
    return true;

  const std::uint32_t begin = BeginText();
  bool prefixed = false;
  if (threeD) {
    if (!(biff8 ? SheetPrefix8(ixti) : SheetPrefix5(ixals, firstSheet, lastSheet)))
      return false;
    prefixed = true;
  } else if (FSheetRef > 0) {
    if (!LinkPrefix(FContext.ExternSheets[static_cast<std::size_t>(FSheetRef - 1)]))
      return false;
    prefixed = true;
  }
  if (prefixed)
    FExpression.Scratch += '!';
  if (deleted) {
    // A deleted cell or area is "#REF!" after its sheet part, which is
    // "#REF!" too for a sheet that went: "#REF!#REF!".
    FExpression.Scratch += "#REF!";
    PushText(begin);
    return true;
  }
  TPiece reference;
  reference.Kind = area ? TPieceKind::pkArea : TPieceKind::pkCell;
  reference.Row1 = row1;
  reference.Column1 = col1;
  reference.Row2 = row2;
  reference.Column2 = col2;
  reference.Offsets = offsets;
  PushText(begin, &reference);
  AddSlot(row1At, 2, TSlotField::sfRow1);
  if (area)
    AddSlot(row2At, 2, TSlotField::sfRow2);
  AddSlot(col1At, columnSize, TSlotField::sfColumn1);
  if (area)
    AddSlot(col2At, columnSize, TSlotField::sfColumn2);
  return true;
}

// A name of this book: a built-in one spelt out, and one that belongs to
// another sheet than the formula's after that sheet's name ("Data!Local"),
// as a formula elsewhere must write it.
void TFormulaDecoder::TState::AppendNameText(const TFormulaName& name)
{
  if (name.Sheet != 0 && name.Sheet != FContext.HostSheet &&
      name.Sheet <= FContext.SheetNames.size()) {
    AppendSheetName(FExpression.Scratch, FContext.SheetNames[name.Sheet - 1u]);
    FExpression.Scratch += '!';
  }
  if (name.BuiltIn && name.Name.size() == 1) {
    const std::string_view text = BuiltInName(static_cast<std::uint8_t>(name.Name[0]));
    if (!text.empty()) {
      FExpression.Scratch += text;
      return;
    }
  }
  LinkPath::AppendVisible(FExpression.Scratch, name.Name);
}

bool TFormulaDecoder::TState::AppendOwnName(std::uint16_t index)
{
  if (index == 0 || index > FContext.Names.size())
    return FailHere(kMsgFormulaBadName, Decimal(index));
  AppendNameText(FContext.Names[index - 1]);
  return true;
}

// A name through a BIFF2-7 link table entry: one of this book's own NAME
// records for an entry of this book; else the EXTERNNAME after the entry,
// bare for the add-ins, "book!name" (or "[book]sheet!name") for another
// book, "app|topic!item" for a DDE link.
bool TFormulaDecoder::TState::AppendLinkName(const TFormulaExternSheet& entry,
                                             std::uint16_t index)
{
  LinkPath::Decode(entry.Encoded, FLink);
  if (FLink.Kind == LinkPath::TKind::lkSelf)
    return AppendOwnName(index);
  if (index == 0 || index > entry.Names.size())
    return FailHere(kMsgFormulaBadExternName, Decimal(index));
  switch (FLink.Kind) {
  case LinkPath::TKind::lkDde:
    AppendDdePrefix(FExpression.Scratch, FLink);
    FExpression.Scratch += '!';
    break;
  case LinkPath::TKind::lkBook:
    AppendBookPrefix(FExpression.Scratch, FLink, FLink.Sheet, FLink.Sheet, FLink.HasSheet);
    FExpression.Scratch += '!';
    break;
  default:
    break;
  }
  LinkPath::AppendVisible(FExpression.Scratch, entry.Names[index - 1]);
  return true;
}

// tNameX. BIFF8: XTI number, one-based name number, 2 unused bytes; the
// XTI's SUPBOOK says whose name it is. BIFF5: EXTERNSHEET number (negative:
// this book's NAME records), 8 unused bytes, name number, 12 unused bytes.
bool TFormulaDecoder::TState::NameX(TRecordCursor& r)
{
  const std::uint32_t begin = BeginText();
  if (FBiff != TBiff::bf8) {
    const std::int16_t ixals = r.I16("word");
    r.Skip("unused", 8);
    const std::uint16_t index = r.U16("word");
    r.Skip("unused", 12);
    if (r.Short())
      return true;
    if (ixals < 0) {
      if (!AppendOwnName(index))
        return false;
    } else {
      if (ixals == 0 || static_cast<std::size_t>(ixals) > FContext.ExternSheets.size())
        return FailHere(kMsgFormulaBadExternSheet, Decimal(static_cast<std::size_t>(ixals)));
      if (!AppendLinkName(FContext.ExternSheets[static_cast<std::size_t>(ixals - 1)], index))
        return false;
    }
    PushText(begin);
    return true;
  }

  const std::uint16_t ixti = r.U16("word");
  const std::uint16_t index = r.U16("word");
  r.Skip("unused", 2);
  if (r.Short())
    return true;
  if (ixti >= FContext.Xti.size() || FContext.Xti[ixti].SupBook >= FContext.SupBooks.size())
    return FailHere(kMsgFormulaBadExternSheet, Decimal(ixti));
  const TFormulaXti& xti = FContext.Xti[ixti];
  const TFormulaSupBook& book = FContext.SupBooks[xti.SupBook];
  // This book's names: a sheet's own name carries its sheet, whatever the
  // XTI says (writers point it at the sheet or at the whole book).
  if (book.Kind == TSupBookKind::sbSelf) {
    if (!AppendOwnName(index))
      return false;
    PushText(begin);
    return true;
  }
  if (index == 0 || index > book.Names.size())
    return FailHere(kMsgFormulaBadExternName, Decimal(index));
  if (book.Kind != TSupBookKind::sbAddIn) {
    LinkPath::Decode(book.Path, FLink);
    switch (FLink.Kind) {
    case LinkPath::TKind::lkBook:
      if (xti.FirstSheet < book.SheetNames.size()) {
        const std::string& sheet = book.SheetNames[xti.FirstSheet];
        AppendBookPrefix(FExpression.Scratch, FLink, sheet, sheet, true);
      } else {
        AppendBookPrefix(FExpression.Scratch, FLink, {}, {}, false);
      }
      FExpression.Scratch += '!';
      break;
    case LinkPath::TKind::lkDde:
      AppendDdePrefix(FExpression.Scratch, FLink);
      FExpression.Scratch += '!';
      break;
    default:
      break;
    }
  }
  LinkPath::AppendVisible(FExpression.Scratch, book.Names[index - 1]);
  PushText(begin);
  return true;
}
