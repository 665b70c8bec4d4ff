#include "platform/Persistent.h"

#include "platform/Errors.h"

std::string AssignErrorMessage(const char* sourceClass, const char* targetClass)
{
  return std::string("Cannot assign a ") + sourceClass + " to a " + targetClass;
}

void TPersistent::Assign(const TPersistent& source)
{
  AssignError(source);
}

void TPersistent::AssignError(const TPersistent& source) const
{
  throw EConvertError(AssignErrorMessage(source.ClassName(), ClassName()));
}
