#pragma once

// Decoders of the records that link formulas to other sheets, workbooks and
// add-ins: EXTERNSHEET, SUPBOOK, EXTERNNAME ([MS-XLS] 2.4.106, 2.4.271,
// 2.4.105). The load does not need them; the formula text does.

#include "xls/RecordCodes.h"
#include "xls/decode/DecodeContext.h"
#include "xls/decode/Layout.h"
#include "xls/decode/LinkTable.h"
#include "xls/decode/LinkPath.h"
#include "xls/decode/RecordCursor.h"
#include "xls/decode/Strings.h"

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
        c.Meaning([] { return std::string("SUPBOOK record, counting from 0"); });
        xti.FirstSheet = c.U16("first_sheet");
        xti.LastSheet = c.U16("last_sheet");
        c.End();
        record.Xti.push_back(xti);
      }
    } else {
      const std::size_t length = c.U8("length");
      record.Encoded = LinkDecode::Chars(c, context, length, "encoded");
      c.Meaning([&] { return LinkPath::Text(record.Encoded); });
    }
    const bool complete = !c.Short();
    c.SkipRest("unused");
    if (complete)
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
      c.Meaning([] { return std::string("this workbook"); });
    } else if (marker == kAddIn) {
      book.Kind = TSupBookKind::sbAddIn;
      c.Meaning([] { return std::string("add-in functions"); });
    } else {
      book.Path = LinkDecode::Chars(c, context, marker, "path");
      c.Meaning([&] { return LinkPath::Text(book.Path); });
      for (std::size_t i = 0; i < sheets && c.Remaining() >= 3; ++i) {
        const std::size_t length = c.U16("sheet_name_length");
        book.SheetNames.push_back(LinkDecode::Chars(c, context, length, "sheet_name"));
      }
      LinkPath::TTarget target;
      LinkPath::Decode(book.Path, target);
      book.Kind = target.Kind == LinkPath::TKind::lkDde ? TSupBookKind::sbOther
                                                        : TSupBookKind::sbExternal;
    }
    const bool complete = !c.Short();
    c.SkipRest("unused");
    if (complete)
      out(book);
  }
};

/// EXTERNNAME: a name of an external workbook, an add-in function or a
/// DDE/OLE item; its text is what a formula shows.
struct TExternNameDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&& out) const
  {
    // BIFF2 stores the name alone, BIFF3 and BIFF4 (0x0223) after the
    // options, BIFF5 on after the sheet and a reserved word, with the
    // definition's tokens last.
    const bool biff2 = code == kRecExternName && context.Version < TExcelVersion::evExcel3;
    if (!biff2) {
      c.U16("options");
      c.Flag("built_in", 0);
      c.Flag("want_advise", 1);
      c.Flag("want_picture", 2);
      c.Flag("ole", 3);
      c.Flag("ole_link", 4);
      c.Bits("clipboard_format", 5, 10);
      c.Flag("icon", 15);
    }
    const bool full = !biff2 && code != kRecExternName3;
    if (full) {
      c.U16("sheet");
      c.U16("reserved");
    }
    const std::size_t length = c.U8("name_length");
    std::string name = LinkDecode::Chars(c, context, length, "name");
    const bool complete = !c.Short();
    if (full && c.Remaining() >= 2) {
      const std::size_t size = ReadByteCount16(c, "formula_size");
      ReadTokens(c, size);
    }
    c.SkipRest("unused");
    if (complete)
      out(name);
  }
};
