// Records described after the load by the decoders that read them during
// it: the fields cover the record's bytes, say what the load read, and use
// the context the record had (version, code page) even when it changed later.

#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"
#include "xls/records/RecordTable.h"

#include <functional>
#include <map>
#include <variant>

namespace {

using enum TExcelVersion;

/// Every record the load raised, with its number, as the list gets them.
class TListedLoad {
public:
  explicit TListedLoad(const std::vector<std::uint8_t>& bytes)
  {
    Reader.OnStreamRecord = [this](const TStreamRecord& r) {
      Data.emplace_back(r.Data.begin(), r.Data.end());
      Refs.push_back(r);
    };
    try {
      Reader.LoadFromMemory(bytes);
    } catch (const std::exception& e) {
      Error = e.what();
    }
    for (std::size_t i = 0; i < Refs.size(); ++i)
      Refs[i].Data = Data[i];  // the copies outlive the load's buffers
  }
  /// The record numbered `number` with the CONTINUE records after it.
  TLogicalRecord Logical(std::size_t index) const
  {
    std::size_t end = index + 1;
    while (end < Refs.size() && Refs[end].Header.Code == kRecContinue)
      ++end;
    return TLogicalRecord{std::span(Refs).subspan(index, end - index)};
  }
  std::size_t Find(std::uint16_t code) const
  {
    for (std::size_t i = 0; i < Refs.size(); ++i)
      if (Refs[i].Header.Code == code)
        return i;
    ADD_FAILURE() << "no record " << code;
    return 0;
  }

  TMSExcel Reader;
  std::vector<std::vector<std::uint8_t>> Data;
  std::vector<TRecordRef> Refs;
  std::string Error;
};

/// The first field named `name`, depth first; nullptr when none is.
const TRecordField* FindField(const std::vector<TRecordField>& fields, const std::string& name)
{
  for (const TRecordField& f : fields) {
    if (f.Name == name)
      return &f;
    if (const TRecordField* inner = FindField(f.Fields, name))
      return inner;
  }
  return nullptr;
}

/// Top-level fields of part 0 follow each other without gap or overlap from
/// offset 0 to the record's end.
void ExpectFieldsTile(const std::vector<TRecordField>& fields, std::size_t size)
{
  std::size_t at = 0;
  for (const TRecordField& f : fields) {
    if (f.Part != 0)
      break;
    EXPECT_EQ(f.Offset, at) << "field " << f.Name;
    at = f.Offset + f.Size;
  }
  EXPECT_EQ(at, size);
}

using TExpected = std::map<std::string, TFieldValue>;

struct TDescribeCase {
  const char* Name;
  TExcelVersion Version;
  TBuildStep Globals;
  TBuildStep Sheet;
  std::uint16_t Code;
  TExpected Expected;
};

std::vector<std::uint8_t> BookOf(TExcelVersion version, const TBuildStep& globals,
                                 const TBuildStep& sheet)
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

const auto kFont5 = TBytes().U16(200).U16(0x0002).U16(8).U16(700).U16(0).U8(1).U8(0).U8(0).U8(0).U8(5);

}  // namespace

TEST(RecordDescription, EveryDecoderNamesFieldsThatCoverItsRecord)
{
  const TDescribeCase cases[] = {
      {"NUMBER", evExcel8, {}, [](TBiffBuilder& b) { b.Number(3, 4, 15, 2.5); }, kRecNumber,
       {{"row", std::int64_t{3}}, {"col", std::int64_t{4}}, {"xf", std::int64_t{15}}, {"value", 2.5}}},
      {"RK", evExcel8, {}, [](TBiffBuilder& b) { b.Rk(1, 2, 0, 6); }, kRecRk3,
       {{"row", std::int64_t{1}}, {"rk", std::int64_t{6}}}},
      {"LABELSST", evExcel8, [](TBiffBuilder& b) { b.Sst(TSstBuilder().String("s")); },
       [](TBiffBuilder& b) { b.LabelSst(7, 1, 0, 0); }, kRecLabelSst,
       {{"row", std::int64_t{7}}, {"sst_index", std::int64_t{0}}}},
      {"LABEL BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.Label(0, 0, 0, "\xD0\xAF", true); },
       kRecLabel, {{"length", std::int64_t{1}}, {"text", std::string("\xD0\xAF")}}},
      {"LABEL BIFF5", evExcel5, {}, [](TBiffBuilder& b) { b.Label(0, 0, 0, "abc"); }, kRecLabel,
       {{"text", std::string("abc")}}},
      {"BOOLERR", evExcel8, {}, [](TBiffBuilder& b) { b.BoolErr(0, 0, 0, 0x07, true); }, kRecBoolErr,
       {{"value", std::int64_t{7}}, {"is_error", std::int64_t{1}}}},
      {"MULRK", evExcel8, {}, [](TBiffBuilder& b) { b.MulRk(2, 1, {{0, 6}, {0, 10}}); }, kRecMulRk,
       {{"first_col", std::int64_t{1}}, {"last_col", std::int64_t{2}}}},
      {"MULBLANK", evExcel8, {}, [](TBiffBuilder& b) { b.MulBlank(2, 1, 3); }, kRecMulBlank,
       {{"first_col", std::int64_t{1}}}},
      {"FORMULA", evExcel8, {}, [](TBiffBuilder& b) { b.FormulaNumber(0, 1, 0, 3.5); }, kRecFormula,
       {{"col", std::int64_t{1}}}},
      {"DIMENSIONS BIFF8", evExcel8, {}, [](TBiffBuilder& b) { b.Dimensions(0, 10, 0, 5); },
       kRecDimensions, {{"last_row_plus_1", std::int64_t{10}}, {"last_col_plus_1", std::int64_t{5}}}},
      {"DIMENSIONS BIFF5", evExcel5, {}, [](TBiffBuilder& b) { b.Dimensions(0, 10, 0, 5); },
       kRecDimensions, {{"last_row_plus_1", std::int64_t{10}}}},
      {"ROW", evExcel8, {}, [](TBiffBuilder& b) { b.Row(4, 0x8120); }, kRecRow,
       {{"row", std::int64_t{4}}, {"height", std::int64_t{0x0120}}, {"default_height", true}}},
      {"COLINFO", evExcel8, {}, [](TBiffBuilder& b) { b.ColInfo(1, 3, 2560); }, kRecColInfo,
       {{"first_col", std::int64_t{1}}, {"last_col", std::int64_t{3}}, {"width", std::int64_t{2560}}}},
      {"XF BIFF8", evExcel8, [](TBiffBuilder& b) { b.Xf(14); }, {}, kRecXf5, {{"format", std::int64_t{14}}}},
      {"FORMAT BIFF8", evExcel8, [](TBiffBuilder& b) { b.Format(164, "0.0%"); }, {}, kRecFormat4,
       {{"index", std::int64_t{164}}, {"text", std::string("0.0%")}}},
      {"CODEPAGE", evExcel8, [](TBiffBuilder& b) { b.CodePage(1252); }, {}, kRecCodePage,
       {{"code_page", std::int64_t{1252}}}},
      {"DATEMODE", evExcel8, [](TBiffBuilder& b) { b.DateMode(1); }, {}, kRecDateMode,
       {{"date_1904", std::int64_t{1}}}},
      {"BOUNDSHEET BIFF8", evExcel8, {}, {}, kRecBoundSheet, {{"name", std::string("Sheet1")}}},
      {"BOUNDSHEET BIFF5", evExcel5, {}, {}, kRecBoundSheet, {{"name", std::string("Sheet1")}}},
      {"FONT BIFF5", evExcel5, [](TBiffBuilder& b) { b.Record(kRecFont, TBytes(kFont5).Ascii("Arial")); },
       {}, kRecFont, {{"height", std::int64_t{200}}, {"weight", std::int64_t{700}}, {"name", std::string("Arial")}}},
      {"NAME BIFF8", evExcel8,
       [](TBiffBuilder& b) {
         b.Record(kRecName, TBytes().U16(0).U8(0).U8(3).U16(2).U16(0).U16(0).U8(0).U8(0).U8(0).U8(0)
                                .U8(0).Ascii("Tax").U8(0x1E).U8(5));
       },
       {}, kRecName, {{"name", std::string("Tax")}, {"formula", std::string("1E 05")}}},
      {"2NUMBER", evExcel2, {}, [](TBiffBuilder& b) { b.Number2(1, 2, 0.25, 3); }, kRecNumber2,
       {{"row", std::int64_t{1}}, {"value", 0.25}}},
      {"2LABEL", evExcel2, {}, [](TBiffBuilder& b) { b.Label2(0, 0, "hi"); }, kRecLabel2,
       {{"text", std::string("hi")}}},
      {"2INTEGER", evExcel2, {}, [](TBiffBuilder& b) { b.Integer2(0, 0, 42); }, kRecInteger2,
       {{"value", std::int64_t{42}}}},
      {"2BOOLERR", evExcel2, {}, [](TBiffBuilder& b) { b.BoolErr2(0, 0, 1, false); }, kRecBoolErr2,
       {{"value", std::int64_t{1}}}},
      {"COLWIDTH", evExcel2, {}, [](TBiffBuilder& b) { b.ColWidth(2, 4, 512); }, kRecColWidth,
       {{"last_col", std::int64_t{4}}}},
      {"XF BIFF2", evExcel2, [](TBiffBuilder& b) { b.Xf(14); }, {}, kRecXf2, {}},
      {"XF BIFF4", evExcel4, [](TBiffBuilder& b) { b.Xf(14); }, {}, kRecXf4, {{"format", std::int64_t{14}}}},
      {"FORMAT BIFF2", evExcel2, [](TBiffBuilder& b) { b.Format(0, "0.00"); }, {}, kRecFormat2,
       {{"text", std::string("0.00")}}},
  };
  for (const TDescribeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TListedLoad load(BookOf(c.Version, c.Globals, c.Sheet));
    ASSERT_EQ(load.Error, "");
    const std::size_t index = load.Find(c.Code);
    const TLogicalRecord record = load.Logical(index);
    const auto fields = load.Reader.DescribeRecord(record);
    ASSERT_FALSE(fields.empty());
    ExpectFieldsTile(fields, record.Head().Data.size());
    for (const auto& [name, value] : c.Expected) {
      SCOPED_TRACE(name);
      const TRecordField* field = FindField(fields, name);
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(field->Value, value);
    }
  }
}

TEST(RecordDescription, EveryTableEntryThatDescribesHasItsCodeOnce)
{
  std::uint16_t previous = 0;
  bool first = true;
  for (const TRecordType& type : RecordTypes()) {
    EXPECT_TRUE(first || type.Code > previous) << type.Type;
    first = false;
    previous = type.Code;
    EXPECT_EQ(FindRecordType(type.Code), &type);
  }
  EXPECT_EQ(FindRecordType(0x2001), nullptr);  // shares its index slot with 0x0001
  // BOF is the loop's own: the table only describes it.
  ASSERT_NE(FindRecordType(0x0809), nullptr);
  EXPECT_EQ(FindRecordType(0x0809)->Apply, nullptr);
}

TEST(RecordDescription, ARecordTooShortForItsFieldsShowsWhereItEnds)
{
  const auto number = TBytes().U16(1).U16(2).U16(0).U32(0);  // 10 of 14 bytes
  const TListedLoad load(Book8({}, [&](TBiffBuilder& b) { b.Record(kRecNumber, number); }));
  const auto fields = load.Reader.DescribeRecord(load.Logical(load.Find(kRecNumber)));
  const TRecordField* value = FindField(fields, "value");
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(value->Missing);
  EXPECT_EQ(value->Text, "missing: record ends at byte 10");
  ExpectFieldsTile(fields, 10);
}

TEST(RecordDescription, AnSstListsItsStringsAcrossItsContinueRecords)
{
  const TListedLoad load(Book8(
      [](TBiffBuilder& b) { b.Sst(TSstBuilder().String("first").String("second", true).SplitAt({21})); },
      {}));
  const TLogicalRecord sst = load.Logical(load.Find(kRecSst));
  ASSERT_EQ(sst.Parts.size(), 2u);
  const auto fields = load.Reader.DescribeRecord(sst);
  std::vector<std::string> texts;
  std::vector<int> parts;
  const TRecordField* strings = FindField(fields, "strings");
  ASSERT_NE(strings, nullptr);
  ASSERT_NE(strings->Lazy, nullptr);
  ASSERT_EQ(strings->Lazy->Count(), 2u);
  for (std::size_t i = 0; i < strings->Lazy->Count(); ++i)
    for (const TRecordField& f : strings->Lazy->Item(i).Fields)
      if (f.Name == "text" || f.Name == "text_continued") {
        texts.push_back(std::get<std::string>(f.Value));
        parts.push_back(f.Part);
      }
  // "second" is split after its first character: the rest lies in part 1;
  // the first piece carries the whole text.
  EXPECT_EQ(texts, (std::vector<std::string>{"first", "second", "econd"}));
  EXPECT_EQ(parts, (std::vector<int>{0, 0, 1}));
}

TEST(RecordDescription, ARecordDecodesWithTheCodePageItHadDuringTheLoad)
{
  // Two CODEPAGE records: the label between them is Cyrillic, the one after
  // Western; described after the load, each keeps its own.
  const auto stream = BareStream(evExcel5, [](TBiffBuilder& b) {
    b.CodePage(1251).Label(0, 0, 0, "\xC0").CodePage(1252).Label(1, 0, 0, "\xC0");
  });
  const TListedLoad load(stream);
  ASSERT_EQ(load.Error, "");
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < load.Refs.size(); ++i)
    if (load.Refs[i].Header.Code == kRecLabel) {
      const auto fields = load.Reader.DescribeRecord(load.Logical(i));
      texts.push_back(std::get<std::string>(FindField(fields, "text")->Value));
    }
  EXPECT_EQ(texts, (std::vector<std::string>{"\xD0\x90", "\xC3\x80"}));
  EXPECT_EQ(load.Reader.Sheets().Items(0).Cells.GetCellValue(0, 0), Text("\xD0\x90"));
}

TEST(RecordDescription, ARecordNoDecoderKnowsHasNoFields)
{
  const TListedLoad load(Book8({}, [](TBiffBuilder& b) { b.Record(0x1FFF, TBytes().U16(1)); }));
  EXPECT_TRUE(load.Reader.DescribeRecord(load.Logical(load.Find(0x1FFF))).empty());
}

TEST(RecordDescription, ACellsFieldsSayWhatTheLoadStored)
{
  // Every BIFF2 alignment value (bits 0-2) and FORMULA booleans of byte 0,
  // 1 and 2: the meaning the pane shows names what the model holds.
  const TListedLoad biff2(BareStream(evExcel2, [](TBiffBuilder& b) {
    for (std::uint8_t align = 0; align < 8; ++align)
      b.Integer2(align, 0, 1, 0, align);
  }));
  ASSERT_EQ(biff2.Error, "");
  const char* const kRead[] = {"left-justified", "right-justified", "centred"};  // by TAlignment
  std::size_t row = 0;
  for (std::size_t i = 0; i < biff2.Refs.size(); ++i) {
    if (biff2.Refs[i].Header.Code != kRecInteger2)
      continue;
    SCOPED_TRACE(row);
    const auto fields = biff2.Reader.DescribeRecord(biff2.Logical(i));
    const TRecordField* field = FindField(fields, "horizontal_align");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(std::get<std::int64_t>(field->Value), static_cast<std::int64_t>(row));
    const TZymCell* cell = biff2.Reader.Sheets().Items(0).Cells.FindCell(0, static_cast<int>(row));
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(field->Text.ends_with(kRead[static_cast<int>(cell->Alignment)])) << field->Text;
    ++row;
  }
  EXPECT_EQ(row, 8u);
  EXPECT_EQ(biff2.Reader.Sheets().Items(0).Cells.FindCell(0, 4)->Alignment, TAlignment::taLeftJustify);  // fill
  EXPECT_EQ(biff2.Reader.Sheets().Items(0).Cells.FindCell(0, 6)->Alignment, TAlignment::taCenter);

  const TListedLoad formulas(
      Book8({}, [](TBiffBuilder& b) { b.FormulaSpecial(0, 0, 0, 1, 0).FormulaSpecial(0, 1, 0, 1, 1).FormulaSpecial(0, 2, 0, 1, 2); }));
  ASSERT_EQ(formulas.Error, "");
  std::vector<std::string> meanings;
  for (std::size_t i = 0; i < formulas.Refs.size(); ++i)
    if (formulas.Refs[i].Header.Code == kRecFormula)
      meanings.push_back(FindField(formulas.Reader.DescribeRecord(formulas.Logical(i)), "result")->Text);
  ASSERT_EQ(meanings.size(), 3u);
  for (int column = 0; column < 3; ++column) {
    const bool value = formulas.Reader.Sheets().Items(0).Cells.GetCellValue(column, 0).AsBoolean();
    EXPECT_EQ(meanings[static_cast<std::size_t>(column)].rfind(value ? "boolean TRUE" : "boolean FALSE", 0), 0u)
        << meanings[static_cast<std::size_t>(column)];
  }
}
