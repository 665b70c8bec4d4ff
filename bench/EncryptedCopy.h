#pragma once

#include <string>

/// Writes `out`: the workbook stream of the compound file `in`, encrypted by
/// the test writer with Excel's default password (so every load opens it
/// without asking) in a compound file of its own. `scheme` is "rc4",
/// "cryptoapi" or "xor". Throws std::runtime_error when `in` has no
/// workbook stream or `scheme` is none of those.
void WriteEncryptedCopy(const std::string& in, const std::string& out, const std::string& scheme);
