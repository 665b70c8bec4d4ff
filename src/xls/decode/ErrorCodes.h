#pragma once

#include <string>

/// The text of a BIFF error code: "#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
/// "#NAME?", "#NUM!", "#N/A", or "Unknown error code N" for any other.
std::string ErrorCodeText(int code);
