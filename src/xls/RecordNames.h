#pragma once

#include <cstdint>

/// Display name of a BIFF record code: an exact match of the whole code (no
/// masking: 0x0809 is not "BOF"), "Unknown" for codes not in the table.
const char* RecordTypeName(std::uint16_t code);

/// Number of codes that have a name (two codes share "EXTERNNAME").
int RecordTypeNameCount();
