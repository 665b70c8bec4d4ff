#pragma once

// Layouts of the records of a sheet's objects and rules: OBJ with its
// sub-records, text boxes (TXO, their text and runs in the CONTINUE records
// after them), cell notes, hyperlinks, data validation, conditional
// formats.

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/Strings.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace ObjectLayout {

// [MS-XLS] 2.5.143 FtCmo ot.
inline constexpr TNamedValue kObjectTypes[] = {
    {0x00, "group"},       {0x01, "line"},         {0x02, "rectangle"},  {0x03, "oval"},
    {0x04, "arc"},         {0x05, "chart"},        {0x06, "text"},       {0x07, "button"},
    {0x08, "picture"},     {0x09, "polygon"},      {0x0B, "check box"},  {0x0C, "option button"},
    {0x0D, "edit box"},    {0x0E, "label"},        {0x0F, "dialog box"}, {0x10, "spin control"},
    {0x11, "scroll bar"},  {0x12, "list box"},     {0x13, "group box"},  {0x14, "drop-down list"},
    {0x19, "note"},        {0x1E, "drawing object"},
};
// [MS-XLS] 2.4.181 Obj: the sub-record types (ft).
inline constexpr TNamedValue kSubRecords[] = {
    {0x00, "ftEnd"},       {0x04, "ftMacro"},     {0x05, "ftButton"},   {0x06, "ftGmo"},
    {0x07, "ftCf"},        {0x08, "ftPioGrbit"},  {0x09, "ftPictFmla"}, {0x0A, "ftCbls"},
    {0x0B, "ftRbo"},       {0x0C, "ftSbs"},       {0x0D, "ftNts"},      {0x0E, "ftSbsFmla"},
    {0x0F, "ftGboData"},   {0x10, "ftEdoData"},   {0x11, "ftRboData"},  {0x12, "ftCblsData"},
    {0x13, "ftLbsData"},   {0x14, "ftCblsFmla"},  {0x15, "ftCmo"},
};
inline constexpr std::uint16_t kFtEnd = 0x00;
inline constexpr std::uint16_t kFtPioGrbit = 0x08;
inline constexpr std::uint16_t kFtPictFmla = 0x09;
inline constexpr std::uint16_t kFtNts = 0x0D;
inline constexpr std::uint16_t kFtLbsData = 0x13;
inline constexpr std::uint16_t kFtCmo = 0x15;
inline constexpr std::size_t kCmoFields = 6;   // type, id, options before its reserved bytes
inline constexpr std::size_t kNtsFields = 22;  // GUID, shared flag, unused word
// [MS-XLS] 2.5.151 FtPioGrbit: where a picture object's data lies.
inline constexpr std::uint16_t kPictDde = 0x0002;
inline constexpr std::uint16_t kPictControl = 0x0010;
inline constexpr std::uint16_t kPictInControlStream = 0x0020;
// [MS-XLS] 2.5.198.22 ObjectParsedFormula: 15 bits of token count; a table
// token (tTbl) marks an embedded object, whose class name follows the
// formula in a PictFmlaEmbedInfo (2.5.202) that starts with 0x03.
inline constexpr std::uint16_t kObjFormulaSizeMask = 0x7FFF;
inline constexpr std::uint8_t kPtgTbl = 0x02;
inline constexpr std::uint8_t kEmbedInfoMark = 0x03;
// [MS-OSHARED] 2.3.7.1 Hyperlink Object flags.
inline constexpr std::uint32_t kHlinkHasMoniker = 0x001;
inline constexpr std::uint32_t kHlinkHasLocation = 0x008;
inline constexpr std::uint32_t kHlinkHasDisplayName = 0x010;
inline constexpr std::uint32_t kHlinkHasGuid = 0x020;
inline constexpr std::uint32_t kHlinkHasCreationTime = 0x040;
inline constexpr std::uint32_t kHlinkHasFrameName = 0x080;
inline constexpr std::uint32_t kHlinkMonikerSavedAsString = 0x100;
inline constexpr TNamedValue kHorizontalAlign[] = {
    {1, "left"}, {2, "centred"}, {3, "right"}, {4, "justified"}, {7, "distributed"}};
inline constexpr TNamedValue kVerticalAlign[] = {
    {1, "top"}, {2, "middle"}, {3, "bottom"}, {4, "justified"}, {7, "distributed"}};
inline constexpr TNamedValue kTextRotation[] = {
    {0, "none"}, {1, "stacked"}, {2, "90 degrees counter-clockwise"}, {3, "90 degrees clockwise"}};
// [MS-XLS] 2.4.82 DV valType, errStyle, typOperator.
inline constexpr TNamedValue kValidationTypes[] = {
    {0, "any value"}, {1, "whole number"}, {2, "decimal"}, {3, "list"},
    {4, "date"},      {5, "time"},         {6, "text length"}, {7, "custom formula"}};
inline constexpr TNamedValue kErrorStyles[] = {{0, "stop"}, {1, "warning"}, {2, "information"}};
inline constexpr TNamedValue kOperators[] = {
    {0, "between"}, {1, "not between"}, {2, "equal"}, {3, "not equal"},
    {4, "greater than"}, {5, "less than"}, {6, "greater than or equal"}, {7, "less than or equal"}};
// [MS-XLS] 2.4.42 CF ct and cp.
inline constexpr TNamedValue kConditionTypes[] = {{1, "cell value"}, {2, "formula"}};
inline constexpr TNamedValue kCfOperators[] = {
    {0, "none"}, {1, "between"}, {2, "not between"}, {3, "equal"}, {4, "not equal"},
    {5, "greater than"}, {6, "less than"}, {7, "greater than or equal"}, {8, "less than or equal"}};

}  // namespace ObjectLayout

/// A GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidText(std::span<const std::uint8_t> bytes);
/// "MBD0049DB15": the storage an embedded object's position word names.
std::string EmbeddingStorageName(std::uint32_t position);

/// What an OBJ record says of its object.
struct TObjRecord {
  std::uint16_t Type = 0;  // ObjectLayout::kObjectTypes
  std::uint16_t Id = 0;
  /// A picture's flags (ftPioGrbit): kPictDde, kPictControl, kPictInControlStream.
  std::uint16_t PictureFlags = 0;
  /// The embedded object's class ("Excel.Sheet.8", "Forms.CommandButton.1"),
  /// from the picture formula; empty when none is stored.
  std::string ClassName;
  /// The picture formula's position word: the number in the name of the
  /// object's storage ("MBD" and its eight hex digits), or, for an object
  /// kept in the controls stream, its offset there.
  std::optional<std::uint32_t> Position;
  std::uint32_t StreamBytes = 0;  // an object in the controls stream: its size there
};

/// OBJ: BIFF8, sub-records (a type, a size, the data), the common one
/// (ftCmo: the object's type, id and options) first, ftEnd last; before
/// BIFF8 a fixed header with the object's place, then its type's data.
struct TObjDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&& out) const
  {
    using namespace ObjectLayout;
    TObjRecord object;
    if (!context.Biff8()) {
      c.U32("object_count");
      const std::uint16_t type = object.Type = c.U16("type");
      c.Meaning([&] { return NameOf(kObjectTypes, type); });
      object.Id = c.U16("id");
      c.U16("options");
      c.U16("left_col");
      c.U16("left_offset");
      c.U16("top_row");
      c.U16("top_offset");
      c.U16("right_col");
      c.U16("right_offset");
      c.U16("bottom_row");
      c.U16("bottom_offset");
      c.U16("macro_size");
      c.Skip("reserved", 6);
      const bool complete = !c.Short();
      c.SkipRest("object_data");
      if (complete)
        out(object);
      return;
    }
    bool common = false;
    while (c.Remaining() >= 4) {
      c.Begin("sub_record");
      const std::uint16_t ft = c.U16("type");
      c.Meaning([&] { return NameOf(kSubRecords, ft); });
      std::size_t size = c.U16("size");
      // [MS-XLS] 2.5.155 ftLbsData: its size field is not its size; the
      // data runs to the ftEnd that closes the record.
      if (ft == kFtLbsData)
        size = c.Remaining() >= 4 ? c.Remaining() - 4 : c.Remaining();
      if (ft == kFtCmo && size >= kCmoFields) {
        const std::uint16_t type = object.Type = c.U16("object_type");
        c.Meaning([&] { return NameOf(kObjectTypes, type); });
        object.Id = c.U16("id");
        common = !c.Short();
        c.U16("options");
        c.Flag("locked", 0);
        c.Flag("default_size", 2);
        c.Flag("published", 3);
        c.Flag("print", 4);
        c.Flag("disabled", 7);
        c.Flag("ui_object", 8);
        c.Flag("recalc", 9);
        c.Flag("recalc_always", 12);
        c.BytesUpTo("reserved", size - kCmoFields);
      } else if (ft == kFtPioGrbit && size >= 2) {
        object.PictureFlags = c.U16("flags");
        c.Flag("auto_picture", 0);
        c.Flag("dde", 1);
        c.Flag("print_calc", 2);
        c.Flag("icon", 3);
        c.Flag("control", 4);
        c.Flag("in_control_stream", 5);
        c.Flag("camera", 7);
        c.Flag("default_size", 8);
        c.Flag("autoload", 9);
        c.BytesUpTo("reserved", size - 2);
      } else if (ft == kFtPictFmla) {
        ReadPictureFormula(c, size, object);
      } else if (ft == kFtNts && size >= kNtsFields) {
        c.Bytes("guid", 16);
        c.U16("shared_note");
        c.U32("unused");
        c.BytesUpTo("reserved", size - kNtsFields);
      } else if (ft == kFtEnd) {
        c.End();
        break;
      } else {
        c.BytesUpTo("data", size);
      }
      c.End();
    }
    c.SkipRest("padding");
    if (common)
      out(object);
  }

private:
  // [MS-XLS] 2.5.150 FtPictFmla, `size` bytes: the formula's size, the
  // formula (a token count, 4 unused bytes, the tokens, and for an embedded
  // object its class name), then the position word and, for an object in
  // the controls stream, its size there. Every read stays inside the
  // sub-record, whatever its sizes say.
  template <typename C>
  static void ReadPictureFormula(C& c, std::size_t size, TObjRecord& object)
  {
    using namespace ObjectLayout;
    const std::size_t end = c.Position() + std::min(size, c.Remaining());
    const auto left = [&] { return end > c.Position() ? end - c.Position() : std::size_t{0}; };
    if (left() < 2) {
      c.BytesUpTo("data", left());
      return;
    }
    const std::size_t formulaSize = std::min<std::size_t>(c.U16("formula_size"), left());
    const std::size_t formulaEnd = c.Position() + formulaSize;
    const auto formulaLeft = [&] { return formulaEnd > c.Position() ? formulaEnd - c.Position() : std::size_t{0}; };
    if (formulaLeft() >= 6) {
      const std::size_t count = c.U16("token_size") & kObjFormulaSizeMask;
      c.Skip("unused", 4);
      const auto tokens = c.BytesUpTo("formula", std::min(count, formulaLeft()));
      if (!tokens.empty() && tokens[0] == kPtgTbl && formulaLeft() >= 3 && c.PeekU8() == kEmbedInfoMark) {
        c.Begin("embed_info");
        c.U8("mark");
        const std::size_t chars = c.U8("class_length");
        c.U8("reserved");
        if (chars > 0 && formulaLeft() > 0) {
          const bool wide = c.U8("options") & 0x01;
          const auto bytes = c.BytesUpTo("class", std::min(wide ? 2 * chars : chars, formulaLeft()));
          if (wide)
            AppendUtf16LeBytesAsUtf8(bytes, object.ClassName);
          else
            AppendLatin1AsUtf8(bytes, object.ClassName);
          c.Value([&] { return object.ClassName; });
        }
        c.End();
      }
    }
    if (formulaLeft() > 0)
      c.BytesUpTo("padding", formulaLeft());
    if (left() >= 4) {
      object.Position = c.U32("position");
      c.Meaning([&] {
        return (object.PictureFlags & kPictInControlStream) ? std::string("offset in the controls stream")
                                                            : "storage " + EmbeddingStorageName(*object.Position);
      });
    }
    if ((object.PictureFlags & kPictInControlStream) && left() >= 4)
      object.StreamBytes = c.U32("stream_size");
    if (left() > 0)
      c.BytesUpTo("key", left());
  }
};

/// TXO: a text box's alignment, rotation and text and run sizes; the text
/// (an option byte at the start of each CONTINUE it spans) and the
/// formatting runs stand in the CONTINUE records that follow.
struct TTxoDecoder {
  template <typename TFields, typename TOut>
  void operator()(TBasicPartCursor<TFields>& parts, const TDecodeContext& context, std::uint16_t,
                  TOut&&) const
  {
    using namespace ObjectLayout;
    auto* c = &parts.Current();
    c->U16("options");
    c->Bits("horizontal_align", 1, 3, [](std::int64_t v) { return NameOf(kHorizontalAlign, v); });
    c->Bits("vertical_align", 4, 3, [](std::int64_t v) { return NameOf(kVerticalAlign, v); });
    c->Flag("lock_text", 9);
    c->Flag("justify_last", 14);
    c->Flag("secret_edit", 15);
    const std::uint16_t rotation = c->U16("rotation");
    c->Meaning([&] { return NameOf(kTextRotation, rotation); });
    c->Skip("reserved", 6);
    const std::size_t chars = c->U16("text_length");
    const std::size_t runBytes = c->U16("runs_size");
    if (context.Biff8()) {
      const std::uint16_t font = c->U16("empty_font");
      c->Link(TFieldLinkKind::lkFont);
      c->Meaning([&] { return FontIndexText(font); });
    }
    c->SkipRest("formula");
    if (c->Short())
      return;
    if (chars > 0 && parts.NextPart()) {
      c = &parts.Current();
      if (c->Remaining() > 0) {
        bool wide = false;
        if (context.Biff8())
          wide = ReadStringOptions(*c);
        ReadCharacters(parts, wide ? 2 * chars : chars, wide, false);
        c = &parts.Current();
      }
      c->SkipRest("unused");
    }
    if (runBytes > 0 && parts.NextPart()) {
      c = &parts.Current();
      const std::size_t runSize = context.Biff8() ? 8 : 4;
      for (std::size_t at = 0; at + runSize <= runBytes && c->Remaining() >= runSize; at += runSize) {
        c->Begin("run");
        c->U16("first_char");
        const std::uint16_t font = c->U16("font");
        c->Link(TFieldLinkKind::lkFont);
        c->Meaning([&] { return FontIndexText(font); });
        if (context.Biff8())
          c->U32("reserved");
        c->End();
      }
      c->SkipRest("unused");
    }
    // Parts this record does not say it uses.
    while (parts.NextPart())
      parts.Current().SkipRest("unread");
  }
};

/// NOTE: BIFF8, a cell's comment (the text is its TXO's): the cell, options,
/// the object it shows in and the author; before BIFF8 the text itself.
struct TNoteDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t, TOut&&) const
  {
    const std::uint16_t row = c.U16("row");
    const std::uint16_t col = c.U16("col");
    c.Meaning([&] { return CellText(row, col); });
    if (!context.Biff8()) {
      ReadByteString16(c, context, "length", "text");
      c.SkipRest("unused");
      return;
    }
    c.U16("options");
    c.Flag("shown", 1);
    c.Flag("row_hidden", 7);
    c.Flag("col_hidden", 8);
    c.U16("object_id");
    ReadUnicodeString16(c, "author_length", "author");
    c.SkipRest("padding");
  }
};

/// [MS-OSHARED] 2.3.7.9 HyperlinkString: a 32-bit count of UTF-16
/// characters, the terminating zero included.
template <typename C>
std::string ReadHyperlinkString(C& c, const char* name)
{
  const std::size_t chars = c.U32("length");
  std::string text = ReadUtf16Chars(c, chars, name);
  // The terminating zero is stored; the text ends before it.
  const auto end = text.find('\0');
  if (end != std::string::npos) {
    text.resize(end);
    c.Value([&] { return text; });
  }
  return text;
}

/// One HLINK: the cells it covers and where it leads.
struct THyperlinkRecord {
  std::uint16_t FirstRow = 0;
  std::uint16_t LastRow = 0;
  std::uint16_t FirstColumn = 0;
  std::uint16_t LastColumn = 0;
  /// The URL or file path (a moniker's); empty for a link to a place in
  /// the workbook alone.
  std::string Target;
  std::string Location;  // the place in the target ("Sheet2!A1"), when one is given
};

/// HLINK: the cells a hyperlink covers, and the link ([MS-OSHARED] 2.3.7.1
/// Hyperlink Object): a display name, a target frame, a moniker (a URL or a
/// file path) or a location in the workbook. The URL, path or location is
/// the field "target".
struct THLinkDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&& out) const
  {
    THyperlinkRecord link;
    const std::uint16_t firstRow = link.FirstRow = c.U16("first_row");
    const std::uint16_t lastRow = link.LastRow = c.U16("last_row");
    const std::uint16_t firstCol = link.FirstColumn = c.U16("first_col");
    const std::uint16_t lastCol = link.LastColumn = c.U16("last_col");
    c.Meaning([&] { return RangeText(firstRow, lastRow, firstCol, lastCol); });
    const auto clsid = c.Bytes("clsid", 16);
    c.Meaning([&] { return GuidText(clsid); });
    c.U32("stream_version");
    const std::uint32_t flags = c.U32("flags");
    c.Flag("has_moniker", 0);
    c.Flag("absolute", 1);
    c.Flag("site_gave_display_name", 2);
    c.Flag("has_location", 3);
    c.Flag("has_display_name", 4);
    c.Flag("has_guid", 5);
    c.Flag("has_creation_time", 6);
    c.Flag("has_frame_name", 7);
    c.Flag("moniker_saved_as_string", 8);
    c.Flag("absolute_from_relative", 9);
    using namespace ObjectLayout;
    const bool moniker = flags & kHlinkHasMoniker;
    const bool location = flags & kHlinkHasLocation;
    if (flags & kHlinkHasDisplayName)
      ReadHyperlinkString(c, "display_name");
    if (flags & kHlinkHasFrameName)
      ReadHyperlinkString(c, "frame_name");
    if (moniker) {
      if (flags & kHlinkMonikerSavedAsString)
        link.Target = ReadHyperlinkString(c, "target");
      else
        link.Target = ReadMoniker(c);
    }
    if (location)
      link.Location = ReadHyperlinkString(c, moniker ? "location" : "target");
    // What follows the link does not change where it leads.
    const bool complete = !c.Short();
    if (flags & kHlinkHasGuid)
      c.Bytes("guid", 16);
    if (flags & kHlinkHasCreationTime)
      c.Bytes("creation_time", 8);
    c.SkipRest("unused");
    if (complete)
      out(link);
  }

private:
  // [MS-OSHARED] 2.3.7.2 HyperlinkMoniker: a class id, then a URL moniker
  // (a byte count and the UTF-16 URL) or a file moniker (the 8-bit path and
  // an optional UTF-16 one). Returns the URL or path; empty for a moniker of
  // another class.
  template <typename C>
  static std::string ReadMoniker(C& c)
  {
    static constexpr std::uint8_t kUrlMoniker[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                                     0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
    static constexpr std::uint8_t kFileMoniker[16] = {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    c.Begin("moniker");
    const auto clsid = c.Bytes("clsid", 16);
    const bool url = clsid.size() == 16 && std::equal(clsid.begin(), clsid.end(), kUrlMoniker);
    const bool file = clsid.size() == 16 && std::equal(clsid.begin(), clsid.end(), kFileMoniker);
    c.Meaning([&] { return url ? std::string("URL moniker") : file ? std::string("file moniker") : GuidText(clsid); });
    std::string target;
    if (url) {
      const std::size_t bytes = c.U32("size");
      target = ReadUtf16Chars(c, bytes / 2, "target");
      const auto end = target.find('\0');
      if (end != std::string::npos) {
        target.resize(end);
        c.Value([&] { return target; });
      }
    } else if (file) {
      c.U16("up_levels");
      const std::size_t ansi = c.U32("ansi_length");
      // The UTF-16 path, when there is one, is the target; its size word
      // stands 24 bytes after the 8-bit path.
      const auto unicodeSize = c.Peek(ansi + 24, 4);
      const bool unicode = unicodeSize.size() == 4 &&
                           (unicodeSize[0] | unicodeSize[1] | unicodeSize[2] | unicodeSize[3]) != 0;
      std::string path;
      AppendLatin1AsUtf8(c.BytesUpTo(unicode ? "ansi_path" : "target", ansi), path);
      if (!path.empty() && path.back() == '\0')
        path.pop_back();
      c.Value([&] { return path; });
      target = std::move(path);
      c.U16("end_server");
      c.U16("version");
      c.Skip("reserved", 20);
      const std::size_t extra = c.U32("unicode_size");
      if (extra > 0) {
        const std::size_t bytes = c.U32("unicode_path_size");
        c.U16("key_value");
        target = ReadUtf16Chars(c, bytes / 2, "target");
      }
    } else {
      c.SkipRest("moniker_data");
    }
    c.End();
    return target;
  }
};

/// DVAL: the sheet's data validation settings and the count of DV records.
struct TDValDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("options");
    c.Flag("window_closed", 0);
    c.U32("x");
    c.U32("y");
    c.U32("object_id");
    c.U32("dv_count");
    c.SkipRest("unused");
  }
};

/// DV: one data validation rule: its type and operator, the prompt and
/// error texts, its two formulas and the cells it applies to.
struct TDvDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    using namespace ObjectLayout;
    c.U32("options");
    c.Bits("type", 0, 4, [](std::int64_t v) { return NameOf(kValidationTypes, v); });
    c.Bits("error_style", 4, 3, [](std::int64_t v) { return NameOf(kErrorStyles, v); });
    c.Flag("list_in_formula", 7);
    c.Flag("allow_blank", 8);
    c.Flag("suppress_drop_down", 9);
    c.Bits("ime_mode", 10, 8);
    c.Flag("show_input", 18);
    c.Flag("show_error", 19);
    c.Bits("operator", 20, 4, [](std::int64_t v) { return NameOf(kOperators, v); });
    ReadUnicodeString16(c, "prompt_title_length", "prompt_title");
    ReadUnicodeString16(c, "error_title_length", "error_title");
    ReadUnicodeString16(c, "prompt_length", "prompt");
    ReadUnicodeString16(c, "error_length", "error");
    for (const char* formula : {"formula1", "formula2"}) {
      c.Begin(formula);
      const std::size_t size = ReadByteCount16(c, "size");
      c.U16("reserved");
      ReadTokens(c, size, "tokens");
      c.End();
    }
    ReadSqRef(c, "cells");
    c.SkipRest("unused");
  }
};

/// CONDFMT: a set of conditional formats: how many CF records follow, the
/// bounding range and the cells.
struct TCondFmtDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    c.U16("cf_count");
    c.U16("options");
    c.Flag("tough_recalc", 0);
    c.Bits("id", 1, 15);
    ReadRef8(c, "bounds");
    ReadSqRef(c, "cells");
    c.SkipRest("unused");
  }
};

/// [MS-XLS] 2.5.73 DXFN: which formatting a conditional format sets and,
/// for each part present, its bytes.
template <typename C>
void ReadDxfn(C& c, std::size_t end)
{
  c.Begin("format");
  const std::uint32_t flags = c.U32("flags");
  c.Flag("no_alignment", 0);
  c.Flag("no_vertical_alignment", 1);
  c.Flag("no_wrap", 2);
  c.Flag("no_rotation", 3);
  c.Flag("no_justify_last", 4);
  c.Flag("no_indent", 5);
  c.Flag("no_shrink", 6);
  c.Flag("no_merge", 7);
  c.Flag("no_locked", 8);
  c.Flag("no_hidden", 9);
  c.Flag("no_left_border", 10);
  c.Flag("no_right_border", 11);
  c.Flag("no_top_border", 12);
  c.Flag("no_bottom_border", 13);
  c.Flag("no_diagonal_down", 14);
  c.Flag("no_diagonal_up", 15);
  c.Flag("no_pattern", 16);
  c.Flag("no_pattern_color", 17);
  c.Flag("no_background_color", 18);
  c.Flag("no_number_format", 19);
  c.Flag("no_font", 20);
  c.Flag("has_number_format", 25);
  c.Flag("has_font", 26);
  c.Flag("has_alignment", 27);
  c.Flag("has_border", 28);
  c.Flag("has_pattern", 29);
  c.Flag("has_protection", 30);
  const std::uint16_t flags2 = c.U16("flags2");
  c.Flag("user_number_format", 0);
  c.Flag("new_border", 2);
  c.Flag("zero_inited", 15);
  const auto left = [&] { return c.Position() < end ? end - c.Position() : 0; };
  if (flags & (1u << 25)) {
    if (flags2 & 0x01) {
      c.Begin("number_format");
      const std::size_t size = c.U16("size");
      c.BytesUpTo("text", std::min(size >= 2 ? size - 2 : 0, left()));
      c.End();
    } else {
      c.U8("unused");
      c.U8("number_format");
      c.Link(TFieldLinkKind::lkFormat);
    }
  }
  if (flags & (1u << 26))
    c.BytesUpTo("font", std::min<std::size_t>(118, left()));
  if (flags & (1u << 27))
    c.BytesUpTo("alignment", std::min<std::size_t>(8, left()));
  if (flags & (1u << 28))
    c.BytesUpTo("border", std::min<std::size_t>(8, left()));
  if (flags & (1u << 29))
    c.BytesUpTo("pattern", std::min<std::size_t>(4, left()));
  if (flags & (1u << 30))
    c.BytesUpTo("protection", std::min<std::size_t>(2, left()));
  if (left() > 0)
    c.BytesUpTo("unread", left());
  c.End();
}

/// CF: one conditional format: its condition, the formatting it applies
/// and its one or two formulas (their token bytes end the record).
struct TCfDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    using namespace ObjectLayout;
    const std::uint8_t type = c.U8("type");
    c.Meaning([&] { return NameOf(kConditionTypes, type); });
    const std::uint8_t op = c.U8("operator");
    c.Meaning([&] { return NameOf(kCfOperators, op); });
    const std::size_t size1 = ReadByteCount16(c, "formula1_size");
    const std::size_t size2 = ReadByteCount16(c, "formula2_size");
    if (c.Short())
      return;
    // The formulas take the record's last bytes: the format is what lies
    // before them.
    const std::size_t formulas = size1 + size2;
    const std::size_t formatEnd = c.Remaining() >= formulas ? c.Size() - formulas : c.Position();
    if (formatEnd > c.Position())
      ReadDxfn(c, formatEnd);
    ReadTokens(c, size1, "formula1");
    ReadTokens(c, size2, "formula2");
    c.SkipRest("unused");
  }
};
