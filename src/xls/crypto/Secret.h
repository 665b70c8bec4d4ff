#pragma once

// Passwords and what is made from them: kept in buffers that never move and
// are zeroed when replaced or destroyed, so no copy of a password is left
// behind in freed memory once the load that used it is over.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

/// Zeroes `bytes` in a way the compiler may not leave out.
void WipeBytes(void* bytes, std::size_t size);

/// A password as text (UTF-8). Its buffer has a fixed capacity, so it never
/// reallocates; longer text is cut at the last whole character that fits.
class TSecret {
public:
  /// Far beyond Excel's 255 characters.
  static constexpr std::size_t kCapacity = 1024;

  TSecret();
  explicit TSecret(std::string_view text);
  ~TSecret();
  TSecret(TSecret&& other) noexcept;
  TSecret& operator=(TSecret&& other) noexcept;
  TSecret(const TSecret&) = delete;
  TSecret& operator=(const TSecret&) = delete;

  /// Replaces the text (the old one is zeroed first).
  void Assign(std::string_view text);
  void Clear();
  std::string_view View() const { return {FData.get(), FSize}; }
  bool Empty() const { return FSize == 0; }

private:
  std::unique_ptr<char[]> FData;
  std::size_t FSize = 0;
};

/// A password as the key derivations take it: UTF-16 code units, at most
/// 255 of them (Excel's longest password; more are not used). Zeroed at its end.
class TPasswordUnits {
public:
  static constexpr std::size_t kMostUnits = 255;

  /// From UTF-8; a byte that does not start a valid sequence counts as the
  /// Latin-1 character it would be.
  explicit TPasswordUnits(std::string_view utf8);
  explicit TPasswordUnits(std::u16string_view units);
  ~TPasswordUnits();
  TPasswordUnits(const TPasswordUnits&) = delete;
  TPasswordUnits& operator=(const TPasswordUnits&) = delete;

  std::span<const char16_t> Units() const { return {FUnits.data(), FCount}; }
  /// The UTF-16LE bytes the RC4 derivations hash.
  std::span<const std::uint8_t> Bytes() const { return {FBytes.data(), 2 * FCount}; }

private:
  void Add(char16_t unit);

  std::array<char16_t, kMostUnits> FUnits{};
  std::array<std::uint8_t, 2 * kMostUnits> FBytes{};
  std::size_t FCount = 0;
};
