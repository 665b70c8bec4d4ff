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

/// One EXTERNNAME: its name and option flags.
struct TExternNameRecord {
  std::string Name;
  std::uint16_t Options = 0;  // 0 for BIFF2, which stores none

  /// [MS-XLS] 2.4.105 ExternName: fOle and fOleLink mark an OLE object's
  /// link; a DDE link's item has neither.
  bool Ole() const { return (Options & 0x0018) != 0; }
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
    TExternNameRecord record;
    if (!biff2) {
      record.Options = c.U16("options");
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
    record.Name = LinkDecode::Chars(c, context, length, "name");
    const bool complete = !c.Short();
    if (full && c.Remaining() >= 2) {
      const std::size_t size = ReadByteCount16(c, "formula_size");
      ReadTokens(c, size);
    }
    c.SkipRest("unused");
    if (complete)
      out(record);
  }
};

/// DBQUERY: where an external data query reads from ([MS-XLS] 2.4.79
/// DbQuery): the source's type, flags, and how many SXSTRING records after
/// it hold each of its texts (SQL, connection, a web query's URL and POST
/// data), in the order the flags give.
struct TDbQueryRecord {
  /// 1 ODBC, 2 DAO, 4 web query, 5 OLE DB, 6 text file, 7 ADO.
  std::uint8_t Source = 0;
  bool Odbc = false;
  bool Sql = false;
  bool SavedSql = false;
  bool Web = false;
  std::uint16_t Parameters = 0;
  std::uint16_t QueryStrings = 0;  // the SQL, or a web query's URL
  std::uint16_t PostStrings = 0;
  std::uint16_t SavedSqlStrings = 0;
  std::uint16_t ConnectionStrings = 0;

  /// How many SXSTRING records come before the web query's URL.
  std::size_t StringsBeforeUrl() const
  {
    return std::size_t{Sql ? QueryStrings : 0u} + std::size_t{Odbc ? ConnectionStrings : 0u};
  }
};

namespace LinkDecode {

inline constexpr TNamedValue kQuerySources[] = {{1, "ODBC"}, {2, "DAO"}, {4, "web query"},
                                                {5, "OLE DB"}, {6, "text file"}, {7, "ADO"}};
inline constexpr std::uint16_t kSourceMask = 0x0007;
inline constexpr std::uint16_t kNoSegment = 0xFFFF;  // SXSTRING: no characters follow

}  // namespace LinkDecode

struct TDbQueryDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    TDbQueryRecord query;
    const std::uint16_t flags = c.U16("options");
    c.Bits("source", 0, 3, [](std::int64_t v) { return NameOf(LinkDecode::kQuerySources, v); });
    c.Flag("odbc", 3);
    c.Flag("sql", 4);
    c.Flag("saved_sql", 5);
    c.Flag("web", 6);
    c.Flag("save_password", 7);
    c.Flag("html_tables_only", 8);
    query.Source = static_cast<std::uint8_t>(flags & LinkDecode::kSourceMask);
    query.Odbc = flags & 0x0008;
    query.Sql = flags & 0x0010;
    query.SavedSql = flags & 0x0020;
    query.Web = flags & 0x0040;
    query.Parameters = c.U16("parameters");
    query.QueryStrings = c.U16("query_strings");
    query.PostStrings = c.U16("post_strings");
    query.SavedSqlStrings = c.U16("saved_sql_strings");
    query.ConnectionStrings = c.U16("connection_strings");
    const bool complete = !c.Short();
    c.SkipRest("unused");
    if (complete)
      out(query);
  }
};

/// SXSTRING: one segment of a query's or a PivotCache's text.
struct TSxStringDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    const std::size_t count = c.U16("length");
    if (c.Short())
      return;
    std::string text;
    if (count != LinkDecode::kNoSegment) {
      if (context.Biff8())
        text = ReadUnicodeChars(c, count, "text");
      else
        text = ReadByteChars(c, context, count, "text");
    }
    c.SkipRest("unused");
    out(text);
  }
};
