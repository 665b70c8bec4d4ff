#include "xls/decode/BuiltInNames.h"

#include <iterator>

std::string_view BuiltInName(std::uint8_t code)
{
  // [MS-XLS] 2.4.150 Lbl: the built-in names by their code.
  static constexpr std::string_view kNames[] = {
      "Consolidate_Area", "Auto_Open",     "Auto_Close",      "Extract",     "Database",
      "Criteria",         "Print_Area",    "Print_Titles",    "Recorder",    "Data_Form",
      "Auto_Activate",    "Auto_Deactivate", "Sheet_Title",   "_FilterDatabase",
  };
  return code < std::size(kNames) ? kNames[code] : std::string_view();
}
