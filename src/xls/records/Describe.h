#pragma once

// How the record table describes a record with its decoder: the decoder
// runs once more on a describing cursor, and bytes it did not read become
// one field, so the fields cover the record. Decoders of one record read a
// record cursor; decoders of a logical record (a record and its CONTINUE
// records) read a part cursor.
//
// The catalogue's family tables (*Types.cpp) instantiate them, each for
// the decoders of its own entries.

#include "xls/decode/DecodeContext.h"
#include "xls/decode/FieldList.h"
#include "xls/decode/PartCursor.h"
#include "xls/decode/RecordCursor.h"
#include "xls/RecordRef.h"

/// A decoder of one record on a describing cursor over the record's bytes.
template <typename TDecoder>
void DescribeWith(const TLogicalRecord& record, const TDecodeContext& context, TFieldList& fields)
{
  TDescribingCursor cursor(record.Head().Data, &fields);
  TDecoder()(cursor, context, record.Head().Header.Code, [](const auto&) {});
  cursor.SkipRest("unread");
}

/// A decoder of a logical record on a describing part cursor.
template <typename TDecoder>
void DescribePartsWith(const TLogicalRecord& record, const TDecodeContext& context, TFieldList& fields)
{
  TDescribingPartCursor parts(record.Parts, &fields);
  TDecoder()(parts, context, record.Head().Header.Code, [](const auto&) {});
  parts.Current().SkipRest("unread");
  while (parts.NextPart())
    parts.Current().SkipRest("unread");
}
