#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Fixed texts of the workbook reader; "a Excel" is the product's wording.
inline constexpr char kMsgNotExcelFile[] = "File is not a Excel file";
/// A stream read to its end in which no record is a BOF.
inline constexpr char kMsgNoBof[] = "Not a BIFF stream: no BOF record opens a substream";
inline constexpr char kMsgNotValidWorkbook[] = "File is not valid Excel Workbook";
inline constexpr char kMsgPasswordProtected[] = "Could not read the password protected file";
inline constexpr char kMsgNoContinue[] = "CONTINUE record is not found in the stream";
inline constexpr char kMsgSstOptionsFormat[] =
    "String in SST (Options byte is 0x%s) can not be processed.";
inline constexpr char kMsgInvalidContinueFlag[] = "Invalid option flag (0x%s) after CONTINUE record";
inline constexpr char kMsgRichDataContinue[] = "must read CONTINUE before RichData";
inline constexpr char kMsgExtDataContinue[] = "must read CONTINUE before ExtData";
inline constexpr char kMsgCannotOpenFile[] = "Cannot open file \"%s\". %s";
inline constexpr char kMsgUnknownErrorCode[] = "Unknown error code ";

/// The meaning of the one raw field a record without a layout is shown as.
inline constexpr char kTextNoLayout[] = "no layout for this record type";
// Names of the encryption schemes of a FILEPASS record, as the status bar,
// the password dialog and the stats output show them.
inline constexpr char kSchemeXorBiff5[] = "XOR obfuscation (BIFF2-5)";
inline constexpr char kSchemeXor[] = "XOR obfuscation";
inline constexpr char kSchemeRc4[] = "RC4";
inline constexpr char kSchemeCryptoApi[] = "RC4 CryptoAPI";
inline constexpr char kSchemeUnknown[] = "unknown scheme";
inline constexpr char kSchemeRc4Detail[] = " with MD5";
inline constexpr char kSchemeKeyBits[] = "-bit key";
// Why a FILEPASS names no scheme the reader can use (after "unknown scheme: ").
inline constexpr char kFilePassShort[] = "record too short";
inline constexpr char kFilePassUnknownType[] = "unknown encryption type ";
inline constexpr char kFilePassUnknownVersion[] = "unknown RC4 version ";
inline constexpr char kFilePassHeaderSize[] = "encryption header size %s does not fit the record";
inline constexpr char kFilePassUnknownCipher[] = "unknown cipher ";
inline constexpr char kFilePassUnknownHash[] = "unknown hash ";
inline constexpr char kFilePassUnknownKeySize[] = "unknown key size ";
inline constexpr char kFilePassUnknownVerifier[] = "unknown verifier sizes";
inline constexpr char kFilePassTooLong[] = "FILEPASS record longer than a record may be";
inline constexpr char kFilePassEmpty[] = "empty FILEPASS record";
inline constexpr char kFilePassCutShort[] = "FILEPASS record cut short by the stream's end";
/// What the record inspector shows for the data of an encrypted record no
/// password opened.
inline constexpr char kFieldEncrypted[] = "encrypted, not decoded without the password";

/// The caption of a worksheet no BOUNDSHEET record names, before its number
/// from 1, as the model names a sheet it makes up.
inline constexpr char kCaptionUnlistedSheet[] = "Sheet";

/// "Record 107 at offset 2176 opens the worksheet of index 0, past the
/// workbook's 0 BOUNDSHEET records; it is read as Sheet1": the load reads
/// the sheet and fails with this once the stream is read.
inline std::string UnlistedSheetMessage(std::uint64_t record, std::uint64_t offset, int index, std::size_t listed)
{
  return "Record " + std::to_string(record) + " at offset " + std::to_string(offset) +
         " opens the worksheet of index " + std::to_string(index) + ", past the workbook's " +
         std::to_string(listed) + " BOUNDSHEET records; it is read as " + kCaptionUnlistedSheet +
         std::to_string(index + 1);
}

/// "Record 147 at offset 3884: LABELSST string index 45 is past the 0
/// strings of the SST; its cell is left out": the load goes on and fails
/// with this once the stream is read.
inline std::string StringPastTableMessage(std::uint64_t record, std::uint64_t offset, std::uint64_t index,
                                          std::size_t strings)
{
  return "Record " + std::to_string(record) + " at offset " + std::to_string(offset) + ": LABELSST string index " +
         std::to_string(index) + " is past the " + std::to_string(strings) +
         " strings of the SST; its cell is left out";
}

/// "<container damage>. <record damage>": a salvaged stream whose records
/// were damaged too.
inline std::string BothDamagesMessage(const std::string& container, const std::string& records)
{
  return container + ". " + records;
}
