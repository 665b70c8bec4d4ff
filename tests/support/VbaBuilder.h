#pragma once

// Builds VBA project streams in memory for tests, written from the file
// format and independent of the reader:
//
//   const auto dir = TVbaDirBuilder().Information("VBAProject", 1252)
//       .Module("Module1", "Module1", 0, kVbaTestStandard).End().Build();
//   const auto file = TVbaFileBuilder()
//       .Module("Module1", "Attribute VB_Name = \"Module1\"\r\n").Build();
//
// VbaCompress writes real compressed containers (copy tokens where bytes
// repeat), so the reader is tested against an encoder it does not share.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint16_t kVbaTestStandard = 0x0021;
inline constexpr std::uint16_t kVbaTestDocClass = 0x0022;

/// `bytes` as a compressed container: each 4096 bytes a chunk, compressed
/// greedily, or stored when `stored` is set (only for whole chunks).
std::vector<std::uint8_t> VbaCompress(std::span<const std::uint8_t> bytes, bool stored = false);
std::vector<std::uint8_t> VbaCompress(std::string_view text, bool stored = false);

/// The records of a dir stream, before compression.
class TVbaDirBuilder {
public:
  /// Any record: its id, a 4-byte size and the bytes.
  TVbaDirBuilder& Record(std::uint16_t id, std::span<const std::uint8_t> data);
  TVbaDirBuilder& Record(std::uint16_t id, std::string_view data);
  /// A record whose size field says `statedSize`, whatever follows.
  TVbaDirBuilder& RawRecord(std::uint16_t id, std::uint32_t statedSize, std::span<const std::uint8_t> data);
  /// The project information records in their order: system kind, LCIDs,
  /// code page, name, doc string (both forms), help file (both), help
  /// context, library flags, version (size field 4, six bytes following),
  /// constants (both); `compatVersion` adds the newer record before the LCID.
  TVbaDirBuilder& Information(std::string_view name8, std::uint16_t codePage, bool compatVersion = false);
  /// A registered reference with its name records.
  TVbaDirBuilder& RegisteredReference(std::string_view name8, std::string_view libId);
  /// PROJECTMODULES with `count` and PROJECTCOOKIE.
  TVbaDirBuilder& Modules(std::uint16_t count);
  /// A module's records: names in 8 bits (`name8`, as the code page writes
  /// them) and in UTF-16 (`nameUnicode`, UTF-8 here; empty leaves it out),
  /// stream name likewise, the text offset and the type; then its
  /// terminator.
  TVbaDirBuilder& Module(std::string_view name8, std::string_view nameUnicode, std::uint32_t offset,
                         std::uint16_t type, std::string_view streamName8 = {},
                         std::string_view streamNameUnicode = {});
  /// The dir stream's terminator.
  TVbaDirBuilder& End();

  const std::vector<std::uint8_t>& Build() const { return FBytes; }

private:
  std::vector<std::uint8_t> FBytes;
};

/// A module of a test project.
struct TVbaTestModule {
  std::string Name;           // UTF-8; ASCII unless the code page is given
  std::string Name8;          // the name in the project's code page; Name when empty
  std::string Source;         // bytes in the project's code page
  std::uint16_t Type = kVbaTestStandard;
  std::size_t PcodeSize = 0;  // compiled-code bytes before the source
  bool DropSource = false;    // the stream holds the compiled code only
};

/// A compound file with a VBA project: PROJECT listing, dir stream and
/// modules, in _VBA_PROJECT_CUR (or `storage`), beside a small Workbook
/// stream.
class TVbaFileBuilder {
public:
  TVbaFileBuilder& Storage(std::string name);
  TVbaFileBuilder& CodePage(std::uint16_t codePage);
  TVbaFileBuilder& Module(TVbaTestModule module);
  TVbaFileBuilder& Module(std::string name, std::string source, std::uint16_t type = kVbaTestStandard);
  /// Lists module `name` as a document's module in the PROJECT stream.
  TVbaFileBuilder& Document(std::string name);

  std::vector<std::uint8_t> Build() const;

private:
  std::string FStorage = "_VBA_PROJECT_CUR";
  std::uint16_t FCodePage = 1252;
  std::vector<TVbaTestModule> FModules;
  std::vector<std::string> FDocuments;
};
