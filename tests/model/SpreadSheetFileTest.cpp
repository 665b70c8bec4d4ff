#include "model/ModelMessages.h"
#include "model/SpreadSheetFile.h"
#include "platform/Errors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

/// A component whose "reader" raises scripted events after the base load.
class TScriptedFile : public TSpreadSheetFile {
public:
  std::function<void(TScriptedFile&)> Script;
  void LoadFromFile(const std::string& fileName) override
  {
    TSpreadSheetFile::LoadFromFile(fileName);
    if (Script)
      Script(*this);
  }
  void Sheet(const std::string& caption)
  {
    bool skip = false;
    OnSheet(*this, caption, 0, skip);
  }
  void Cell(int sheet, int row, int column, const TVariant& value)
  {
    OnCellValue(*this, sheet, row, column, 0, value, TAlignment::taLeftJustify);
  }
};

class SpreadSheetFileTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    FDir = std::filesystem::temp_directory_path() /
           ("bifflens-model-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(FDir);
    FExisting = (FDir / "book.xls").string();
    std::ofstream(FExisting) << "x";
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }

  std::filesystem::path FDir;
  std::string FExisting;
};

}  // namespace

TEST_F(SpreadSheetFileTest, BlankNameFailsAndKeepsTheEarlierModel)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) { f.Sheet("Data"); };
  file.LoadFromFile(FExisting);
  EXPECT_THAT([&] { file.LoadFromFile("   "); },
              ThrowsMessage<EBiffLensError>(StrEq(kMsgFileNotDefined)));
  EXPECT_THAT([&] { file.LoadFromFile(" \t\r\n"); },
              ThrowsMessage<EBiffLensError>(StrEq(kMsgFileNotDefined)));
  EXPECT_THAT([&] { file.LoadFromFile((FDir / "missing.xls").string()); },
              ThrowsMessage<EBiffLensError>(StrEq(kMsgFileNotExists)));
  ASSERT_EQ(file.Sheets().Count(), 1);
  EXPECT_EQ(file.Sheets().Items(0).Caption, "Data");
  EXPECT_EQ(file.FileName(), FExisting);
}

TEST_F(SpreadSheetFileTest, ADirectoryIsNotAFile)
{
  TScriptedFile file;
  EXPECT_THAT([&] { file.LoadFromFile(FDir.string()); },
              ThrowsMessage<EBiffLensError>(StrEq(kMsgFileNotExists)));
}

TEST_F(SpreadSheetFileTest, OnlyTheEmptinessTestTrims)
{
  TScriptedFile file;
  // The file exists without the blank, so a trimmed existence test would pass.
  EXPECT_THAT([&] { file.LoadFromFile(FExisting + " "); },
              ThrowsMessage<EBiffLensError>(StrEq(kMsgFileNotExists)));
  const std::string spaced = (FDir / " spaced.xls ").string();
  std::ofstream(spaced) << "x";
  file.LoadFromFile(spaced);
  EXPECT_EQ(file.FileName(), spaced);
}

TEST_F(SpreadSheetFileTest, AnnouncedSheetsGetTheirCaptionsInOrderAndReceiveTheirCells)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) {
    f.Sheet("Data");
    f.Sheet("Totals");
    f.Cell(1, 2, 3, TVariant(4.5));
  };
  file.LoadFromFile(FExisting);
  ASSERT_EQ(file.Sheets().Count(), 2);
  EXPECT_EQ(file.Sheets().Items(0).Caption, "Data");
  EXPECT_EQ(file.Sheets().Items(1).Caption, "Totals");
  EXPECT_EQ(file.Sheets().Items(1).Cells.GetCellValue(3, 2), TVariant(4.5));
  EXPECT_EQ(file.Sheets().Items(0).Cells.Count(), 0u);
}

TEST_F(SpreadSheetFileTest, ACellBeforeAnyAnnouncementLandsInSheet1)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) {
    f.Cell(0, 0, 0, TVariant("early"));
    f.Sheet("Data");
  };
  file.LoadFromFile(FExisting);
  ASSERT_EQ(file.Sheets().Count(), 2);
  EXPECT_EQ(file.Sheets().Items(0).Caption, "Sheet1");
  EXPECT_EQ(file.Sheets().Items(0).Cells.GetCellValue(0, 0), TVariant("early"));
  EXPECT_EQ(file.Sheets().Items(1).Caption, "Data");
}

TEST_F(SpreadSheetFileTest, AnApplicationHandlerKeepsCellsOutOfTheModel)
{
  TScriptedFile file;
  int seen = 0;
  file.OnCellValue = [&](TCustomSpreadSheetFile&, int, int, int, int, const TVariant&,
                         TAlignment) { ++seen; };
  file.Script = [](TScriptedFile& f) {
    f.Sheet("Data");
    f.Cell(0, 0, 0, TVariant(1.0));
  };
  file.LoadFromFile(FExisting);
  EXPECT_EQ(seen, 1);
  ASSERT_EQ(file.Sheets().Count(), 1);
  EXPECT_EQ(file.Sheets().Items(0).Cells.Count(), 0u);
}

TEST_F(SpreadSheetFileTest, ANewLoadEmptiesTheModel)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) { f.Sheet("Data"); };
  file.LoadFromFile(FExisting);
  file.Script = nullptr;
  file.LoadFromFile(FExisting);
  EXPECT_EQ(file.Sheets().Count(), 0);
}

TEST_F(SpreadSheetFileTest, ColumnWidthsGrowWithZerosUpToTheColumn)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) { f.OnColumnWidth(f, 0, 3, 12); };
  file.LoadFromFile(FExisting);
  EXPECT_EQ(file.Sheets().Items(0).ColumnWidths, (std::vector<std::int32_t>{0, 0, 0, 12}));
}

TEST_F(SpreadSheetFileTest, DimensionsChangeOnlyTheDimensionValuesWhileTrackingTheExtent)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) {
    f.Cell(0, 1, 1, TVariant(1.0));
    f.OnDimensions(f, 0, 0, 50, 0, 20);
  };
  file.LoadFromFile(FExisting);
  const TSpreadSheetCells& cells = file.Sheets().Items(0).Cells;
  EXPECT_EQ(cells.DimLastRow, 50);
  EXPECT_EQ(cells.DimLastColumn, 20);
  EXPECT_EQ(cells.RowCount, 2);
  EXPECT_EQ(cells.ColCount, 2);
}

TEST_F(SpreadSheetFileTest, DefaultGetCellValueAnswersFromTheModel)
{
  TScriptedFile file;
  file.Script = [](TScriptedFile& f) { f.Cell(0, 4, 2, TVariant(true)); };
  file.LoadFromFile(FExisting);
  TVariant value;
  file.OnGetCellValue(file, 0, 4, 2, value);
  EXPECT_EQ(value, TVariant(true));
  file.OnGetCellValue(file, 0, 5, 2, value);
  EXPECT_TRUE(value.IsNull());
}

TEST(LoadProgress, IsRaisedOnlyWhenAssigned)
{
  TSpreadSheetFile file;
  file.DoLoadProgress(1, 2);  // no handler: nothing happens
  std::int64_t position = 0;
  std::int64_t total = 0;
  file.OnLoadProgress = [&](TCustomSpreadSheetFile&, std::int64_t p, std::int64_t t) {
    position = p;
    total = t;
  };
  file.DoLoadProgress(10, 20);
  EXPECT_EQ(position, 10);
  EXPECT_EQ(total, 20);
}
