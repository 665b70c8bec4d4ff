#pragma once

// A load whose records are described afterwards as the inspector and the
// command-line tool describe them: the reader keeps the stream, a
// directory finds each record's CONTINUE parts.

#include "xls/MSExcel.h"
#include "xls/records/RecordDirectory.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class TDescribedLoad {
public:
  /// Loads `bytes` from memory, or the file `fileName` when `bytes` is empty.
  explicit TDescribedLoad(const std::vector<std::uint8_t>& bytes, const std::string& fileName = {})
  {
    Reader.OnStreamRecord = [this](const TStreamRecord& r) { Offsets.push_back(static_cast<std::uint32_t>(r.Offset)); };
    try {
      if (fileName.empty())
        Reader.LoadFromMemory(bytes);
      else
        Reader.LoadFromFile(fileName);
    } catch (const std::exception& e) {
      Error = e.what();
    }
    Directory = std::make_unique<TRecordDirectory>(Reader.StreamBuffer().Span(), Offsets, Reader.WalkStart());
  }
  TDescribedLoad(const TDescribedLoad&) = delete;
  TDescribedLoad& operator=(const TDescribedLoad&) = delete;

  std::size_t Count() const { return Offsets.size(); }
  /// Index of the first record of `code` from `from` on (Count() when none).
  std::size_t Find(std::uint16_t code, std::size_t from = 0) const
  {
    for (std::size_t i = from; i < Count(); ++i)
      if (Directory->Code(i) == code)
        return i;
    return Count();
  }
  /// Record `index` and its CONTINUE parts.
  std::vector<TRecordRef> Parts(std::size_t index) const { return Directory->LogicalParts(index); }
  /// The fields of record `index`.
  std::vector<TRecordField> Describe(std::size_t index) const
  {
    const auto parts = Parts(index);
    return Reader.DescribeRecord(TLogicalRecord{parts});
  }

  TMSExcel Reader;
  std::vector<std::uint32_t> Offsets;
  std::unique_ptr<TRecordDirectory> Directory;
  std::string Error;
};

/// The first field named `name`, depth first (lazy lists not opened).
inline const TRecordField* FindField(const std::vector<TRecordField>& fields, const std::string& name)
{
  for (const TRecordField& f : fields) {
    if (f.Name == name)
      return &f;
    if (const TRecordField* inner = FindField(f.Fields, name))
      return inner;
  }
  return nullptr;
}

/// The top-level fields of a logical record follow each other without gap
/// or overlap from its first data byte to its last, passing only over the
/// 4-byte headers between parts; every field lies inside its part.
inline void ExpectFieldsTile(const std::vector<TRecordField>& fields, std::span<const TRecordRef> parts)
{
  const std::vector<std::size_t> starts = TRecordDirectory::PartStarts(parts);
  const std::size_t end = parts.empty() ? 0 : starts.back() + parts.back().Data.size();
  std::size_t at = 0;
  const auto skipHeaders = [&](std::size_t to) {
    // A part's end is followed by the next part's header.
    for (std::size_t k = 1; k < starts.size() && at < to; ++k)
      if (at + 4 == starts[k])
        at = starts[k];
  };
  std::function<void(const TRecordField&)> inside = [&](const TRecordField& f) {
    const auto part = static_cast<std::size_t>(f.Part);
    ASSERT_LT(part, parts.size()) << f.Name;
    EXPECT_LE(f.Offset + f.Size, parts[part].Data.size()) << f.Name;
    for (const TRecordField& inner : f.Fields)
      inside(inner);
  };
  for (const TRecordField& f : fields) {
    inside(f);
    const TFieldExtent extent = FieldExtent(f, starts, end);
    skipHeaders(extent.First);
    EXPECT_EQ(extent.First, at) << "field " << f.Name;
    at = extent.End;
  }
  skipHeaders(end);
  EXPECT_EQ(at, end);
}
