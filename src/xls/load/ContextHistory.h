#pragma once

// The contexts a load decoded its records with: which version, code page
// and date system held from which record on. The Fields pane describes a
// record long after the load, with the context it had then.

#include "xls/decode/DecodeContext.h"

#include <cstdint>
#include <memory>
#include <vector>

/// A stretch of records that decode against one context: from FirstRecord
/// on, up to the next stretch.
struct TContextStretch {
  std::uint64_t FirstRecord = 0;
  std::shared_ptr<const TDecodeContext> Context;
};

class TContextHistory {
public:
  /// A new load, which starts with `context`.
  void Start(const TDecodeContext& context);
  /// No load: ContextAt gives `context` itself.
  void Clear() { FStretches.clear(); }
  /// The context changed while record `recordNumber` was decoded: the
  /// change holds from the next record on. Nothing outside a load.
  void Changed(const TDecodeContext& context, std::uint64_t recordNumber);
  /// The context record `recordNumber` (from 1) was decoded with; the
  /// first one for a number before the first record, `current` when no
  /// load kept any.
  std::shared_ptr<const TDecodeContext> At(std::uint64_t recordNumber,
                                           const TDecodeContext& current) const;

private:
  std::vector<TContextStretch> FStretches;
};
