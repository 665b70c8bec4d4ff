#include "ui/CommandLine.h"

TCommandLine ParseCommandLine(const QStringList& arguments)
{
  TCommandLine result;
  const QString compare = QStringLiteral("--compare");
  if (arguments.size() > 1 && arguments[1] == compare) {
    if (arguments.size() != 4 || arguments[2].isEmpty() || arguments[3].isEmpty()) {
      result.Valid = false;
      return result;
    }
    result.CompareA = arguments[2];
    result.CompareB = arguments[3];
    return result;
  }
  if (arguments.size() > 2) {
    result.Valid = false;
    return result;
  }
  if (arguments.size() == 2)
    result.FileName = arguments[1];
  return result;
}
