#include "xls/records/Describers.h"

template void DescribeWith<TBlank2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TInteger2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TNumber2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TLabel2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TBoolErr2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TFormulaResultDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TRkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TMulRkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TMulBlankDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TRStringDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TLabelSstDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TNumberDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TLabelDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TBoolErrDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TBlankDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSharedFormulaDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TArrayDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TTableDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribePartsWith<TStringDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
