#include "platform/ErrorText.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

TEST(ErrorBoxText, AppendsADotUnlessTheTextEndsInADotOrBelow)
{
  struct TCase {
    const char* Message;
    const char* Shown;
  };
  const TCase cases[] = {
      {"File is not a Excel file", "File is not a Excel file."},
      {"File is not defined.", "File is not defined."},
      {"Stop!", "Stop!"},        // "!" is below "."
      {"quoted \"x\"", "quoted \"x\""},
      {"Ends in a dash-", "Ends in a dash-"},  // "-" is below "."
      {"trailing ", "trailing "},
      {"Ends in a slash/", "Ends in a slash/."},  // "/" is above "."
      {"(0x05)", "(0x05)"},                       // ")" is below "."
      {"caf\xC3\xA9", "caf\xC3\xA9."},            // a UTF-8 byte counts as above
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    EXPECT_EQ(ErrorBoxText(c.Message), c.Shown);
  }
}

TEST(ExceptionText, OwnErrorsKeepTheirTextAndOutOfMemoryIsNamedPlainly)
{
  EXPECT_EQ(ExceptionText(std::runtime_error("File is not defined.")), "File is not defined.");
  EXPECT_EQ(ExceptionText(std::bad_alloc()), "Out of memory");
}
