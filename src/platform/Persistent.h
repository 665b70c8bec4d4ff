#pragma once

#include <string>

/// Base of the objects that can copy themselves from another object with
/// Assign. A class that knows how to take a source overrides Assign; for any
/// other source the base fails with "Cannot assign a %s to a %s" (the source's
/// class name, then the target's).
class TPersistent {
public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;
  /// Throws EConvertError for a source the class does not accept.
  virtual void Assign(const TPersistent& source);

protected:
  TPersistent() = default;
  TPersistent(const TPersistent&) = default;
  TPersistent& operator=(const TPersistent&) = default;
  [[noreturn]] void AssignError(const TPersistent& source) const;
};

/// "Cannot assign a %s to a %s" with the two class names filled in.
std::string AssignErrorMessage(const char* sourceClass, const char* targetClass);
