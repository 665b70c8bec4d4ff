#pragma once

// Fixed texts: "File is not exists." is the product's wording.
inline constexpr char kMsgFileNotDefined[] = "File is not defined.";
inline constexpr char kMsgFileNotExists[] = "File is not exists.";
