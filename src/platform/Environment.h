#pragma once

#include "platform/Locale.h"

#include <cstdint>
#include <random>

/// What the value conversions and the evaluator take from outside the
/// program: the locale, the clock and a pseudo-random source. One small
/// interface so that tests put in fixed settings, a fixed clock and a seeded
/// generator (TFixedEnvironment) for the span of a TEnvironmentScope.
class TSystemEnvironment {
public:
  virtual ~TSystemEnvironment() = default;
  virtual const TLocaleSettings& Locale() const = 0;
  /// The current local date and time as a date value (days since 30 Dec 1899).
  virtual double Now() const = 0;
  /// A pseudo-random real in [0, 1).
  virtual double Random() = 0;
};

/// The environment in force: the innermost TEnvironmentScope's, else the
/// system's (real clock, generator seeded from std::random_device, locale
/// as set by SetSystemLocale, US English until then).
TSystemEnvironment& CurrentEnvironment();

/// Shorthand for CurrentEnvironment().Locale().
const TLocaleSettings& CurrentLocale();

/// Replaces the locale of the system environment (program start-up).
void SetSystemLocale(const TLocaleSettings& settings);

/// Installs an environment for its own lifetime and restores the previous one
/// when it ends. Keeps a reference: `environment` must outlive the scope.
/// Scopes nest; they must end in the reverse order of their creation.
class TEnvironmentScope {
public:
  explicit TEnvironmentScope(TSystemEnvironment& environment);
  ~TEnvironmentScope();
  TEnvironmentScope(const TEnvironmentScope&) = delete;
  TEnvironmentScope& operator=(const TEnvironmentScope&) = delete;

private:
  TSystemEnvironment* FPrevious;
};

/// An environment with explicit settings, a clock that stands still and a
/// seeded generator: what tests and reproducible runs use.
class TFixedEnvironment : public TSystemEnvironment {
public:
  explicit TFixedEnvironment(TLocaleSettings settings = UsEnglishLocale(), double now = 0,
                             std::uint32_t seed = 1)
      : Settings(std::move(settings)), Clock(now), FGenerator(seed)
  {
  }
  const TLocaleSettings& Locale() const override { return Settings; }
  double Now() const override { return Clock; }
  double Random() override;

  TLocaleSettings Settings;
  double Clock;

private:
  std::mt19937 FGenerator;
};
