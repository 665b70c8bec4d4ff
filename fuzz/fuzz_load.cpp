// Fuzz target: a workbook opened and loaded as `bifflens-cli stats` and the
// viewer's open do it, nothing described: from memory (a compound file or a
// bare BIFF stream), with every event assigned, then from a file (an
// in-memory one) read whole while it is decoded or a small window at a
// time. Any exception must be one of the project's own.
// An encrypted input is opened with Excel's default password when it has
// that one, else with the one password the handler offers once ("bifflens",
// as the seeds and the encrypted corpus use it), else listed as locked: the
// decrypting paths see fuzzed FILEPASS records and fuzzed encrypted data.
#include "platform/Errors.h"
#include "xls/MSExcel.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Attach(TMSExcel& reader, std::size_t& seen)
{
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader header,
                        std::span<const std::uint8_t> bytes) {
    if (bytes.size() > header.Length)
      __builtin_trap();
    if (!bytes.empty())
      seen += bytes.front();
  };
  reader.OnStreamRecord = [&](const TStreamRecord& listed) {
    if (listed.Data.size() > listed.Header.Length)
      __builtin_trap();
  };
  reader.OnRowHeight = [](TCustomSpreadSheetFile&, int, int, int) {};
  reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    cancel = request.Refused > 0;
    password.Assign("bifflens");
  };
}

/// The bytes as a file that lives in memory, or an empty name when the
/// system gives none.
class TMemoryFile {
public:
  explicit TMemoryFile(std::span<const std::uint8_t> bytes) : FDescriptor(memfd_create("fuzz", 0))
  {
    if (FDescriptor < 0)
      return;
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = write(FDescriptor, bytes.data() + written, bytes.size() - written);
      if (n <= 0)
        return;
      written += static_cast<std::size_t>(n);
    }
    FName = "/proc/self/fd/" + std::to_string(FDescriptor);
  }
  ~TMemoryFile()
  {
    if (FDescriptor >= 0)
      close(FDescriptor);
  }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;
  const std::string& Name() const { return FName; }

private:
  int FDescriptor;
  std::string FName;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMSExcel reader;
  std::size_t seen = 0;
  Attach(reader, seen);
  const std::span<const std::uint8_t> input(data, size);
  try {
    reader.LoadFromMemory(input);
  } catch (const EBiffLensError&) {
  }
  // From a file: read whole while it is decoded, as the viewer opens it, or
  // a small window at a time with no record kept, as `stats` reads it (the
  // input's last byte picks, so each input always takes the same path).
  const TMemoryFile file(input);
  if (!file.Name().empty()) {
    const bool whole = size > 0 && (data[size - 1] & 1) != 0;
    if (!whole)
      reader.OnStreamRecord = nullptr;
    reader.KeepStreamBuffer = whole;
    reader.StreamWindowBytes = 4096;
    try {
      reader.LoadFromFile(file.Name());
    } catch (const EBiffLensError&) {
    }
  }
  return seen == 1 ? 1 : 0;
}
