#pragma once

#include "platform/Locale.h"

#include <string>

/// General number format: up to 15 significant digits, no trailing zeros,
/// scientific ("1.5E20", "1E-5") below 1E-4 and from 1E15 on, with the
/// locale's decimal separator.
std::string FloatToStr(double value, const TLocaleSettings& locale);
