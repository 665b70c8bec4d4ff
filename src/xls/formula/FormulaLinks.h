#pragma once

// Link targets in a formula's text, as Excel writes them before a "!"
// ("'C:\dir\[Book2.xls]Prices'!", "App|Topic!"). Private to the formula
// decoder.

#include "xls/decode/LinkPath.h"

#include <string>
#include <string_view>

namespace FormulaDecode {

/// "dir\[file]sheet" (or "dir\[file]first:last"), between apostrophes as a
/// whole when any part needs them (a path always does); without sheets
/// (`hasSheets` false) the file stands alone.
void AppendBookPrefix(std::string& out, const LinkPath::TTarget& link, std::string_view first,
                      std::string_view last, bool hasSheets);

/// A DDE or OLE link's "application|topic", the topic quoted as a sheet
/// name is.
void AppendDdePrefix(std::string& out, const LinkPath::TTarget& link);

}  // namespace FormulaDecode
