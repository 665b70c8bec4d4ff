// Fuzz target: the compound-file layer. Opens the bytes as a compound file,
// lists the root elements and reads every stream whole and in pieces; then
// salvages each stream as a damaged file's reading would.
#include "platform/CompoundFile.h"
#include "platform/CompoundSalvage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const TSharedBytes bytes = TSharedBytes::Copy({data, size});
  try {
    const TCompoundFile storage = TCompoundFile::Open(bytes);
    for (const TStorageElement& element : storage.RootElements()) {
      try {
        TCompoundStream stream = storage.OpenStream(element.Name);
        std::uint8_t buffer[509];
        std::size_t total = 0;
        while (const std::size_t n = stream.Read(buffer))
          total += n;
        if (total != stream.Bytes().size())
          __builtin_trap();
        stream.Seek(-static_cast<std::int64_t>(total));
      } catch (const EOleError&) {
      }
    }
  } catch (const EOleError&) {
  }
  // Salvage never throws and never gives more than the file holds.
  for (std::size_t pick = 0; pick < 4; ++pick) {
    const auto salvaged = SalvageStream(bytes, [&](const std::vector<std::string>& names) {
      return pick < names.size() ? std::optional<std::size_t>(pick) : std::nullopt;
    });
    if (salvaged && salvaged->Bytes.size() > size)
      __builtin_trap();
  }
  return 0;
}
