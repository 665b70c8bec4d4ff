// What a workbook can run, hide and reach, read from built workbooks: macro
// sheets and their formulas, names and procedures that run by themselves,
// hidden sheets and names, links of every kind, embedded objects, a locked
// workbook, the structure check's findings; and against the corpus.

#include "support/BiffBuilder.h"
#include "support/CompoundFileBuilder.h"
#include "support/EncryptingWriter.h"
#include "support/FormulaBuilder.h"
#include "support/VbaBuilder.h"
#include "xls/workbook/Macros.h"
#include "xls/workbook/OpenedWorkbook.h"
#include "xls/workbook/WorkbookMessages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using enum TExcelVersion;

constexpr std::uint16_t kNameHidden = 0x0001;
constexpr std::uint16_t kNameBuiltIn = 0x0020;
constexpr std::uint8_t kTypeMacroSheet = 1;
constexpr std::uint16_t kFuncReturn = 55;
constexpr std::uint16_t kFuncHalt = 54;
constexpr std::uint16_t kCommandAlert = 0x0076;  // a command equivalent

/// A workbook loaded, with its file, ready for FindMacros.
struct TLoaded {
  explicit TLoaded(std::vector<std::uint8_t> bytes) : File(std::move(bytes))
  {
    try {
      Reader.LoadFromMemory(File.Span());
    } catch (const std::exception&) {
      // What was read counts.
    }
  }
  TMacroReport Find() { return FindMacros(Workbook, File); }

  TSharedBytes File;
  TMSExcel Reader;
  TOpenedWorkbook Workbook{Reader, TOpenedWorkbook::TKeep::kpRecords};
};

TMacroReport Find(const std::vector<std::uint8_t>& stream)
{
  TLoaded loaded(InCompoundFile(stream));
  return loaded.Find();
}

std::vector<std::uint8_t> Tokens(const TFormulaBuilder& builder)
{
  return builder.Build().Tokens;
}

TEST(MacroSheets, ListEachFormulaInCellOrderWithItsRecord)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Data", 1)
      .BoundSheet("Macro1", 2, false, kTypeMacroSheet)
      .Eof();
  b.Bof(evExcel8).FormulaTokens(0, 0, 1, Tokens(TFormulaBuilder().Int(1).Int(2).Op(kFbAdd))).Eof();
  b.Bof(evExcel8, TBofType::btMacroSheet);
  // Written out of order: the list is in row, then column order.
  b.FormulaTokens(2, 0, 0, Tokens(TFormulaBuilder().FuncVar(kFuncReturn, 0)));
  b.FormulaTokens(0, 1, 0, Tokens(TFormulaBuilder().Str("hi").FuncVar(kCommandAlert, 1, true)));
  b.FormulaTokens(0, 0, 0, Tokens(TFormulaBuilder().Func(kFuncHalt)));
  b.Eof();
  TLoaded loaded(InCompoundFile(b.Build()));
  const TMacroReport report = loaded.Find();
  ASSERT_EQ(report.MacroSheets.size(), 1u);
  const TMacroSheet& sheet = report.MacroSheets[0];
  EXPECT_EQ(sheet.Name, "Macro1");
  EXPECT_FALSE(sheet.International);
  EXPECT_EQ(sheet.Place.Record, 8u);  // its BOF
  ASSERT_EQ(sheet.Cells.size(), 3u);
  EXPECT_EQ(sheet.Cells[0].Cell, "A1");
  EXPECT_EQ(sheet.Cells[0].Formula, "HALT()");
  EXPECT_EQ(sheet.Cells[0].Place.Record, 11u);
  EXPECT_EQ(sheet.Cells[1].Cell, "B1");
  EXPECT_EQ(sheet.Cells[1].Formula, "ALERT(\"hi\")");
  EXPECT_EQ(sheet.Cells[1].Place.Record, 10u);
  EXPECT_EQ(sheet.Cells[2].Cell, "A3");
  EXPECT_EQ(sheet.Cells[2].Formula, "RETURN()");
  EXPECT_TRUE(report.HasMacros());
  // The worksheet keeps its number and its formula; the macro sheet's are no cells of it.
  const std::vector<TFormulaCellText> cells = loaded.Workbook.Formulas().Cells();
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_EQ(cells[0].Sheet, 0);
  EXPECT_EQ(cells[0].Result.Text, "1+2");
}

TEST(MacroSheets, AnINTLRecordMakesOneInternationalAndABiff4MacroSheetFileIsOne)
{
  TBiffBuilder intl;
  intl.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Intl", 1, false, kTypeMacroSheet).Eof();
  intl.Bof(evExcel8, TBofType::btMacroSheet).Record(kRecIntl, {0, 0}).Eof();
  const TMacroReport international = Find(intl.Build());
  ASSERT_EQ(international.MacroSheets.size(), 1u);
  EXPECT_TRUE(international.MacroSheets[0].International);
  EXPECT_TRUE(international.MacroSheets[0].Cells.empty());

  // A bare BIFF4 macro sheet, as Excel 4 saved one: no globals, no names.
  TBiffBuilder biff4;
  biff4.Bof(evExcel4, TBofType::btMacroSheet).FormulaTokens(0, 0, 0, Tokens(TFormulaBuilder(evExcel4).FuncVar(kFuncReturn, 0))).Eof();
  TLoaded loaded(biff4.Build());
  const TMacroReport bare = loaded.Find();
  ASSERT_EQ(bare.MacroSheets.size(), 1u);
  ASSERT_EQ(bare.MacroSheets[0].Cells.size(), 1u);
  EXPECT_EQ(bare.MacroSheets[0].Cells[0].Formula, "RETURN()");
}

TEST(MacroSheets, ABoundSheetOfAMacroSheetWithoutItsBofIsStillOne)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).BoundSheetAt("Ghost", 0xFFFF, kTypeMacroSheet).Eof();
  b.Bof(evExcel8).Eof();
  const TMacroReport report = Find(b.Build());
  ASSERT_EQ(report.MacroSheets.size(), 1u);
  EXPECT_EQ(report.MacroSheets[0].Name, "Ghost");
  EXPECT_EQ(report.MacroSheets[0].Place.Record, 3u);
  // Where it points no BOF stands: the structure check says so.
  ASSERT_EQ(report.Hidden.size(), 1u);
  EXPECT_EQ(report.Hidden[0].State, THiddenState::hsMisplaced);
  EXPECT_EQ(report.Hidden[0].Name, "Ghost");
  EXPECT_NE(report.Hidden[0].Note.find("65535"), std::string::npos);
}

/// Globals with an own-book link table for 3-D references and `names`.
std::vector<std::uint8_t> WithNames(const std::vector<std::pair<std::string, std::uint16_t>>& names)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Data", 1)
      .BoundSheet("Macro1", 2, false, kTypeMacroSheet)
      .SupBookSelf(2)
      .ExternSheet8({{0, 1, 1}});
  for (const auto& [name, options] : names)
    b.Name(name, Tokens(TFormulaBuilder().Ref3d(0, 0, 0, false)), 0, options);
  b.Eof().Bof(evExcel8).Eof().Bof(evExcel8, TBofType::btMacroSheet).Eof();
  return b.Build();
}

TEST(Triggers, NamesThatRunByThemselves)
{
  const struct {
    std::string Name;
    std::uint16_t Options;
    const char* Trigger;  // nullptr: none
  } cases[] = {
      {"\x01", kNameBuiltIn, "Auto_Open"},
      {"\x02", kNameBuiltIn, "Auto_Close"},
      {"\x0A", kNameBuiltIn, "Auto_Activate"},
      {"\x0B", kNameBuiltIn, "Auto_Deactivate"},
      {"\x06", kNameBuiltIn, nullptr},  // Print_Area
      {"auto_open_payload", 0, "auto_open_payload"},
      {"AUTO_CLOSE", 0, "AUTO_CLOSE"},
      {"Auto_Ope", 0, nullptr},
      {"MyAuto_Open", 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TMacroReport report = Find(WithNames({{c.Name, c.Options}}));
    if (c.Trigger == nullptr) {
      EXPECT_TRUE(report.Triggers.empty());
      continue;
    }
    ASSERT_EQ(report.Triggers.size(), 1u);
    EXPECT_EQ(report.Triggers[0].Name, c.Trigger);
    EXPECT_EQ(report.Triggers[0].Where, "Macro1!$A$1");
    EXPECT_EQ(report.Triggers[0].Place.Record, 6u);
  }
}

TEST(Triggers, ProceduresThatRunByThemselvesInTheVbaProject)
{
  const std::string book = "Attribute VB_Name = \"ThisWorkbook\"\r\n"
                           "Private Sub Workbook_Open()\r\n  Run\r\nEnd Sub\r\n"
                           "' Sub Auto_Close(): a comment\r\n"
                           "Public Sub workbook_beforeclose(Cancel As Boolean)\r\nEnd Sub\r\n";
  const std::string module = "Attribute VB_Name = \"Module1\"\nSub Auto_Open\nEnd Sub\nSub Auto_OpenNot()\nEnd Sub\n";
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof().Bof(evExcel8).Eof();
  TLoaded loaded(TVbaFileBuilder()
                     .Workbook(b.Build())
                     .Module("ThisWorkbook", book, kVbaTestDocClass)
                     .Module("Module1", module)
                     .Build());
  const TMacroReport report = loaded.Find();
  ASSERT_EQ(report.Vba.Modules.size(), 2u);
  ASSERT_EQ(report.Triggers.size(), 3u);
  EXPECT_EQ(report.Triggers[0].Name, "Workbook_Open");
  EXPECT_EQ(report.Triggers[0].Where, "ThisWorkbook");
  EXPECT_EQ(report.Triggers[0].Line, 2u);
  EXPECT_EQ(report.Triggers[0].Place.Stream, "_VBA_PROJECT_CUR/VBA/ThisWorkbook");
  EXPECT_FALSE(report.Triggers[0].Place.Record);
  EXPECT_EQ(report.Triggers[1].Name, "workbook_beforeclose");
  EXPECT_EQ(report.Triggers[1].Line, 6u);
  EXPECT_EQ(report.Triggers[2].Name, "Auto_Open");
  EXPECT_EQ(report.Triggers[2].Where, "Module1");
  EXPECT_EQ(report.Triggers[2].Line, 2u);
  EXPECT_TRUE(report.HasMacros());
}

TEST(Hiding, SheetsAndNamesByTheirState)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Shown", 1)
      .BoundSheet("Hidden", 2, false, 0, 1)
      .BoundSheet("Deep", 3, false, 0, 2)
      .Name("Secret", Tokens(TFormulaBuilder().Int(1)), 0, kNameHidden)
      .Name("Local", Tokens(TFormulaBuilder().Int(2)), 2, kNameHidden)
      .Name("Open", Tokens(TFormulaBuilder().Int(3)))
      .Eof();
  for (int i = 0; i < 3; ++i)
    b.Bof(evExcel8).Eof();
  const TMacroReport report = Find(b.Build());
  std::vector<std::string> hidden;
  for (const THiddenPart& part : report.Hidden)
    hidden.push_back((part.IsName ? "name " : "sheet ") + part.Name + ": " + HiddenStateText(part.State) + " #" +
                     std::to_string(part.Place.Record.value_or(0)));
  EXPECT_EQ(hidden, (std::vector<std::string>{"name Secret: hidden #5", "name Hidden!Local: hidden #6",
                                              "sheet Hidden: hidden #3", "sheet Deep: very hidden #4"}));
}

/// A BIFF8 SUPBOOK of another book or a DDE/OLE link: `path` as stored.
std::vector<std::uint8_t> SupBook(std::string_view path, std::uint16_t sheets = 0)
{
  TBytes data;
  data.U16(sheets).U16(static_cast<std::uint16_t>(path.size())).U8(0).Ascii(path);
  for (std::uint16_t i = 0; i < sheets; ++i)
    data.U16(6).U8(0).Ascii("Sheet1");
  return data;
}

std::vector<std::uint8_t> ExternName(std::string_view name, std::uint16_t options = 0)
{
  TBytes data;
  data.U16(options).U16(0).U16(0).U8(static_cast<std::uint8_t>(name.size())).U8(0).Ascii(name).U16(0);
  return data;
}

std::vector<std::uint8_t> SxString(std::string_view text)
{
  return TBytes().U16(static_cast<std::uint16_t>(text.size())).U8(0).Ascii(text);
}

TEST(Links, EveryKindWithItsTargetAndRecord)
{
  constexpr std::uint16_t kOle = 0x0010;
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1);
  b.Record(kRecSupBook, SupBook("\x01\x01" "Cdir\x03" "Book2.xls", 1));       // 3: another book
  b.Record(kRecSupBook, TBytes().U16(1).U16(0x3A01));                          // 4: the add-ins
  b.Record(kRecExternName, ExternName("EUROCONVERT"));                         // 5
  b.Record(kRecSupBook, SupBook("Excel\x03" "C:\\x.xls"));                     // 6: a DDE server
  b.Record(kRecExternName, ExternName("R1C1"));                                // 7
  b.Record(kRecExternName, ExternName("StdDocumentName", kOle));               // 8
  b.Record(kRecSupBook, SupBook("MTX\x03" "DATA"));                            // 9: one without items
  b.Eof();
  b.Bof(evExcel8);
  b.HLinkUrl(0, 0, "http://example.com/", "part");                            // 12
  b.HLinkLocation(1, 0, "Data!A1");                                            // 13: no link out
  b.Record(kRecDbQuery, TBytes().U16(0x0044).U16(0).U16(2).U16(0).U16(0).U16(0));  // 14
  b.Record(kRecSxString, SxString("http://example.com/"));
  b.Record(kRecSxString, SxString("q?x=1"));
  b.Record(kRecDbQuery, TBytes().U16(0x0011).U16(0).U16(1).U16(0).U16(0).U16(0));  // 17: SQL, no web
  b.Record(kRecSxString, SxString("SELECT 1"));
  b.Eof();
  const TMacroReport report = Find(b.Build());
  std::vector<std::string> links;
  for (const TExternalLink& link : report.Links)
    links.push_back(std::string(LinkTypeText(link.Type)) + " " + link.Target + " #" +
                    std::to_string(link.Place.Record.value_or(0)));
  EXPECT_EQ(links, (std::vector<std::string>{
                       "external C:\\dir\\Book2.xls #3",
                       "addin EUROCONVERT #5",
                       "dde Excel|'C:\\x.xls'!R1C1 #7",
                       "ole Excel|'C:\\x.xls'!StdDocumentName #8",
                       "dde MTX|DATA #9",
                       "hyperlink http://example.com/#part #12",
                       "webquery http://example.com/q?x=1 #14",
                   }));
}

TEST(Links, ABiff5LinkTableGivesBooksDdeLinksAndAddIns)
{
  const auto externSheet = [](std::string_view encoded) {
    return TBytes().U8(static_cast<std::uint8_t>(encoded.size())).Ascii(encoded);
  };
  const auto externName = [](std::string_view name, std::uint16_t options = 0) {
    return TBytes().U16(options).U32(0).U8(static_cast<std::uint8_t>(name.size())).Ascii(name);
  };
  TBiffBuilder b;
  b.Bof(evExcel5, TBofType::btGlobals).BoundSheet("Data", 1);
  b.Record(kRecExternCount, TBytes().U16(4));
  b.Record(kRecExternSheet, externSheet("\x01[Book2.xls]Sheet1"));  // 4
  b.Record(kRecExternSheet, externSheet("\x01[Book2.xls]Sheet2"));  // 5: the same book
  b.Record(kRecExternSheet, externSheet("App\x03Topic"));                       // 6
  b.Record(kRecExternName, externName("Item"));                                // 7
  b.Record(kRecExternSheet, externSheet(":"));                                  // 8
  b.Record(kRecExternName, externName("ADDIN.FN"));                            // 9
  b.Eof().Bof(evExcel5).Eof();
  TLoaded loaded(InCompoundFile(b.Build(), "Book"));
  const TMacroReport report = loaded.Find();
  std::vector<std::string> links;
  for (const TExternalLink& link : report.Links)
    links.push_back(std::string(LinkTypeText(link.Type)) + " " + link.Target + " #" +
                    std::to_string(link.Place.Record.value_or(0)));
  EXPECT_EQ(links, (std::vector<std::string>{"external [Book2.xls]Sheet1 #4", "dde App|Topic!Item #7",
                                              "addin ADDIN.FN #9"}));
}

/// A BIFF8 OBJ of a picture holding an embedded object: its class name and
/// the position word naming its storage; `flags` its picture flags.
std::vector<std::uint8_t> EmbeddedObj(std::string_view className, std::uint32_t position, std::uint16_t flags = 0)
{
  TBytes formula;
  formula.U16(5).U32(0).U8(0x02).U16(0).U16(0);  // tTbl and its cell
  formula.U8(0x03).U8(static_cast<std::uint8_t>(className.size())).U8(0).U8(0).Ascii(className);
  if (formula.Size() % 2)
    formula.U8(0);
  TBytes pict;
  pict.U16(static_cast<std::uint16_t>(formula.Size())).Append(formula).U32(position);
  if (flags & 0x0020)
    pict.U32(1234);
  TBytes data;
  data.U16(0x15).U16(18).U16(8).U16(1).U16(0).Zeros(12);  // ftCmo: a picture, id 1
  data.U16(0x08).U16(2).U16(flags);                        // ftPioGrbit
  data.U16(0x09).U16(static_cast<std::uint16_t>(pict.Size())).Append(pict);
  data.U16(0).U16(0);                                      // ftEnd
  return data;
}

TEST(EmbeddedObjects, EachObjWithItsStorageClassIdAndSize)
{
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof();
  b.Bof(evExcel8);
  b.Record(kRecObj, EmbeddedObj("Word.Document.8", 0x0049DB15));     // 5
  b.Record(kRecObj, EmbeddedObj("Forms.CommandButton.1", 0, 0x0030));  // 6: in the controls stream
  b.Record(kRecObj, EmbeddedObj("Package", 0x00000002));             // 7: its storage is gone
  b.Eof();
  const std::array<std::uint8_t, 16> word = {0x06, 0x09, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  const auto file = TCompoundFileBuilder()
                        .AddStream("Workbook", b.Build())
                        .AddStorage("MBD0049DB15", word)
                        .AddStream("MBD0049DB15/WordDocument", std::vector<std::uint8_t>(700, 1))
                        .AddStream("MBD0049DB15/\x01" "CompObj", std::vector<std::uint8_t>(100, 2))
                        .AddStorage("MBD0049DB15/ObjectPool")
                        .AddStream("MBD0049DB15/ObjectPool/x", std::vector<std::uint8_t>(5000, 3))
                        .AddStream("Ctls", std::vector<std::uint8_t>(2000, 4))
                        .AddStorage("MBD00000009")  // no OBJ names it
                        .AddStream("MBD00000009/\x01Ole", std::vector<std::uint8_t>(20, 5))
                        .Build();
  TLoaded loaded(file);
  const TMacroReport report = loaded.Find();
  ASSERT_EQ(report.Objects.size(), 4u);
  const TEmbeddedObject& doc = report.Objects[0];
  EXPECT_EQ(doc.Place.Record, 5u);
  EXPECT_EQ(doc.Place.Stream, "MBD0049DB15");
  EXPECT_EQ(doc.ClassName, "Word.Document.8");
  EXPECT_EQ(doc.Clsid, "{00020906-0000-0000-C000-000000000046}");
  EXPECT_EQ(doc.Size, 5800u);
  EXPECT_TRUE(doc.Found);
  const TEmbeddedObject& control = report.Objects[1];
  EXPECT_EQ(control.Place.Stream, "Ctls");
  EXPECT_EQ(control.Size, 1234u);
  EXPECT_TRUE(control.Found);
  EXPECT_EQ(report.Objects[2].Place.Stream, "MBD00000002");
  EXPECT_FALSE(report.Objects[2].Found);
  EXPECT_EQ(report.Objects[3].Place.Stream, "MBD00000009");
  EXPECT_FALSE(report.Objects[3].Place.Record);
  EXPECT_EQ(report.Objects[3].Size, 20u);
}

TEST(EmbeddedObjects, AnObjCutInsideItsPictureFormulaStaysInsideIt)
{
  std::vector<std::uint8_t> obj = EmbeddedObj("Excel.Sheet.8", 0x12345678);
  // The formula's size says more than the sub-record and the record hold.
  obj[22 + 6 + 4] = 0xFF;
  obj[22 + 6 + 5] = 0x7F;
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof().Bof(evExcel8).Record(kRecObj, obj).Eof();
  const TMacroReport report = Find(b.Build());
  EXPECT_TRUE(report.Objects.empty());
}

TEST(LockedWorkbook, ReadsNoRecordsContentsAndSaysSo)
{
  TEncryptSpec spec;
  spec.Password = "secret";
  TLoaded loaded(InCompoundFile(EncryptStream(WithNames({{"\x01", kNameBuiltIn}}), spec)));
  const TMacroReport report = loaded.Find();
  EXPECT_TRUE(report.Triggers.empty());
  EXPECT_TRUE(report.MacroSheets.empty() || report.MacroSheets[0].Cells.empty());
  EXPECT_EQ(report.Notes, std::vector<std::string>{kMacroNoteLocked});
}

TEST(MacroLint, EachFindingHasItsCheckSeverityAndRecord)
{
  TMacroReport report;
  report.Vba.Found = true;
  report.Vba.StoragePath = "_VBA_PROJECT_CUR";
  TVbaModule module;
  module.Name = "Module1";
  module.StreamPath = "_VBA_PROJECT_CUR/VBA/Module1";
  module.Stomped = true;
  report.Vba.Modules.push_back(module);
  const auto at = [](std::uint64_t record) {
    TMacroPlace place;
    place.Record = record;
    place.Offset = record * 100;
    return place;
  };
  TMacroSheet sheet;
  sheet.Place = at(9);
  sheet.Name = "Macro1";
  sheet.International = true;
  sheet.Cells.resize(2);
  report.MacroSheets.push_back(sheet);
  TMacroTrigger trigger;
  trigger.Place = at(12);
  trigger.Name = "Auto_Open";
  trigger.Where = "Macro1!$A$1";
  report.Triggers.push_back(trigger);
  for (const auto& [record, name, state] : {std::tuple{3, "Deep", THiddenState::hsVeryHidden},
                                            std::tuple{4, "Shy", THiddenState::hsHidden}}) {
    THiddenPart hidden;
    hidden.Place = at(static_cast<std::uint64_t>(record));
    hidden.Name = name;
    hidden.State = state;
    report.Hidden.push_back(hidden);
  }
  for (const auto& [record, type, target] : {std::tuple{5, TLinkType::ltDde, "App|Topic!Item"},
                                             std::tuple{6, TLinkType::ltExternal, "C:\\Book2.xls"},
                                             std::tuple{7, TLinkType::ltHyperlink, "http://example.com/"}}) {
    TExternalLink link;
    link.Place = at(static_cast<std::uint64_t>(record));
    link.Type = type;
    link.Target = target;
    report.Links.push_back(link);
  }
  TEmbeddedObject object;
  object.Place = at(8);
  object.Place.Stream = "MBD00000001";
  object.Found = true;
  report.Objects.push_back(object);
  std::vector<std::string> findings;
  for (const TLintFinding& f : MacroLintFindings(report))
    findings.push_back(std::string(LintSeverityName(f.Severity)) + " " + f.Check + " #" +
                       std::to_string(f.Record.value_or(0)) + ": " + f.Message);
  EXPECT_EQ(findings,
            (std::vector<std::string>{
                "info vba-project #0: VBA project in _VBA_PROJECT_CUR with 1 module (Module1)",
                "warning stomped-vba #0: module Module1 holds compiled code but no source: the source was removed "
                "(_VBA_PROJECT_CUR/VBA/Module1)",
                "info xlm-macro-sheet #9: international Excel 4 macro sheet \"Macro1\" with 2 formulas",
                "info autorun #12: the name Auto_Open runs Macro1!$A$1 by itself",
                "info very-hidden-sheet #3: sheet \"Deep\" is very hidden: only a program can show it",
                "info dde-link #5: DDE link App|Topic!Item",
                "info external-link #6: link to the workbook C:\\Book2.xls",
                "info embedded-object #8: embedded object in MBD00000001",
            }));
}

TEST(ShowsMacros, TellsFromTheRecordsAlone)
{
  const auto shows = [](const std::vector<std::uint8_t>& stream) {
    TLoaded loaded(InCompoundFile(stream));
    return ShowsMacros(loaded.Workbook);
  };
  TBiffBuilder plain;
  plain.Bof(evExcel8, TBofType::btGlobals).BoundSheet("Data", 1).Eof().Bof(evExcel8).Eof();
  EXPECT_FALSE(shows(plain.Build()));
  TBiffBuilder project;
  project.Bof(evExcel8, TBofType::btGlobals).Record(0x00D3, {}).BoundSheet("Data", 1).Eof().Bof(evExcel8).Eof();
  EXPECT_TRUE(shows(project.Build()));
  EXPECT_TRUE(shows(WithNames({})));
}

/// The extractor writes LF line ends.
std::string LfLineEnds(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    out += text[i] == '\r' ? '\n' : text[i];
  }
  return out;
}

// The corpus: every hidden sheet the peer reader lists, and every module of
// the independent extractor, as FindMacros reads them.
TEST(MacrosCorpus, HiddenSheetsAndModulesAgreeWithThePeers)
{
  const fs::path dir(BIFFLENS_CORPUS_DIR);
  if (!fs::is_directory(dir / "reference"))
    GTEST_SKIP() << "no corpus at " << dir;
  std::size_t sheets = 0;
  std::size_t modules = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xls")
      continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream in(entry.path(), std::ios::binary);
    TLoaded loaded(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    const TMacroReport report = loaded.Find();
    std::ifstream reference(dir / "reference" / (name + ".jsonl"));
    std::string line;
    if (std::getline(reference, line)) {
      const nlohmann::json meta = nlohmann::json::parse(line);
      if (meta["ok"].get<bool>()) {
        std::map<std::string, std::string> expected;
        for (const auto& sheet : meta["all_sheets"]) {
          const int visibility = sheet["visibility"].get<int>();
          if (visibility != 0)
            expected[sheet["name"].get<std::string>()] = visibility == 1 ? "hidden" : "very hidden";
        }
        std::map<std::string, std::string> found;
        for (const THiddenPart& part : report.Hidden)
          if (!part.IsName && part.State != THiddenState::hsMisplaced)
            found[part.Name] = HiddenStateText(part.State);
        EXPECT_EQ(found, expected);
        sheets += meta["all_sheets"].size();
      }
    }
    std::ifstream vba(dir / "vba" / (name + ".jsonl"));
    if (!std::getline(vba, line))
      continue;
    std::map<std::string, std::string> expected;
    while (std::getline(vba, line)) {
      const nlohmann::json module = nlohmann::json::parse(line);
      // The extractor takes a plain text file for one module without a stream.
      if (!module["stream"].get<std::string>().empty())
        expected[module["stream"].get<std::string>()] = module["code"].get<std::string>();
    }
    std::map<std::string, std::string> found;
    for (const TVbaModule& module : report.Vba.Modules)
      found[module.StreamPath] = LfLineEnds(module.Source);
    EXPECT_EQ(found, expected);
    modules += expected.size();
  }
  EXPECT_GT(sheets, 150u);
  EXPECT_GT(modules, 10u);
}

}  // namespace
