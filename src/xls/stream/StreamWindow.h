#pragma once

#include "platform/CompoundFile.h"
#include "platform/FileReader.h"
#include "xls/stream/StreamSource.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The workbook stream read from its file a window at a time, for a load
/// that keeps no record after raising it. Bytes handed out stay where they
/// are until Release, which the record loop calls between top-level records
/// (a record's CONTINUE records are read while it is decoded, so a window
/// may have to hold several). Released windows are reused, so the load
/// touches a few windows' worth of memory, not the whole stream.
class TStreamWindow final : public TStreamSource {
public:
  TStreamWindow(std::shared_ptr<const TFileReader> file,
                std::vector<TCompoundFile::TStreamRun> runs, std::uint64_t size,
                std::size_t windowBytes);

  std::span<const std::uint8_t> Cover(std::uint64_t from, std::size_t count,
                                      std::uint64_t& base) override;
  /// Superseded windows are kept for reuse (two at most, the rest freed).
  void Release() override;

private:
  struct TSegment {
    std::unique_ptr<std::uint8_t[]> Data;
    std::size_t Capacity = 0;
    std::uint64_t Base = 0;
    std::size_t Filled = 0;
  };

  static bool Holds(const TSegment& segment, std::uint64_t from, std::size_t count);
  TSegment TakeSegment(std::size_t capacity);

  std::shared_ptr<const TFileReader> FFile;
  std::vector<TCompoundFile::TStreamRun> FRuns;
  std::size_t FWindowBytes;
  TSegment FCurrent;
  std::vector<TSegment> FHeld;
  std::vector<TSegment> FSpare;
};
