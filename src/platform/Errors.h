#pragma once

#include <stdexcept>
#include <string>

/// The one exception type of the project: a failure carrying its message text.
/// Every error the program reports (file checks, list indexes, storage status,
/// conversions, expression faults) is this type or derives from it, so a user
/// action needs only one catch site.
class EBiffLensError : public std::runtime_error {
public:
  explicit EBiffLensError(const std::string& message) : std::runtime_error(message) {}
};

/// An index outside a list: "List index out of bounds (%d)".
class EListError : public EBiffLensError {
public:
  explicit EListError(long long index);
};

/// "Cannot assign a %s to a %s".
class EConvertError : public EBiffLensError {
public:
  using EBiffLensError::EBiffLensError;
};

/// Text of "List index out of bounds (%d)" for an index.
std::string ListIndexMessage(long long index);
