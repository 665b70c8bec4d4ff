#include "xls/stream/OpenPlan.h"

#include "platform/CompoundFileMessages.h"
#include "platform/CompoundSalvage.h"
#include "platform/FileReader.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextFormat.h"
#include "xls/XlsMessages.h"
#include "xls/stream/RecordReader.h"
#include "xls/stream/StreamFill.h"
#include "xls/stream/StreamWindow.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kCompoundHeaderSize = 512;
// The most a pipe or device is read: far beyond any workbook, and a bound
// for one that never ends.
constexpr std::size_t kMostStreamedBytes = std::size_t{1} << 30;

[[noreturn]] void CannotOpen(const std::string& fileName)
{
  throw EBiffLensError(FormatMessage(kMsgCannotOpenFile, fileName, std::strerror(errno)));
}

TWorkbookStream InMemory(TSharedBytes whole, bool compound, std::string name)
{
  TWorkbookStream stream;
  stream.Compound = compound;
  stream.StreamName = std::move(name);
  stream.Whole = std::move(whole);
  stream.Source = std::make_unique<TMemoryStreamSource>(stream.Whole);
  return stream;
}

/// The name of the workbook stream of a sound compound file; throws
/// kMsgNotValidWorkbook when it has none.
std::string WorkbookName(const TCompoundFile& storage)
{
  std::vector<std::string> names;
  for (const TStorageElement& element : storage.RootElements())
    names.push_back(element.Name);
  const std::optional<std::size_t> chosen = ChooseWorkbook(names);
  if (!chosen)
    throw EBiffLensError(kMsgNotValidWorkbook);
  return names[*chosen];
}

/// What a tolerant reading finds of a damaged file's workbook stream; the
/// damage itself when it finds no record. The load then fails with every
/// damage the reading met (the strict reader's own when it met none it
/// counts: the file may be damaged where that stream does not lie).
TWorkbookStream Salvaged(std::span<const std::uint8_t> file, const EOleError& damage)
{
  auto salvaged = SalvageStream(file, ChooseWorkbook);
  if (!salvaged || salvaged->Bytes.size() < TRecordReader::kHeaderSize)
    throw damage;
  TWorkbookStream stream = InMemory(std::move(salvaged->Bytes), true, std::move(salvaged->Name));
  stream.Damage = salvaged->Damage.empty() ? damage
                                           : EOleError(kStgDocFileCorrupt, CfbDamagedMessage(salvaged->Damage));
  return stream;
}

TSharedBytes ReadWhole(const TFileReader& file)
{
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(file.Size()));
  std::size_t read = 0;
  errno = 0;
  if (!file.ReadAt(0, std::span(block.get(), static_cast<std::size_t>(file.Size())), read))
    CannotOpen(file.Path());
  return TSharedBytes(std::move(block), read);
}

}  // namespace

std::optional<std::size_t> ChooseWorkbook(const std::vector<std::string>& names)
{
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string upper = AsciiUpper(names[i]);
    if (upper == "WORKBOOK")
      chosen = i;
    else if (upper == "BOOK" && !chosen)
      chosen = i;
  }
  return chosen;
}

TWorkbookStream OpenWorkbookFile(const std::string& fileName, const TOpenOptions& options)
{
  errno = 0;
  auto file = TFileReader::Open(fileName);
  if (!file && errno == EINVAL) {
    // Not a regular file (a pipe, standard input, a device): read whole.
    TSharedBytes bytes;
    if (!ReadWholeStream(fileName, kMostStreamedBytes, bytes))
      CannotOpen(fileName);
    return OpenWorkbookBytes(bytes, true);
  }
  if (!file)
    CannotOpen(fileName);
  // What tells a compound file: its header.
  std::array<std::uint8_t, kCompoundHeaderSize> header{};
  std::size_t read = 0;
  if (!file->ReadAt(0, header, read))
    CannotOpen(fileName);
  if (!IsCompoundFile(std::span(header).first(read)))
    return InMemory(ReadWhole(*file), false, std::string());

  TWorkbookStream stream;
  stream.Compound = true;
  const auto damage = ReadOrReportDamage([&] {
    const TCompoundFile storage = TCompoundFile::OpenReader(file);
    stream.StreamName = WorkbookName(storage);
    auto runs = storage.StreamRuns(stream.StreamName);
    if (runs.empty()) {
      // A small stream lives in the mini stream: read at once.
      stream.Whole = storage.OpenStream(stream.StreamName).SharedBytes();
      stream.Source = std::make_unique<TMemoryStreamSource>(stream.Whole);
      return;
    }
    const std::uint64_t size = runs.back().StreamOffset + runs.back().Length;
    if (options.KeepWhole) {
      // Only the stream's own sectors are read, straight into one block (no
      // copy of the rest of the file, no sectors moved together afterwards),
      // while the loop decodes what has arrived.
      auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
      std::uint8_t* bytes = block.get();
      stream.Whole = TSharedBytes(std::move(block), static_cast<std::size_t>(size));
      stream.Source = std::make_unique<TStreamFill>(file, std::move(runs), bytes,
                                                    static_cast<std::size_t>(size));
    } else {
      stream.Source = std::make_unique<TStreamWindow>(file, std::move(runs), size, options.WindowBytes);
    }
  });
  if (!damage)
    return stream;
  return Salvaged(ReadWhole(*file), *damage);
}

TWorkbookStream OpenWorkbookBytes(std::span<const std::uint8_t> bytes, bool allowBare)
{
  if (!IsCompoundFile(bytes) && allowBare)
    return InMemory(TSharedBytes::Copy(bytes), false, std::string());
  TWorkbookStream stream;
  const auto damage = ReadOrReportDamage([&] {
    TCompoundFile storage = TCompoundFile::Open(TSharedBytes::Copy(bytes));
    std::string name = WorkbookName(storage);
    // The compound file is not needed after this: its bytes may be reused.
    TSharedBytes whole = std::move(storage).TakeStream(name).SharedBytes();
    stream = InMemory(std::move(whole), true, std::move(name));
  });
  if (!damage)
    return stream;
  return Salvaged(bytes, *damage);
}
