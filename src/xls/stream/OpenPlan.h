#pragma once

#include "platform/CompoundFile.h"
#include "platform/SharedBytes.h"
#include "xls/stream/StreamSource.h"

#include <cstddef>
#include <memory>
#include <string>

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
};

struct TOpenOptions {
  /// Keep the stream whole (Whole filled) rather than read it by windows.
  bool KeepWhole = true;
  std::size_t WindowBytes = std::size_t{1} << 20;
};

/// The root element a workbook is read from: "Workbook" (any letter case)
/// over "Book"; throws EBiffLensError(kMsgNotValidWorkbook) when there is
/// neither.
const TStorageElement& ChooseWorkbook(const TCompoundFile& storage);

/// Opens the named file. A compound file has only its workbook stream read:
/// a regular stream by its runs of sectors, whole into one block while the
/// loop decodes (KeepWhole) or a window at a time; a small stream straight
/// from the mini stream. Anything else is read whole as a bare stream.
/// Throws EBiffLensError(kMsgCannotOpenFile) when the file cannot be read,
/// EOleError for a damaged compound file, kMsgNotValidWorkbook.
TWorkbookStream OpenWorkbookFile(const std::string& fileName, const TOpenOptions& options);
/// The same for a file held in memory. When `allowBare` is false the bytes
/// must be a compound file (the storage layer's error otherwise).
TWorkbookStream OpenWorkbookBytes(TSharedBytes bytes, bool allowBare);
