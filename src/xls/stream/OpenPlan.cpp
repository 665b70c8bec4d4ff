#include "xls/stream/OpenPlan.h"

#include "platform/FileReader.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextFormat.h"
#include "xls/XlsMessages.h"
#include "xls/stream/StreamFill.h"
#include "xls/stream/StreamWindow.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kCompoundHeaderSize = 512;

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

const TStorageElement& ChooseWorkbook(const TCompoundFile& storage)
{
  const TStorageElement* chosen = nullptr;
  for (const TStorageElement& element : storage.RootElements()) {
    const std::string upper = AsciiUpper(element.Name);
    if (upper == "WORKBOOK")
      chosen = &element;
    else if (upper == "BOOK" && !chosen)
      chosen = &element;
  }
  if (!chosen)
    throw EBiffLensError(kMsgNotValidWorkbook);
  return *chosen;
}

TWorkbookStream OpenWorkbookFile(const std::string& fileName, const TOpenOptions& options)
{
  errno = 0;
  auto file = TFileReader::Open(fileName);
  if (!file)
    CannotOpen(fileName);
  // What tells a compound file: its header.
  std::array<std::uint8_t, kCompoundHeaderSize> header{};
  std::size_t read = 0;
  if (!file->ReadAt(0, header, read))
    CannotOpen(fileName);
  if (!IsCompoundFile(std::span(header).first(read)))
    return InMemory(ReadWhole(*file), false, std::string());

  const TCompoundFile storage = TCompoundFile::OpenReader(file);
  std::string name = ChooseWorkbook(storage).Name;
  auto runs = storage.StreamRuns(name);
  if (runs.empty()) {
    // A small stream lives in the mini stream: read at once.
    TSharedBytes whole = storage.OpenStream(name).SharedBytes();
    return InMemory(std::move(whole), true, std::move(name));
  }
  const std::uint64_t size = runs.back().StreamOffset + runs.back().Length;
  TWorkbookStream stream;
  stream.Compound = true;
  stream.StreamName = std::move(name);
  if (options.KeepWhole) {
    // Only the stream's own sectors are read, straight into one block (no
    // copy of the rest of the file, no sectors moved together afterwards),
    // while the loop decodes what has arrived.
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    std::uint8_t* bytes = block.get();
    stream.Whole = TSharedBytes(std::move(block), static_cast<std::size_t>(size));
    stream.Source = std::make_unique<TStreamFill>(std::move(file), std::move(runs), bytes,
                                                  static_cast<std::size_t>(size));
  } else {
    stream.Source =
        std::make_unique<TStreamWindow>(std::move(file), std::move(runs), size, options.WindowBytes);
  }
  return stream;
}

TWorkbookStream OpenWorkbookBytes(TSharedBytes bytes, bool allowBare)
{
  if (!IsCompoundFile(bytes) && allowBare)
    return InMemory(std::move(bytes), false, std::string());
  TCompoundFile storage = TCompoundFile::Open(std::move(bytes));
  std::string name = ChooseWorkbook(storage).Name;
  // The compound file is not needed after this: its bytes may be reused.
  TSharedBytes whole = std::move(storage).TakeStream(name).SharedBytes();
  return InMemory(std::move(whole), true, std::move(name));
}
