#include "xls/records/Describers.h"

template void DescribeWith<TNameDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TFormatDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDateModeDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TColumnWidthDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TFontDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TCodePageDecoderRecord>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TXfDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TBoundSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDimensionsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TRowDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TFilePassDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);

#include "xls/decode/SstDescription.h"

#include <memory>

void DescribeSst(const TLogicalRecord& record, const TDecodeContext&, TFieldList& fields)
{
  // The counts as DecodeSst reads them; the strings follow as a list
  // described string by string, from the same decoder (DecodeSstString).
  TDescribingCursor c(record.Head().Data, &fields);
  if (c.Size() < 8) {
    c.SkipRest("unread");
    return;
  }
  c.U32("total");
  const std::int32_t unique = c.I32("unique");
  fields.Add("strings", c.Position(), c.Remaining(), std::string());
  TRecordField& strings = *fields.Last();
  strings.Lazy = std::make_shared<TSstStringList>(record.Parts, unique);
  strings.Text = std::to_string(strings.Lazy->Count()) + " strings";
}

void DescribeContinue(const TLogicalRecord& record, const TDecodeContext&, TFieldList& fields)
{
  TDescribingCursor c(record.Head().Data, &fields);
  c.SkipRest("data");
}
