#pragma once

#include <cstddef>

/// Asks the system to map every whole page of [start, start + bytes) at once,
/// ready for writing. Memory that is about to be filled from end to end
/// (a block of cells) then costs one call instead of a fault per page. Only
/// a hint: where the system cannot do it, the pages fault in as they are
/// first written, as they would have anyway.
void PrefaultForWriting(void* start, std::size_t bytes) noexcept;
