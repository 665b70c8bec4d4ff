#include "platform/ErrorText.h"

std::string ErrorBoxText(std::string_view message)
{
  std::string text(message);
  // Compared as unsigned: a UTF-8 lead byte is above "." and so gets the dot.
  if (text.empty() || static_cast<unsigned char>(text.back()) <= '.')
    return text;
  text += '.';
  return text;
}
