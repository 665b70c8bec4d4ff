#pragma once

// How the catalogue's family tables make their entries: a record type is a
// code, its names, and one decoder that the load applies (when the load
// uses the record) and the description runs once more. Private to
// src/xls/records.

#include "xls/decode/BookRecords.h"
#include "xls/decode/CellRecords.h"
#include "xls/decode/ChartRecords.h"
#include "xls/decode/DrawingRecords.h"
#include "xls/decode/FeatureRecords.h"
#include "xls/decode/FilePassRecord.h"
#include "xls/decode/GlobalRecords.h"
#include "xls/decode/LinkRecords.h"
#include "xls/decode/ObjectRecords.h"
#include "xls/decode/SheetRecords.h"
#include "xls/records/Describe.h"
#include "xls/records/RecordSink.h"
#include "xls/records/RecordTable.h"

#include <span>

namespace {

/// A load's use of a one-record decoder: decode, and hand each result to
/// the sink's member Use.
template <typename TDecoder, auto Use>
void ApplyWith(TRecordSink& sink, const TLogicalRecord& record)
{
  TRecordCursor cursor(record.Head().Data);
  TDecoder()(cursor, sink.Context(), record.Head().Header.Code,
             [&](const auto& value) { (sink.*Use)(value); });
}

/// A record the load uses: its decoder applies and describes. `listName`
/// is the record list's name (none: the list says "Unknown").
template <typename TDecoder, auto Use>
constexpr TRecordType Entry(std::uint16_t code, const char* type, const char* listName = nullptr)
{
  return TRecordType{code, type, listName, false, &ApplyWith<TDecoder, Use>, &DescribeWith<TDecoder>};
}

/// A record only the description reads: nothing to do in a load.
template <typename TDecoder>
constexpr TRecordType Layout(std::uint16_t code, const char* type, const char* listName = nullptr)
{
  return TRecordType{code, type, listName, false, nullptr, &DescribeWith<TDecoder>};
}

/// The same for a record whose data goes on in the CONTINUE records after
/// it; its decoder reads them part by part.
template <typename TDecoder>
constexpr TRecordType Continued(std::uint16_t code, const char* type, const char* listName = nullptr)
{
  return TRecordType{code, type, listName, true, nullptr, &DescribePartsWith<TDecoder>};
}

}  // namespace

// The families, each in a source file of its own.
std::span<const TRecordType> CellRecordTypes();
std::span<const TRecordType> BookRecordTypes();
std::span<const TRecordType> GlobalRecordTypes();
std::span<const TRecordType> SheetRecordTypes();
std::span<const TRecordType> ObjectRecordTypes();
std::span<const TRecordType> FeatureRecordTypes();
