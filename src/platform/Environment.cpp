#include "platform/Environment.h"

#include "platform/DateTime.h"

namespace {

/// The real environment: system clock, a generator seeded once from
/// std::random_device, and the locale set at start-up.
class TSystemDefaultEnvironment : public TSystemEnvironment {
public:
  TSystemDefaultEnvironment() : FGenerator(std::random_device{}()) {}
  const TLocaleSettings& Locale() const override { return FSettings; }
  double Now() const override { return SystemNow(); }
  double Random() override { return static_cast<double>(FGenerator()) / 4294967296.0; }
  void SetLocale(const TLocaleSettings& settings) { FSettings = settings; }

private:
  TLocaleSettings FSettings;
  std::mt19937 FGenerator;
};

// Function-local statics: built on first use, never at static-initialisation time.
TSystemDefaultEnvironment& SystemEnvironment()
{
  static TSystemDefaultEnvironment environment;
  return environment;
}

TSystemEnvironment*& CurrentOverride()
{
  static TSystemEnvironment* current = nullptr;
  return current;
}

}  // namespace

TSystemEnvironment& CurrentEnvironment()
{
  if (TSystemEnvironment* overridden = CurrentOverride())
    return *overridden;
  return SystemEnvironment();
}

const TLocaleSettings& CurrentLocale()
{
  return CurrentEnvironment().Locale();
}

void SetSystemLocale(const TLocaleSettings& settings)
{
  SystemEnvironment().SetLocale(settings);
}

TEnvironmentScope::TEnvironmentScope(TSystemEnvironment& environment) : FPrevious(CurrentOverride())
{
  CurrentOverride() = &environment;
}

TEnvironmentScope::~TEnvironmentScope()
{
  CurrentOverride() = FPrevious;
}

double TFixedEnvironment::Random()
{
  // A 32-bit draw divided by 2^32 is always below 1; a distribution object
  // may round up to 1.0 on some standard libraries.
  return static_cast<double>(FGenerator()) / 4294967296.0;
}
