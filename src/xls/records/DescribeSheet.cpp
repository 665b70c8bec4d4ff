#include "xls/records/Describers.h"

template void DescribeWith<TIndexDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDbCellDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TExtSstDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDefaultRowHeightDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TRow2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDimensions2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TGutsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TWsBoolDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSetupDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSelectionDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TPaneDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSclDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TWindow2Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TMergeCellsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TPageBreaksDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TGcwDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TPhoneticInfoDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TOleSizeDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TPlsDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
