#pragma once

#include <cstdint>
#include <string>

/// The text of a BIFF error code ("#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
/// "#NAME?", "#NUM!", "#N/A"); nullptr for a code that is none.
const char* ErrorCodeName(std::uint8_t code);
/// As ErrorCodeName, with "Unknown error code N" for any other code.
std::string ErrorCodeText(int code);
