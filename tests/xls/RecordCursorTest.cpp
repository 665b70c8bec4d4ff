// The bounded record cursor: reads that end exactly at the record's end
// succeed, one byte more reads nothing and marks the record short; the
// describing cursor records what it read.

#include "xls/decode/PartCursor.h"
#include "xls/decode/RecordCursor.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

// A record of `size` bytes (0x11, 0x22, ...) inside a larger buffer whose
// following bytes are 0xEE: a read past the record would see them.
struct TBoundedRecord {
  explicit TBoundedRecord(std::size_t size) : Buffer(size + 16, 0xEE)
  {
    for (std::size_t i = 0; i < size; ++i)
      Buffer[i] = static_cast<std::uint8_t>(0x11 * (i % 15 + 1));
    Data = std::span<const std::uint8_t>(Buffer).first(size);
  }
  std::vector<std::uint8_t> Buffer;
  std::span<const std::uint8_t> Data;
};

struct TReadCase {
  const char* Name;
  std::size_t Width;
  std::function<std::uint64_t(TRecordCursor&)> Read;
};

const TReadCase kReads[] = {
    {"U8", 1, [](TRecordCursor& c) { return c.U8("f"); }},
    {"U16", 2, [](TRecordCursor& c) { return c.U16("f"); }},
    {"U32", 4, [](TRecordCursor& c) { return c.U32("f"); }},
    {"F64", 8, [](TRecordCursor& c) { return static_cast<std::uint64_t>(c.F64("f") != 0); }},
    {"Bytes", 3, [](TRecordCursor& c) { return c.Bytes("f", 3).size(); }},
};

}  // namespace

TEST(RecordCursor, AReadEndingAtTheRecordEndSucceedsAndOneByteMoreFails)
{
  for (const TReadCase& read : kReads) {
    SCOPED_TRACE(read.Name);
    for (const std::size_t before : {std::size_t{0}, std::size_t{5}}) {
      const TBoundedRecord exact(before + read.Width);
      TRecordCursor fits(exact.Data);
      fits.Bytes("lead", before);
      read.Read(fits);
      EXPECT_FALSE(fits.Short());
      EXPECT_EQ(fits.Remaining(), 0u);

      const TBoundedRecord shorter(before + read.Width - 1);
      TRecordCursor past(shorter.Data);
      past.Bytes("lead", before);
      EXPECT_EQ(read.Read(past), 0u) << "a short read yields nothing, not the bytes after";
      EXPECT_TRUE(past.Short());
      EXPECT_EQ(past.Position(), shorter.Data.size());
    }
  }
}

TEST(RecordCursor, ReadsLittleEndianFields)
{
  const std::uint8_t bytes[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF,
                                0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  TRecordCursor c(bytes);
  EXPECT_EQ(c.U16("a"), 0x1234);
  EXPECT_EQ(c.U32("b"), 0x12345678u);
  EXPECT_EQ(c.I16("c"), -2);
  EXPECT_EQ(c.F64("d"), 1.5);
  EXPECT_FALSE(c.Short());
}

TEST(RecordCursor, ALengthFromTheFileEndsWithTheRecordWithoutMakingItShort)
{
  const TBoundedRecord record(6);
  TRecordCursor c(record.Data);
  c.U16("length");
  EXPECT_EQ(c.BytesUpTo("text", 1000).size(), 4u);
  EXPECT_FALSE(c.Short());
  EXPECT_TRUE(c.BytesUpTo("more", 10).empty());
}

TEST(RecordCursor, AfterAShortReadEveryReadYieldsNothing)
{
  const TBoundedRecord record(3);
  TRecordCursor c(record.Data);
  c.U32("too wide");
  EXPECT_EQ(c.U8("next"), 0);
  EXPECT_TRUE(c.Bytes("rest", 1).empty());
  EXPECT_TRUE(c.Short());
}

TEST(DescribingCursor, RecordsEveryFieldWithOffsetSizeAndValue)
{
  const std::uint8_t bytes[] = {0x01, 0x00, 0x02, 0x00, 0x0F, 0x00, 0xAA, 0xBB};
  TFieldList fields;
  TDescribingCursor c(bytes, &fields);
  c.U16("row");
  c.U16("col");
  c.U16("xf");
  c.Meaning([] { return std::string("XF 15"); });
  c.SkipRest("rest");
  const auto& f = fields.Fields();
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0].Name, "row");
  EXPECT_EQ(f[1].Offset, 2u);
  EXPECT_EQ(f[1].Size, 2u);
  EXPECT_EQ(std::get<std::int64_t>(f[2].Value), 15);
  EXPECT_EQ(f[2].Text, "XF 15");
  EXPECT_EQ(f[3].Offset, 6u);
  EXPECT_EQ(std::get<std::string>(f[3].Value), "AA BB");
}

TEST(DescribingCursor, AFieldPastTheEndIsMissingWithWhereTheRecordEnds)
{
  const std::uint8_t bytes[] = {0x01, 0x00, 0x02};
  TFieldList fields;
  TDescribingCursor c(bytes, &fields);
  c.U16("row");
  c.U16("col");
  c.U16("xf");
  const auto& f = fields.Fields();
  ASSERT_EQ(f.size(), 2u);  // one missing field, not one per later read
  EXPECT_TRUE(f[1].Missing);
  EXPECT_EQ(f[1].Name, "col");
  EXPECT_EQ(f[1].Offset, 2u);
  EXPECT_EQ(f[1].Size, 1u);  // the byte there is
  EXPECT_EQ(f[1].Text, "missing: record ends at byte 3");
}

TEST(DescribingCursor, GroupsNestTheirFieldsAndTakeTheirSpan)
{
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
  TFieldList fields;
  TDescribingCursor c(bytes, &fields);
  c.U8("lead");
  c.Begin("pair");
  c.U16("a");
  c.U8("b");
  c.End();
  c.U8("tail");
  const auto& f = fields.Fields();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[1].Name, "pair");
  EXPECT_EQ(f[1].Offset, 1u);
  EXPECT_EQ(f[1].Size, 3u);
  ASSERT_EQ(f[1].Fields.size(), 2u);
  EXPECT_EQ(f[1].Fields[1].Offset, 3u);
}

TEST(PartCursor, MovesThroughThePartsAndSaysWhichPartAFieldLiesIn)
{
  const std::vector<std::uint8_t> head = {1, 2};
  const std::vector<std::uint8_t> next = {3};
  const TRecordRef parts[] = {{1, 0, {0x00FC, 2}, head}, {2, 6, {0x003C, 1}, next}};
  TFieldList fields;
  TDescribingPartCursor cursor(parts, &fields);
  cursor.Current().U16("first");
  ASSERT_TRUE(cursor.NextPart());
  EXPECT_EQ(cursor.Current().U8("second"), 3);
  EXPECT_FALSE(cursor.NextPart());
  ASSERT_EQ(fields.Fields().size(), 2u);
  EXPECT_EQ(fields.Fields()[0].Part, 0);
  EXPECT_EQ(fields.Fields()[1].Part, 1);
  EXPECT_EQ(fields.Fields()[1].Offset, 0u);
}
