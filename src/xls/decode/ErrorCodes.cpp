#include "xls/decode/ErrorCodes.h"

#include "xls/XlsMessages.h"

const char* ErrorCodeName(std::uint8_t code)
{
  switch (code) {
  case 0x00: return "#NULL!";
  case 0x07: return "#DIV/0!";
  case 0x0F: return "#VALUE!";
  case 0x17: return "#REF!";
  case 0x1D: return "#NAME?";
  case 0x24: return "#NUM!";
  case 0x2A: return "#N/A";
  default: return nullptr;
  }
}

std::string ErrorCodeText(int code)
{
  const char* name = code >= 0 && code <= 0xFF ? ErrorCodeName(static_cast<std::uint8_t>(code)) : nullptr;
  return name != nullptr ? std::string(name) : kMsgUnknownErrorCode + std::to_string(code);
}
