#pragma once

#include "platform/CompoundFile.h"
#include "platform/SharedBytes.h"
#include "xls/stream/StreamSource.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// How one load reads its workbook stream: decided once, here, from what
/// the file is (compound file or bare BIFF stream) and what the caller keeps.
struct TWorkbookStream {
  bool Compound = false;
  /// The chosen element's name as stored (compound files only).
  std::string StreamName;
  /// The whole stream in one block, shared with whoever keeps record bytes;
  /// empty for a load that reads it a window at a time.
  TSharedBytes Whole;
  /// Declared after Whole, so it goes first: a filling source writes into
  /// Whole's block.
  std::unique_ptr<TStreamSource> Source;
  /// Set for a damaged compound file: the stream is what a tolerant reading
  /// found, and the load fails with this error once its records are read.
  std::optional<EOleError> Damage;
};

struct TOpenOptions {
  /// Keep the stream whole (Whole filled) rather than read it by windows.
  bool KeepWhole = true;
  std::size_t WindowBytes = std::size_t{1} << 20;
};

/// The name a workbook is read from among stream names: "Workbook" (any
/// letter case) over "Book"; its position, or nothing when there is neither.
std::optional<std::size_t> ChooseWorkbook(const std::vector<std::string>& names);

/// Opens the named file. A compound file has only its workbook stream read:
/// a regular stream by its runs of sectors, whole into one block while the
/// loop decodes (KeepWhole) or a window at a time; a small stream straight
/// from the mini stream. A damaged compound file yields what a tolerant
/// reading finds of its workbook stream (Damage set). Anything else,
/// including a pipe or a device, is read whole as a bare stream. Throws
/// EBiffLensError(kMsgCannotOpenFile) when the file cannot be read, EOleError
/// for a compound file that holds nothing to read, kMsgNotValidWorkbook.
TWorkbookStream OpenWorkbookFile(const std::string& fileName, const TOpenOptions& options);
/// The same for a file held in memory (copied). When `allowBare` is false
/// the bytes must be a compound file (the storage layer's error otherwise).
TWorkbookStream OpenWorkbookBytes(std::span<const std::uint8_t> bytes, bool allowBare);
