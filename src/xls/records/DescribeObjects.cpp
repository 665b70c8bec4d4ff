#include "xls/records/Describers.h"

template void DescribeWith<TObjDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TNoteDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<THLinkDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDValDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TDvDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TCondFmtDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TCfDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribePartsWith<TTxoDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribePartsWith<TDrawingDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribePartsWith<THfPictureDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
