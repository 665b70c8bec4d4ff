#include "xls/decode/GlobalRecords.h"

#include "xls/decode/BuiltInNames.h"

namespace GlobalDecode {

namespace {

// [MS-XLS] 2.4.122 Font and 2.5.161 Icv.
constexpr TNamedValue kVisibility[] = {{0, "visible"}, {1, "hidden"}, {2, "very hidden"}};
constexpr TNamedValue kSheetTypes[] = {
    {0, "worksheet or dialog sheet"}, {1, "macro sheet"}, {2, "chart"}, {6, "Visual Basic module"}};
constexpr TNamedValue kEscapements[] = {{0, "none"}, {1, "superscript"}, {2, "subscript"}};
constexpr TNamedValue kUnderlines[] = {
    {0x00, "none"}, {0x01, "single"}, {0x02, "double"}, {0x21, "single accounting"},
    {0x22, "double accounting"}};
constexpr TNamedValue kFamilies[] = {
    {0, "not applicable"}, {1, "roman"}, {2, "swiss"}, {3, "modern"}, {4, "script"}, {5, "decorative"}};
constexpr TNamedValue kCharSets[] = {
    {0, "ANSI"},        {1, "default"},     {2, "symbol"},     {77, "Macintosh"},
    {128, "Shift-JIS"}, {129, "Hangul"},    {130, "Johab"},    {134, "GB2312"},
    {136, "Big5"},      {161, "Greek"},     {162, "Turkish"},  {163, "Vietnamese"},
    {177, "Hebrew"},    {178, "Arabic"},    {186, "Baltic"},   {204, "Russian"},
    {222, "Thai"},      {238, "Eastern European"}, {255, "OEM"}};
constexpr TNamedValue kSpecialColors[] = {
    {0x40, "system window text"}, {0x41, "system window background"}, {0x4D, "chart foreground"},
    {0x4E, "chart background"}, {0x4F, "chart neutral line"}, {0x51, "tooltip text"},
    {0x7FFF, "automatic (window text)"}};
}  // namespace

std::string VisibilityText(std::uint8_t visibility)
{
  return NameOf(kVisibility, visibility & 0x03);
}

std::string SheetTypeText(std::uint8_t type)
{
  return NameOf(kSheetTypes, type);
}

std::string BuiltInNameText(const std::string& name)
{
  const std::string_view spelled = name.size() == 1 ? BuiltInName(static_cast<std::uint8_t>(name[0])) : "";
  return spelled.empty() ? "built-in name" : "built-in name " + std::string(spelled);
}

std::string ColorIndexText(int index)
{
  // Indexes 0 to 7 are the fixed colours, 8 to 63 the palette's.
  static constexpr const char* kFixed[] = {"black", "white", "red", "green", "blue", "yellow", "magenta", "cyan"};
  if (index >= 0 && index < 8)
    return std::string("colour ") + std::to_string(index) + " (" + kFixed[index] + ")";
  if (index >= 8 && index < 64)
    return "palette colour " + std::to_string(index);
  return NameOf(kSpecialColors, index);
}

std::string WeightText(int weight)
{
  if (weight == 400)
    return "normal";
  if (weight == 700)
    return "bold";
  return weight >= 700 ? "bold (" + std::to_string(weight) + ")" : std::to_string(weight);
}

std::string EscapementText(int escapement)
{
  return NameOf(kEscapements, escapement);
}

std::string UnderlineText(int underline)
{
  return NameOf(kUnderlines, underline);
}

std::string FamilyText(int family)
{
  return NameOf(kFamilies, family);
}

std::string CharSetText(int charSet)
{
  return NameOf(kCharSets, charSet);
}

}  // namespace GlobalDecode
