// Fuzz target: the VBA project reader. The bytes go through the
// decompressor (whole, and from each of the first offsets, as a module's
// source starts at an offset into its stream), through the dir parser both
// raw and decompressed, and, read as a whole compound file, through the
// strict and the tolerant project readers. Nothing may throw, read past the
// input or give more than the limit.
#include "platform/CompoundFile.h"
#include "xls/vba/VbaCompression.h"
#include "xls/vba/VbaDir.h"
#include "xls/vba/VbaProject.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

// Small enough that a run of maximal copy tokens reaches it quickly.
constexpr std::size_t kLimit = std::size_t{1} << 20;

void Check(std::span<const std::uint8_t> bytes)
{
  const TVbaDecompressed result = DecompressVba(bytes, kLimit);
  if (result.Bytes.size() > kLimit || (result.Cut && result.Error.empty()))
    __builtin_trap();
  const TVbaDir dir = ParseVbaDir(result.Bytes);
  for (const TVbaDirModule& module : dir.Modules)
    if (module.Name.size() > result.Bytes.size())
      __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::span<const std::uint8_t> bytes(data, size);
  Check(bytes);
  for (std::size_t offset = 1; offset < 4 && offset < size; ++offset)
    Check(bytes.subspan(offset));
  const TVbaDir raw = ParseVbaDir(bytes);
  if (raw.Modules.size() > size / 6 + 1)
    __builtin_trap();

  if (!IsCompoundFile(bytes))
    return 0;
  const TVbaLimits limits{kLimit, 4 * kLimit};
  const TVbaProject tolerant = ReadVbaProjectTolerant(bytes, limits);
  std::size_t total = 0;
  for (const TVbaModule& module : tolerant.Modules) {
    total += module.SourceBytes;
    if (module.SourceBytes > limits.ModuleSource || total > limits.Project)
      __builtin_trap();
  }
  try {
    const TCompoundFile file = TCompoundFile::Open(TSharedBytes::Copy(bytes));
    ReadVbaProject(file, limits);
  } catch (const EOleError&) {
  }
  return 0;
}
