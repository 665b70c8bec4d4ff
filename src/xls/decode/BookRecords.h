#pragma once

// Layouts of the records that describe the workbook and its substreams as a
// whole: BOF, the workbook's settings and protection, windows, styles and
// colours, external references. The load reads none of them; the inspector
// describes them, one decoder per record type (or family of versions).

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"

#include <cstdint>
#include <string>

namespace BookLayout {

// [MS-XLS] 2.4.21 BOF dt, and the BIFF2-4 substream types.
inline constexpr TNamedValue kBofTypes[] = {
    {0x0005, "workbook globals"}, {0x0006, "Visual Basic module"}, {0x0010, "worksheet or dialog sheet"},
    {0x0020, "chart"},            {0x0040, "macro sheet"},         {0x0100, "workspace"},
};
inline constexpr TNamedValue kBiffVersions[] = {
    {0x0000, "BIFF5 (version word not set)"}, {0x0002, "BIFF2"}, {0x0007, "BIFF2"}, {0x0200, "BIFF2"},
    {0x0300, "BIFF3"}, {0x0400, "BIFF4"}, {0x0500, "BIFF5 or BIFF7"}, {0x0600, "BIFF8"},
};
// [MS-XLS] 2.4.63 Country.
inline constexpr TNamedValue kCountries[] = {
    {1, "United States"},   {2, "Canada"},         {3, "Latin America"}, {7, "Russia"},
    {20, "Egypt"},          {30, "Greece"},        {31, "Netherlands"},  {32, "Belgium"},
    {33, "France"},         {34, "Spain"},         {36, "Hungary"},      {39, "Italy"},
    {41, "Switzerland"},    {43, "Austria"},       {44, "United Kingdom"}, {45, "Denmark"},
    {46, "Sweden"},         {47, "Norway"},        {48, "Poland"},       {49, "Germany"},
    {52, "Mexico"},         {55, "Brazil"},        {61, "Australia"},    {64, "New Zealand"},
    {66, "Thailand"},       {81, "Japan"},         {82, "Korea"},        {84, "Viet Nam"},
    {86, "China"},          {90, "Turkey"},        {105, "India"},       {213, "Algeria"},
    {216, "Morocco"},       {218, "Libya"},        {351, "Portugal"},    {354, "Iceland"},
    {358, "Finland"},       {420, "Czech Republic"}, {886, "Taiwan"},    {961, "Lebanon"},
    {962, "Jordan"},        {963, "Syria"},        {964, "Iraq"},        {965, "Kuwait"},
    {966, "Saudi Arabia"},  {971, "United Arab Emirates"}, {972, "Israel"}, {974, "Qatar"},
    {981, "Iran"},
};
// [MS-XLS] 2.4.269 Style: the built-in styles.
inline constexpr TNamedValue kBuiltInStyles[] = {
    {0, "Normal"},     {1, "RowLevel_n"}, {2, "ColLevel_n"}, {3, "Comma"},
    {4, "Currency"},   {5, "Percent"},    {6, "Comma [0]"},  {7, "Currency [0]"},
    {8, "Hyperlink"},  {9, "Followed Hyperlink"},
};
inline constexpr TNamedValue kSheetVisibility[] = {{0, "visible"}, {1, "hidden"}, {2, "very hidden"}};
inline constexpr TNamedValue kSheetTypes[] = {
    {0, "worksheet or dialog sheet"}, {1, "macro sheet"}, {2, "chart"}, {6, "Visual Basic module"}};
inline constexpr TNamedValue kHideObj[] = {
    {0, "show all objects"}, {1, "show placeholders"}, {2, "hide all objects"}};
inline constexpr std::uint16_t kBiff8Version = 0x0600;
// [MS-XLS] 2.4.269 Style: the XF index and the built-in flag share a word.
inline constexpr std::uint16_t kStyleXfMask = 0x0FFF;
inline constexpr std::uint16_t kStyleBuiltIn = 0x8000;
// [MS-XLS] 2.4.271 SupBook: the "length" that marks this workbook and the
// add-in functions.
inline constexpr std::uint16_t kSupBookSelf = 0x0401;
inline constexpr std::uint16_t kSupBookAddIn = 0x3A01;
// [MS-XLS] 2.5.192 SerAr: the kinds of a cached value.
inline constexpr std::uint8_t kSerNil = 0x00;
inline constexpr std::uint8_t kSerNum = 0x01;
inline constexpr std::uint8_t kSerStr = 0x02;
inline constexpr std::uint8_t kSerBool = 0x04;
inline constexpr std::uint8_t kSerErr = 0x10;
// The first character of a BIFF5 EXTERNSHEET name.
inline constexpr TNamedValue kExternSheetKinds[] = {
    {0x01, "encoded path of another workbook"}, {0x02, "this workbook's sheet"},
    {0x03, "a sheet of this workbook"}, {0x04, "this workbook"}};
inline constexpr TNamedValue kCalcModes[] = {
    {0, "manual"}, {1, "automatic"}, {-1, "automatic except tables"}};

}  // namespace BookLayout

/// BOF of every version: 0x0009 (BIFF2: version, substream type), 0x0209
/// and 0x0409 (BIFF3 and BIFF4: a build word after them), 0x0809 (BIFF5:
/// build and year; BIFF8, version 0x0600: file history and lowest version).
struct TBofDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    using namespace BookLayout;
    const std::uint16_t version = c.U16("version");
    c.Meaning([&] { return NameOf(kBiffVersions, version); });
    const std::uint16_t type = c.U16("type");
    c.Meaning([&] { return NameOf(kBofTypes, type); });
    if (code == kRecBof2)
      return;
    if (code == kRecBof3 || code == kRecBof4) {
      c.U16("build");
      return;
    }
    c.U16("build");
    c.U16("year");
    if (version != kBiff8Version && c.Remaining() < 8)
      return;
    // [MS-XLS] 2.4.21: which Excel versions wrote and last saved the file.
    c.U32("file_history");
    c.Flag("win", 0);
    c.Flag("risc", 1);
    c.Flag("beta", 2);
    c.Flag("win_any", 3);
    c.Flag("mac_any", 4);
    c.Flag("beta_any", 5);
    c.Flag("risc_any", 8);
    c.Flag("out_of_memory", 9);
    c.Flag("gl_jmp", 10);
    c.Flag("font_limit", 13);
    c.Bits("highest_version", 14, 4);
    c.U8("lowest_biff");
    c.U8("last_saved");
    c.Bits("version", 0, 4);
    c.U16("reserved");
  }
};

/// Records of no data: EOF, INTERFACEEND, WRITEPROT, EXCEL9FILE, the chart
/// BEGIN, END and PLOTAREA, the toolbar markers. Any byte there is stray.
struct TEmptyDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.SkipRest("unused");
  }
};

/// Settings held in one word (or one number): calculation, protection,
/// printing and the workbook's options.
struct TSettingDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t code, TOut&&) const
  {
    using namespace BookLayout;
    const auto yesNo = [&](const char* name, const char* no, const char* yes) {
      const std::uint16_t v = c.U16(name);
      c.Meaning([&] { return std::string(v ? yes : no); });
    };
    switch (code) {
    case kRecCalcCount: c.U16("iterations"); break;
    case kRecCalcMode: {
      const std::int16_t mode = c.I16("mode");
      c.Meaning([&] { return NameOf(kCalcModes, mode); });
      break;
    }
    case kRecPrecision: yesNo("full_precision", "precision as displayed", "full precision"); break;
    case kRecRefMode: yesNo("a1", "R1C1 references", "A1 references"); break;
    case kRecDelta: c.F64("max_change"); break;
    case kRecIteration: yesNo("iterate", "no iteration", "iterative calculation"); break;
    case kRecProtect: yesNo("locked", "not protected", "protected"); break;
    case kRecWindowProtect: yesNo("locked", "windows not protected", "windows protected"); break;
    case kRecObjProtect: yesNo("locked", "objects not protected", "objects protected"); break;
    case kRecScenProtect: yesNo("locked", "scenarios not protected", "scenarios protected"); break;
    case kRecPassword: {
      const std::uint16_t hash = c.U16("password_hash");
      c.Meaning([&] { return hash == 0 ? std::string("no password") : std::string("password verifier"); });
      break;
    }
    case kRecProt4Rev: yesNo("locked", "revisions not protected", "revisions protected"); break;
    case kRecProt4RevPass: {
      const std::uint16_t hash = c.U16("password_hash");
      c.Meaning([&] { return hash == 0 ? std::string("no password") : std::string("password verifier"); });
      break;
    }
    case kRecBackup: yesNo("backup", "no backup", "saves a backup copy"); break;
    case kRecHideObj: {
      const std::uint16_t v = c.U16("objects");
      c.Meaning([&] { return NameOf(kHideObj, v); });
      break;
    }
    case kRecRefreshAll: yesNo("refresh_all", "no refresh on load", "refreshes external data on load"); break;
    case kRecUsesElfs: yesNo("uses_elfs", "no natural language formulas", "natural language formulas"); break;
    case kRecDsf: yesNo("double_stream", "one workbook stream", "also a BIFF5 stream"); break;
    case kRecFnGroupCount: c.U16("count"); break;
    case kRecSaveRecalc: yesNo("recalc", "no recalculation before saving", "recalculates before saving"); break;
    case kRecPrintHeaders: yesNo("print_headers", "no row and column headings", "prints row and column headings"); break;
    case kRecPrintGridlines: yesNo("print_gridlines", "no gridlines", "prints gridlines"); break;
    case kRecGridSet: yesNo("grid_set", "gridline printing never changed", "gridline printing changed"); break;
    case kRecHCenter: yesNo("centered", "not centred", "centred horizontally"); break;
    case kRecVCenter: yesNo("centered", "not centred", "centred vertically"); break;
    case kRecLeftMargin:
    case kRecRightMargin:
    case kRecTopMargin:
    case kRecBottomMargin: {
      const double inches = c.F64("inches");
      c.Meaning([&] { return NumberText(inches) + " in"; });
      break;
    }
    case kRecDefColWidth: {
      const std::uint16_t width = c.U16("width");
      c.Meaning([&] { return std::to_string(width) + " characters"; });
      break;
    }
    case kRecStandardWidth: {
      const std::uint16_t width = c.U16("width");
      c.Meaning([&] { return NumberText(width / 256.0) + " characters"; });
      break;
    }
    case kRecExternCount: c.U16("count"); break;
    case kRecUncalced: c.U16("reserved"); break;
    case kRecIntl: {
      c.U16("reserved");
      c.Meaning([] { return std::string("international macro sheet"); });
      break;
    }
    case kRecPrintSize: c.U16("print_size"); break;
    case kRecAutoFilterInfo: c.U16("entries"); break;
    case kRecInterfaceHdr: {
      // BIFF8: the code page of the user interface; empty before.
      if (c.Remaining() == 0)
        break;
      const std::uint16_t page = c.U16("code_page");
      c.Meaning([&] { return NameOf(kCodePages, page); });
      break;
    }
    case kRecMms: c.U8("add_menus"); c.U8("delete_menus"); break;
    case kRecBookBool:
      c.U16("options");
      c.Flag("no_save_supporting", 0);
      c.Flag("has_envelope", 2);
      c.Flag("envelope_visible", 3);
      c.Flag("envelope_init_done", 4);
      c.Bits("update_links", 5, 2);
      c.Flag("hide_border_unselected_lists", 8);
      break;
    case kRecCountry: {
      const std::uint16_t app = c.U16("country");
      c.Meaning([&] { return NameOf(kCountries, app); });
      const std::uint16_t system = c.U16("system_country");
      c.Meaning([&] { return NameOf(kCountries, system); });
      break;
    }
    case kRecRecalcId:
      c.U16("rt");
      c.U16("reserved");
      c.U32("build");
      break;
    default: break;
    }
    c.SkipRest("unused");
  }
};

/// WRITEACCESS: the user name of whoever saved the file, padded with blanks
/// (to 112 bytes in BIFF8, 32 before).
struct TWriteAccessDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    ReadVersionString(c, context, true, "length", "user_name");
    c.SkipRest("padding");
  }
};

/// HEADER, FOOTER: the page header or footer text (empty record: none).
/// CODENAME: the sheet's or workbook's Visual Basic name.
struct TTextRecordDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    if (c.Remaining() == 0)
      return;
    ReadVersionString(c, context, true, "length", "text");
    c.SkipRest("unused");
  }
};

/// WINDOW1: the workbook window (BIFF5 on: options and sheet tabs; before,
/// a hidden flag after the window's place).
struct TWindow1Decoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    c.I16("x");
    c.I16("y");
    c.I16("width");
    c.I16("height");
    if (context.Version < TExcelVersion::evExcel5) {
      c.U8("hidden");
      c.SkipRest("unused");
      return;
    }
    c.U16("options");
    c.Flag("hidden", 0);
    c.Flag("iconic", 1);
    c.Flag("horizontal_scroll", 3);
    c.Flag("vertical_scroll", 4);
    c.Flag("sheet_tabs", 5);
    c.Flag("no_auto_filter_date_group", 6);
    c.U16("active_sheet");
    c.U16("first_visible_tab");
    c.U16("selected_tabs");
    const std::uint16_t ratio = c.U16("tab_ratio");
    c.Meaning([&] { return NumberText(ratio / 10.0) + " %"; });
    c.SkipRest("unused");
  }
};

/// BOUNDSHEET (BIFF5 on) is the load's; BUNDLESHEET (BIFF4 workbooks) is
/// its ancestor: the sheet's BOF position, options (the visibility in the
/// low byte and the sheet's type in the high one, where BOUNDSHEET later
/// keeps them as two bytes), its name.
struct TBundleSheetDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    TSheetName entry;
    entry.BofOffset = c.U32("position");
    c.Link(TFieldLinkKind::lkStreamOffset);
    const std::uint16_t options = c.U16("options");
    c.Bits("visibility", 0, 2, [](std::int64_t v) { return NameOf(BookLayout::kSheetVisibility, v); });
    c.Bits("type", 8, 8, [](std::int64_t v) { return NameOf(BookLayout::kSheetTypes, v); });
    entry.Visibility = static_cast<std::uint8_t>(options & 0xFF);
    entry.Type = static_cast<std::uint8_t>(options >> 8);
    if (c.Short())
      return;
    entry.Name = ReadByteString8(c, context, "name_length", "name");
    c.SkipRest("unused");
    out(entry);
  }
};

/// PALETTE: the colours of indexes 8 on.
struct TPaletteDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    const std::size_t count = c.U16("count");
    for (std::size_t i = 0; i < count && !c.Short(); ++i) {
      const std::uint32_t rgb = ReadLongRgb(c, "color");
      c.Meaning([&] { return "colour " + std::to_string(8 + i) + ": " + RgbText(rgb); });
    }
    c.SkipRest("unused");
  }
};

/// STYLE: a built-in style (its number and outline level) or a user style's
/// name, for the style XF it names.
struct TStyleDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    const std::uint16_t word = c.U16("xf");
    c.Bits("xf_index", 0, 12);
    c.Flag("built_in", 15);
    const int xf = word & BookLayout::kStyleXfMask;
    const bool builtIn = word & BookLayout::kStyleBuiltIn;
    c.Link(TFieldLinkKind::lkXf, xf);
    c.Meaning([&] { return "XF " + std::to_string(xf) + (builtIn ? ", built-in" : ", user-defined"); });
    if (builtIn) {
      const std::uint8_t style = c.U8("built_in_style");
      c.Meaning([&] { return NameOf(BookLayout::kBuiltInStyles, style); });
      c.U8("outline_level");
    } else {
      ReadVersionString(c, context, true, "length", "name");
    }
    c.SkipRest("unused");
  }
};

/// TABID: the sheets' tab identifiers, in tab order.
struct TTabIdDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    while (c.Remaining() >= 2)
      c.U16("tab_id");
    c.SkipRest("unused");
  }
};

/// XCT: the count of CRN records that follow (and BIFF8, the sheet they
/// cache).
struct TXctDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    c.I16("crn_count");
    if (context.Biff8() || c.Remaining() >= 2)
      c.U16("sheet");
    c.SkipRest("unused");
  }
};

/// One cached value of an external reference or an array constant
/// ([MS-XLS] 2.5.192 SerAr): a type byte and 8 bytes, or a string.
template <typename C>
void ReadSerAr(C& c, const TDecodeContext& context)
{
  c.Begin("value");
  const std::uint8_t type = c.U8("type");
  switch (type) {
  case BookLayout::kSerNil:
    c.Meaning([] { return std::string("empty"); });
    c.Skip("reserved", 8);
    break;
  case BookLayout::kSerNum:
    c.Meaning([] { return std::string("number"); });
    c.F64("number");
    break;
  case BookLayout::kSerStr:
    c.Meaning([] { return std::string("text"); });
    ReadVersionString(c, context, true, "length", "text");
    break;
  case BookLayout::kSerBool: {
    c.Meaning([] { return std::string("boolean"); });
    const std::uint8_t v = c.U8("boolean");
    c.Meaning([&] { return std::string(v ? "TRUE" : "FALSE"); });
    c.Skip("reserved", 7);
    break;
  }
  case BookLayout::kSerErr: {
    c.Meaning([] { return std::string("error"); });
    const std::uint8_t v = c.U8("error");
    c.Meaning([&] { return ErrorValueText(v); });
    c.Skip("reserved", 7);
    break;
  }
  default:
    c.Meaning([] { return std::string("unknown type"); });
    c.SkipRest("data");
    break;
  }
  c.End();
}

/// CRN: cached values of one row of cells of another workbook.
struct TCrnDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    const std::uint8_t last = c.U8("last_col");
    const std::uint8_t first = c.U8("first_col");
    c.U16("row");
    for (int col = first; col <= last && c.Remaining() > 0; ++col)
      ReadSerAr(c, context);
    c.SkipRest("unused");
  }
};

/// LABELRANGES: the ranges of row and of column labels.
struct TLabelRangesDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadSqRef(c, "row_labels");
    ReadSqRef(c, "column_labels");
    c.SkipRest("unused");
  }
};
