#pragma once

#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

/// Label texts by the bytes they come from: open addressing over a table of
/// a power-of-two size, as a lookup per label cell must cost little. A key
/// is a word of what the text depends on besides its bytes (`head`) and the
/// record's bytes, read where they lie. A slot holds part of the key's hash
/// beside where the key is kept, so a probe that misses touches nothing
/// else; a kept key is its head, its length and its bytes, together in one
/// buffer. The texts are in a list of their own that cells may keep
/// (TextOwner) after the table is gone.
class TLabelTable {
public:
  static constexpr std::size_t kLongestKey = 300;
  static constexpr std::size_t kMostKept = std::size_t{1} << 16;

  /// Eight bytes a step, then mixed so that the low bits, which pick the
  /// slot, depend on every byte.
  static std::uint64_t Hash(std::uint64_t head, std::span<const std::uint8_t> raw)
  {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = (head ^ raw.size()) * kMul;
    std::size_t i = 0;
    for (; i + 8 <= raw.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, raw.data() + i, 8);
      hash = (hash ^ word) * kMul;
      hash ^= hash >> 32;
    }
    if (i < raw.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, raw.data() + i, raw.size() - i);
      hash = (hash ^ word) * kMul;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
  }
  const TVariant* Find(std::uint64_t head, std::span<const std::uint8_t> raw,
                       std::uint64_t hash) const
  {
    if (FSlots.empty())
      return nullptr;
    const std::uint64_t tag = hash & kTagMask;
    for (std::size_t slot = hash & (FSlots.size() - 1);; slot = (slot + 1) & (FSlots.size() - 1)) {
      const std::uint64_t held = FSlots[slot];
      if (held == 0)
        return nullptr;
      if ((held & kTagMask) != tag)
        continue;
      const std::uint8_t* kept = FKeys.data() + 8 * ((held & ~kTagMask) - 1);
      TKeyHeader header;
      std::memcpy(&header, kept, sizeof header);
      if (header.Head == head && header.Length == raw.size() &&
          (raw.empty() || std::memcmp(kept + sizeof header, raw.data(), raw.size()) == 0))
        return &(*FTexts)[header.Text];
    }
  }
  bool Full() const { return FTexts->size() >= kMostKept; }
  /// Keeps `value` for a key not yet kept, in a table that is not full.
  const TVariant& Add(std::uint64_t head, std::span<const std::uint8_t> raw, std::uint64_t hash,
                      TVariant&& value)
  {
    if (2 * (FTexts->size() + 1) > FSlots.size())
      Grow();
    const std::size_t at = FKeys.size();
    const TKeyHeader header{head, static_cast<std::uint32_t>(raw.size()),
                            static_cast<std::uint32_t>(FTexts->size())};
    // Keys start on 8-byte steps, so a slot can count in them.
    FKeys.resize(at + (sizeof header + raw.size() + 7) / 8 * 8);
    std::memcpy(FKeys.data() + at, &header, sizeof header);
    if (!raw.empty())
      std::memcpy(FKeys.data() + at + sizeof header, raw.data(), raw.size());
    FTexts->push_back(std::move(value));
    Place(at, hash);
    return FTexts->back();
  }
  /// What keeps the texts Find and Add return: a new list for each table,
  /// so cells of an earlier load keep theirs.
  const std::shared_ptr<const void>& TextOwner() const { return FTextOwner; }

private:
  // The hash's high half is kept in a slot; where the key is fits the low
  // half (at most kMostKept keys of at most 8 + kLongestKey bytes).
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  static_assert(kMostKept * (sizeof(std::uint64_t) * 2 + kLongestKey) / 8 < (std::uint64_t{1} << 32));
  struct TKeyHeader {
    std::uint64_t Head;
    std::uint32_t Length;  // of the bytes after the header
    std::uint32_t Text;    // index in FTexts
  };
  void Grow()
  {
    FSlots.assign(std::max<std::size_t>(1024, 2 * FSlots.size()), 0);
    for (std::size_t at = 0; at < FKeys.size();) {
      TKeyHeader header;
      std::memcpy(&header, FKeys.data() + at, sizeof header);
      Place(at, Hash(header.Head, std::span(FKeys.data() + at + sizeof header, header.Length)));
      at += (sizeof header + header.Length + 7) / 8 * 8;
    }
  }
  void Place(std::size_t at, std::uint64_t hash)
  {
    std::size_t slot = hash & (FSlots.size() - 1);
    while (FSlots[slot] != 0)
      slot = (slot + 1) & (FSlots.size() - 1);
    FSlots[slot] = (hash & kTagMask) | (at / 8 + 1);
  }

  // Keys and texts are reached by offset and index, so their growing moves
  // nothing a caller holds past the next call (a text's block stays put).
  std::vector<std::uint8_t> FKeys;
  std::vector<std::uint64_t> FSlots;  // hash tag | key offset / 8 + 1; 0 for a free slot
  std::shared_ptr<std::vector<TVariant>> FTexts = std::make_shared<std::vector<TVariant>>();
  std::shared_ptr<const void> FTextOwner = FTexts;
};
