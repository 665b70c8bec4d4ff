#include "platform/ErrorText.h"

#include <new>

std::string ErrorBoxText(std::string_view message)
{
  std::string text(message);
  // Compared as unsigned: a UTF-8 lead byte is above "." and so gets the dot.
  if (text.empty() || static_cast<unsigned char>(text.back()) <= '.')
    return text;
  text += '.';
  return text;
}

std::string ExceptionText(const std::exception& error)
{
  if (dynamic_cast<const std::bad_alloc*>(&error))
    return "Out of memory";
  return error.what();
}
