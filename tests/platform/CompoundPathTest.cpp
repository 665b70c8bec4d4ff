// Elements below the root: storages' children, paths of names compared as
// the format compares them, and damaged trees under a storage, read
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
  struct TCase {
    const char* A;
    const char* B;
    bool Equal;
  };
  const TCase cases[] = {
      {"VBA", "vba", true},          {"_VBA_PROJECT_CUR", "_vba_project_cur", true},
      {"dir", "DIR", true},          {"Module1", "Module2", false},
      {"Лист1", "ЛИСТ1", true},      {"élan", "ÉLAN", true},
      {"Ωμέγα", "ΩΜέΓΑ", true},      {"abc", "abcd", false},
      {"", "", true},                {"ß", "SS", false},
      {"Ĺ", "ĺ", true},              {"Ā", "ā", true},
      {"a\xFF", "A\xFF", true},      {"a\xFF", "a\xFE", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(CompoundNamesEqual(c.A, c.B), c.Equal);
    EXPECT_EQ(CompoundNamesEqual(c.B, c.A), c.Equal);
  }
}

TEST(CompoundPath, OpensStreamsInNestedStoragesByTheirNames)
{
  const TCompoundFile file = OpenBytes(NestedImage().Bytes);
  ASSERT_EQ(file.RootElements().size(), 2u);
  const struct {
    TPath Path;
    std::vector<std::uint8_t> Bytes;
  } cases[] = {
      {{"outer", "INNER", "small"}, Pattern(100, 2)},
      {{"Outer", "Inner", "Large"}, Pattern(9000, 3)},
      {{"OUTER", "inner", "третий"}, Pattern(10, 4)},
      {{"Outer", "Beside"}, Pattern(20, 5)},
      {{"Workbook"}, Pattern(5000, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.back());
    const TCompoundStream stream = file.OpenStreamAt(c.Path);
    EXPECT_EQ(std::vector<std::uint8_t>(stream.Bytes().begin(), stream.Bytes().end()), c.Bytes);
  }
  const auto found = file.FindElement(TPath{"OUTER", "inner", "third"});
  EXPECT_FALSE(found.has_value());
  const auto large = file.FindElement(TPath{"outer", "inner", "large"});
  ASSERT_TRUE(large.has_value());
  EXPECT_EQ(large->Name, "Large");
  EXPECT_EQ(large->Size, 9000u);
}

TEST(CompoundPath, ListsAStoragesChildrenInTreeOrder)
{
  const TCompoundFile file = OpenBytes(NestedImage().Bytes);
  const auto inner = file.FindElement(TPath{"Outer", "Inner"});
  ASSERT_TRUE(inner.has_value());
  std::vector<std::string> names;
  for (const TStorageElement& child : file.Children(inner->EntryId))
    names.push_back(child.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Large", "Small", "Третий"}));
  EXPECT_TRUE(file.Children(file.FindElement(TPath{"Outer", "Beside"})->EntryId).empty());
}

TEST(CompoundPath, ReportsWhatIsNotThere)
{
  const TCompoundFile file = OpenBytes(NestedImage().Bytes);
  for (const TPath& path : {TPath{"Outer", "Missing"}, TPath{"Workbook", "Child"}, TPath{"Outer", "Inner"},
                            TPath{"Nowhere", "Inner", "Small"}}) {
    SCOPED_TRACE(path.back());
    EXPECT_TRUE(ThrowsOle([&] { file.OpenStreamAt(path); }, kStgFileNotFound,
                          CfbStreamNotFoundMessage(path.size() == 2 ? path[0] + "/" + path[1]
                                                                    : path[0] + "/" + path[1] + "/" + path[2])));
  }
}

// A loop in a nested storage's tree: the root opens (its own tree is
// sound), the nested storage's listing fails, and the map still finds what
// the loop does not hide.
TEST(CompoundPath, ALoopUnderAStorageFailsOnlyWhenThatStorageIsRead)
{
  auto image = NestedImage();
  const std::uint32_t inner = image.Layout.Stream("Outer/Inner").EntryId;
  const std::uint32_t top = CfbGetU32(image.Bytes, image.Layout.EntryOffset(inner) + kCfbEntryChild);
  CfbPutU32(image.Bytes, image.Layout.EntryOffset(top) + kCfbEntryRight, top);
  const TCompoundFile file = OpenBytes(image.Bytes);
  EXPECT_EQ(file.OpenStreamAt(TPath{"Outer", "Beside"}).Size(), 20u);
  EXPECT_TRUE(ThrowsOle([&] { file.Children(inner); }, kStgDocFileCorrupt, kMsgCfbDirectoryLoops));

  const TCompoundMap map = MapCompoundFile(image.Bytes);
  const auto children = map.Children(inner);
  EXPECT_LE(children.size(), 3u);
  EXPECT_FALSE(children.empty());
  const auto beside = map.FindPath(TPath{"outer", "BESIDE"});
  ASSERT_TRUE(beside.has_value());
  EXPECT_EQ(map.StreamBytes(image.Bytes, *beside), Pattern(20, 5));
  EXPECT_FALSE(map.FindPath(TPath{"Outer", "Nowhere"}).has_value());
}

}  // namespace
