#include "xls/ExcelVersion.h"

const char* ExcelVersionName(TExcelVersion version)
{
  switch (version) {
  case TExcelVersion::evUnknown: return "evUnknown";
  case TExcelVersion::evExcel2: return "evExcel2";
  case TExcelVersion::evExcel3: return "evExcel3";
  case TExcelVersion::evExcel4: return "evExcel4";
  case TExcelVersion::evExcel5: return "evExcel5";
  case TExcelVersion::evExcel7: return "evExcel7";
  case TExcelVersion::evExcel8: return "evExcel8";
  case TExcelVersion::evExcel9: return "evExcel9";
  }
  return "evUnknown";
}

const char* BiffVersionLabel(TExcelVersion version)
{
  switch (version) {
  case TExcelVersion::evExcel2: return "BIFF2";
  case TExcelVersion::evExcel3: return "BIFF3";
  case TExcelVersion::evExcel4: return "BIFF4";
  case TExcelVersion::evExcel5:
  case TExcelVersion::evExcel7: return "BIFF5/7";
  case TExcelVersion::evExcel8:
  case TExcelVersion::evExcel9: return "BIFF8";
  case TExcelVersion::evUnknown: break;
  }
  return nullptr;
}
