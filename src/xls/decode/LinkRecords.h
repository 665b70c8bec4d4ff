#pragma once

// Decoders of the records that link formulas to other sheets, workbooks and
// add-ins: EXTERNSHEET, SUPBOOK, EXTERNNAME ([MS-XLS] 2.4.106, 2.4.271,
// 2.4.105). The load does not need them; the formula text does.

#include "xls/RecordCodes.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/RecordCursor.h"
#include "xls/decode/Strings.h"
#include "xls/formula/FormulaDecoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace LinkDecode {

/// Characters as BIFF stores them in a record: from BIFF8 on an option byte
/// and 8-bit or UTF-16 characters, before it 8-bit text of the code page.
template <typename C>
std::string Chars(C& c, const TDecodeContext& context, std::size_t count, const char* name)
{
  std::string text;
  if (!context.Biff8()) {
    Append8Bit(c.BytesUpTo(name, count), context, text);
  } else {
    const bool wide = c.U8("options") & 0x01;
    const auto bytes = c.BytesUpTo(name, wide ? 2 * count : count);
    if (wide)
      AppendUtf16LeBytesAsUtf8(bytes, text);
    else
      AppendLatin1AsUtf8(bytes, text);
  }
  c.Value([&] { return text; });
  return text;
}

}  // namespace LinkDecode

/// EXTERNSHEET: from BIFF8 on the XTI table (a SUPBOOK and a range of its
/// sheets per entry); before, one encoded sheet or book reference.
struct TExternSheetRecord {
  std::vector<TFormulaXti> Xti;
  std::string Encoded;
};

struct TExternSheetDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TExternSheetRecord record;
    if (context.Biff8()) {
      const std::size_t count = c.U16("count");
      // No more entries than the record holds, whatever the count says.
      for (std::size_t i = 0; i < count && c.Remaining() >= 6; ++i) {
        c.Begin("xti");
        TFormulaXti xti;
        xti.SupBook = c.U16("supbook");
        xti.FirstSheet = c.U16("first_sheet");
        xti.LastSheet = c.U16("last_sheet");
        c.End();
        record.Xti.push_back(xti);
      }
    } else {
      const std::size_t length = c.U8("length");
      record.Encoded = LinkDecode::Chars(c, context, length, "encoded");
    }
    if (!c.Short())
      out(record);
  }
};

/// SUPBOOK: the workbook a group of XTI entries points to: this one, the
/// add-ins, or another book with its path and sheet names.
struct TSupBookDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    // [MS-XLS] 2.4.271: these two values in place of the path's length mark
    // the own workbook and the add-in functions.
    constexpr std::uint16_t kSelf = 0x0401;
    constexpr std::uint16_t kAddIn = 0x3A01;
    TFormulaSupBook book;
    const std::size_t sheets = c.U16("sheet_count");
    const std::uint16_t marker = c.U16("path_length");
    if (marker == kSelf) {
      book.Kind = TSupBookKind::sbSelf;
    } else if (marker == kAddIn) {
      book.Kind = TSupBookKind::sbAddIn;
    } else {
      book.Path = LinkDecode::Chars(c, context, marker, "path");
      for (std::size_t i = 0; i < sheets && c.Remaining() >= 3; ++i) {
        const std::size_t length = c.U16("sheet_name_length");
        book.SheetNames.push_back(LinkDecode::Chars(c, context, length, "sheet_name"));
      }
      book.Kind = sheets > 0 ? TSupBookKind::sbExternal : TSupBookKind::sbOther;
    }
    if (!c.Short())
      out(book);
  }
};

/// EXTERNNAME: a name of an external workbook, an add-in function or a
/// DDE/OLE item; its text is what a formula shows.
struct TExternNameDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    c.U16("options");
    if (context.Version >= TExcelVersion::evExcel5)
      c.U32("reserved");
    const std::size_t length = c.U8("name_length");
    std::string name = LinkDecode::Chars(c, context, length, "name");
    if (c.Short())
      return;
    out(name);
  }
};
