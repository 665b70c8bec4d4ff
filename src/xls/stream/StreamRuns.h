#pragma once

#include "platform/CompoundFile.h"
#include "platform/FileReader.h"

#include <cstdint>
#include <span>
#include <vector>

/// Stream bytes [from, from + out.size()) read from `file` run by run. A file
/// shortened since it was opened fails with EOleError (kStgReadFault).
void ReadStreamRuns(const TFileReader& file, const std::vector<TCompoundFile::TStreamRun>& runs,
                    std::uint64_t from, std::span<std::uint8_t> out);
