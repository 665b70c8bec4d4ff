#pragma once

// Layouts of a sheet's own records that hold no cell: the row-block index,
// sizes and outline, page setup, the window and its panes, merged ranges.
// Described by the inspector; the load reads none of them.

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"

#include <cstdint>
#include <string>

namespace SheetLayout {

// [MS-XLS] 2.4.257 Setup iPaperSize, the common ones.
inline constexpr TNamedValue kPaperSizes[] = {
    {0, "undefined"},  {1, "Letter"},      {2, "Letter small"}, {3, "Tabloid"},
    {4, "Ledger"},     {5, "Legal"},       {6, "Statement"},    {7, "Executive"},
    {8, "A3"},         {9, "A4"},          {10, "A4 small"},    {11, "A5"},
    {12, "B4 (JIS)"},  {13, "B5 (JIS)"},   {14, "Folio"},       {15, "Quarto"},
    {16, "10x14"},     {17, "11x17"},      {18, "Note"},        {19, "Envelope #9"},
    {20, "Envelope #10"}, {27, "Envelope DL"}, {28, "Envelope C5"}, {34, "Envelope B5"},
    {37, "Envelope Monarch"}, {39, "US Std Fanfold"}, {40, "German Std Fanfold"},
    {41, "German Legal Fanfold"}, {70, "A6"},
};
// A row height's twips; bit 15 is a flag.
inline constexpr std::uint16_t kRowHeightMask = 0x7FFF;
// BIFF2 attribute byte 0: the XF index in bits 0-5; 63 says a 16-bit index
// follows the attributes.
inline constexpr std::uint8_t kXf2Mask = 0x3F;
inline constexpr TNamedValue kPanes[] = {
    {0, "bottom right"}, {1, "top right"}, {2, "bottom left"}, {3, "top left"}};

}  // namespace SheetLayout

/// INDEX: the rows the sheet uses and where each block's DBCELL stands
/// (BIFF8: 32-bit rows; BIFF4 on: the DEFCOLWIDTH position before the list).
struct TIndexDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&&) const
  {
    c.U32("reserved");
    if (context.Biff8()) {
      c.U32("first_row");
      c.U32("last_row_plus_1");
    } else {
      c.U16("first_row");
      c.U16("last_row_plus_1");
    }
    if (code == kRecIndex && context.Version >= TExcelVersion::evExcel4) {
      c.U32("defcolwidth_position");
      c.Link(TFieldLinkKind::lkStreamOffset);
      c.Meaning([] { return std::string("stream position of the DEFCOLWIDTH record"); });
    }
    while (c.Remaining() >= 4) {
      c.U32("dbcell_position");
      c.Link(TFieldLinkKind::lkStreamOffset);
      c.Meaning([] { return std::string("stream position of a DBCELL record"); });
    }
    c.SkipRest("unused");
  }
};

/// DBCELL: where a block of rows starts, counted back from this record, and
/// where each row's first cell stands ([MS-XLS] 2.4.78: the first relative
/// to the end of the block's first ROW, each next to the one before).
struct TDbCellDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    // A ROW record: 4 header bytes and 16 of data.
    constexpr std::int64_t kRowRecordBytes = 20;
    const std::int64_t back = c.U32("first_row_offset");
    c.Link(TFieldLinkKind::lkRecordOffset, -back);
    c.Meaning([&] { return std::to_string(back) + " bytes back: the block's first ROW record"; });
    std::int64_t cell = -back + kRowRecordBytes;
    while (c.Remaining() >= 2) {
      cell += c.U16("cell_offset");
      c.Link(TFieldLinkKind::lkRecordOffset, cell);
      c.Meaning([] { return std::string("first cell record of a row"); });
    }
    c.SkipRest("unused");
  }
};

/// EXTSST: how many strings a bucket holds, then for each bucket where its
/// first string stands: its stream position and its offset in its record.
struct TExtSstDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("strings_per_bucket");
    std::size_t bucket = 0;
    while (c.Remaining() >= 8) {
      c.Begin("bucket");
      c.U32("position");
      c.Link(TFieldLinkKind::lkStreamOffset);
      c.Meaning([] { return std::string("stream position of the bucket's first string"); });
      c.U16("offset_in_record");
      c.U16("reserved");
      c.End();
      c.Meaning([&] { return "bucket " + std::to_string(bucket); });
      ++bucket;
    }
    c.SkipRest("unused");
  }
};

/// DEFAULTROWHEIGHT: BIFF2 a height; from BIFF3 options and the height.
struct TDefaultRowHeightDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    if (code == kRecDefaultRowHeight) {
      c.U16("options");
      c.Flag("unsynced", 0);
      c.Flag("zero_height", 1);
      c.Flag("extra_ascent", 2);
      c.Flag("extra_descent", 3);
    }
    const std::uint16_t height = c.U16("height");
    c.Meaning([&] { return TwipsText(height & SheetLayout::kRowHeightMask); });
    c.SkipRest("unused");
  }
};

/// ROW of BIFF2: the row, its cells' column range and height, whether
/// default attributes follow, and the offset of its cells.
struct TRow2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("row");
    c.U16("first_col");
    c.U16("last_col_plus_1");
    const std::uint16_t height = c.U16("height");
    c.Meaning([&] { return TwipsText(height & SheetLayout::kRowHeightMask); });
    c.U16("reserved");
    const bool attributes = c.U8("has_attributes") != 0;
    c.U16("cell_offset");
    if (attributes && c.Remaining() >= 3) {
      const std::uint8_t a0 = c.U8("attributes0");
      c.U8("attributes1");
      c.U8("attributes2");
      if ((a0 & SheetLayout::kXf2Mask) == SheetLayout::kXf2Mask && c.Remaining() >= 2) {
        c.U16("xf");
        c.Link(TFieldLinkKind::lkXf);
      }
    }
    c.SkipRest("unused");
  }
};

/// DIMENSIONS of BIFF2 (code 0: 16-bit rows and columns). The same code
/// stands for the zero padding some writers leave after a stream's end.
struct TDimensions2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    if (c.Size() < 8) {
      c.SkipRest("padding");
      return;
    }
    c.U16("first_row");
    c.U16("last_row_plus_1");
    c.U16("first_col");
    c.U16("last_col_plus_1");
    c.SkipRest("unused");
  }
};

/// GUTS: the room the outline symbols take and the outline levels used.
struct TGutsDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("row_gutter");
    c.U16("col_gutter");
    c.U16("row_levels");
    c.U16("col_levels");
    c.SkipRest("unused");
  }
};

/// WSBOOL: the sheet's options.
struct TWsBoolDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("options");
    c.Flag("show_auto_breaks", 0);
    c.Flag("dialog", 4);
    c.Flag("apply_styles", 5);
    c.Flag("row_sums_below", 6);
    c.Flag("col_sums_right", 7);
    c.Flag("fit_to_page", 8);
    c.Flag("show_row_outline", 10);
    c.Flag("show_col_outline", 11);
    c.Flag("sync_horizontal", 12);
    c.Flag("sync_vertical", 13);
    c.Flag("alt_expression_eval", 14);
    c.Flag("alt_formula_entry", 15);
    c.SkipRest("unused");
  }
};

/// SETUP: the page setup (BIFF4: six words; BIFF5 on: resolution, header
/// and footer margins, copies after them).
struct TSetupDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::uint16_t paper = c.U16("paper_size");
    c.Meaning([&] { return NameOf(SheetLayout::kPaperSizes, paper); });
    const std::uint16_t scale = c.U16("scale");
    c.Meaning([&] { return std::to_string(scale) + " %"; });
    c.I16("first_page");
    c.U16("fit_width");
    c.U16("fit_height");
    c.U16("options");
    c.Flag("left_to_right", 0);
    c.Flag("portrait", 1);
    c.Flag("no_printer_settings", 2);
    c.Flag("no_color", 3);
    c.Flag("draft", 4);
    c.Flag("notes", 5);
    c.Flag("no_orientation", 6);
    c.Flag("use_first_page", 7);
    c.Flag("end_notes", 9);
    c.Bits("print_errors", 10, 2, [](std::int64_t v) {
      static constexpr TNamedValue kErrors[] = {{0, "displayed"}, {1, "blank"}, {2, "--"}, {3, "#N/A"}};
      return NameOf(kErrors, v);
    });
    if (c.Remaining() == 0)
      return;
    c.U16("resolution");
    c.U16("vertical_resolution");
    const double header = c.F64("header_margin");
    c.Meaning([&] { return NumberText(header) + " in"; });
    const double footer = c.F64("footer_margin");
    c.Meaning([&] { return NumberText(footer) + " in"; });
    c.U16("copies");
    c.SkipRest("unused");
  }
};

/// SELECTION: the pane, the active cell and the selected ranges (8-bit
/// columns).
struct TSelectionDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::uint8_t pane = c.U8("pane");
    c.Meaning([&] { return NameOf(SheetLayout::kPanes, pane); });
    const std::uint16_t row = c.U16("active_row");
    const std::uint16_t col = c.U16("active_col");
    c.Meaning([&] { return CellText(row, col); });
    c.U16("active_ref");
    const std::size_t count = c.U16("ref_count");
    for (std::size_t i = 0; i < count && !c.Short(); ++i)
      ReadRefU(c, "range");
    c.SkipRest("unused");
  }
};

/// PANE: where the window is split (or frozen), the top row and left column
/// of the lower right pane, and the active pane.
struct TPaneDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("x");
    c.U16("y");
    c.U16("top_row");
    c.U16("left_col");
    const std::uint8_t pane = c.U8("active_pane");
    c.Meaning([&] { return NameOf(SheetLayout::kPanes, pane); });
    c.SkipRest("reserved");
  }
};

/// SCL: the zoom, a fraction.
struct TSclDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::int16_t numerator = c.I16("numerator");
    const std::int16_t denominator = c.I16("denominator");
    c.Meaning([&] {
      return denominator == 0 ? std::string("no zoom") : NumberText(100.0 * numerator / denominator) + " %";
    });
    c.SkipRest("unused");
  }
};

/// WINDOW2: the sheet window's options, its top left cell and gridline
/// colour. BIFF2 (code 0x003E) keeps each option in a byte of its own.
struct TWindow2Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&&) const
  {
    if (code == kRecWindow2Biff2) {
      c.U8("show_formulas");
      c.U8("show_grid");
      c.U8("show_headers");
      c.U8("frozen");
      c.U8("show_zeros");
      c.U16("top_row");
      c.U16("left_col");
      c.U8("default_grid_color");
      ReadLongRgb(c, "grid_color");
      c.SkipRest("unused");
      return;
    }
    c.U16("options");
    c.Flag("show_formulas", 0);
    c.Flag("show_grid", 1);
    c.Flag("show_headers", 2);
    c.Flag("frozen", 3);
    c.Flag("show_zeros", 4);
    c.Flag("default_grid_color", 5);
    c.Flag("right_to_left", 6);
    c.Flag("show_outline", 7);
    c.Flag("frozen_no_split", 8);
    c.Flag("selected", 9);
    c.Flag("active", 10);
    c.Flag("page_break_preview", 11);
    c.U16("top_row");
    c.U16("left_col");
    if (!context.Biff8()) {
      ReadLongRgb(c, "grid_color");
      c.SkipRest("unused");
      return;
    }
    c.U16("grid_color_index");
    if (c.Remaining() == 0)
      return;  // a chart sheet's window ends here
    c.U16("reserved");
    const std::uint16_t preview = c.U16("page_break_zoom");
    c.Meaning([&] { return std::to_string(preview) + " %"; });
    const std::uint16_t normal = c.U16("normal_zoom");
    c.Meaning([&] { return std::to_string(normal) + " %"; });
    c.SkipRest("reserved2");
  }
};

/// MERGECELLS: the merged ranges, 0-based and inclusive.
struct TMergeCellsDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::size_t count = c.U16("count");
    c.Begin("ranges");
    for (std::size_t i = 0; i < count && !c.Short(); ++i)
      ReadRef8(c, "range");
    c.End();
    c.SkipRest("unused");
  }
};

/// HORIZONTALPAGEBREAKS, VERTICALPAGEBREAKS: BIFF8, each break's row (or
/// column) and the span it applies to; before, the rows or columns only.
struct TPageBreaksDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&&) const
  {
    const bool rows = code == kRecHorizontalPageBreaks;
    const std::size_t count = c.U16("count");
    for (std::size_t i = 0; i < count && !c.Short(); ++i) {
      if (!context.Biff8()) {
        c.U16(rows ? "row" : "col");
        continue;
      }
      c.Begin("break");
      c.U16(rows ? "row" : "col");
      c.U16(rows ? "first_col" : "first_row");
      c.U16(rows ? "last_col" : "last_row");
      c.End();
    }
    c.SkipRest("unused");
  }
};

/// GCW: which of the first 256 columns keep the standard width, a bit each.
struct TGcwDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::size_t size = ReadByteCount16(c, "size");
    c.BytesUpTo("columns", size);
    c.SkipRest("unused");
  }
};

/// PHONETICINFO: the font and settings of the sheet's phonetic text, and
/// the cells it applies to.
struct TPhoneticInfoDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::uint16_t font = c.U16("font");
    c.Link(TFieldLinkKind::lkFont);
    c.Meaning([&] { return FontIndexText(font); });
    c.U16("options");
    c.Bits("type", 0, 2, [](std::int64_t v) {
      static constexpr TNamedValue kTypes[] = {
          {0, "narrow Katakana"}, {1, "wide Katakana"}, {2, "Hiragana"}, {3, "any"}};
      return NameOf(kTypes, v);
    });
    c.Bits("alignment", 2, 2, [](std::int64_t v) {
      static constexpr TNamedValue kAlign[] = {
          {0, "not specified"}, {1, "left"}, {2, "centre"}, {3, "distributed"}};
      return NameOf(kAlign, v);
    });
    ReadSqRef(c, "cells");
    c.SkipRest("unused");
  }
};

/// OLESIZE: the visible range of an embedded workbook.
struct TOleSizeDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("reserved");
    ReadRefU(c, "range");
    c.SkipRest("unused");
  }
};

/// PLS: the printer's settings as the system keeps them (a DEVMODE
/// structure in BIFF8 after a reserved word; BIFF5 an environment word).
struct TPlsDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    const std::uint16_t environment = c.U16(context.Biff8() ? "reserved" : "environment");
    if (!context.Biff8())
      c.Meaning([&] { return std::string(environment == 1 ? "Macintosh" : "Windows"); });
    if (context.Biff8() && c.Remaining() >= 64) {
      // DEVMODEW: the printer's name in 32 UTF-16 characters, then the
      // version and size words the rest is laid out by.
      c.Begin("devmode");
      std::string name = ReadUtf16Chars(c, 32, "device_name");
      c.Value([&] { return std::string(name.c_str()); });
      c.U16("spec_version");
      c.U16("driver_version");
      c.U16("size");
      c.U16("driver_extra");
      c.U32("fields");
      c.SkipRest("settings");
      c.End();
    }
    c.SkipRest("devmode_data");
  }
};
