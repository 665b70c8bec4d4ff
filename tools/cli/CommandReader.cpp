#include "CommandReader.h"

#include "Commands.h"
#include "platform/ErrorText.h"

#include <exception>
#include <vector>

namespace {

bool GKeepReaders = false;
const TSecret* GPassword = nullptr;  // see TCommandPassword

std::vector<std::unique_ptr<TMSExcel>>& Parked()
{
  static std::vector<std::unique_ptr<TMSExcel>> parked;
  return parked;
}

}  // namespace

void KeepReadersUntilExit()
{
  GKeepReaders = true;
}

TCommandPassword::TCommandPassword(const TSecret* password) : FPrevious(GPassword)
{
  GPassword = password;
}

TCommandPassword::~TCommandPassword()
{
  GPassword = FPrevious;
}

TCommandReader::TCommandReader() : FReader(std::make_unique<TMSExcel>()) {}

TCommandReader::~TCommandReader()
{
  if (GKeepReaders)
    Parked().push_back(std::move(FReader));
}

std::string CommandInputPath(const std::string& fileName)
{
  return fileName == "-" ? std::string("/dev/stdin") : fileName;
}

namespace {

// The password given, once: a wrong one leaves the workbook locked.
void OfferPassword(TMSExcel& reader)
{
  reader.OnPassword = [](TMSExcel&, const TPasswordRequest& request, TSecret& password, bool& cancel) {
    if (GPassword == nullptr || request.Refused > 0) {
      cancel = true;
      return;
    }
    password.Assign(GPassword->View());
  };
}

}  // namespace

void ReportFileError(std::ostream& err, const std::string& fileName, const std::string& message)
{
  err << "bifflens-cli: " << fileName << ": " << ErrorBoxText(message) << '\n';
}

void ReportUsage(std::ostream& err, const char* command, const char* usage)
{
  err << "bifflens-cli: wrong arguments for " << command << "\nUsage: bifflens-cli " << usage
      << "\n(bifflens-cli help " << command << " says more)\n";
}

bool LoadBytes(TMSExcel& reader, const TSharedBytes& bytes, const std::string& fileName, std::ostream& err)
{
  reader.KeepStreamBuffer = true;
  OfferPassword(reader);
  try {
    reader.LoadFromMemory(bytes.Span());
    return true;
  } catch (const std::exception& e) {
    ReportFileError(err, fileName, ExceptionText(e));
    return false;
  }
}

bool Load(TMSExcel& reader, const std::string& fileName, std::ostream& err, bool keepStream)
{
  reader.KeepStreamBuffer = keepStream;
  OfferPassword(reader);
  try {
    reader.LoadFromFile(CommandInputPath(fileName));
    return true;
  } catch (const std::exception& e) {
    ReportFileError(err, fileName, ExceptionText(e));
    return false;
  }
}

