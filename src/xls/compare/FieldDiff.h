#pragma once

// Two records' fields compared, as `bifflens-cli fields` names them: a
// field inside another is named by its path ("options.calc_on_load"), one of
// several alike by its meaning when each has its own ("cell[C2].rk") or by
// its place ("options[2]").

#include "xls/decode/FieldList.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// Where a field's bytes lie: in part `Part` of its record (0: the record
/// itself, k: its k-th CONTINUE record), `Size` bytes from `Offset` of that
/// part's data.
struct TFieldSpot {
  int Part = 0;
  std::size_t Offset = 0;
  std::size_t Size = 0;
};

struct TFieldDifference {
  std::string Name;  // the field's path
  /// Its value on each side; nothing where one side has no such field.
  std::optional<TFieldValue> A;
  std::optional<TFieldValue> B;
  /// Its meaning on each side (empty where it has none).
  std::string TextA;
  std::string TextB;
  /// Where the field lies on each side (nothing where it has none), so a
  /// view can mark its bytes.
  std::optional<TFieldSpot> SpotA;
  std::optional<TFieldSpot> SpotB;
};

/// What differs between the fields `a` and `b`. A field whose meaning
/// changed is one difference (a formula's text, a flags word's set flags),
/// its inner fields not listed; otherwise the inner fields that differ are,
/// and the field itself only when none of them does. Paths in `ignored`
/// (and the fields inside them) are passed over. At most `most` are
/// listed; `leftOut` counts the rest.
std::vector<TFieldDifference> CompareFields(std::span<const TRecordField> a, std::span<const TRecordField> b,
                                            std::span<const std::string> ignored, std::size_t most,
                                            std::size_t& leftOut);

/// A field value as a short text: numbers in decimal, texts quoted.
std::string FieldValueText(const TFieldValue& value);
