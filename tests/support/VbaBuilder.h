#pragma once

// Builds VBA project streams in memory for tests, written from the file
// format and independent of the reader:
//
//   const auto file = TVbaFileBuilder()
//       .Module("Module1", "Attribute VB_Name = \"Module1\"\r\n").Build();

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint16_t kVbaTestStandard = 0x0021;
inline constexpr std::uint16_t kVbaTestDocClass = 0x0022;

/// `text` as a compressed container: literal tokens, and a copy one byte
/// back for each run of a repeated byte (chunks of at most 3600 bytes, so
/// a chunk's tokens always fit its size field).
std::vector<std::uint8_t> VbaCompress(std::string_view text);

/// The records of a dir stream, before compression.
class TVbaDirBuilder {
public:
  /// A record whose size field says `statedSize`, whatever follows.
  TVbaDirBuilder& RawRecord(std::uint16_t id, std::uint32_t statedSize, std::string_view data);
  TVbaDirBuilder& Record(std::uint16_t id, std::string_view data = {});
  TVbaDirBuilder& U32Record(std::uint16_t id, std::uint32_t value);
  /// The information records in their order, the version's size field 4
  /// though six bytes follow; `compatVersion` adds the newer writers'
  /// record before the LCID. Then PROJECTMODULES with `modules`.
  TVbaDirBuilder& Information(std::uint16_t codePage, std::uint16_t modules, bool compatVersion = false);
  /// A module's records and terminator: its name in 8 bits, in UTF-16 when
  /// `unicode` is set (ASCII or UTF-8 here), its stream's name likewise.
  TVbaDirBuilder& Module(std::string_view name8, std::uint32_t offset, std::uint16_t type, bool unicode = true,
                         std::string_view stream8 = {});
  /// The dir stream's terminator.
  TVbaDirBuilder& End() { return Record(0x0010); }

  std::string_view Bytes() const { return FBytes; }

private:
  std::string FBytes;
};

/// A module of a test project.
struct TVbaTestModule {
  std::string Name;           // UTF-8, as the compound file names its stream
  std::string Name8;          // the name in the project's code page, stored in that form only; Name when empty
  std::string Source;         // bytes in the project's code page
  std::uint16_t Type = kVbaTestStandard;
  std::size_t PcodeSize = 0;  // compiled-code bytes before the source
  bool DropSource = false;    // the stream holds the compiled code only
};

/// A compound file with a VBA project in _VBA_PROJECT_CUR: a PROJECT
/// listing, the dir stream and each module's stream.
class TVbaFileBuilder {
public:
  TVbaFileBuilder& CodePage(std::uint16_t codePage);
  TVbaFileBuilder& Module(TVbaTestModule module);
  /// A standard module, or a document's module (listed as such) for
  /// kVbaTestDocClass.
  TVbaFileBuilder& Module(std::string name, std::string source, std::uint16_t type = kVbaTestStandard);
  /// The workbook stream beside the project (16 zero bytes by default).
  TVbaFileBuilder& Workbook(std::vector<std::uint8_t> stream);
  std::vector<std::uint8_t> Build() const;

private:
  std::vector<std::uint8_t> FWorkbook = std::vector<std::uint8_t>(16, 0);
  std::uint16_t FCodePage = 1252;
  std::vector<TVbaTestModule> FModules;
};

/// A compound file of storage `storage` (and its VBA storage) holding a
/// dir stream and the given module streams, named "storage/VBA/name".
std::vector<std::uint8_t> VbaStorageFile(std::string_view storage, std::string_view dirName,
                                         const TVbaDirBuilder& dir,
                                         const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& streams,
                                         const std::vector<std::uint8_t>& workbook = std::vector<std::uint8_t>(16, 0));
