#pragma once

// Message texts of the value operations and the date helpers. Exact texts:
// they are shown to the user and compared by tests.

inline constexpr char kMsgInvalidVariantOperation[] = "Invalid variant operation";
inline constexpr char kMsgInvalidVariantTypeConversion[] = "Invalid variant type conversion";
/// A value does not fit the kind it must become (integer or currency).
inline constexpr char kMsgVariantOverflow[] = "Variant overflow";
inline constexpr char kMsgDivisionByZero[] = "Division by zero";
inline constexpr char kMsgFloatDivisionByZero[] = "Floating point division by zero";
inline constexpr char kMsgInvalidFloatOperation[] = "Invalid floating point operation";
inline constexpr char kMsgFloatOverflow[] = "Floating point overflow";
inline constexpr char kMsgNotValidInteger[] = "'%s' is not a valid integer value";
inline constexpr char kMsgNotValidFloat[] = "'%s' is not a valid floating point value";
inline constexpr char kMsgNotValidDate[] = "'%s' is not a valid date";
inline constexpr char kMsgDateEncode[] = "Invalid argument to date encode";
inline constexpr char kMsgTimeEncode[] = "Invalid argument to time encode";
