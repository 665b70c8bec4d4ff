// The record layouts, type by type and version by version: records written
// with the test writer from the file format, loaded, and described as the
// inspector describes them. Each case names fields by their path (group
// names and field names joined by "/"), the value each holds and, where it
// has one, its meaning; every description must cover its record exactly.

#include "DescribeTestSupport.h"
#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"

#include <optional>

namespace {

using enum TExcelVersion;

struct TExpectedField {
  const char* Path;
  TFieldValue Value;
  const char* Text = nullptr;  // the meaning, when it is checked
};

struct TLayoutCase {
  const char* Name;
  TExcelVersion Version;
  TBuildStep Globals;
  TBuildStep Sheet;
  std::uint16_t Code;
  std::vector<TExpectedField> Expected;
};

/// The field at `path` ("group/field"), the first match at each level.
const TRecordField* FindPath(const std::vector<TRecordField>& fields, std::string_view path)
{
  const auto slash = path.find('/');
  const std::string_view head = path.substr(0, slash);
  for (const TRecordField& f : fields) {
    if (f.Name != head)
      continue;
    if (slash == std::string_view::npos)
      return &f;
    if (const TRecordField* inner = FindPath(f.Fields, path.substr(slash + 1)))
      return inner;
  }
  return nullptr;
}

std::vector<std::uint8_t> BookFor(TExcelVersion version, const TBuildStep& globals, const TBuildStep& sheet)
{
  if (version >= evExcel5)
    return OneSheetBook(version, globals, sheet);
  return BareStream(version, [&](TBiffBuilder& b) {
    if (globals)
      globals(b);
    if (sheet)
      sheet(b);
  });
}

void RunCases(const std::vector<TLayoutCase>& cases)
{
  for (const TLayoutCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDescribedLoad load(BookFor(c.Version, c.Globals, c.Sheet));
    const std::size_t index = load.Find(c.Code);
    ASSERT_LT(index, load.Count()) << "no record of the code";
    const auto parts = load.Parts(index);
    const auto fields = load.Reader.DescribeRecord(TLogicalRecord{parts});
    ExpectFieldsTile(fields, parts);
    for (const TExpectedField& e : c.Expected) {
      SCOPED_TRACE(e.Path);
      const TRecordField* field = FindPath(fields, e.Path);
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(field->Value, e.Value);
      if (e.Text) {
        EXPECT_EQ(field->Text, e.Text);
      }
    }
  }
}

TFieldValue N(std::int64_t v)
{
  return v;
}
TFieldValue S(const char* v)
{
  return std::string(v);
}

}  // namespace

TEST(RecordLayout, BofOfEveryVersionNamesItsVersionAndSubstream)
{
  RunCases({
      {"BIFF2", evExcel2, {}, {}, kRecBof2,
       {{"version", N(0x0200), "BIFF2"}, {"type", N(0x10), "worksheet or dialog sheet"}}},
      {"BIFF3", evExcel3, {}, {}, kRecBof3, {{"version", N(0x0300), "BIFF3"}, {"build", N(0)}}},
      {"BIFF4", evExcel4, {}, {}, kRecBof4, {{"version", N(0x0400), "BIFF4"}}},
      {"BIFF5", evExcel5, {}, {}, kRecBof,
       {{"version", N(0x0500), "BIFF5 or BIFF7"}, {"type", N(5), "workbook globals"}, {"year", N(0x07CC)}}},
      {"BIFF8", evExcel8, {}, {}, kRecBof,
       {{"version", N(0x0600), "BIFF8"}, {"file_history", N(0x41), "win"},
        {"file_history/win", true}, {"lowest_biff", N(6)}}},
  });
}

TEST(RecordLayout, FontsOfEveryVersionGiveHeightStyleAndName)
{
  RunCases({
      {"BIFF2", evExcel2, [](TBiffBuilder& b) { b.Font(240, 0x0003, 0, "Helv"); }, {}, kRecFont,
       {{"height", N(240), "12 pt"}, {"options/bold", true}, {"options/italic", true}, {"name", S("Helv")}}},
      {"BIFF3", evExcel3, [](TBiffBuilder& b) { b.Font(200, 0x0008, 0, "Arial"); }, {}, kRecFont3,
       {{"options/strikeout", true}, {"color", N(0x7FFF), "automatic (window text)"}, {"name", S("Arial")}}},
      {"BIFF5", evExcel5, [](TBiffBuilder& b) { b.Font(180, 0x0002, 700, "Times"); }, {}, kRecFont,
       {{"height", N(180), "9 pt"}, {"weight", N(700), "bold"}, {"options/italic", true},
        {"family", N(2), "swiss"}, {"name", S("Times")}}},
      {"BIFF8 8-bit", evExcel8, [](TBiffBuilder& b) { b.Font(210, 0, 400, "Arial"); }, {}, kRecFont,
       {{"height", N(210), "10.5 pt"}, {"weight", N(400), "normal"}, {"options/italic", false},
        {"name", S("Arial")}}},
      {"BIFF8 UTF-16", evExcel8, [](TBiffBuilder& b) { b.Font(200, 0, 400, "\xD0\x90rial", true); }, {},
       kRecFont, {{"name_length", N(5)}, {"options/high_byte", true}, {"name", S("\xD0\x90rial")}}},
  });
}

TEST(RecordLayout, FormatsAndCellFormatsOfEveryVersion)
{
  RunCases({
      {"FORMAT BIFF2", evExcel2, [](TBiffBuilder& b) { b.Format(0, "0.0"); }, {}, kRecFormat2,
       {{"length", N(3)}, {"text", S("0.0")}}},
      {"FORMAT BIFF5", evExcel5, [](TBiffBuilder& b) { b.Format(165, "#,##0"); }, {}, kRecFormat4,
       {{"index", N(165)}, {"text", S("#,##0")}}},
      {"FORMAT BIFF8", evExcel8, [](TBiffBuilder& b) { b.Format(170, "d/m/yy"); }, {}, kRecFormat4,
       {{"index", N(170)}, {"text", S("d/m/yy")}}},
      {"XF BIFF2", evExcel2, [](TBiffBuilder& b) { b.Xf(5); }, {}, kRecXf2,
       {{"font", N(0)}, {"format/format_index", N(5)}, {"format/locked", true}, {"format/hidden", true}}},
      {"XF BIFF3", evExcel3, [](TBiffBuilder& b) { b.Xf(7); }, {}, kRecXf3,
       {{"format", N(7)}, {"borders/top_style", N(0), "none"}}},
      {"XF BIFF4", evExcel4, [](TBiffBuilder& b) { b.Xf(9); }, {}, kRecXf4,
       {{"format", N(9)}, {"alignment/horizontal_align", N(0), "general"}}},
      {"XF BIFF5", evExcel5, [](TBiffBuilder& b) { b.Xf(14); }, {}, kRecXf5,
       {{"format", N(14)}, {"type_protection/locked", false}, {"pattern_bottom/fill_pattern", N(0)}}},
      {"XF BIFF8", evExcel8,
       [](TBiffBuilder& b) {
         b.Record(kRecXf5, TBytes().U16(6).U16(164).U16(0xFFF5).U8(0x22).U8(45).U8(0).U8(0xFC).U32(0x00000001).U32(0).U16(0x20C0));
       },
       {}, kRecXf5,
       {{"font", N(6), "FONT record 6 of the workbook"}, {"format", N(164)},
        {"type_protection/style", true}, {"type_protection/parent_xf", N(0xFFF)},
        {"alignment/horizontal_align", N(2), "centre"}, {"alignment/vertical_align", N(2), "bottom"},
        {"rotation", N(45), "45 degrees"}, {"borders/left_style", N(1), "thin"},
        {"colors/pattern_color", N(64)}, {"colors/background_color", N(65)}}},
      {"STYLE built-in", evExcel8, [](TBiffBuilder& b) { b.BuiltInStyle(16, 3); }, {}, kRecStyle,
       {{"xf", N(0x8010), "XF 16, built-in"}, {"xf/built_in", true}, {"built_in_style", N(3), "Comma"}}},
      {"STYLE user BIFF8", evExcel8, [](TBiffBuilder& b) { b.UserStyle(21, "Mine"); }, {}, kRecStyle,
       {{"xf/xf_index", N(21)}, {"name", S("Mine")}}},
      {"STYLE user BIFF5", evExcel5, [](TBiffBuilder& b) { b.UserStyle(22, "Old"); }, {}, kRecStyle,
       {{"xf/built_in", false}, {"name", S("Old")}}},
  });
}

TEST(RecordLayout, SheetRecordsNameTheirOptionsAndRanges)
{
  RunCases({
      {"WINDOW2 BIFF2", evExcel2, {}, [](TBiffBuilder& b) { b.Window2(0x0002, 4, 2); }, kRecWindow2Biff2,
       {{"show_formulas", N(0)}, {"show_grid", N(1)}, {"top_row", N(4)}, {"left_col", N(2)}}},
      {"WINDOW2 BIFF5", evExcel5, {}, [](TBiffBuilder& b) { b.Window2(0x06B6, 0, 0); }, kRecWindow2,
       {{"options/show_grid", true}, {"options/frozen", false}, {"options/selected", true},
        {"grid_color/red", N(0)}}},
      {"WINDOW2 BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.Window2(0x000A, 10, 3); }, kRecWindow2,
       {{"options/frozen", true}, {"top_row", N(10)}, {"grid_color_index", N(64)},
        {"normal_zoom", N(100), "100 %"}}},
      {"MERGECELLS", evExcel8, {}, [](TBiffBuilder& b) { b.MergeCells({{1, 2, 0, 3}, {5, 5, 1, 1}}); },
       kRecMergeCells,
       {{"count", N(2)}, {"ranges/range/first_row", N(1)}, {"ranges/range/last_row", N(2)},
        {"ranges/range/first_col", N(0)}, {"ranges/range/last_col", N(3)}}},
      {"COLINFO", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecColInfo, TBytes().U16(2).U16(4).U16(3072).U16(15).U16(0x0001).U16(0)); },
       kRecColInfo,
       {{"first_col", N(2)}, {"last_col", N(4)}, {"width", N(3072), "12 characters"}, {"options/hidden", true}}},
      {"ROW", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecRow, TBytes().U16(7).U16(0).U16(3).U16(0x8168).U16(0).U16(0).U16(0x0160).U16(0x000F)); },
       kRecRow,
       {{"row", N(7)}, {"height", N(0x168), "18 pt"}, {"height/default_height", true},
        {"options/hidden", true}, {"options/custom_height", true}, {"xf/xf_index", N(15)}}},
      {"DIMENSIONS BIFF2", evExcel2, {}, [](TBiffBuilder& b) { b.Record(kRecDimensions2, TBytes().U16(0).U16(9).U16(0).U16(4)); },
       kRecDimensions2, {{"last_row_plus_1", N(9)}, {"last_col_plus_1", N(4)}}},
      {"SELECTION", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecSelection, TBytes().U8(3).U16(4).U16(2).U16(0).U16(1).U16(4).U16(4).U8(2).U8(2)); },
       kRecSelection, {{"pane", N(3), "top left"}, {"active_col", N(2), "C5"}, {"range/first_row", N(4)}}},
      {"SETUP", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecSetup, TBytes().U16(9).U16(100).U16(1).U16(1).U16(1).U16(0x0002).U16(600).U16(600).F64(0.5).F64(0.5).U16(1)); },
       kRecSetup, {{"paper_size", N(9), "A4"}, {"options/portrait", true}, {"header_margin", 0.5, "0.5 in"}}},
      {"CALCMODE", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecCalcMode, TBytes().U16(0xFFFF)); }, kRecCalcMode,
       {{"mode", N(-1), "automatic except tables"}}},
      {"REFMODE", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecRefMode, TBytes().U16(0)); }, kRecRefMode,
       {{"a1", N(0), "R1C1 references"}}},
      {"SCL", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecScl, TBytes().U16(3).U16(4)); }, kRecScl,
       {{"denominator", N(4), "75 %"}}},
      {"HEADER BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecHeader, TBytes().U16(3).U8(0).Ascii("&P.")); },
       kRecHeader, {{"text", S("&P.")}}},
      {"HEADER BIFF5", evExcel5, {}, [](TBiffBuilder& b) { b.Record(kRecHeader, TBytes().U8(2).Ascii("&D")); },
       kRecHeader, {{"text", S("&D")}}},
  });
}

TEST(RecordLayout, ShortRecordsSayWhereTheyEnd)
{
  // WINDOW2 of BIFF8 cut after its options word.
  RunCases({
      {"WINDOW2", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecWindow2, TBytes().U16(0x06B6).U8(1)); },
       kRecWindow2, {{"options/show_grid", true}, {"top_row", S(""), "missing: record ends at byte 3"}}},
      {"FONT", evExcel8, [](TBiffBuilder& b) { b.Record(kRecFont, TBytes().U16(200).U16(0).U16(0x7FFF)); }, {},
       kRecFont, {{"weight", S(""), "missing: record ends at byte 6"}}},
  });
}

TEST(RecordLayout, CellRecordsLinkTheirFormatsAndShowTheirValues)
{
  RunCases({
      {"BLANK", evExcel8, {}, [](TBiffBuilder& b) { b.Record(kRecBlank, TBytes().U16(2).U16(1).U16(17)); }, kRecBlank,
       {{"col", N(1), "B3"}, {"xf", N(17)}}},
      {"BOOLERR error", evExcel8, {}, [](TBiffBuilder& b) { b.BoolErr(0, 0, 0, 0x07, true); }, kRecBoolErr,
       {{"is_error", N(1), "error #DIV/0!"}}},
      {"BOOLERR boolean", evExcel5, {}, [](TBiffBuilder& b) { b.BoolErr(0, 0, 0, 1, false); }, kRecBoolErr,
       {{"is_error", N(0), "boolean TRUE"}}},
      {"RK", evExcel8, {}, [](TBiffBuilder& b) { b.Rk(0, 0, 0, 0x3FF00001u + 0); }, kRecRk3,
       {{"rk/divided_by_100", true}, {"rk/integer", false}}},
      {"FORMULA BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.FormulaNumber(1, 1, 0, 2.5); }, kRecFormula,
       {{"result", S("00 00 00 00 00 00 04 40"), "number 2.5"}, {"options/always_calc", false}}},
      {"FORMULA BIFF8 text", evExcel8, {}, [](TBiffBuilder& b) { b.FormulaSpecial(1, 1, 0, 0).String("x"); }, kRecFormula,
       {{"result", S("00 00 00 00 00 00 FF FF"), "text, in the STRING record that follows"}}},
      {"STRING BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.FormulaSpecial(1, 1, 0, 0).String("\xD0\x96", true); },
       kRecString, {{"length", N(1)}, {"options/high_byte", true}, {"characters", S("\xD0\x96")}}},
      {"2STRING", evExcel2, {}, [](TBiffBuilder& b) { b.Formula2(0, 0, 1).String2("ab"); }, kRecString2,
       {{"length", N(2)}, {"text", S("ab")}}},
      {"RSTRING BIFF8", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecRString, TBytes().U16(0).U16(0).U16(0).U16(2).U8(0).Ascii("hi").U16(1).U16(0).U16(5)); },
       kRecRString, {{"text", S("hi")}, {"run_count", N(1)}, {"run/font", N(5)}}},
      {"SHRFMLA", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecSharedFormula, TBytes().U16(0).U16(3).U8(1).U8(1).U8(0).U8(3).U16(3).U8(0x1E).U16(7)); },
       kRecSharedFormula, {{"range/last_row", N(3)}, {"cells", N(3)}, {"formula", S("1E 07 00")}}},
      {"ARRAY BIFF8", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecArray, TBytes().U16(0).U16(1).U8(0).U8(0).U16(0x0001).U32(0).U16(3).U8(0x1E).U16(1)); },
       kRecArray, {{"options/always_calc", true}, {"formula", S("1E 01 00")}}},
      {"ARRAY BIFF2", evExcel2, {},
       [](TBiffBuilder& b) { b.Record(kRecArray2, TBytes().U16(0).U16(1).U8(0).U8(0).U8(0).U8(2).U8(0x1E).U8(1)); },
       kRecArray2, {{"formula_size", N(2)}, {"formula", S("1E 01")}}},
      {"TABLE", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecTable, TBytes().U16(1).U16(4).U8(1).U8(2).U16(0x0004).U16(0).U16(0).U16(0).U16(0)); },
       kRecTable, {{"options/row_input", true}, {"row_input_col", N(0), "A1"}}},
  });
}

TEST(RecordLayout, ProtectionRecordsNameTheEncryptionScheme)
{
  RunCases({
      {"XOR BIFF5", evExcel5, [](TBiffBuilder& b) { b.FilePassXor(0x514A, 0xCC1A); }, {}, kRecFilePass,
       {{"key", N(0x514A)}, {"verifier", N(0xCC1A)}}},
      {"XOR BIFF8", evExcel8, [](TBiffBuilder& b) { b.FilePassXor(0x1111, 0x2222); }, {}, kRecFilePass,
       {{"encryption_type", N(0), "XOR obfuscation"}, {"key", N(0x1111)}, {"verifier", N(0x2222)}}},
      {"RC4", evExcel8, [](TBiffBuilder& b) { b.FilePassRc4(0x30); }, {}, kRecFilePass,
       {{"encryption_type", N(1), "RC4"}, {"minor_version", N(1), "RC4 1.1"},
        {"encrypted_verifier_hash", S("32 32 32 32 32 32 32 32 32 32 32 32 32 32 32 32")}}},
      {"CryptoAPI", evExcel8,
       [](TBiffBuilder& b) { b.FilePassCryptoApi(4, "Microsoft Enhanced Cryptographic Provider v1.0", 128); }, {},
       kRecFilePass,
       {{"minor_version", N(2), "RC4 CryptoAPI 4.2"}, {"flags/crypto_api", true},
        {"encryption_header/alg_id", N(0x6801), "RC4"}, {"encryption_header/alg_id_hash", N(0x8004), "SHA-1"},
        {"encryption_header/key_size", N(128), "128 bits"},
        {"encryption_header/provider", S("Microsoft Enhanced Cryptographic Provider v1.0")},
        {"encryption_verifier/salt_size", N(16)}, {"encryption_verifier/verifier_hash_size", N(20)}}},
      {"CryptoAPI 40-bit", evExcel8,
       [](TBiffBuilder& b) { b.FilePassCryptoApi(2, "Microsoft Base Cryptographic Provider v1.0", 40); }, {},
       kRecFilePass, {{"minor_version", N(2), "RC4 CryptoAPI 2.2"}, {"encryption_header/key_size", N(40), "40 bits"}}},
      {"PROTECT", evExcel8, [](TBiffBuilder& b) { b.Record(kRecProtect, TBytes().U16(1)); }, {}, kRecProtect,
       {{"locked", N(1), "protected"}}},
      {"PASSWORD", evExcel8, [](TBiffBuilder& b) { b.Record(kRecPassword, TBytes().U16(0xCE4B)); }, {}, kRecPassword,
       {{"password_hash", N(0xCE4B), "password verifier"}}},
  });
}

TEST(RecordLayout, LinksAndTextsOfObjectsAndHyperlinks)
{
  RunCases({
      {"HLINK URL", evExcel8, {}, [](TBiffBuilder& b) { b.HLinkUrl(2, 3, "http://example.com/"); }, kRecHLink,
       {{"first_row", N(2)}, {"last_col", N(3)}, {"flags/has_moniker", true},
        {"moniker/target", S("http://example.com/")}}},
      {"HLINK URL and location", evExcel8, {}, [](TBiffBuilder& b) { b.HLinkUrl(0, 0, "http://a.b/", "top"); },
       kRecHLink, {{"moniker/target", S("http://a.b/")}, {"location", S("top")}}},
      {"HLINK location", evExcel8, {}, [](TBiffBuilder& b) { b.HLinkLocation(0, 0, "Sheet2!A1"); }, kRecHLink,
       {{"flags/has_location", true}, {"target", S("Sheet2!A1")}}},
      {"TXO", evExcel8, {}, [](TBiffBuilder& b) { b.Txo("Note text", {5, 0}); }, kRecTxo,
       {{"options/horizontal_align", N(1), "left"}, {"text_length", N(9)}, {"runs_size", N(16)},
        {"characters", S("Note text")}, {"run/font", N(5), "FONT record 5 of the workbook"}}},
      {"NOTE", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecNote, TBytes().U16(1).U16(2).U16(0x0002).U16(1).U16(3).U8(0).Ascii("Ann").U8(0)); },
       kRecNote, {{"col", N(2), "C2"}, {"options/shown", true}, {"author", S("Ann")}}},
      {"NOTE BIFF5", evExcel5, {}, [](TBiffBuilder& b) { b.Record(kRecNote, TBytes().U16(0).U16(0).U16(2).Ascii("Hi")); },
       kRecNote, {{"text", S("Hi")}}},
      {"OBJ", evExcel8, {},
       [](TBiffBuilder& b) {
         b.Record(kRecObj, TBytes().U16(0x15).U16(18).U16(0x19).U16(1).U16(0x4011).Zeros(12).U16(0x0D).U16(22).Zeros(22).U16(0).U16(0));
       },
       kRecObj,
       {{"sub_record/type", N(0x15), "ftCmo"}, {"sub_record/object_type", N(0x19), "note"},
        {"sub_record/options/locked", true}, {"sub_record/options/print", true}}},
      {"MSODRAWING", evExcel8, {},
       [](TBiffBuilder& b) {
         // A drawing container holding an FDG atom: 1 shape, last id 1025.
         b.Record(kRecMsoDrawing, TBytes().U16(0x000F).U16(0xF002).U32(16).U16(0x0010).U16(0xF008).U32(8).U32(1).U32(1025));
       },
       kRecMsoDrawing,
       {{"record/type", N(0xF002), "OfficeArtDgContainer"}, {"record/version_instance/version", N(15)},
        {"record/record/type", N(0xF008), "OfficeArtFDG"}, {"record/record/version_instance/instance", N(1)},
        {"record/record/last_shape_id", N(1025)}}},
      {"CF", evExcel8, {},
       [](TBiffBuilder& b) {
         b.Record(kRecCf, TBytes().U8(1).U8(5).U16(3).U16(0).U32(0x003FFFFF).U16(0).U8(0x1E).U16(10));
       },
       kRecCf, {{"operator", N(5), "greater than"}, {"format/flags/has_pattern", false}, {"formula1", S("1E 0A 00")}}},
      {"CONDFMT", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecCondFmt, TBytes().U16(1).U16(0x0003).U16(0).U16(9).U16(0).U16(0).U16(1).U16(0).U16(9).U16(0).U16(0)); },
       kRecCondFmt, {{"cf_count", N(1)}, {"options/id", N(1)}, {"bounds/last_row", N(9)}, {"cells/count", N(1)}}},
      {"DV", evExcel8, {},
       [](TBiffBuilder& b) {
         b.Record(kRecDv, TBytes().U32(0x00040103).U16(1).U8(0).U8(0).U16(1).U8(0).U8(0).U16(1).U8(0).U8(0).U16(1).U8(0).U8(0)
                              .U16(3).U16(0).U8(0x1E).U16(1).U16(0).U16(0).U16(1).U16(0).U16(0).U16(0).U16(0));
       },
       kRecDv,
       {{"options/type", N(3), "list"}, {"options/allow_blank", true}, {"options/show_error", false},
        {"formula1/tokens", S("1E 01 00")}, {"cells/count", N(1)}}},
  });
}

TEST(RecordLayout, FutureRecordsAndChartRecords)
{
  RunCases({
      {"XFEXT", evExcel8,
       [](TBiffBuilder& b) {
         b.Record(kRecXfExt, TBytes().U16(kRecXfExt).U16(0).Zeros(8).U16(0).U16(20).U16(0).U16(1)
                                 .U16(4).U16(20).U16(2).U16(0).U32(0x00336699).U32(0).U32(0));
       },
       {}, kRecXfExt,
       {{"frt_header/rt", N(kRecXfExt)}, {"xf", N(20), "extends XF 20"}, {"ext/type", N(4), "foreground colour"},
        {"ext/color/type", N(2), "RGB"}, {"ext/color/value", N(0x00336699), "#996633"}}},
      {"STYLEEXT", evExcel8,
       [](TBiffBuilder& b) {
         b.Record(kRecStyleExt, TBytes().U16(kRecStyleExt).U16(0).Zeros(8).U8(0x01).U8(1).U8(27).U8(0xFF).U16(4).Utf16("Good").U16(0).U16(0));
       },
       {}, kRecStyleExt, {{"options/built_in", true}, {"category", N(1), "good, bad, neutral"}, {"name", S("Good")}}},
      {"FEATHEADR", evExcel8, {},
       [](TBiffBuilder& b) { b.Record(kRecFeatHdr, TBytes().U16(kRecFeatHdr).U16(0).Zeros(8).U16(2).U8(1).U32(0xFFFFFFFF).U32(0x4400)); },
       kRecFeatHdr, {{"feature", N(2), "enhanced protection"}, {"allowed/select_locked_cells", true}, {"allowed/sort", false}}},
      {"AXIS in a chart", evExcel8, {},
       [](TBiffBuilder& b) {
         b.Bof(evExcel8, TBofType::btChart).Record(kRecChartAxis, TBytes().U16(1).Zeros(16)).Eof().Bof(evExcel8);
       },
       kRecChartAxis, {{"type", N(1), "value"}, {"reserved", S("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00")}}},
      {"FONTX", evExcel8, {},
       [](TBiffBuilder& b) { b.Bof(evExcel8, TBofType::btChart).Record(kRecChartFontX, TBytes().U16(5)).Eof().Bof(evExcel8); },
       kRecChartFontX, {{"font", N(5), "FONT record 5 of the workbook"}}},
      {"BRAI", evExcel8, {},
       [](TBiffBuilder& b) {
         b.Bof(evExcel8, TBofType::btChart).Record(kRecChartBrai, TBytes().U8(1).U8(2).U16(0).U16(0).U16(3).U8(0x3A).U16(0)).Eof().Bof(evExcel8);
       },
       kRecChartBrai, {{"id", N(1), "series values"}, {"reference_type", N(2), "reference"}, {"formula", S("3A 00 00")}}},
  });
}
