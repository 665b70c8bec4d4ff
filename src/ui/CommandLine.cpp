#include "ui/CommandLine.h"

TCommandLine ParseCommandLine(const QStringList& arguments)
{
  TCommandLine result;
  if (arguments.size() > 2) {
    result.Valid = false;
    return result;
  }
  if (arguments.size() == 2)
    result.FileName = arguments[1];
  return result;
}
