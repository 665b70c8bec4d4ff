#include "platform/DateTime.h"
#include "platform/Environment.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

TEST(LocaleSettings, DefaultToUsEnglish)
{
  const TLocaleSettings us = UsEnglishLocale();
  EXPECT_EQ(us.DecimalSeparator, '.');
  EXPECT_EQ(us.DateSeparator, '/');
  EXPECT_EQ(us.ShortDateFormat, "m/d/yyyy");
  EXPECT_EQ(us.ShortMonthNames[0], "Jan");
  EXPECT_EQ(us.LongMonthNames[8], "September");
  EXPECT_EQ(us.TimeAMString, "AM");
  EXPECT_EQ(us.TimePMString, "PM");
}

TEST(LocaleSettings, StrftimeFormatsBecomeFormatLetters)
{
  const std::pair<const char*, const char*> cases[] = {
      {"%m/%d/%y", "mm/dd/yy"},
      {"%d.%m.%Y", "dd.mm.yyyy"},
      {"%Y-%m-%d", "yyyy-mm-dd"},
      {"%e %B %Y", "d mmmm yyyy"},
      {"%r", "hh:nn:ss AMPM"},
      {"%T", "hh:nn:ss"},
      {"%H:%M:%S", "hh:nn:ss"},
      {"%I:%M:%S %p", "hh:nn:ss AMPM"},
      {"%-d/%-m/%Y", "d/m/yyyy"},
      {"%Ey", "yy"},
      {"%q%d", "dd"},
      {"100%%", "100%"},
      {"%", "%"},
  };
  for (const auto& [cFormat, format] : cases) {
    SCOPED_TRACE(cFormat);
    EXPECT_EQ(FormatFromStrftime(cFormat), format);
  }
}

/// Sets environment variables for its lifetime and puts the old values back.
class TEnvVars {
public:
  TEnvVars(std::initializer_list<std::pair<const char*, const char*>> vars)
  {
    for (const auto& [name, value] : vars) {
      const char* old = std::getenv(name);
      FSaved.push_back({name, old != nullptr, old != nullptr ? old : ""});
      if (value != nullptr)
        setenv(name, value, 1);
      else
        unsetenv(name);
    }
  }
  ~TEnvVars()
  {
    for (const TSaved& saved : FSaved) {
      if (saved.Had)
        setenv(saved.Name.c_str(), saved.Value.c_str(), 1);
      else
        unsetenv(saved.Name.c_str());
    }
  }
  TEnvVars(const TEnvVars&) = delete;
  TEnvVars& operator=(const TEnvVars&) = delete;

private:
  struct TSaved {
    std::string Name;
    bool Had;
    std::string Value;
  };
  std::vector<TSaved> FSaved;
};

TEST(LocaleSettings, PlainCEnvironmentKeepsTheDefaults)
{
  const TEnvVars vars{{"LC_ALL", "C"}, {"LC_NUMERIC", nullptr}, {"LC_TIME", nullptr}, {"LANG", nullptr}};
  const TLocaleSettings settings = LocaleFromEnvironment();
  EXPECT_EQ(settings.DecimalSeparator, '.');
  EXPECT_EQ(settings.ShortDateFormat, UsEnglishLocale().ShortDateFormat);
  EXPECT_EQ(settings.TimePMString, "PM");
}

TEST(LocaleSettings, UnknownLocaleNameKeepsTheDefaults)
{
  const TEnvVars vars{{"LC_ALL", "xx_NOWHERE.UTF-8"}};
  const TLocaleSettings settings = LocaleFromEnvironment();
  EXPECT_EQ(settings.DecimalSeparator, '.');
  EXPECT_EQ(settings.LongMonthNames[0], "January");
}

TEST(LocaleSettings, GermanEnvironmentGivesDecimalCommaAndDayFirstDates)
{
  const TEnvVars vars{{"LC_ALL", "de_DE.UTF-8"}};
  locale_t probe = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
  if (probe == static_cast<locale_t>(nullptr))
    GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  freelocale(probe);
  const TLocaleSettings settings = LocaleFromEnvironment();
  EXPECT_EQ(settings.DecimalSeparator, ',');
  EXPECT_EQ(settings.ShortDateFormat, "dd.mm.yyyy");
  EXPECT_EQ(settings.DateSeparator, '.');
  EXPECT_EQ(settings.LongMonthNames[2], "M\xC3\xA4rz");
}

class TCountingEnvironment : public TFixedEnvironment {
public:
  double Random() override
  {
    ++Calls;
    return 0.25;
  }
  int Calls = 0;
};

TEST(Environment, ScopesReplaceAndRestoreTheCurrentOne)
{
  TSystemEnvironment& system = CurrentEnvironment();
  TFixedEnvironment outer(UsEnglishLocale(), 100.5);
  {
    TEnvironmentScope outerScope(outer);
    EXPECT_EQ(&CurrentEnvironment(), &outer);
    EXPECT_EQ(CurrentEnvironment().Now(), 100.5);
    TCountingEnvironment inner;
    inner.Settings.DecimalSeparator = ',';
    {
      TEnvironmentScope innerScope(inner);
      EXPECT_EQ(CurrentLocale().DecimalSeparator, ',');
      EXPECT_EQ(CurrentEnvironment().Random(), 0.25);
      EXPECT_EQ(inner.Calls, 1);
    }
    EXPECT_EQ(&CurrentEnvironment(), &outer);
  }
  EXPECT_EQ(&CurrentEnvironment(), &system);
}

TEST(Environment, SystemLocaleCanBeSet)
{
  const TLocaleSettings before = CurrentEnvironment().Locale();
  TLocaleSettings comma = UsEnglishLocale();
  comma.DecimalSeparator = ',';
  SetSystemLocale(comma);
  EXPECT_EQ(CurrentLocale().DecimalSeparator, ',');
  SetSystemLocale(before);
  EXPECT_EQ(CurrentLocale().DecimalSeparator, before.DecimalSeparator);
}

TEST(Environment, GeneratorsStayBelowOne)
{
  TFixedEnvironment fixed(UsEnglishLocale(), 0, 7);
  TFixedEnvironment same(UsEnglishLocale(), 0, 7);
  for (int i = 0; i < 1000; ++i) {
    const double value = fixed.Random();
    ASSERT_GE(value, 0.0);
    ASSERT_LT(value, 1.0);
    ASSERT_EQ(value, same.Random());  // a seed repeats its sequence
    const double system = CurrentEnvironment().Random();
    ASSERT_GE(system, 0.0);
    ASSERT_LT(system, 1.0);
  }
}

TEST(Environment, SystemClockIsADateValueNearTheCalendarDate)
{
  const double now = CurrentEnvironment().Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_LT(now, EncodeDate(2200, 1, 1));
}

}  // namespace
