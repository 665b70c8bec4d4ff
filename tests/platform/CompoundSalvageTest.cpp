// Salvaging a stream from a damaged compound file: which entry is read when
// the directory tree no longer reaches it, and which damage the reading
// reports as its own.

#include "platform/CompoundSalvage.h"
#include "CfbTestSupport.h"
#include "platform/CompoundFileMessages.h"
#include "support/CompoundFileBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TBytes = std::vector<std::uint8_t>;

/// The names a reader of workbooks asks for, as it prefers them.
std::optional<std::size_t> WorkbookOrBook(const std::vector<std::string>& names)
{
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == "Workbook" || (names[i] == "Book" && !chosen))
      chosen = i;
  return chosen;
}

/// A Workbook of 5,000 bytes, a Book of 4,500 (both in regular sectors),
/// a small stream and an empty storage.
TCompoundFileImage Sample()
{
  return TCompoundFileBuilder()
      .AddStream("Workbook", Pattern(5000, 1))
      .AddStream("Book", Pattern(4500, 2))
      .AddStream("Small", Pattern(100, 3))
      .AddStorage("Box")
      .BuildImage();
}

std::uint32_t Id(const TCompoundFileImage& image, const std::string& name)
{
  return image.Layout.Stream(name).EntryId;
}

void Link(TCompoundFileImage& image, std::uint32_t entry, std::size_t field, std::uint32_t to)
{
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(entry) + field, to);
}

}  // namespace

TEST(CompoundSalvage, TheTreeIsAskedBeforeTheScanAndTheScanPrefersAsTheChooserDoes)
{
  // Siblings sort Box < Book < Small < Workbook, Small at the top, the
  // Workbook its right child. Without that link the tree reaches Book and
  // not the Workbook: Book is read, though the directory holds both.
  TCompoundFileImage image = Sample();
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(0) + kCfbEntryChild);
  ASSERT_EQ(top, Id(image, "Small"));
  Link(image, top, kCfbEntryRight, 0xFFFFFFFF);
  const auto fromTree = SalvageStream(image.Bytes, WorkbookOrBook);
  ASSERT_TRUE(fromTree);
  EXPECT_EQ(fromTree->Name, "Book");
  EXPECT_TRUE(fromTree->Damage.empty());
  // With no link at all, the scan finds both and takes the Workbook.
  Link(image, 0, kCfbEntryChild, 0xFFFFFFFF);
  const auto fromScan = SalvageStream(image.Bytes, WorkbookOrBook);
  ASSERT_TRUE(fromScan);
  EXPECT_EQ(fromScan->Name, "Workbook");
}

TEST(CompoundSalvage, AStreamInsideAStorageIsNeverTakenForTheRootsOwn)
{
  // The root reaches the storage alone, whose child is the Workbook: that
  // is an embedded object's stream, not the file's.
  TCompoundFileImage image = Sample();
  const std::uint32_t box = Id(image, "Box");
  Link(image, 0, kCfbEntryChild, box);
  Link(image, box, kCfbEntryLeft, 0xFFFFFFFF);
  Link(image, box, kCfbEntryRight, 0xFFFFFFFF);
  Link(image, box, kCfbEntryChild, Id(image, "Workbook"));
  Link(image, Id(image, "Workbook"), kCfbEntryLeft, 0xFFFFFFFF);
  Link(image, Id(image, "Workbook"), kCfbEntryRight, 0xFFFFFFFF);
  EXPECT_FALSE(SalvageStream(image.Bytes, [](const std::vector<std::string>& names) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == "Workbook")
        return i;
    return std::nullopt;
  }));
}

TEST(CompoundSalvage, OnlyTheDamageOnTheWayToTheStreamIsItsOwn)
{
  // Book's chain loops and a sector is left in no chain: neither touches
  // the Workbook. A loop in the root's tree does.
  TCompoundFileImage image = Sample();
  const auto& book = image.Layout.Stream("Book").Sectors;
  CfbPutU32(image.Bytes, image.Layout.FatEntryOffset(book[4]), book[1]);
  const auto whole = SalvageStream(image.Bytes, WorkbookOrBook);
  ASSERT_TRUE(whole);
  EXPECT_TRUE(whole->Damage.empty());
  const std::uint32_t box = Id(image, "Box");
  Link(image, box, kCfbEntryLeft, 0);
  const auto looped = SalvageStream(image.Bytes, WorkbookOrBook);
  ASSERT_TRUE(looped);
  EXPECT_EQ(looped->Damage, (std::vector<std::string>{"directory tree loops: entry " + std::to_string(box) +
                                                      " links back to entry 0"}));
}
