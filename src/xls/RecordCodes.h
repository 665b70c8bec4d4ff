#pragma once

#include <cstdint>

// BIFF record codes the reader looks at.
inline constexpr std::uint16_t kRecBlank2 = 0x0001;
inline constexpr std::uint16_t kRecInteger2 = 0x0002;
inline constexpr std::uint16_t kRecNumber2 = 0x0003;
inline constexpr std::uint16_t kRecLabel2 = 0x0004;
inline constexpr std::uint16_t kRecBoolErr2 = 0x0005;
inline constexpr std::uint16_t kRecFormula = 0x0006;
inline constexpr std::uint16_t kRecString2 = 0x0007;
inline constexpr std::uint16_t kRecBof2 = 0x0009;
inline constexpr std::uint16_t kRecEof = 0x000A;
inline constexpr std::uint16_t kRecName = 0x0018;
inline constexpr std::uint16_t kRecFormat2 = 0x001E;
inline constexpr std::uint16_t kRecDateMode = 0x0022;
inline constexpr std::uint16_t kRecColWidth = 0x0024;
inline constexpr std::uint16_t kRecFilePass = 0x002F;
inline constexpr std::uint16_t kRecFont = 0x0031;
inline constexpr std::uint16_t kRecContinue = 0x003C;
inline constexpr std::uint16_t kRecCodePage = 0x0042;
inline constexpr std::uint16_t kRecXf2 = 0x0043;
inline constexpr std::uint16_t kRecColInfo = 0x007D;
inline constexpr std::uint16_t kRecRk = 0x007E;
inline constexpr std::uint16_t kRecBoundSheet = 0x0085;
inline constexpr std::uint16_t kRecMulRk = 0x00BD;
inline constexpr std::uint16_t kRecMulBlank = 0x00BE;
inline constexpr std::uint16_t kRecRString = 0x00D6;
inline constexpr std::uint16_t kRecXf5 = 0x00E0;
inline constexpr std::uint16_t kRecInterfaceHdr = 0x00E1;
inline constexpr std::uint16_t kRecSst = 0x00FC;
inline constexpr std::uint16_t kRecLabelSst = 0x00FD;
inline constexpr std::uint16_t kRecRrdHead = 0x0138;
inline constexpr std::uint16_t kRecUsrExcl = 0x0194;
inline constexpr std::uint16_t kRecFileLock = 0x0195;
inline constexpr std::uint16_t kRecRrdInfo = 0x0196;
inline constexpr std::uint16_t kRecExcel9 = 0x01C0;
inline constexpr std::uint16_t kRecDimensions = 0x0200;
inline constexpr std::uint16_t kRecNumber = 0x0203;
inline constexpr std::uint16_t kRecLabel = 0x0204;
inline constexpr std::uint16_t kRecBoolErr = 0x0205;
inline constexpr std::uint16_t kRecFormula3 = 0x0206;
inline constexpr std::uint16_t kRecString = 0x0207;
inline constexpr std::uint16_t kRecRow = 0x0208;
inline constexpr std::uint16_t kRecBof3 = 0x0209;
inline constexpr std::uint16_t kRecName3 = 0x0218;
inline constexpr std::uint16_t kRecArray = 0x0221;
inline constexpr std::uint16_t kRecFont3 = 0x0231;
inline constexpr std::uint16_t kRecTable = 0x0236;
inline constexpr std::uint16_t kRecXf3 = 0x0243;
inline constexpr std::uint16_t kRecRk3 = 0x027E;
inline constexpr std::uint16_t kRecFormula4 = 0x0406;
inline constexpr std::uint16_t kRecBof4 = 0x0409;
inline constexpr std::uint16_t kRecFormat4 = 0x041E;
inline constexpr std::uint16_t kRecXf4 = 0x0443;
inline constexpr std::uint16_t kRecSharedFormula = 0x04BC;
inline constexpr std::uint16_t kRecBof = 0x0809;

// The low byte every BOF code shares (0x0009, 0x0209, 0x0409, 0x0809).
inline constexpr std::uint8_t kBofLowByte = 0x09;
inline constexpr std::uint16_t kBofTypeGlobals = 0x0005;
// The version word of a BIFF8 BOF (BIFF5 and BIFF7 write 0x0500).
inline constexpr std::uint16_t kBofVersionBiff8 = 0x0600;
inline constexpr std::uint16_t kBofTypeWorksheet = 0x0010;
