// The directory of listed records: which CONTINUE records belong to which
// record, where a described field's link leads, which chart blocks a
// record sits in, and which record wrote a cell.

#include "DescribeTestSupport.h"
#include "XlsTestSupport.h"

#include "xls/RecordCodes.h"

namespace {

using enum TExcelVersion;

/// The link of the first field named `name` of record `index`.
TFieldLink LinkOf(const TDescribedLoad& load, std::size_t index, const std::string& name)
{
  const auto fields = load.Describe(index);
  const TRecordField* field = FindField(fields, name);
  return field ? field->Link : TFieldLink{};
}

}  // namespace

TEST(RecordLinks, FormatAndFontIndexesLeadToTheirRecords)
{
  const TDescribedLoad load(Book8(
      [](TBiffBuilder& b) {
        for (const char* name : {"F0", "F1", "F2", "F3", "F5", "F6"})
          b.Font(200, 0, 400, name);
        b.Format(165, "0.0").Format(170, "0.00");
        b.Xf(0).Xf(0).Xf(170);
      },
      [](TBiffBuilder& b) { b.Number(0, 0, 2, 1.5); }));
  ASSERT_EQ(load.Error, "");
  const TRecordDirectory& dir = *load.Directory;
  const std::size_t firstFont = load.Find(kRecFont);
  // Fonts 0 to 3 are the first four records, font 4 does not exist, font 5
  // is the fifth record.
  for (const auto& [font, record] : std::vector<std::pair<int, std::size_t>>{{0, 0}, {3, 3}, {5, 4}, {6, 5}}) {
    SCOPED_TRACE(font);
    const auto target = dir.Resolve({TFieldLinkKind::lkFont, font}, 0);
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->Record, firstFont + record);
  }
  EXPECT_FALSE(dir.Resolve({TFieldLinkKind::lkFont, 4}, 0).has_value());
  EXPECT_FALSE(dir.Resolve({TFieldLinkKind::lkFont, 7}, 0).has_value());
  // A cell's XF index leads to the XF record; the XF's format to the FORMAT
  // of that number, not the one in that place.
  const std::size_t cell = load.Find(kRecNumber);
  const auto xf = dir.Resolve(LinkOf(load, cell, "xf"), cell);
  ASSERT_TRUE(xf.has_value());
  EXPECT_EQ(xf->Record, load.Find(kRecXf5) + 2);
  const auto format = dir.Resolve(LinkOf(load, xf->Record, "format"), xf->Record);
  ASSERT_TRUE(format.has_value());
  EXPECT_EQ(format->Record, load.Find(kRecFormat4) + 1);
  // A built-in format has no record.
  EXPECT_FALSE(dir.Resolve({TFieldLinkKind::lkFormat, 14}, 0).has_value());
}

TEST(RecordLinks, FormatsBeforeBiff5GoByTheirOrder)
{
  const TDescribedLoad load(BareStream(evExcel4, [](TBiffBuilder& b) { b.Format(0, "0.0").Format(0, "0.00"); }));
  const auto target = load.Directory->Resolve({TFieldLinkKind::lkFormat, 1}, 0);
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->Record, load.Find(kRecFormat4) + 1);
}

TEST(RecordLinks, SheetPositionsAndSharedStringsLeadToTheirRecords)
{
  const TDescribedLoad load(Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("a").String("b")); },
                                  [](TBiffBuilder& b) { b.LabelSst(0, 0, 0, 1); }));
  ASSERT_EQ(load.Error, "");
  const std::size_t boundSheet = load.Find(kRecBoundSheet);
  const auto bof = load.Directory->Resolve(LinkOf(load, boundSheet, "position"), boundSheet);
  ASSERT_TRUE(bof.has_value());
  EXPECT_EQ(load.Directory->Code(bof->Record), kRecBof);
  EXPECT_GT(bof->Record, boundSheet);
  EXPECT_FALSE(bof->Byte.has_value());  // the record itself, not a byte of it
  const std::size_t label = load.Find(kRecLabelSst);
  const auto string = load.Directory->Resolve(LinkOf(load, label, "sst_index"), label);
  ASSERT_TRUE(string.has_value());
  EXPECT_EQ(string->Record, load.Find(kRecSst));
  EXPECT_EQ(string->String, 1u);
}

TEST(RecordLinks, RowBlockOffsetsLeadToTheRowsAndCells)
{
  // Two rows, a cell each, then the DBCELL: the first row's offset counts
  // back from the DBCELL; the first cell's from the end of the first ROW,
  // the next from the cell before.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Sheet1", 1).Eof().Bof(evExcel8);
  const std::size_t row0 = b.Offset();
  b.Row(0, 300);
  b.Row(1, 300);
  const std::size_t cell0 = b.Offset();
  b.Number(0, 0, 0, 1);
  const std::size_t cell1 = b.Offset();
  b.Number(1, 0, 0, 2);
  const std::size_t dbcell = b.Offset();
  b.Record(kRecDbCell, TBytes()
                           .U32(static_cast<std::uint32_t>(dbcell - row0))
                           .U16(static_cast<std::uint16_t>(cell0 - (row0 + 20)))
                           .U16(static_cast<std::uint16_t>(cell1 - cell0)));
  b.Eof();
  const TDescribedLoad load(InCompoundFile(b.Build()));
  ASSERT_EQ(load.Error, "");
  const std::size_t at = load.Find(kRecDbCell);
  const auto fields = load.Describe(at);
  std::vector<std::uint64_t> targets;
  for (const TRecordField& f : fields)
    if (f.Link.Kind != TFieldLinkKind::lkNone)
      if (const auto target = load.Directory->Resolve(f.Link, at))
        targets.push_back(load.Directory->Record(target->Record).Offset);
  EXPECT_EQ(targets, (std::vector<std::uint64_t>{row0, cell0, cell1}));
}

TEST(RecordLinks, AStringPositionInAContinueRecordIsAByteOfTheWholeTable)
{
  // The SST ends after its first string; the second starts the CONTINUE.
  // EXTSST's bucket position points at that string: the link leads to the
  // SST, at the byte the viewer lays the CONTINUE's data at.
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals);
  const std::size_t sst = b.Offset();
  b.Sst(TSstBuilder().String("first").String("second").SplitAt({16}));
  const std::size_t second = sst + 4 + 16 + 4;
  b.Record(kRecExtSst, TBytes().U16(8).U32(static_cast<std::uint32_t>(second)).U16(4).U16(0));
  b.BoundSheet("Sheet1", 1).Eof().Bof(evExcel8).Eof();
  const TDescribedLoad load(InCompoundFile(b.Build()));
  ASSERT_EQ(load.Error, "");
  const std::size_t ext = load.Find(kRecExtSst);
  const auto target = load.Directory->Resolve(LinkOf(load, ext, "position"), ext);
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->Record, load.Find(kRecSst));
  EXPECT_EQ(target->Byte, 16u + 4u);  // part 1 starts after part 0 and its header
}

TEST(RecordParts, ContinueRecordsBelongToTheRecordBeforeThem)
{
  const TDescribedLoad load(Book8([](TBiffBuilder& b) { b.Sst(TSstBuilder().String("abc").String("def").SplitAt({12, 14})); },
                                  [](TBiffBuilder& b) { b.Txo("t", {0}).Record(kRecContinue, TBytes().U8(9)); }));
  ASSERT_EQ(load.Error, "");
  const std::size_t sst = load.Find(kRecSst);
  EXPECT_EQ(load.Parts(sst).size(), 3u);
  const auto second = load.Directory->ContinuationOf(sst + 2);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->Head, sst);
  EXPECT_EQ(second->Part, 2u);
  EXPECT_EQ(second->Parts, 2u);
  EXPECT_TRUE(second->Joined);
  EXPECT_FALSE(load.Directory->ContinuationOf(sst).has_value());
  // A text box reads all three CONTINUE records after it, the stray third
  // one as bytes it does not use.
  const std::size_t txo = load.Find(kRecTxo);
  EXPECT_EQ(load.Parts(txo).size(), 4u);
  ExpectFieldsTile(load.Describe(txo), load.Parts(txo));
}

TEST(RecordParts, EachContinueKnowsItsRunInWhateverOrderItIsAsked)
{
  // CONTINUE records from the stream's start (no head), after an SST (read
  // by it) and after a NUMBER (not read by it).
  const std::uint16_t codes[] = {kRecContinue, kRecContinue, kRecSst,    kRecContinue, kRecContinue,
                                 kRecContinue, kRecNumber,   kRecContinue, kRecContinue, kRecEof};
  std::vector<std::uint8_t> stream;
  std::vector<std::uint32_t> offsets;
  for (const std::uint16_t code : codes) {
    offsets.push_back(static_cast<std::uint32_t>(stream.size()));
    const std::vector<std::uint8_t> record = TBytes().U16(code).U16(2).U16(code);
    stream.insert(stream.end(), record.begin(), record.end());
  }
  const TRecordDirectory dir(stream, offsets, TWalkStart{true, evExcel8});
  // Head, part and parts of each record's continuation (head 99: none).
  struct TExpected {
    std::size_t Head, Part, Parts;
    bool Joined;
  };
  const TExpected expected[] = {{99, 0, 0, false}, {99, 0, 0, false}, {99, 0, 0, false}, {2, 1, 3, true},
                                {2, 2, 3, true},   {2, 3, 3, true},   {99, 0, 0, false}, {6, 1, 2, false},
                                {6, 2, 2, false},  {99, 0, 0, false}};
  const std::vector<std::vector<std::size_t>> orders = {
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, {7, 3, 0, 8, 4, 1, 5, 2, 9, 6, 3, 7}};
  for (const auto& order : orders) {
    for (const std::size_t index : order) {
      SCOPED_TRACE(index);
      const auto continuation = dir.ContinuationOf(index);
      const TExpected& e = expected[index];
      ASSERT_EQ(continuation.has_value(), e.Head != 99);
      if (!continuation)
        continue;
      EXPECT_EQ(continuation->Head, e.Head);
      EXPECT_EQ(continuation->Part, e.Part);
      EXPECT_EQ(continuation->Parts, e.Parts);
      EXPECT_EQ(continuation->Joined, e.Joined);
    }
  }
}

TEST(RecordParts, ChartRecordsKnowTheBlocksAroundThem)
{
  const TDescribedLoad load(Book8({}, [](TBiffBuilder& b) {
    b.Bof(evExcel8, TBofType::btChart)
        .Record(kRecChart, TBytes().Zeros(16))
        .Record(kRecChartBegin, {})
        .Record(kRecChartAxisParent, TBytes().Zeros(18))
        .Record(kRecChartBegin, {})
        .Record(kRecChartAxis, TBytes().Zeros(18))
        .Record(kRecChartEnd, {})
        .Record(kRecChartEnd, {})
        .Record(kRecChartPlotArea, {})
        .Eof();
  }));
  ASSERT_EQ(load.Error, "");
  const TRecordDirectory& dir = *load.Directory;
  EXPECT_EQ(dir.ChartPath(load.Find(kRecChartAxis)), (std::vector<std::uint16_t>{kRecChart, kRecChartAxisParent}));
  // A BEGIN stands in its opener's block, its END closes the block it is in.
  EXPECT_EQ(dir.ChartPath(load.Find(kRecChartBegin)), (std::vector<std::uint16_t>{}));
  EXPECT_EQ(dir.ChartPath(load.Find(kRecChartEnd)), (std::vector<std::uint16_t>{kRecChart, kRecChartAxisParent}));
  EXPECT_EQ(dir.ChartPath(load.Find(kRecChartPlotArea)), (std::vector<std::uint16_t>{}));
  // Outside a chart there are no blocks.
  EXPECT_TRUE(dir.ChartPath(load.Find(kRecBoundSheet)).empty());
}

TEST(RecordCells, TheLastRecordThatWritesACellIsItsRecord)
{
  const TDescribedLoad load(Book8({}, [](TBiffBuilder& b) {
    b.MulRk(2, 1, {{0, 6}, {0, 10}, {0, 14}})
        .Bof(evExcel8, TBofType::btChart)
        .Number(2, 3, 0, 99)  // a chart's cache, not a cell
        .Eof()
        .Number(2, 2, 0, 5)
        .Record(kRecMulBlank, TBytes().U16(6).U16(0).U8(0));  // too short for one cell
  }));
  ASSERT_EQ(load.Error, "");
  const TRecordDirectory& dir = *load.Directory;
  const std::size_t mulrk = load.Find(kRecMulRk);
  const std::size_t number = load.Find(kRecNumber, load.Find(kRecEof, mulrk) + 1);
  EXPECT_EQ(dir.RecordOfCell({0, 2, 1}), mulrk);
  EXPECT_EQ(dir.RecordOfCell({0, 2, 3}), mulrk);
  EXPECT_EQ(dir.RecordOfCell({0, 2, 2}), number);  // written again later
  EXPECT_FALSE(dir.RecordOfCell({0, 2, 4}).has_value());
  EXPECT_FALSE(dir.RecordOfCell({1, 0, 0}).has_value());
  const auto place = dir.CellOf(number);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->Sheet, 0);
  EXPECT_EQ(place->Row, 2);
  EXPECT_EQ(place->Column, 2);
  EXPECT_FALSE(dir.CellOf(load.Find(kRecNumber)).has_value());  // the chart's
  EXPECT_FALSE(dir.CellOf(load.Find(kRecMulBlank)).has_value());
  EXPECT_FALSE(dir.RecordOfCell({0, 6, 0}).has_value());
}
