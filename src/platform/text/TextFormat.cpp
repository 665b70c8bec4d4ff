#include "platform/text/TextFormat.h"

std::string FormatMessage(std::string_view pattern, std::string_view argument)
{
  std::string text(pattern);
  const std::size_t at = text.find("%s");
  if (at != std::string::npos)
    text.replace(at, 2, argument);
  return text;
}

std::string FormatMessage(std::string_view pattern, std::string_view first,
                          std::string_view second)
{
  // The second placeholder is looked for after the first argument, so a "%s"
  // inside that argument is left alone.
  std::string text(pattern);
  const std::size_t at = text.find("%s");
  if (at == std::string::npos)
    return text;
  text.replace(at, 2, first);
  const std::size_t next = text.find("%s", at + first.size());
  if (next != std::string::npos)
    text.replace(next, 2, second);
  return text;
}

std::string_view TrimLeft(std::string_view text)
{
  while (!text.empty() && IsBlankOrControl(text.front()))
    text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text)
{
  while (!text.empty() && IsBlankOrControl(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text)
{
  return TrimRight(TrimLeft(text));
}
