#include "platform/Locale.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace {

/// The expansion of one strftime conversion letter, or nullptr when the
/// conversion has no counterpart in our format letters.
const char* ExpandConversion(char conversion)
{
  switch (conversion) {
  case 'd': return "dd";
  case 'e': return "d";
  case 'm': return "mm";
  case 'y': return "yy";
  case 'Y': return "yyyy";
  case 'b':
  case 'h': return "mmm";
  case 'B': return "mmmm";
  case 'H': return "hh";
  case 'k': return "h";
  case 'I': return "hh";
  case 'l': return "h";
  case 'M': return "nn";
  case 'S': return "ss";
  case 'p': return "AMPM";
  case 'r': return "hh:nn:ss AMPM";
  case 'T': return "hh:nn:ss";
  case 'R': return "hh:nn";
  case 'D': return "mm/dd/yy";
  case 'F': return "yyyy-mm-dd";
  case '%': return "%";
  default: return nullptr;
  }
}

/// The locale name the environment gives a category, as setlocale(cat, "")
/// would pick it: LC_ALL, then the category's variable, then LANG.
std::string_view EnvironmentLocaleName(const char* categoryVariable)
{
  for (const char* name : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0')
      return value;
  }
  return "C";
}

bool IsPlainCLocale(std::string_view name)
{
  return name == "C" || name == "POSIX" || name.starts_with("C.");
}

/// First character that separates the numeric fields of a date format.
char SeparatorOf(const std::string& format, char fallback)
{
  for (const char c : format) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && c != ' ')
      return c;
  }
  return fallback;
}

/// A locale_t created from the environment, freed on every exit path.
class TEnvLocale {
public:
  explicit TEnvLocale(int mask) : FHandle(newlocale(mask, "", static_cast<locale_t>(nullptr))) {}
  ~TEnvLocale()
  {
    if (FHandle != static_cast<locale_t>(nullptr))
      freelocale(FHandle);
  }
  TEnvLocale(const TEnvLocale&) = delete;
  TEnvLocale& operator=(const TEnvLocale&) = delete;
  bool Valid() const { return FHandle != static_cast<locale_t>(nullptr); }
  std::string Item(nl_item item) const
  {
    const char* text = nl_langinfo_l(item, FHandle);
    return text != nullptr ? std::string(text) : std::string();
  }

private:
  locale_t FHandle;
};

}  // namespace

TLocaleSettings UsEnglishLocale()
{
  return TLocaleSettings{};
}

std::string FormatFromStrftime(const std::string& cFormat)
{
  std::string result;
  for (std::size_t i = 0; i < cFormat.size(); ++i) {
    if (cFormat[i] != '%' || i + 1 == cFormat.size()) {
      result += cFormat[i];
      continue;
    }
    ++i;
    // glibc flags and modifiers ("%-d", "%Ey", "%Od"); only "-", no padding, matters.
    bool unpadded = false;
    while (i < cFormat.size() && (cFormat[i] == '-' || cFormat[i] == '_' || cFormat[i] == '0' ||
                                  cFormat[i] == '^' || cFormat[i] == '#' || cFormat[i] == 'E' ||
                                  cFormat[i] == 'O')) {
      unpadded = unpadded || cFormat[i] == '-';
      ++i;
    }
    if (i == cFormat.size())
      break;
    const char* expansion = ExpandConversion(cFormat[i]);
    if (expansion == nullptr)
      continue;
    const std::string_view text(expansion);
    const bool doubled = text.size() == 2 && text[0] == text[1] && text[0] != 'y';
    result += unpadded && doubled ? text.substr(0, 1) : text;
  }
  return result;
}

TLocaleSettings LocaleFromEnvironment()
{
  TLocaleSettings settings = UsEnglishLocale();

  if (!IsPlainCLocale(EnvironmentLocaleName("LC_NUMERIC"))) {
    const TEnvLocale numeric(LC_NUMERIC_MASK);
    if (numeric.Valid()) {
      const std::string radix = numeric.Item(RADIXCHAR);
      if (radix.size() == 1)
        settings.DecimalSeparator = radix[0];
    }
  }

  // The C locale's "%m/%d/%y" and 24-hour clock are not what a user of a
  // US English system expects, so an unset or plain C locale keeps the defaults.
  if (IsPlainCLocale(EnvironmentLocaleName("LC_TIME")))
    return settings;
  const TEnvLocale time(LC_TIME_MASK);
  if (!time.Valid())
    return settings;
  if (const std::string dateFormat = FormatFromStrftime(time.Item(D_FMT)); !dateFormat.empty()) {
    settings.ShortDateFormat = dateFormat;
    settings.DateSeparator = SeparatorOf(dateFormat, settings.DateSeparator);
  }
  if (const std::string timeFormat = FormatFromStrftime(time.Item(T_FMT)); !timeFormat.empty())
    settings.LongTimeFormat = timeFormat;
  for (int month = 0; month < 12; ++month) {
    if (std::string name = time.Item(static_cast<nl_item>(ABMON_1 + month)); !name.empty())
      settings.ShortMonthNames[static_cast<std::size_t>(month)] = std::move(name);
    if (std::string name = time.Item(static_cast<nl_item>(MON_1 + month)); !name.empty())
      settings.LongMonthNames[static_cast<std::size_t>(month)] = std::move(name);
  }
  settings.TimeAMString = time.Item(AM_STR);
  settings.TimePMString = time.Item(PM_STR);
  return settings;
}
