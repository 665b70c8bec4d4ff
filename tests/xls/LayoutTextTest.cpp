// The texts the record layouts give their fields' meanings, each from one
// function, read as written.

#include "xls/decode/GlobalRecords.h"
#include "xls/decode/Layout.h"
#include "xls/decode/ObjectRecords.h"
#include "xls/records/RecordDirectory.h"

#include <gtest/gtest.h>

TEST(LayoutText, SizesAndIndexesReadAsWritten)
{
  const std::pair<std::string, std::string> cases[] = {
      {TwipsText(200), "10 pt"},
      {TwipsText(210), "10.5 pt"},
      {TwipsText(195), "9.75 pt"},
      {TwipsText(0), "0 pt"},
      {FontIndexText(0), "FONT record 1 of the workbook"},
      {FontIndexText(3), "FONT record 4 of the workbook"},
      {FontIndexText(4), "font 4 (does not exist)"},
      {FontIndexText(5), "FONT record 5 of the workbook"},
      {CellText(0, 0), "A1"},
      {RangeText(1, 2, 0, 3), "A2:D3"},
      {RangeText(4, 4, 27, 27), "AB5"},
      {RgbText(0x12, 0xAB, 0x00), "#12AB00"},
      {RgbText(0x00336699u), "#996633"},
      {BitsText(3, 1), "bit 3"},
      {BitsText(4, 4), "bits 4-7"},
      {NumberText(0.5), "0.5"},
      {ErrorValueText(0x07), "#DIV/0!"},
      {GlobalDecode::ColorIndexText(2), "colour 2 (red)"},
      {GlobalDecode::ColorIndexText(10), "palette colour 10"},
      {GlobalDecode::ColorIndexText(0x7FFF), "automatic (window text)"},
      {GlobalDecode::WeightText(700), "bold"},
      {GlobalDecode::WeightText(800), "bold (800)"},
      {GlobalDecode::VisibilityText(2), "very hidden"},
      {GlobalDecode::VisibilityText(0x01 | 0x40), "hidden"},  // the other bits are not the state
      {GlobalDecode::BuiltInNameText(std::string(1, '\x06')), "built-in name Print_Area"},
      {GlobalDecode::BuiltInNameText("x"), "built-in name"},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(text, expected);
}

TEST(LayoutText, GuidsAreWrittenInTheirRegistryForm)
{
  // The first three groups are stored little-endian.
  const std::uint8_t clsid[16] = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                  0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
  EXPECT_EQ(GuidText(clsid), "{79EAC9D0-BAF9-11CE-8C82-00AA004BA90B}");
  EXPECT_EQ(GuidText(std::span(clsid, 15)), "");
}

TEST(LayoutText, AContinuationNamesItsPartAndItsRecord)
{
  TRecordRef head;
  head.Number = 57;
  head.Header.Code = 0x00FC;
  TContinuation continuation;
  continuation.Part = 2;
  EXPECT_EQ(ContinuationText(continuation, head), "part 2 of record 57 (SST)");
}
