#include "xls/records/Describers.h"

template void DescribeWith<TBofDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TEmptyDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSettingDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TWriteAccessDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TTextRecordDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TWindow1Decoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TBundleSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TPaletteDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TStyleDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TTabIdDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TExternSheetDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TSupBookDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TExternNameDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TXctDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TCrnDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
template void DescribeWith<TLabelRangesDecoder>(const TLogicalRecord&, const TDecodeContext&, TFieldList&);
