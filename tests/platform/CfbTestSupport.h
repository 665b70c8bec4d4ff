#pragma once

#include "platform/CompoundFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <memory>
#include <vector>

// Bytes that differ from sector to sector and from stream to stream, so a
// sector read from the wrong place or in the wrong order shows.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed)
{
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

inline TCompoundFile OpenBytes(std::vector<std::uint8_t> bytes)
{
  return TCompoundFile::Open(TSharedBytes(std::move(bytes)));
}

/// Success when `action` throws EOleError with exactly this status and text.
inline testing::AssertionResult ThrowsOle(const std::function<void()>& action, std::int32_t status,
                                          const std::string& message)
{
  try {
    action();
  } catch (const EOleError& e) {
    if (e.Status() == status && e.what() == message)
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << "EOleError status " << std::hex << e.Status() << " \""
                                       << e.what() << "\", expected status " << status << " \""
                                       << message << "\"";
  }
  return testing::AssertionFailure() << "no EOleError thrown";
}
