#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

template <typename TSignature>
class TEvent;

/// An event property: holds a handler like std::function and counts the
/// assignments made to it, so that a raiser that chose a shortcut for the
/// handler it found can tell, by one comparison, that it is still the one
/// installed.
template <typename TResult, typename... TArgs>
class TEvent<TResult(TArgs...)> {
public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent(F&& handler) : FHandler(std::forward<F>(handler))
  {
  }
  TEvent(const TEvent& other) : FHandler(other.FHandler) {}
  TEvent& operator=(const TEvent& other)
  {
    FHandler = other.FHandler;
    ++FGeneration;
    return *this;
  }
  TEvent& operator=(std::nullptr_t)
  {
    FHandler = nullptr;
    ++FGeneration;
    return *this;
  }
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent& operator=(F&& handler)
  {
    FHandler = std::forward<F>(handler);
    ++FGeneration;
    return *this;
  }

  explicit operator bool() const { return static_cast<bool>(FHandler); }
  TResult operator()(TArgs... args) const { return FHandler(std::forward<TArgs>(args)...); }
  /// Changes with every assignment.
  std::uint64_t Generation() const { return FGeneration; }

private:
  std::function<TResult(TArgs...)> FHandler;
  std::uint64_t FGeneration = 0;
};
