#include "CommandReader.h"

#include "Commands.h"
#include "platform/ErrorText.h"

#include <exception>
#include <vector>

namespace {

bool GKeepReaders = false;

std::vector<std::unique_ptr<TMSExcel>>& ParkedReaders()
{
  static std::vector<std::unique_ptr<TMSExcel>> parked;
  return parked;
}

}  // namespace

void KeepReadersUntilExit()
{
  GKeepReaders = true;
}

TCommandReader::~TCommandReader()
{
  if (GKeepReaders)
    ParkedReaders().push_back(std::move(FReader));
}

bool LoadCommandWorkbook(TMSExcel& reader, const std::string& fileName, std::ostream& err)
{
  reader.KeepStreamBuffer = false;
  try {
    reader.LoadFromFile(fileName);
    return true;
  } catch (const std::exception& e) {
    err << ErrorBoxText(ExceptionText(e)) << '\n';
    return false;
  }
}
