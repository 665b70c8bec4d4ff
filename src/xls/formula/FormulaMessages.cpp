#include "xls/formula/FormulaMessages.h"

std::string FormatFormulaMessage(std::string_view format,
                                 std::initializer_list<std::string_view> args)
{
  std::string text;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next != args.end()) {
      text += *next++;
      ++i;
      continue;
    }
    text += format[i];
  }
  return text;
}
