#pragma once

#include <exception>
#include <string>
#include <string_view>

/// The text an error box shows for an exception message: the message with "."
/// appended, unless it is empty or already ends in "." or in a character whose
/// code is below that of "." (a blank, "!", a quote, a line break...).
std::string ErrorBoxText(std::string_view message);

/// The message of an exception as the user sees it: the project's errors
/// carry their own text; running out of memory reads "Out of memory" rather
/// than the library's internal name for it.
std::string ExceptionText(const std::exception& error);
