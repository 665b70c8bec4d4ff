#include "xls/MSExcel.h"

#include "platform/AsciiText.h"
#include "platform/CompoundFile.h"
#include "platform/CompoundFileMessages.h"
#include "platform/FileReader.h"
#include "platform/Errors.h"
#include "xls/RecordCodes.h"
#include "xls/XlsMessages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// [MS-XLS] record length limits: 2080 data bytes before BIFF8, 8224 from it on.
constexpr std::uint32_t kLimitBiff5 = 2080;
constexpr std::uint32_t kLimitBiff8 = 8224;
constexpr std::size_t kHeaderSize = 4;
// A 1904-system serial plus this is the same day in the 1900 system.
constexpr double kDate1904Offset = 1462.0;

// The file's byte order is little-endian: one load where the host's is too
// (the compiler does not always join byte-by-byte reads into one).
template <typename T>
T LittleEndian(std::span<const std::uint8_t> d, std::size_t at)
{
  std::array<std::uint8_t, sizeof(T)> bytes;
  std::memcpy(bytes.data(), d.subspan(at, sizeof(T)).data(), sizeof(T));
  if constexpr (std::endian::native == std::endian::big)
    std::reverse(bytes.begin(), bytes.end());
  return std::bit_cast<T>(bytes);
}

std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at)
{
  return LittleEndian<std::uint16_t>(d, at);
}

std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at)
{
  return LittleEndian<std::uint32_t>(d, at);
}

double F64(std::span<const std::uint8_t> d, std::size_t at)
{
  return std::bit_cast<double>(LittleEndian<std::uint64_t>(d, at));
}

/// The bytes from `at` on, at most `count` of them; empty when `at` lies past
/// the end. Decoders take text through this, so a length from the file never
/// carries a read past the record.
std::span<const std::uint8_t> Slice(std::span<const std::uint8_t> d, std::size_t at,
                                    std::size_t count)
{
  if (at >= d.size())
    return {};
  return d.subspan(at, std::min(count, d.size() - at));
}

std::string Hex2(unsigned value)
{
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {kHex[(value >> 4) & 0x0F], kHex[value & 0x0F]};
}

std::string Fill(const char* pattern, const std::string& a)
{
  std::string text(pattern);
  text.replace(text.find("%s"), 2, a);
  return text;
}

std::string Fill(const char* pattern, const std::string& a, const std::string& b)
{
  return Fill(Fill(pattern, a).c_str(), b);
}

TAlignment Biff2Alignment(std::span<const std::uint8_t> data)
{
  // Attribute byte 2 of a BIFF2 cell: bits 0-2 are the horizontal alignment.
  switch (data[6] & 0x03) {
  case 3: return TAlignment::taRightJustify;
  case 2: return TAlignment::taCenter;
  default: return TAlignment::taLeftJustify;
  }
}

TSharedBytes ReadWholeFile(const std::string& fileName)
{
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  TSharedBytes bytes;
  if (!file || !ReadAllBytes(file.get(), bytes))
    throw EBiffLensError(Fill(kMsgCannotOpenFile, fileName, std::strerror(errno)));
  return bytes;
}

struct TBuiltInFormat {
  int Index;
  const char* Text;
};

constexpr std::array<TBuiltInFormat, 36> kBuiltInFormats{{
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "($#,##0_);($#,##0)"},
    {6, "($#,##0_);[Red]($#,##0)"},
    {7, "($#,##0.00_);($#,##0.00)"},
    {8, "($#,##0.00_);[Red]($#,##0.00)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},  // escaped: "??/" would be a trigraph
    {14, "m/d/yy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yy h:mm"},
    {37, "(#,##0_);(#,##0)"},
    {38, "(#,##0_);[Red](#,##0)"},
    {39, "(#,##0.00_);(#,##0.00)"},
    {40, "(#,##0.00_);[Red](#,##0.00)"},
    {41, "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"},
    {42, "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
    {43, "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
    {44, "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
}};

}  // namespace

const char* ExcelVersionName(TExcelVersion version)
{
  switch (version) {
  case TExcelVersion::evUnknown: return "evUnknown";
  case TExcelVersion::evExcel2: return "evExcel2";
  case TExcelVersion::evExcel3: return "evExcel3";
  case TExcelVersion::evExcel4: return "evExcel4";
  case TExcelVersion::evExcel5: return "evExcel5";
  case TExcelVersion::evExcel7: return "evExcel7";
  case TExcelVersion::evExcel8: return "evExcel8";
  case TExcelVersion::evExcel9: return "evExcel9";
  }
  return "evUnknown";
}

/// One record of the workbook stream: its header, where the header stands,
/// and the data bytes that exist (fewer than the length when the stream ends
/// inside the record).
struct TMSExcel::TRecord {
  TBIFFRecordHeader Header;
  std::size_t Offset = 0;
  std::span<const std::uint8_t> Data;
  bool Truncated() const { return Data.size() < Header.Length; }
};

namespace {

/// Stream bytes [from, from + out.size()) from `file`, run by run. A file
/// shortened since it was opened fails the load.
void ReadStreamRuns(const TFileReader& file, const std::vector<TCompoundFile::TStreamRun>& runs,
                    std::uint64_t from, std::span<std::uint8_t> out)
{
  auto run = std::upper_bound(runs.begin(), runs.end(), from,
                              [](std::uint64_t at, const TCompoundFile::TStreamRun& r) {
                                return at < r.StreamOffset;
                              });
  while (!out.empty()) {
    if (run == runs.begin())
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    const TCompoundFile::TStreamRun& r = *std::prev(run);
    const std::uint64_t within = from - r.StreamOffset;
    if (within >= r.Length)
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), r.Length - within));
    std::size_t read = 0;
    if (!file.ReadAt(r.FileOffset + within, out.first(piece), read) || read < piece)
      throw EOleError(kStgReadFault, CfbCannotReadMessage(file.Path()));
    out = out.subspan(piece);
    from += piece;
    if (from == r.StreamOffset + r.Length)
      ++run;
  }
}

}  // namespace

/// The workbook stream read from its file a window at a time, for a load
/// that keeps no record after raising it. Bytes handed out stay where they
/// are until Release, which the loop calls between top-level records (a
/// record's CONTINUE and STRING records are read while it is decoded, so a
/// window may have to hold several). Released windows are reused, so the
/// load touches a few windows' worth of memory, not the whole stream.
class TMSExcel::TStreamWindow {
public:
  TStreamWindow(std::shared_ptr<const TFileReader> file,
                std::vector<TCompoundFile::TStreamRun> runs, std::uint64_t size,
                std::size_t windowBytes)
      : FFile(std::move(file)), FRuns(std::move(runs)), FSize(size),
        FWindowBytes(std::max<std::size_t>(windowBytes, 1))
  {
  }
  std::uint64_t Size() const { return FSize; }

  /// Stream bytes from `from` (at most the stream's size) on, holding at
  /// least `count` of them or all up to the end; `base` receives the stream
  /// offset of the span's first byte.
  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count, std::uint64_t& base)
  {
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, FSize - from));
    if (!Holds(FCurrent, from, count)) {
      TSegment next = TakeSegment(std::max(FWindowBytes, count));
      next.Base = from;
      // The part already read moves over; the rest comes from the file.
      std::size_t have = 0;
      if (FCurrent.Data && from >= FCurrent.Base && from - FCurrent.Base < FCurrent.Filled) {
        have = FCurrent.Filled - static_cast<std::size_t>(from - FCurrent.Base);
        std::memcpy(next.Data.get(), FCurrent.Data.get() + (from - FCurrent.Base), have);
      }
      const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(next.Capacity, FSize - from));
      Read(from + have, std::span(next.Data.get() + have, wanted - have));
      next.Filled = wanted;
      if (FCurrent.Data)
        FHeld.push_back(std::move(FCurrent));
      FCurrent = std::move(next);
    }
    base = FCurrent.Base;
    return {FCurrent.Data.get(), FCurrent.Filled};
  }

  /// Nothing handed out before is used any more: superseded windows are
  /// kept for reuse (two at most, the rest freed).
  void Release()
  {
    if (FHeld.empty())
      return;
    for (TSegment& held : FHeld)
      if (FSpare.size() < 2)
        FSpare.push_back(std::move(held));
    FHeld.clear();
  }

private:
  struct TSegment {
    std::unique_ptr<std::uint8_t[]> Data;
    std::size_t Capacity = 0;
    std::uint64_t Base = 0;
    std::size_t Filled = 0;
  };

  static bool Holds(const TSegment& segment, std::uint64_t from, std::size_t count)
  {
    return segment.Data && from >= segment.Base && from - segment.Base <= segment.Filled &&
           count <= segment.Filled - (from - segment.Base);
  }

  TSegment TakeSegment(std::size_t capacity)
  {
    for (auto spare = FSpare.begin(); spare != FSpare.end(); ++spare)
      if (spare->Capacity >= capacity) {
        TSegment segment = std::move(*spare);
        FSpare.erase(spare);
        return segment;
      }
    TSegment segment;
    segment.Data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    segment.Capacity = capacity;
    return segment;
  }

  void Read(std::uint64_t from, std::span<std::uint8_t> out) const
  {
    ReadStreamRuns(*FFile, FRuns, from, out);
  }

  std::shared_ptr<const TFileReader> FFile;
  std::vector<TCompoundFile::TStreamRun> FRuns;
  std::uint64_t FSize;
  std::size_t FWindowBytes;
  TSegment FCurrent;
  std::vector<TSegment> FHeld;
  std::vector<TSegment> FSpare;
};

/// The workbook stream read into one block, in pieces, by a thread of its
/// own while the record loop decodes the part already there: the read and
/// the mapping of the block's pages then overlap the decoding instead of
/// coming before it. (The pages fault in inside the reads: prefaulting them
/// here contends with the loop's own prefaulting, and measured slower.)
/// The loop reaches bytes through Cover, which waits for them; Finish waits
/// for the whole block, so a load fails on a read error anywhere in the
/// stream, as when the stream was read before the loop.
class TMSExcel::TStreamFill {
public:
  TStreamFill(std::shared_ptr<const TFileReader> file,
              std::vector<TCompoundFile::TStreamRun> runs, std::uint8_t* block, std::size_t size)
      : FFile(std::move(file)), FRuns(std::move(runs)), FBlock(block), FSize(size)
  {
    try {
      FThread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      Run();  // no thread to be had: the block is read here and now
    }
  }
  ~TStreamFill()
  {
    // A load that ends early (an error, a handler's exception) stops the
    // reading at the next piece; the block outlives the thread.
    FStop.store(true, std::memory_order_relaxed);
    if (FThread.joinable())
      FThread.join();
  }
  TStreamFill(const TStreamFill&) = delete;
  TStreamFill& operator=(const TStreamFill&) = delete;
  std::size_t Size() const { return FSize; }

  /// The block's bytes from its start on: at least `end` of them (at most
  /// the block's size), waiting for the reading to bring them. Throws the
  /// reading's error when it failed before them.
  std::span<const std::uint8_t> Cover(std::size_t end)
  {
    end = std::min(end, FSize);
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [&] { return FFilled >= end || FDone; });
    if (FFilled < end)
      std::rethrow_exception(FError);
    return {FBlock, FFilled};
  }
  /// Waits for the whole block; throws the reading's error.
  void Finish()
  {
    {
      std::unique_lock lock(FLock);
      FChanged.wait(lock, [&] { return FDone; });
      if (FError)
        std::rethrow_exception(FError);
    }
    if (FThread.joinable())
      FThread.join();
  }

private:
  void Run()
  {
    // A small first piece, so the loop starts soon; then larger ones.
    constexpr std::size_t kFirstPiece = std::size_t{64} << 10;
    constexpr std::size_t kLargestPiece = std::size_t{1} << 20;
    std::exception_ptr error;
    try {
      for (std::size_t at = 0; at < FSize && !FStop.load(std::memory_order_relaxed);) {
        const std::size_t piece = std::min(FSize - at, std::clamp(at, kFirstPiece, kLargestPiece));
        ReadStreamRuns(*FFile, FRuns, at, std::span(FBlock + at, piece));
        at += piece;
        const std::lock_guard lock(FLock);
        FFilled = at;
        FChanged.notify_all();
      }
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(FLock);
    FError = error;
    if (!FError && FFilled < FSize)
      FError = std::make_exception_ptr(std::logic_error("stream reading stopped"));
    FDone = true;
    FChanged.notify_all();
  }

  std::shared_ptr<const TFileReader> FFile;
  std::vector<TCompoundFile::TStreamRun> FRuns;
  std::uint8_t* FBlock;
  std::size_t FSize;
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::condition_variable FChanged;
  std::size_t FFilled = 0;  // under FLock, as are the two below
  bool FDone = false;
  std::exception_ptr FError;
  std::thread FThread;  // last: it starts once everything above is set
};

/// The record source over the workbook stream, whole in memory or read a
/// window at a time. The loop and the decoders' follow-on reads (CONTINUE,
/// STRING) share it.
class TMSExcel::TRecordSource {
public:
  explicit TRecordSource(std::span<const std::uint8_t> stream)
      : FBytes(stream), FSize(stream.size())
  {
  }
  explicit TRecordSource(TStreamWindow& window) : FWindow(&window), FSize(window.Size()) {}
  explicit TRecordSource(TStreamFill& fill) : FFill(&fill), FSize(fill.Size()) {}
  std::size_t Position() const { return FPosition; }
  std::size_t Size() const { return FSize; }
  /// Reads the record at the position. False (and nothing consumed) when
  /// fewer than 4 bytes are left for a header.
  bool Next(TRecord& record)
  {
    if (!Peek(record))
      return false;
    FPosition = record.Offset + kHeaderSize + record.Data.size();
    return true;
  }
  bool Peek(TRecord& record)
  {
    if (FSize - FPosition < kHeaderSize)
      return false;
    // A position before FBase wraps to a huge offset: nothing at hand.
    std::size_t offset = FPosition - FBase;
    std::size_t atHand = offset <= FBytes.size() ? FBytes.size() - offset : 0;
    if (atHand < kHeaderSize)
      offset = Refill(FPosition, kHeaderSize, atHand);
    record.Offset = FPosition;
    // Both header words in one read and one store: a header written half by
    // half and then read whole (RecordHeader) would wait for both halves.
    const std::uint32_t words = U32(FBytes, offset);
    record.Header = TBIFFRecordHeader{static_cast<std::uint16_t>(words),
                                      static_cast<std::uint16_t>(words >> 16)};
    // Header and data in one piece, cut short only by the stream's end.
    const std::size_t whole =
        std::min<std::size_t>(kHeaderSize + record.Header.Length, FSize - FPosition);
    if (atHand < whole)
      offset = Refill(FPosition, whole, atHand);
    record.Data = {FBytes.data() + offset + kHeaderSize, whole - kHeaderSize};
    return true;
  }
  /// Moves to an absolute position; past the end means nothing more to read.
  void Seek(std::size_t position) { FPosition = std::min(position, FSize); }
  /// Between top-level records: no record read before is used any more.
  void Release()
  {
    if (FRefilled) {
      FRefilled = false;
      FWindow->Release();
    }
  }

private:
  /// Brings stream bytes [at, at + count) to hand; returns where `at` is in
  /// FBytes and sets `atHand` to the bytes from there on. Only a window
  /// lacks any (a whole stream is always at hand, and counts stop at its
  /// end).
  std::size_t Refill(std::size_t at, std::size_t count, std::size_t& atHand)
  {
    if (FFill) {
      // The block fills from its start: only the end moves.
      FBytes = FFill->Cover(at + count);
      atHand = FBytes.size() - std::min(at, FBytes.size());
      return at;
    }
    if (!FWindow)
      throw std::logic_error("record source: bytes outside the stream");
    std::uint64_t base = 0;
    FBytes = FWindow->Cover(at, count, base);
    FBase = static_cast<std::size_t>(base);
    FRefilled = true;
    atHand = FBytes.size() - (at - FBase);
    return at - FBase;
  }

  std::span<const std::uint8_t> FBytes;  // stream bytes from FBase on
  std::size_t FBase = 0;
  TStreamWindow* FWindow = nullptr;
  TStreamFill* FFill = nullptr;
  bool FRefilled = false;  // the window moved since the last Release
  std::size_t FSize = 0;
  std::size_t FPosition = 0;
};

/// Label texts by the bytes they come from: open addressing over a table of
/// a power-of-two size, as a lookup per label cell must cost little. A key
/// is a word of what the text depends on besides its bytes (`head`) and the
/// record's bytes, read where they lie. A slot holds part of the key's hash
/// beside where the key is kept, so a probe that misses touches nothing
/// else; a kept key is its head, its length and its bytes, together in one
/// buffer. The texts are in a list of their own that cells may keep
/// (TextOwner) after the table is gone.
class TMSExcel::TLabelTable {
public:
  static constexpr std::size_t kLongestKey = 300;
  static constexpr std::size_t kMostKept = std::size_t{1} << 16;

  /// Eight bytes a step, then mixed so that the low bits, which pick the
  /// slot, depend on every byte.
  static std::uint64_t Hash(std::uint64_t head, std::span<const std::uint8_t> raw)
  {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = (head ^ raw.size()) * kMul;
    std::size_t i = 0;
    for (; i + 8 <= raw.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, raw.data() + i, 8);
      hash = (hash ^ word) * kMul;
      hash ^= hash >> 32;
    }
    if (i < raw.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, raw.data() + i, raw.size() - i);
      hash = (hash ^ word) * kMul;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
  }
  const TVariant* Find(std::uint64_t head, std::span<const std::uint8_t> raw,
                       std::uint64_t hash) const
  {
    if (FSlots.empty())
      return nullptr;
    const std::uint64_t tag = hash & kTagMask;
    for (std::size_t slot = hash & (FSlots.size() - 1);; slot = (slot + 1) & (FSlots.size() - 1)) {
      const std::uint64_t held = FSlots[slot];
      if (held == 0)
        return nullptr;
      if ((held & kTagMask) != tag)
        continue;
      const std::uint8_t* kept = FKeys.data() + 8 * ((held & ~kTagMask) - 1);
      TKeyHeader header;
      std::memcpy(&header, kept, sizeof header);
      if (header.Head == head && header.Length == raw.size() &&
          (raw.empty() || std::memcmp(kept + sizeof header, raw.data(), raw.size()) == 0))
        return &(*FTexts)[header.Text];
    }
  }
  bool Full() const { return FTexts->size() >= kMostKept; }
  /// Keeps `value` for a key not yet kept, in a table that is not full.
  const TVariant& Add(std::uint64_t head, std::span<const std::uint8_t> raw, std::uint64_t hash,
                      TVariant&& value)
  {
    if (2 * (FTexts->size() + 1) > FSlots.size())
      Grow();
    const std::size_t at = FKeys.size();
    const TKeyHeader header{head, static_cast<std::uint32_t>(raw.size()),
                            static_cast<std::uint32_t>(FTexts->size())};
    // Keys start on 8-byte steps, so a slot can count in them.
    FKeys.resize(at + (sizeof header + raw.size() + 7) / 8 * 8);
    std::memcpy(FKeys.data() + at, &header, sizeof header);
    if (!raw.empty())
      std::memcpy(FKeys.data() + at + sizeof header, raw.data(), raw.size());
    FTexts->push_back(std::move(value));
    Place(at, hash);
    return FTexts->back();
  }
  /// What keeps the texts Find and Add return: a new list for each table,
  /// so cells of an earlier load keep theirs.
  const std::shared_ptr<const void>& TextOwner() const { return FTextOwner; }

private:
  // The hash's high half is kept in a slot; where the key is fits the low
  // half (at most kMostKept keys of at most 8 + kLongestKey bytes).
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  static_assert(kMostKept * (sizeof(std::uint64_t) * 2 + kLongestKey) / 8 < (std::uint64_t{1} << 32));
  struct TKeyHeader {
    std::uint64_t Head;
    std::uint32_t Length;  // of the bytes after the header
    std::uint32_t Text;    // index in FTexts
  };
  void Grow()
  {
    FSlots.assign(std::max<std::size_t>(1024, 2 * FSlots.size()), 0);
    for (std::size_t at = 0; at < FKeys.size();) {
      TKeyHeader header;
      std::memcpy(&header, FKeys.data() + at, sizeof header);
      Place(at, Hash(header.Head, std::span(FKeys.data() + at + sizeof header, header.Length)));
      at += (sizeof header + header.Length + 7) / 8 * 8;
    }
  }
  void Place(std::size_t at, std::uint64_t hash)
  {
    std::size_t slot = hash & (FSlots.size() - 1);
    while (FSlots[slot] != 0)
      slot = (slot + 1) & (FSlots.size() - 1);
    FSlots[slot] = (hash & kTagMask) | (at / 8 + 1);
  }

  // Keys and texts are reached by offset and index, so their growing moves
  // nothing a caller holds past the next call (a text's block stays put).
  std::vector<std::uint8_t> FKeys;
  std::vector<std::uint64_t> FSlots;  // hash tag | key offset / 8 + 1; 0 for a free slot
  std::shared_ptr<std::vector<TVariant>> FTexts = std::make_shared<std::vector<TVariant>>();
  std::shared_ptr<const void> FTextOwner = FTexts;
};

TMSExcel::TMSExcel() = default;
TMSExcel::~TMSExcel() = default;

void TMSExcel::Clear()
{
  TSpreadSheetFile::Clear();
  FXFs.clear();
  FFormats.clear();
  FFormatIsDate.clear();
  FNames.clear();
  LoadBuiltInFormats();
  SheetIndex = -1;
  FSheetNames.clear();
  FSharedStrings = std::make_shared<std::vector<TVariant>>();
  FStringTableOwner = FSharedStrings;
  // Fonts belong to one workbook like the other lists; keeping them across
  // loads would only grow the list and mix fonts of different files.
  FFonts.clear();
  FDate1904 = false;
  FFormat2Count = 0;
  FDecoder.SetCodePage(1252);
  FRecordCount = 0;
  FRecordOffset = 0;
  FForeignDepth = 0;
}

void TMSExcel::LoadBuiltInFormats()
{
  for (const auto& format : kBuiltInFormats)
    AddFormat(true, format.Text, format.Index, -1);
}

void TMSExcel::AddFormat(bool isFormatText, const std::string& text, int index, int fontIndex)
{
  if (!isFormatText) {
    FXFs.push_back(TXLSFormat{std::string(), index, fontIndex, false});
    return;
  }
  if (index < 0)
    throw EListError(index);
  const auto at = static_cast<std::size_t>(index);
  if (FFormats.size() <= at) {
    FFormats.resize(at + 1);
    FFormatIsDate.resize(at + 1, 0);
  }
  FFormats[at] = text;
  FFormatIsDate[at] = IsDateFormat(AsciiLower(text));
}

bool TMSExcel::IsDateFormat(std::string_view lowerText)
{
  return lowerText.find("dd") != std::string_view::npos ||
         lowerText.find("mm") != std::string_view::npos ||
         lowerText.find("yy") != std::string_view::npos;
}

std::string TMSExcel::ErrorCodeText(int code)
{
  switch (code) {
  case 0x00: return "#NULL!";
  case 0x07: return "#DIV/0!";
  case 0x0F: return "#VALUE!";
  case 0x17: return "#REF!";
  case 0x1D: return "#NAME?";
  case 0x24: return "#NUM!";
  case 0x2A: return "#N/A";
  default: return kMsgUnknownErrorCode + std::to_string(code);
  }
}

double TMSExcel::DecodeRK(std::uint32_t rk)
{
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
  }
  // [MS-XLS] 2.5.217 RkNumber: fX100 means the value was multiplied by 100.
  // Dividing gives the correctly rounded quotient.
  if (rk & 0x01)
    value /= 100.0;
  return value;
}

std::uint32_t TMSExcel::RecordLimit() const
{
  return IsBiff8() ? kLimitBiff8 : kLimitBiff5;
}

void TMSExcel::LoadFromFile(const std::string& fileName)
{
  TSpreadSheetFile::LoadFromFile(fileName);
  if (LoadByRuns(fileName))
    return;
  LoadBytes(ReadWholeFile(fileName), true);
}

bool TMSExcel::LoadByRuns(const std::string& fileName)
{
  errno = 0;
  auto file = TFileReader::Open(fileName);
  if (!file)
    throw EBiffLensError(Fill(kMsgCannotOpenFile, fileName, std::strerror(errno)));
  // What the whole read would tell a compound file by: its header.
  std::array<std::uint8_t, 512> header{};
  std::size_t read = 0;
  if (!file->ReadAt(0, header, read))
    throw EBiffLensError(Fill(kMsgCannotOpenFile, fileName, std::strerror(errno)));
  if (!IsCompoundFile(std::span(header).first(read)))
    return false;  // a bare stream: read whole
  const TLoadScope scope(*this);
  TCompoundFile storage = TCompoundFile::OpenReader(file);
  const std::string name = ChooseWorkbook(storage);
  auto runs = storage.StreamRuns(name);
  if (runs.empty()) {
    // A small stream lives in the mini stream; the whole file is small
    // enough to read then.
    return false;
  }
  const std::uint64_t size = runs.back().StreamOffset + runs.back().Length;
  if (KeepStreamBuffer) {
    // Only the stream's own sectors are read, straight into one block (no
    // copy of the rest of the file, no sectors moved together afterwards),
    // while the loop decodes what has arrived.
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    std::uint8_t* bytes = block.get();
    FStream = TSharedBytes(std::move(block), static_cast<std::size_t>(size));
    TStreamFill fill(std::move(file), std::move(runs), bytes, static_cast<std::size_t>(size));
    TRecordSource source(fill);
    RunCompoundLoop(source);
    fill.Finish();
    return true;
  }
  TStreamWindow window(std::move(file), std::move(runs), size, StreamWindowBytes);
  TRecordSource source(window);
  RunCompoundLoop(source);
  return true;
}

void TMSExcel::LoadFromStream(std::span<const std::uint8_t> bytes)
{
  TSpreadSheetFile::LoadFromStream(bytes);
  LoadBytes(TSharedBytes::Copy(bytes), false);
}

void TMSExcel::LoadFromMemory(std::span<const std::uint8_t> bytes)
{
  TSpreadSheetFile::LoadFromStream(bytes);
  LoadBytes(TSharedBytes::Copy(bytes), true);
}

TMSExcel::TLoadScope::TLoadScope(TMSExcel& reader) : FReader(reader)
{
  FReader.FStream = {};
}

TMSExcel::TLoadScope::~TLoadScope()
{
  // The label texts are for this load only; the cells keep their own.
  FReader.FLabels.reset();
}

void TMSExcel::LoadBytes(TSharedBytes file, bool allowBare)
{
  const TLoadScope scope(*this);
  if (IsCompoundFile(file) || !allowBare) {
    ReadWorkbookStorage(TCompoundFile::Open(std::move(file)));
    // Only the workbook stream stays: a view of the file's bytes when its
    // sectors lie in one run or could be slid together in place, else a
    // block of its own, the file's bytes gone.
    TRecordSource source(FStream);
    RunCompoundLoop(source);
    return;
  }
  FStream = std::move(file);
  ReadBIFFStream();
}

std::string TMSExcel::ChooseWorkbook(const TCompoundFile& storage)
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
  // Excel 5 and 95 name the stream "Book"; later versions "Workbook".
  Version = chosen->Name == "Book" ? TExcelVersion::evExcel7 : TExcelVersion::evExcel8;
  return chosen->Name;
}

void TMSExcel::ReadWorkbookStorage(TCompoundFile&& storage)
{
  const std::string name = ChooseWorkbook(storage);
  // The compound file is not needed after this: its bytes may be reused.
  FStream = std::move(storage).TakeStream(name).SharedBytes();
}

void TMSExcel::RaiseRecord(const TRecord& record)
{
  ++FRecordCount;
  RecordHeader = record.Header;
  FRecordOffset = record.Offset;
  if (OnRecord)
    OnRecord(*this, record.Header, record.Data);
}

bool TMSExcel::NextRecord(TRecordSource& source, TRecord& record)
{
  if (!source.Next(record))
    return false;
  DoLoadProgress(static_cast<std::int64_t>(source.Position()),
                 static_cast<std::int64_t>(source.Size()));
  RaiseRecord(record);
  // A record cut short by the end of the stream is listed, not decoded, and
  // ends the load.
  return !record.Truncated();
}

void TMSExcel::RunCompoundLoop(TRecordSource& source)
{
  TRecord record;
  for (;;) {
    // The last record and whatever followed it are done with.
    source.Release();
    if (!NextRecord(source, record))
      break;
    // A record over the length limit is listed and passed over.
    if (record.Header.Length > RecordLimit())
      continue;
    if (ProcessRecord(record, source) || TrackSubstream(record))
      continue;
    bool stop = false;
    ApplySheetRules(record, source, stop);
    if (stop)
      break;
  }
}

void TMSExcel::ReadBIFFStream()
{
  FDimensionsSeen = false;
  FDimLastRow = 0;
  FDimLastColumn = 0;
  FHighestRow = 0;
  FHighestColumn = 0;
  TRecordSource source(FStream);
  TRecord record;
  while (NextRecord(source, record)) {
    if (record.Header.Length == 0 || record.Header.Length > RecordLimit())
      continue;
    if (ProcessRecord(record, source))
      continue;
    TrackSubstream(record);
    const std::uint16_t code = record.Header.Code;
    if ((code & 0xFF) != kBofLowByte)
      continue;
    switch (code >> 8) {
    case 0x00: Version = TExcelVersion::evExcel2; break;
    case 0x02: Version = TExcelVersion::evExcel3; break;
    case 0x04: Version = TExcelVersion::evExcel4; break;
    case 0x08:
      // The BOF's version word tells BIFF8 (0x0600) from BIFF5/7 (0x0500);
      // a BIFF8 stream saved without a compound file needs its UTF-16 text.
      Version = record.Data.size() >= 2 && U16(record.Data, 0) == 0x0600
                    ? TExcelVersion::evExcel8
                    : TExcelVersion::evExcel5;
      break;
    default: throw EBiffLensError(kMsgNotExcelFile);
    }
  }
  if (OnDimensions &&
      (!FDimensionsSeen || FDimLastRow < FHighestRow || FDimLastColumn < FHighestColumn))
    OnDimensions(*this, SheetIndex, 0, FHighestRow + 1, 0, FHighestColumn + 1);
}

bool TMSExcel::TrackSubstream(const TRecord& record)
{
  const std::uint16_t code = record.Header.Code;
  if (code == kRecEof) {
    if (FForeignDepth == 0)
      return false;
    --FForeignDepth;
    return true;
  }
  if ((code & 0xFF) != kBofLowByte || record.Data.size() < 4)
    return false;
  const std::uint16_t type = U16(record.Data, 2);
  // Worksheets and the workbook globals hold cells; charts, macro sheets,
  // VB modules and workspaces do not. A worksheet never stands inside a
  // chart, so its BOF also ends a chart whose EOF a damaged file lost.
  if (type == kBofTypeWorksheet) {
    FForeignDepth = 0;
    return false;
  }
  if (FForeignDepth == 0 && type == kBofTypeGlobals)
    return false;
  ++FForeignDepth;
  return true;
}

void TMSExcel::ApplySheetRules(const TRecord& record, TRecordSource& source, bool& stop)
{
  const std::uint16_t code = record.Header.Code;
  const int nameCount = static_cast<int>(FSheetNames.size());
  if (code == kRecEof) {
    if (SheetIndex >= 0 && SheetIndex >= nameCount - 1)
      stop = true;
    return;
  }
  if ((code & 0xFF) != kBofLowByte || record.Data.size() < 4 ||
      U16(record.Data, 2) != kBofTypeWorksheet)
    return;
  ++SheetIndex;
  // The caption is the BOUNDSHEET entry that points at this BOF; counting
  // worksheets alone would shift every caption after a chart sheet.
  int entry = -1;
  for (int i = 0; i < nameCount; ++i)
    if (FSheetNames[static_cast<std::size_t>(i)].BofOffset == record.Offset) {
      entry = i;
      break;
    }
  if (entry < 0) {
    if (SheetIndex >= nameCount)
      throw EListError(SheetIndex);
    entry = SheetIndex;
  }
  bool skip = false;
  if (OnSheet)
    OnSheet(*this, FSheetNames[static_cast<std::size_t>(entry)].Name, SheetIndex, skip);
  if (!skip)
    return;
  if (entry >= nameCount - 1) {
    stop = true;
    return;
  }
  const std::size_t target = FSheetNames[static_cast<std::size_t>(entry) + 1].BofOffset;
  // Only forward: a sheet list that points backwards must not loop the load.
  if (target <= record.Offset) {
    stop = true;
    return;
  }
  source.Seek(target);
}

void TMSExcel::ReportCell(int row, int column, const TVariant& value, TAlignment alignment)
{
  // The model's own handler is called directly when it is the one
  // installed: the same store, without a call through the event per cell.
  if (const auto* store = OnCellValue.target<TStoreCellValue>())
    (*store)(*this, SheetIndex, row, column, 0, value, alignment);
  else
    OnCellValue(*this, SheetIndex, row, column, 0, value, alignment);
  NoteCellPosition(row, column);
}

void TMSExcel::ReportTextCell(int row, int column, TVariant&& value, TAlignment alignment)
{
  // A text made for this cell (a formula's result) moves into it: no count
  // taken on it, none dropped with the temporary.
  if (const auto* store = OnCellValue.target<TStoreCellValue>())
    store->StoreValue(SheetIndex, row, column, std::move(value), alignment);
  else
    OnCellValue(*this, SheetIndex, row, column, 0, value, alignment);
  NoteCellPosition(row, column);
}

void TMSExcel::ReportErrorCell(int row, int column, std::uint8_t code, TAlignment alignment)
{
  // An error code has one text, made the first time a cell has the code and
  // shared by every cell with it after.
  if (!FErrorTexts) {
    FErrorTexts = std::make_shared<std::array<TVariant, 256>>();
    FErrorTextsOwner = FErrorTexts;
  }
  TVariant& text = (*FErrorTexts)[code];
  if (text.IsEmpty())
    text = TVariant(ErrorCodeText(code));
  ReportSharedText(row, column, text, FErrorTextsOwner, alignment);
}

void TMSExcel::ReportSharedText(int row, int column, const TVariant& text,
                                const std::shared_ptr<const void>& owner, TAlignment alignment)
{
  const auto* store = OnCellValue.target<TStoreCellValue>();
  if (!store) {
    ReportCell(row, column, text, alignment);
    return;
  }
  store->StoreSharedText(SheetIndex, row, column, text, owner, alignment);
  NoteCellPosition(row, column);
}

template <typename TDecode>
void TMSExcel::ReportLabel(int row, int column, std::uint8_t kind, std::size_t length,
                           std::span<const std::uint8_t> raw, TAlignment alignment,
                           TDecode&& decode)
{
  // The key: what the text depends on, the code page included. A label too
  // long to keep is decoded as one of its own.
  if (raw.size() <= TLabelTable::kLongestKey) {
    const auto codePage = static_cast<std::uint32_t>(FDecoder.CodePage());
    const std::uint64_t head = kind | static_cast<std::uint64_t>(length & 0xFFFF) << 8 |
                               static_cast<std::uint64_t>(codePage) << 24;
    if (!FLabels)
      FLabels = std::make_unique<TLabelTable>();
    const std::uint64_t hash = TLabelTable::Hash(head, raw);
    const TVariant* kept = FLabels->Find(head, raw, hash);
    if (!kept && !FLabels->Full()) {
      std::string text;
      decode(text);
      kept = &FLabels->Add(head, raw, hash, TVariant(std::move(text)));
    }
    if (kept) {
      // Cells share the table's text as they share the SST's.
      ReportSharedText(row, column, *kept, FLabels->TextOwner(), alignment);
      return;
    }
  }
  std::string text;
  decode(text);
  ReportTextCell(row, column, TVariant(std::move(text)), alignment);
}

TVariant TMSExcel::TypedNumber(double value, int xfIndex) const
{
  if (!IsDateXF(xfIndex))
    return TVariant(value);
  return TVariant::Date(FDate1904 ? value + kDate1904Offset : value);
}

void TMSExcel::Append8Bit(std::span<const std::uint8_t> bytes, std::string& out)
{
  // BIFF8 keeps 8-bit text only as "compressed" UTF-16: the high bytes are
  // zero, so the bytes are Latin-1 whatever the code page says.
  if (IsBiff8())
    AppendLatin1AsUtf8(bytes, out);
  else
    FDecoder.Append(bytes, out);
}

std::string TMSExcel::BytesToString(std::span<const std::uint8_t> source, std::size_t count,
                                    bool force8Bit)
{
  std::string text;
  if (!IsBiff8() || force8Bit) {
    const std::size_t start = (!source.empty() && source[0] == 0) ? 1 : 0;
    Append8Bit(Slice(source, start, count), text);
  } else {
    AppendUtf16LeBytesAsUtf8(Slice(source, 1, 2 * count), text);
  }
  return text;
}

std::string TMSExcel::UnicodeString(std::span<const std::uint8_t> source, std::size_t count)
{
  std::string text;
  if (source.empty())
    return text;
  if (source[0] & 0x01)
    AppendUtf16LeBytesAsUtf8(Slice(source, 1, 2 * count), text);
  else
    AppendLatin1AsUtf8(Slice(source, 1, count), text);
  return text;
}

bool TMSExcel::ProcessRecord(const TRecord& record, TRecordSource& source)
{
  const std::uint16_t code = record.Header.Code;
  const std::span<const std::uint8_t> d = record.Data;
  const std::size_t n = d.size();
  // Each decoder first checks that the record holds the fields it reads: a
  // record too short for them is listed but not decoded.
  const bool cells = OnCellValue && FForeignDepth == 0;
  // The same holds for the records that size a sheet: a chart's series data
  // opens with a DIMENSIONS record of its own, which is not the sheet's (and
  // in a chart sheet before the first worksheet would create a sheet).
  const bool sheetRecords = FForeignDepth == 0;
  switch (code) {
  case kRecBlank2:
    if (cells && n >= 7)
      ReportCell(U16(d, 0), U16(d, 2), TVariant::Null(), Biff2Alignment(d));
    return true;
  case kRecInteger2:
    if (cells && n >= 9)
      ReportCell(U16(d, 0), U16(d, 2), TVariant(static_cast<std::int32_t>(U16(d, 7))),
                 Biff2Alignment(d));
    return true;
  case kRecNumber2:
    // A BIFF2 cell's XF index is attribute byte 0, bits 0-5.
    if (cells && n >= 15)
      ReportCell(U16(d, 0), U16(d, 2), TypedNumber(F64(d, 7), d[4] & 0x3F), Biff2Alignment(d));
    return true;
  case kRecLabel2:
    if (cells && n >= 8) {
      const auto raw = Slice(d, 8, d[7]);
      ReportLabel(U16(d, 0), U16(d, 2), IsBiff8() ? 1 : 0, raw.size(), raw, Biff2Alignment(d),
                  [&](std::string& text) { Append8Bit(raw, text); });
    }
    return true;
  case kRecBoolErr2:
    if (cells && n >= 9) {
      if (d[8] == 0)
        ReportCell(U16(d, 0), U16(d, 2), TVariant(d[7] != 0), Biff2Alignment(d));
      else
        ReportErrorCell(U16(d, 0), U16(d, 2), d[7], Biff2Alignment(d));
    }
    return true;
  case kRecFormula:
  case kRecFormula3:
  case kRecFormula4:
    if (cells)
      DecodeFormula(record, source);
    return true;
  case kRecName:
  case kRecName3:
    DecodeName(code, d);
    return true;
  case kRecFormat2:
    // BIFF2 and BIFF3 number their formats by order of appearance.
    if (n >= 1)
      AddFormat(true, BytesToString(Slice(d, 1, d[0]), d[0], true), FFormat2Count++, -1);
    return true;
  case kRecColWidth:
  case kRecColInfo:
    if (sheetRecords)
      DecodeColumnWidths(code, d);
    return true;
  case kRecFilePass:
    throw EBiffLensError(kMsgPasswordProtected);
  case kRecFont:
  case kRecFont3:
    DecodeFont(code, d);
    return true;
  case kRecXf2:
    if (n >= 3)
      AddFormat(false, std::string(), d[2] & 0x3F, d[0]);
    return true;
  case kRecXf3:
  case kRecXf4:
    if (n >= 2)
      AddFormat(false, std::string(), d[1], d[0]);
    return true;
  case kRecXf5:
    if (n >= 4)
      AddFormat(false, std::string(), U16(d, 2), U16(d, 0));
    return true;
  case kRecRk:
  case kRecRk3:
    if (cells && n >= 10)
      ReportCell(U16(d, 0), U16(d, 2), TypedNumber(DecodeRK(U32(d, 6)), U16(d, 4)),
                 TAlignment::taLeftJustify);
    return true;
  case kRecBoundSheet:
    DecodeBoundSheet(d);
    return true;
  case kRecMulRk:
    if (cells && n > 6) {
      const int row = U16(d, 0);
      const int first = U16(d, 2);
      const std::size_t count = (n - 6) / 6;
      for (std::size_t i = 0; i < count; ++i)
        ReportCell(row, first + static_cast<int>(i),
                   TypedNumber(DecodeRK(U32(d, 6 + 6 * i)), U16(d, 4 + 6 * i)),
                   TAlignment::taLeftJustify);
    }
    return true;
  case kRecMulBlank:
    if (cells && n > 6) {
      const int row = U16(d, 0);
      const int first = U16(d, 2);
      const std::size_t count = (n - 6) / 2;
      for (std::size_t i = 0; i < count; ++i)
        ReportCell(row, first + static_cast<int>(i), TVariant::Null(), TAlignment::taLeftJustify);
    }
    return true;
  case kRecSst:
    DecodeSst(record, source);
    return true;
  case kRecLabelSst:
    if (cells && n >= 10) {
      const std::uint32_t index = U32(d, 6);
      if (index >= FSharedStrings->size())
        throw EListError(index);
      ReportSharedText(U16(d, 0), U16(d, 2), (*FSharedStrings)[index], FStringTableOwner,
                       TAlignment::taLeftJustify);
    }
    return true;
  case kRecExcel9:
    Version = TExcelVersion::evExcel9;
    return true;
  case kRecDimensions:
    if (sheetRecords)
      DecodeDimensions(d);
    return true;
  case kRecNumber:
    if (cells && n >= 14)
      ReportCell(U16(d, 0), U16(d, 2), TypedNumber(F64(d, 6), U16(d, 4)),
                 TAlignment::taLeftJustify);
    return true;
  case kRecLabel:
  case kRecRString:  // a LABEL with formatting runs after the text
    if (cells && n >= 8) {
      const std::size_t length = U16(d, 6);
      const auto raw = Slice(d, 8, n);
      ReportLabel(U16(d, 0), U16(d, 2), IsBiff8() ? 3 : 2, length, raw,
                  TAlignment::taLeftJustify, [&](std::string& text) {
                    text = IsBiff8() ? UnicodeString(raw, length) : BytesToString(raw, length, true);
                  });
    }
    return true;
  case kRecBoolErr:
    if (cells && n >= 8) {
      if (d[7] == 0)
        ReportCell(U16(d, 0), U16(d, 2), TVariant(d[6] != 0), TAlignment::taLeftJustify);
      else
        ReportErrorCell(U16(d, 0), U16(d, 2), d[6], TAlignment::taLeftJustify);
    }
    return true;
  case kRecRow:
    if (OnRowHeight && sheetRecords && n >= 8)
      OnRowHeight(*this, SheetIndex, U16(d, 0), U16(d, 6));
    return true;
  case kRecFormat4:
    if (n >= 3) {
      std::string text;
      int index = U16(d, 0);
      if (IsBiff8()) {
        if (n >= 5)
          text = UnicodeString(Slice(d, 4, n), U16(d, 2));
      } else {
        text = BytesToString(Slice(d, 3, d[2]), d[2], true);
        // BIFF4 leaves the index word unused: formats count by appearance.
        if (Version == TExcelVersion::evExcel4)
          index = FFormat2Count++;
      }
      AddFormat(true, text, index, -1);
    }
    return true;
  case kRecCodePage:
    if (n >= 2)
      FDecoder.SetCodePage(U16(d, 0));
    return false;
  case kRecDateMode:
    if (n >= 2)
      FDate1904 = U16(d, 0) == 1;
    return false;
  default:
    return false;
  }
}

void TMSExcel::DecodeFormula(const TRecord& record, TRecordSource& source)
{
  const std::span<const std::uint8_t> d = record.Data;
  if (Version < TExcelVersion::evExcel3) {
    if (d.size() >= 15)
      ReportCell(U16(d, 0), U16(d, 2), TVariant(F64(d, 7)), Biff2Alignment(d));
    return;
  }
  if (d.size() < 14)
    return;
  const int row = U16(d, 0);
  const int column = U16(d, 2);
  // [MS-XLS] 2.5.133 FormulaValue: 0xFFFF in the top bytes marks a non-number.
  if (d[12] != 0xFF || d[13] != 0xFF) {
    ReportCell(row, column, TypedNumber(F64(d, 6), U16(d, 4)), TAlignment::taLeftJustify);
    return;
  }
  switch (d[6]) {
  case 1:
    ReportCell(row, column, TVariant(d[8] == 1), TAlignment::taLeftJustify);
    return;
  case 2:
    ReportErrorCell(row, column, d[8], TAlignment::taLeftJustify);
    return;
  case 3:
    // The cached result is the empty text: a value like any other, which
    // would be lost if the cell were not reported.
    ReportTextCell(row, column, TVariant(std::string()), TAlignment::taLeftJustify);
    return;
  case 0:
    break;
  default:
    return;
  }
  // A text result stands in the STRING record that follows; a shared or
  // array formula puts its SHRFMLA, ARRAY or TABLE record in between.
  TRecord next;
  while (source.Peek(next) &&
         (next.Header.Code == kRecSharedFormula || next.Header.Code == kRecArray ||
          next.Header.Code == kRecTable) &&
         !next.Truncated()) {
    source.Next(next);
    RaiseRecord(next);
  }
  if (!source.Peek(next))
    return;
  if (next.Header.Code != kRecString && next.Header.Code != kRecString2)
    return;  // the loop reads that record itself
  source.Next(next);
  RaiseRecord(next);
  if (next.Truncated())
    return;
  const std::span<const std::uint8_t> s = next.Data;
  std::string text;
  if (next.Header.Length > RecordLimit()) {
    // Over the limit the data is not read: the text stays empty.
  } else if (next.Header.Code == kRecString2) {
    if (s.empty())
      return;
    text = BytesToString(Slice(s, 1, s.size()), s[0], false);
  } else {
    if (s.size() < 2)
      return;
    const std::size_t length = U16(s, 0);
    if (!IsBiff8()) {
      text = BytesToString(Slice(s, 2, s.size()), length, true);
    } else if (s.size() >= 3) {
      // A long text goes on in CONTINUE records, as in the SST; when they
      // are missing the text ends with the bytes there are.
      std::span<const std::uint8_t> current = s;
      std::size_t p = 3;
      const bool wide = s[2] & 0x01;
      text = ReadCharacters(source, current, p, wide ? 2 * length : length, wide, false);
    }
  }
  ReportTextCell(row, column, TVariant(std::move(text)), TAlignment::taLeftJustify);
}

bool TMSExcel::NextContinue(TRecordSource& source, std::span<const std::uint8_t>& current,
                            std::size_t& p, bool required)
{
  TRecord next;
  if (!required && (!source.Peek(next) || next.Header.Code != kRecContinue))
    return false;
  if (!source.Next(next))
    throw EBiffLensError(kMsgNoContinue);
  RaiseRecord(next);
  if (next.Header.Code != kRecContinue)
    throw EBiffLensError(kMsgNoContinue);
  current = next.Data;
  p = 0;
  return true;
}

std::string TMSExcel::ReadCharacters(TRecordSource& source, std::span<const std::uint8_t>& current,
                                     std::size_t& p, std::size_t remaining, bool wide,
                                     bool required)
{
  std::string text;
  if (current.size() - p >= remaining) {
    // The whole text in this record: the common case, converted directly.
    const auto piece = current.subspan(p, remaining);
    if (wide)
      AppendUtf16LeBytesAsUtf8(piece, text);
    else
      AppendLatin1AsUtf8(piece, text);
    p += remaining;
    return text;
  }
  // [MS-XLS] 2.5.293 XLUnicodeRichExtendedString: characters may run on into
  // CONTINUE records, each opening with one byte for the width of the rest
  // (0 = 8-bit, 1 = UTF-16). Pieces are joined as UTF-16 units, so a
  // surrogate pair split between records still makes one character.
  FUnits.clear();
  auto appendPiece = [&](std::span<const std::uint8_t> piece) {
    if (wide)
      for (std::size_t i = 0; i + 1 < piece.size(); i += 2)
        FUnits.push_back(static_cast<char16_t>(piece[i] | (piece[i + 1] << 8)));
    else
      for (const std::uint8_t b : piece)
        FUnits.push_back(static_cast<char16_t>(b));
  };
  while (current.size() - p < remaining) {
    const std::size_t available = current.size() - p;
    appendPiece(current.subspan(p, available));
    p += available;
    remaining -= available;
    if (!NextContinue(source, current, p, required)) {
      remaining = 0;
      break;
    }
    if (current.empty())
      throw EBiffLensError(kMsgNoContinue);
    const std::uint8_t flag = current[0];
    p = 1;
    if (flag == 0) {
      if (wide)
        remaining /= 2;
    } else if (flag == 1) {
      if (!wide)
        remaining *= 2;
    } else {
      throw EBiffLensError(Fill(kMsgInvalidContinueFlag, Hex2(flag)));
    }
    wide = flag == 1;
  }
  appendPiece(current.subspan(p, remaining));
  p += remaining;
  AppendUtf16AsUtf8(FUnits, text);
  return text;
}

void TMSExcel::DecodeSst(const TRecord& record, TRecordSource& source)
{
  // [MS-XLS] 2.4.265 SST: counts, then XLUnicodeRichExtendedString items that
  // run on into CONTINUE records.
  std::span<const std::uint8_t> current = record.Data;
  if (current.size() < 8)
    return;
  const auto count = static_cast<std::int32_t>(U32(current, 4));
  std::size_t p = 8;
  if (count > 0) {
    // The table is sized at once. Every string takes at least 3 bytes, of
    // this record or of those after it, so a damaged count asks for no more
    // than the stream could hold.
    const std::size_t room = (current.size() - p + source.Size() - source.Position()) / 3;
    FSharedStrings->reserve(FSharedStrings->size() +
                            std::min(static_cast<std::size_t>(count), room));
  }
  auto need = [&](std::size_t bytes) {
    if (current.size() - p < bytes)
      throw EBiffLensError(kMsgNoContinue);
  };
  for (std::int32_t k = 0; k < count; ++k) {
    if (current.size() - p < 3)
      NextContinue(source, current, p, true);
    need(3);
    const std::size_t chars = U16(current, p);
    const std::uint8_t options = current[p + 2];
    p += 3;
    if (options != 0 && options != 1 && !(options & 0x04) && !(options & 0x08))
      throw EBiffLensError(Fill(kMsgSstOptionsFormat, Hex2(options)));
    std::size_t runs = 0;
    std::size_t ext = 0;
    if (options & 0x08) {
      need(2);
      runs = U16(current, p);
      p += 2;
    }
    if (options & 0x04) {
      need(4);
      ext = U32(current, p);
      p += 4;
    }
    const bool wide = options & 0x01;
    FSharedStrings->emplace_back(
        ReadCharacters(source, current, p, wide ? 2 * chars : chars, wide, true));
    if (runs > 0 && (options & 0x08)) {
      if (current.size() - p < 4 * runs)
        throw EBiffLensError(kMsgRichDataContinue);
      p += 4 * runs;
    }
    if (ext > 0 && (options & 0x04)) {
      if (current.size() - p < ext)
        throw EBiffLensError(kMsgExtDataContinue);
      p += ext;
    }
  }
}

void TMSExcel::DecodeBoundSheet(std::span<const std::uint8_t> d)
{
  if (d.size() < 7)
    return;
  TSheetName entry;
  entry.BofOffset = U32(d, 0);
  const std::size_t length = d[6];
  if (IsBiff8() && d.size() > 7 && (d[7] & 0x01))
    AppendUtf16LeBytesAsUtf8(Slice(d, 8, 2 * length), entry.Name);
  else
    entry.Name = BytesToString(Slice(d, 7, d.size()), length, true);
  FSheetNames.push_back(std::move(entry));
}

void TMSExcel::DecodeName(std::uint16_t code, std::span<const std::uint8_t> d)
{
  TXLSName name;
  std::size_t nameLength;
  std::size_t formulaLength;
  std::size_t nameAt;
  if (code == kRecName && Version < TExcelVersion::evExcel3) {
    // BIFF2: option byte, shortcut, name length, formula size, then the name.
    if (d.size() < 5)
      return;
    name.Options = d[0];
    nameLength = d[3];
    formulaLength = d[4];
    nameAt = 5;
  } else if (code == kRecName3) {
    if (d.size() < 6)
      return;
    name.Options = U16(d, 0);
    nameLength = d[3];
    formulaLength = U16(d, 4);
    nameAt = 6;
  } else {
    if (d.size() < 14)
      return;
    name.Options = U16(d, 0);
    nameLength = d[3];
    formulaLength = U16(d, 4);
    nameAt = 14;
  }
  std::size_t definitionAt = nameAt + nameLength;
  if (IsBiff8() && code == kRecName) {
    const bool wide = nameAt < d.size() && (d[nameAt] & 0x01);
    name.Name = UnicodeString(Slice(d, nameAt, d.size()), nameLength);
    definitionAt = nameAt + 1 + (wide ? 2 * nameLength : nameLength);
  } else {
    Append8Bit(Slice(d, nameAt, nameLength), name.Name);
  }
  const auto definition = Slice(d, definitionAt, formulaLength);
  name.Definition.assign(definition.begin(), definition.end());
  FNames.push_back(std::move(name));
}

void TMSExcel::DecodeFont(std::uint16_t code, std::span<const std::uint8_t> d)
{
  TXLSFont font;
  std::size_t lengthAt;
  if (code == kRecFont3) {
    lengthAt = 6;
  } else if (Version >= TExcelVersion::evExcel5) {
    lengthAt = 14;
  } else {
    lengthAt = 4;
  }
  if (d.size() <= lengthAt)
    return;
  font.Size = U16(d, 0) / 20;
  const std::uint16_t options = U16(d, 2);
  font.Italic = options & 0x02;
  font.StrikeOut = options & 0x08;
  if (lengthAt == 14) {
    font.Color = U16(d, 4);
    font.Bold = U16(d, 6) >= 700;
    font.Underline = d[10] != 0;
    font.CharSet = d[12];
  } else {
    font.Bold = options & 0x01;
    font.Underline = options & 0x04;
    if (lengthAt == 6)
      font.Color = U16(d, 4);
  }
  const std::size_t length = d[lengthAt];
  if (IsBiff8() && lengthAt == 14)
    font.Name = UnicodeString(Slice(d, 15, d.size()), length);
  else
    Append8Bit(Slice(d, lengthAt + 1, length), font.Name);
  FFonts.push_back(std::move(font));
}

void TMSExcel::DecodeDimensions(std::span<const std::uint8_t> d)
{
  int firstRow;
  int lastRow;
  int firstColumn;
  int lastColumn;
  if (IsBiff8()) {
    if (d.size() < 12)
      return;
    firstRow = static_cast<int>(U32(d, 0));
    lastRow = static_cast<int>(U32(d, 4));
    firstColumn = U16(d, 8);
    lastColumn = U16(d, 10);
  } else {
    if (d.size() < 8)
      return;
    firstRow = 0;
    lastRow = U16(d, 2) + 1;
    firstColumn = 0;
    lastColumn = U16(d, 6) + 1;
  }
  FDimensionsSeen = true;
  FDimLastRow = lastRow;
  FDimLastColumn = lastColumn;
  if (OnDimensions)
    OnDimensions(*this, SheetIndex, firstRow, lastRow, firstColumn, lastColumn);
}

void TMSExcel::DecodeColumnWidths(std::uint16_t code, std::span<const std::uint8_t> d)
{
  int first;
  int last;
  int width;
  if (code == kRecColWidth) {
    if (d.size() < 4)
      return;
    first = d[0];
    last = d[1];
    width = U16(d, 2) / 256;
  } else {
    if (d.size() < 6)
      return;
    first = U16(d, 0);
    last = U16(d, 2);
    width = U16(d, 4) / 256;
  }
  if (!OnColumnWidth)
    return;
  for (int column = first; column <= last; ++column)
    OnColumnWidth(*this, SheetIndex, column, width);
}
