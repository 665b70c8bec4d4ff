#include "platform/Errors.h"

std::string ListIndexMessage(long long index)
{
  return "List index out of bounds (" + std::to_string(index) + ")";
}

EListError::EListError(long long index) : EBiffLensError(ListIndexMessage(index)) {}
