#pragma once

#include "platform/Errors.h"
#include "platform/FileReader.h"
#include "platform/SharedBytes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// A failure of the compound-file layer: a status code (an HRESULT-style
/// value, see the kStg* constants) and a clear message.
class EOleError : public EBiffLensError {
public:
  EOleError(std::int32_t status, const std::string& message)
      : EBiffLensError(message), FStatus(status) {}
  std::int32_t Status() const { return FStatus; }

private:
  std::int32_t FStatus;
};

// Status values, with the numbers the platform's structured storage uses.
inline constexpr std::int32_t kStgFileNotFound = static_cast<std::int32_t>(0x80030002);
inline constexpr std::int32_t kStgAccessDenied = static_cast<std::int32_t>(0x80030005);
inline constexpr std::int32_t kStgInvalidPointer = static_cast<std::int32_t>(0x80030009);
inline constexpr std::int32_t kStgReadFault = static_cast<std::int32_t>(0x8003001E);
inline constexpr std::int32_t kStgInvalidHeader = static_cast<std::int32_t>(0x800300FB);
inline constexpr std::int32_t kStgInvalidName = static_cast<std::int32_t>(0x800300FC);
inline constexpr std::int32_t kStgDocFileCorrupt = static_cast<std::int32_t>(0x80030109);
inline constexpr std::int32_t kStgInvalidFunction = static_cast<std::int32_t>(0x80030001);

/// True when `bytes` start with the compound-file signature and are long
/// enough for a header. Says nothing about the rest of the file.
bool IsCompoundFile(std::span<const std::uint8_t> bytes);
/// True when `bytes` start with the compound-file signature, whole or not:
/// a file that means to be a compound file, damaged or cut short.
bool HasCompoundSignature(std::span<const std::uint8_t> bytes);

/// True when two element names are the same name to a compound file: equal
/// once upper-cased letter by letter (the format compares names that way, so
/// "VBA" and "vba" cannot be siblings). Letters of the Latin, Greek and
/// Cyrillic alphabets are folded; other characters must match exactly.
bool CompoundNamesEqual(std::string_view a, std::string_view b);
/// `name` folded as CompoundNamesEqual folds it: two names are equal to a
/// compound file exactly when their keys are, so the key can index a map.
std::string CompoundNameKey(std::string_view name);

/// One element of a compound file's storage.
struct TStorageElement {
  std::string Name;        // UTF-8, as stored (case kept)
  std::uint8_t Type = 0;   // 1 storage, 2 stream, 5 root
  std::uint64_t Size = 0;  // stream size in bytes (0 for storages)
  std::uint32_t EntryId = 0;
};

/// A stream opened from a compound file, read and seeked by position.
/// Keeps the compound file's bytes alive through shared ownership.
class TCompoundStream {
public:
  std::uint64_t Size() const;
  std::uint64_t Position() const;
  /// Copies up to `buffer.size()` bytes from the current position; returns
  /// the count copied (0 at the end) and advances the position.
  std::size_t Read(std::span<std::uint8_t> buffer);
  /// Moves the position relative to the current one; throws EOleError
  /// (kStgInvalidFunction) when the result would lie before 0. A position
  /// past the end is allowed and reads nothing.
  void Seek(std::int64_t offset);
  /// The whole stream as one contiguous block (sectors assembled once). The
  /// span stays valid while this stream, or a copy of it, lives; asking a
  /// temporary for it does not compile, as the span would dangle at once.
  std::span<const std::uint8_t> Bytes() const&;
  std::span<const std::uint8_t> Bytes() const&& = delete;
  /// The same block under shared ownership, for a caller that keeps it
  /// longer than the stream. A stream stored in one run of sectors is a
  /// slice of the file's bytes (no copy); any other is assembled once into a
  /// block of its own, and the file's bytes can go first.
  const TSharedBytes& SharedBytes() const { return FData; }

private:
  friend class TCompoundFile;
  TSharedBytes FData;
  std::uint64_t FPosition = 0;
};

/// The root storage of a compound file held in memory. Opening validates the
/// header, the FAT (with its DIFAT, extra DIFAT sectors included), the
/// directory and the mini FAT; every structure read is bounds-checked, every
/// chain walk is bounded and fails on a revisit, and no allocation exceeds
/// what the file's size justifies. Every failure is an EOleError; the texts
/// are in platform/CompoundFileMessages.h.
class TCompoundFile {
public:
  /// Takes shared ownership of the file's bytes. Throws kStgInvalidPointer
  /// (kMsgCfbNoData) for no bytes at all, kStgInvalidHeader for a header it cannot
  /// read (kMsgCfbNotCompoundFile when the signature or the 512 bytes are
  /// missing), kStgDocFileCorrupt for a damaged FAT, DIFAT, directory or mini
  /// FAT. A minor version it does not know, and a partial last sector, are
  /// accepted.
  static TCompoundFile Open(TSharedBytes bytes);
  /// Reads the file at `path` whole, then opens it. Throws kStgFileNotFound
  /// or kStgAccessDenied (CfbCannotOpenMessage) when it cannot be opened,
  /// kStgReadFault (CfbCannotReadMessage) when reading fails.
  static TCompoundFile OpenFile(const std::string& path);

  /// Opens a compound file without reading it whole: only the header, the
  /// FAT, the directory and the mini FAT are read, with the same checks and
  /// failures as Open (and kStgReadFault, CfbCannotReadMessage, when a read
  /// fails). Its regular streams are then read by their runs (StreamRuns);
  /// a small stream, which lives in the mini stream, OpenStream reads from
  /// the file. OpenStream and TakeStream of a regular stream throw
  /// kStgInvalidFunction.
  static TCompoundFile OpenReader(std::shared_ptr<const TFileReader> file);

  /// Where a regular stream (one of at least 4096 bytes) lies in the file:
  /// runs of adjacent sectors, in stream order, ending with the stream's
  /// last byte. Checked as OpenStream checks the sectors it reads. Empty for
  /// a smaller stream, which lives inside the mini stream.
  struct TStreamRun {
    std::uint64_t StreamOffset = 0;
    std::uint64_t FileOffset = 0;
    std::uint64_t Length = 0;
  };
  std::vector<TStreamRun> StreamRuns(const std::string& name) const;

  /// The children of the root storage, in directory-tree order (an in-order
  /// walk of the red-black tree of siblings).
  const std::vector<TStorageElement>& RootElements() const { return FRootElements; }
  /// Opens the root element named exactly `name` (case-sensitive) as a
  /// stream; throws EOleError (kStgFileNotFound) when there is none or it is
  /// not a stream, kStgDocFileCorrupt when its sectors cannot be read whole
  /// (a size beyond the file, a chain that loops, ends early or leaves the
  /// file). A chain longer than the size needs is accepted. In a version 3
  /// file the size's high dword is ignored, as writers leave garbage there.
  TCompoundStream OpenStream(const std::string& name) const;

  /// The children of the storage whose entry is `storageId` (0, the root,
  /// gives RootElements), in directory-tree order. The walk visits each
  /// entry once: a tree that loops, or a link out of range, throws
  /// kStgDocFileCorrupt. An id that is not a storage has no children.
  std::vector<TStorageElement> Children(std::uint32_t storageId) const;
  /// The element at `path`, a list of names from the root (["_VBA_PROJECT_CUR",
  /// "VBA", "dir"]), each compared as CompoundNamesEqual does; the result
  /// carries the name as stored. Nothing when a part is missing or a part
  /// before the last is not a storage. Throws as Children does for a storage
  /// on the way whose tree is damaged.
  std::optional<TStorageElement> FindElement(std::span<const std::string> path) const;
  /// Opens the stream at `path` as OpenStream opens a root-level one, with
  /// the same failures (kStgFileNotFound when FindElement finds no stream).
  TCompoundStream OpenStreamAt(std::span<const std::string> path) const;
  /// Opens the stream of an element Children or FindElement gave, without
  /// looking its path up again; failures as OpenStream's (kStgFileNotFound
  /// when `element` is not a stream of this file).
  TCompoundStream OpenElement(const TStorageElement& element) const;

  /// OpenStream for the last use of a compound file. When nothing else
  /// holds the file's bytes and the stream's sectors run forward through
  /// the file with gaps, they are slid together inside those bytes, so the
  /// stream is a view of them instead of a second block; the file's other
  /// contents are then lost, which is why this consumes the object.
  TCompoundStream TakeStream(const std::string& name) &&;

private:
  TCompoundStream OpenStream(const std::string& name, std::uint8_t* writable) const;
  TCompoundStream OpenEntry(std::uint32_t entryId, std::uint8_t* writable) const;
  static TCompoundFile OpenParsed(TSharedBytes bytes, std::shared_ptr<const TFileReader> file);
  /// The directory entry of the root element named `name`; throws
  /// kStgFileNotFound when there is none or it is not a stream.
  std::uint32_t StreamEntryId(const std::string& name) const;

  struct TImpl;
  std::shared_ptr<const TImpl> FImpl;
  std::vector<TStorageElement> FRootElements;
};
