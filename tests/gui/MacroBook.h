#pragma once

// A workbook with something of every kind the Macros tab shows, for the
// viewer's tests and its screenshot: a VBA project whose ThisWorkbook runs
// on opening, an Excel 4 macro sheet run by Auto_Open, a very hidden and a
// hidden sheet, a hidden name, a hyperlink, a DDE link and another book.

#include "support/BiffBuilder.h"
#include "support/FormulaBuilder.h"
#include "support/VbaBuilder.h"

#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> MacroDemoWorkbook()
{
  using enum TExcelVersion;
  const auto tokens = [](const TFormulaBuilder& b) { return b.Build().Tokens; };
  const auto supBook = [](std::string_view path) {
    return TBytes().U16(0).U16(static_cast<std::uint16_t>(path.size())).U8(0).Ascii(path);
  };
  const auto externName = [](std::string_view name) {
    return TBytes().U16(0).U16(0).U16(0).U8(static_cast<std::uint8_t>(name.size())).U8(0).Ascii(name).U16(0);
  };
  TBiffBuilder b;
  b.Bof(evExcel8, TBofType::btGlobals)
      .BoundSheet("Report", 1)
      .BoundSheet("Loader", 2, false, 1, 2)
      .BoundSheet("Staging", 3, false, 0, 1)
      .SupBookSelf(3)
      .Record(0x01AE, supBook("\x01\x01" "Cfinance\x03" "rates.xls"))
      .Record(0x01AE, supBook("MTX\x03" "QUOTES"))
      .Record(0x0023, externName("LAST"))
      .ExternSheet8({{0, 1, 1}})
      .Name("\x01", tokens(TFormulaBuilder().Ref3d(0, 0, 0, false)), 0, 0x0020)
      .Name("cfg_url", tokens(TFormulaBuilder().Str("http://example.invalid/p")), 0, 0x0001)
      .Eof();
  b.Bof(evExcel8).Number(0, 0, 0, 42).HLinkUrl(0, 0, "http://example.invalid/report").Eof();
  b.Bof(evExcel8, TBofType::btMacroSheet);
  b.FormulaTokens(0, 0, 0, tokens(TFormulaBuilder().Str("Updating...").FuncVar(0x76, 1, true)));
  b.FormulaTokens(1, 0, 0, tokens(TFormulaBuilder().Str("C:\\temp\\log.txt").Int(3).FuncVar(132, 2)));
  b.FormulaTokens(2, 0, 0, tokens(TFormulaBuilder().Str("notepad.exe").Int(1).FuncVar(110, 2)));
  b.FormulaTokens(3, 0, 0, tokens(TFormulaBuilder().FuncVar(55, 0)));
  b.Eof();
  b.Bof(evExcel8).Eof();
  const std::string book = "Attribute VB_Name = \"ThisWorkbook\"\r\n"
                           "Attribute VB_Base = \"0{00020819-0000-0000-C000-000000000046}\"\r\n"
                           "Private Sub Workbook_Open()\r\n"
                           "    ' Refresh the report when the workbook opens.\r\n"
                           "    Application.Run \"Module1.Refresh\"\r\n"
                           "End Sub\r\n";
  const std::string module = "Attribute VB_Name = \"Module1\"\r\n"
                             "Option Explicit\r\n"
                             "\r\n"
                             "Public Sub Refresh()\r\n"
                             "    Dim url As String\r\n"
                             "    url = ThisWorkbook.Names(\"cfg_url\").RefersTo\r\n"
                             "    With Sheets(\"Report\")\r\n"
                             "        .Range(\"A1\").Value = Now\r\n"
                             "        .Range(\"B1\").Formula = \"=MTX|QUOTES!LAST\"\r\n"
                             "    End With\r\n"
                             "    Debug.Print \"refreshed from \" & url\r\n"
                             "End Sub\r\n";
  return TVbaFileBuilder()
      .Workbook(b.Build())
      .Module("ThisWorkbook", book, kVbaTestDocClass)
      .Module("Module1", module)
      .Build();
}
