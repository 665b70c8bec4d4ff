#pragma once

#include <string_view>

/// What a number format shows of a date value: the parts that decide how an
/// export writes the value.
struct TDateShape {
  bool Date = false;     // year, month, day or weekday
  bool Time = false;     // hours, minutes, seconds or AM/PM of the day
  bool Elapsed = false;  // [h], [m] or [s]: a duration, not a time of day
  int SecondDecimals = 0;  // digits after the seconds ("ss.00": 2), 0 to 3

  bool operator==(const TDateShape&) const = default;
  /// True when the format shows nothing of a date or time.
  bool IsEmpty() const { return !Date && !Time && !Elapsed; }
};

/// The shape of a number format text as Excel reads it: its first section
/// only; quoted text, escaped characters, padding and fill characters,
/// colours, conditions and locale tags left out. "m" and "mm" are minutes
/// right after an hour or right before a second, months elsewhere.
TDateShape DateShapeOf(std::string_view formatText);
