// Elements below the root: storages' children, paths of names compared as
// the format compares them, and a damaged tree under a storage, read
// strictly and through the map.

#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "platform/CompoundMap.h"
#include "support/CompoundFileBuilder.h"
#include "CfbTestSupport.h"

#include <gtest/gtest.h>

namespace {

using TPath = std::vector<std::string>;

TCompoundFileImage NestedImage()
{
  return TCompoundFileBuilder()
      .AddStream("Workbook", Pattern(5000, 1))
      .AddStorage("Outer")
      .AddStorage("Outer/Inner")
      .AddStream("Outer/Inner/Small", Pattern(100, 2))
      .AddStream("Outer/Inner/Large", Pattern(9000, 3))
      .AddStream("Outer/Inner/Третий", Pattern(10, 4))
      .AddStream("Outer/Beside", Pattern(20, 5))
      .BuildImage();
}

TEST(CompoundNames, CompareAsTheFormatDoes)
{
  const struct {
    const char* A;
    const char* B;
    bool Equal;
  } cases[] = {
      {"_VBA_PROJECT_CUR", "_vba_project_cur", true}, {"Module1", "Module2", false}, {"Лист1", "ЛИСТ1", true},
      {"élan", "ÉLAN", true}, {"Ωμέγα", "ΩΜέΓΑ", true}, {"Ĺ", "ĺ", true}, {"abc", "abcd", false},
      {"ß", "SS", false}, {"a\xFF", "A\xFF", true}, {"a\xFF", "a\xFE", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(CompoundNamesEqual(c.A, c.B), c.Equal);
    EXPECT_EQ(CompoundNameKey(c.A) == CompoundNameKey(c.B), c.Equal);
  }
}

TEST(CompoundPath, OpensStreamsInNestedStoragesByTheirNames)
{
  const TCompoundFile file = OpenBytes(NestedImage().Bytes);
  const struct {
    TPath Path;
    std::vector<std::uint8_t> Bytes;
  } cases[] = {
      {{"outer", "INNER", "small"}, Pattern(100, 2)}, {{"Outer", "Inner", "Large"}, Pattern(9000, 3)},
      {{"OUTER", "inner", "третий"}, Pattern(10, 4)}, {{"Outer", "Beside"}, Pattern(20, 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.back());
    const TCompoundStream stream = file.OpenStreamAt(c.Path);
    EXPECT_EQ(std::vector<std::uint8_t>(stream.Bytes().begin(), stream.Bytes().end()), c.Bytes);
  }
  const auto inner = file.FindElement(TPath{"Outer", "Inner"});
  ASSERT_TRUE(inner.has_value());
  std::vector<std::string> names;
  for (const TStorageElement& child : file.Children(inner->EntryId))
    names.push_back(child.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Large", "Small", "Третий"}));
  for (const TPath& missing : {TPath{"Outer", "Missing"}, TPath{"Workbook", "Child"}, TPath{"Outer", "Inner"}})
    EXPECT_TRUE(ThrowsOle([&] { file.OpenStreamAt(missing); }, kStgFileNotFound,
                          CfbStreamNotFoundMessage(missing[0] + "/" + missing[1])));
}

// A loop in a nested storage's tree: the root opens (its own tree is
// sound), listing that storage fails, and the map still finds its way
// around the loop.
TEST(CompoundPath, ALoopUnderAStorageFailsOnlyWhenThatStorageIsRead)
{
  auto image = NestedImage();
  const std::uint32_t inner = image.Layout.Stream("Outer/Inner").EntryId;
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(inner) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(top) + kCfbEntryRight, top);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(file.OpenStreamAt(TPath{"Outer", "Beside"}).Size(), 20u);
  EXPECT_TRUE(ThrowsOle([&] { file.Children(inner); }, kStgDocFileCorrupt,
                        CfbDamagedMessage(CfbTreeLoopText(top, top))));

  const TCompoundMap map = MapCompoundFile(image.Bytes);
  EXPECT_EQ(map.Children(inner).size(), 2u);  // the loop hides the right branch
  const auto small = map.FindPath(TPath{"outer", "INNER", "small"});
  ASSERT_TRUE(small.has_value());
  EXPECT_EQ(map.StreamBytes(image.Bytes, *small), Pattern(100, 2));
  EXPECT_FALSE(map.FindPath(TPath{"Outer", "Nowhere"}).has_value());
}

}  // namespace
