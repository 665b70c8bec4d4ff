#include "xls/decode/NumberFormats.h"

#include "platform/Errors.h"
#include "platform/text/AsciiText.h"

#include <array>

namespace {

struct TBuiltInFormat {
  int Index;
  const char* Text;
};

constexpr std::array<TBuiltInFormat, 36> kBuiltInFormats{{
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "($#,##0_);($#,##0)"},
    {6, "($#,##0_);[Red]($#,##0)"},
    {7, "($#,##0.00_);($#,##0.00)"},
    {8, "($#,##0.00_);[Red]($#,##0.00)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},  // escaped: "??/" would be a trigraph
    {14, "m/d/yy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yy h:mm"},
    {37, "(#,##0_);(#,##0)"},
    {38, "(#,##0_);[Red](#,##0)"},
    {39, "(#,##0.00_);(#,##0.00)"},
    {40, "(#,##0.00_);[Red](#,##0.00)"},
    {41, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"},
    {42, "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
    {43, "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
    {44, "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
}};

}  // namespace

void TFormatTables::Reset()
{
  FXFs.clear();
  FFormats.clear();
  FFormatIsDate.clear();
  FFormatsByOrder = 0;
  for (const auto& format : kBuiltInFormats)
    SetFormat(format.Index, format.Text);
}

void TFormatTables::SetFormat(int index, const std::string& text)
{
  if (index < 0)
    throw EListError(index);
  const auto at = static_cast<std::size_t>(index);
  if (FFormats.size() <= at) {
    FFormats.resize(at + 1);
    FFormatIsDate.resize(at + 1, 0);
  }
  FFormats[at] = text;
  FFormatIsDate[at] = IsDateFormat(AsciiLower(text));
}

void TFormatTables::AddXf(int formatIndex, int fontIndex)
{
  FXFs.push_back(TXLSFormat{std::string(), formatIndex, fontIndex, false});
}

bool TFormatTables::IsDateFormat(std::string_view lowerText)
{
  return lowerText.find("dd") != std::string_view::npos ||
         lowerText.find("mm") != std::string_view::npos ||
         lowerText.find("yy") != std::string_view::npos;
}
