#include "support/VbaBuilder.h"

#include "support/CompoundFileBuilder.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::size_t kChunk = 4096;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
  PutU16(out, static_cast<std::uint16_t>(v));
  PutU16(out, static_cast<std::uint16_t>(v >> 16));
}

std::span<const std::uint8_t> AsBytes(std::string_view text)
{
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::vector<std::uint8_t> Utf16(std::string_view utf8)
{
  std::vector<std::uint8_t> out;
  for (const char16_t unit : CfbUtf16(utf8))
    PutU16(out, unit);
  return out;
}

/// One chunk's tokens: at each place the longest earlier match of three
/// bytes or more within the chunk that the offset's bits can reach.
std::vector<std::uint8_t> CompressChunk(std::span<const std::uint8_t> piece)
{
  std::vector<std::uint8_t> out;
  std::size_t pos = 0;
  while (pos < piece.size()) {
    const std::size_t flagAt = out.size();
    out.push_back(0);
    for (unsigned bit = 0; bit < 8 && pos < piece.size(); ++bit) {
      unsigned bits = 4;
      while ((std::size_t{1} << bits) < pos)
        ++bits;
      const std::size_t maxLength = (0xFFFFu >> bits) + 3;
      std::size_t best = 0;
      std::size_t bestOffset = 0;
      for (std::size_t back = 1; back <= pos && back <= (std::size_t{1} << bits); ++back) {
        std::size_t length = 0;
        while (length < maxLength && pos + length < piece.size() && piece[pos + length] == piece[pos - back + length])
          ++length;
        if (length > best) {
          best = length;
          bestOffset = back;
        }
      }
      if (best >= 3) {
        out[flagAt] = static_cast<std::uint8_t>(out[flagAt] | 1u << bit);
        PutU16(out, static_cast<std::uint16_t>((bestOffset - 1) << (16 - bits) | (best - 3)));
        pos += best;
      } else {
        out.push_back(piece[pos++]);
      }
    }
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> VbaCompress(std::span<const std::uint8_t> bytes, bool stored)
{
  std::vector<std::uint8_t> out{0x01};
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    const auto piece = bytes.subspan(at, std::min(kChunk, bytes.size() - at));
    const auto tokens = CompressChunk(piece);
    if (stored || tokens.size() > kChunk) {
      if (piece.size() != kChunk)
        throw std::invalid_argument("only a whole chunk can be stored");
      PutU16(out, 0x3FFF);  // size 4098, signature 0b011, not compressed
      out.insert(out.end(), piece.begin(), piece.end());
      continue;
    }
    PutU16(out, static_cast<std::uint16_t>(0xB000 | (tokens.size() + 2 - 3)));
    out.insert(out.end(), tokens.begin(), tokens.end());
  }
  return out;
}

std::vector<std::uint8_t> VbaCompress(std::string_view text, bool stored)
{
  return VbaCompress(AsBytes(text), stored);
}

TVbaDirBuilder& TVbaDirBuilder::RawRecord(std::uint16_t id, std::uint32_t statedSize,
                                          std::span<const std::uint8_t> data)
{
  PutU16(FBytes, id);
  PutU32(FBytes, statedSize);
  FBytes.insert(FBytes.end(), data.begin(), data.end());
  return *this;
}

TVbaDirBuilder& TVbaDirBuilder::Record(std::uint16_t id, std::span<const std::uint8_t> data)
{
  return RawRecord(id, static_cast<std::uint32_t>(data.size()), data);
}

TVbaDirBuilder& TVbaDirBuilder::Record(std::uint16_t id, std::string_view data)
{
  return Record(id, AsBytes(data));
}

TVbaDirBuilder& TVbaDirBuilder::Information(std::string_view name8, std::uint16_t codePage, bool compatVersion)
{
  std::vector<std::uint8_t> u32;
  const auto value32 = [&](std::uint32_t v) {
    u32.clear();
    PutU32(u32, v);
    return std::span<const std::uint8_t>(u32);
  };
  std::vector<std::uint8_t> u16;
  PutU16(u16, codePage);
  Record(0x0001, value32(1));  // 32-bit Windows
  if (compatVersion)
    Record(0x004A, value32(0x6F));
  Record(0x0002, value32(0x0409));
  Record(0x0014, value32(0x0409));
  Record(0x0003, u16);
  Record(0x0004, name8);
  Record(0x0005, "");
  Record(0x0040, std::span<const std::uint8_t>());
  Record(0x0006, "");
  Record(0x003D, "");
  Record(0x0007, value32(0));
  Record(0x0008, value32(0));
  std::vector<std::uint8_t> version;
  PutU32(version, 0x4F2A1B3C);
  PutU16(version, 0x0011);
  RawRecord(0x0009, 4, version);
  Record(0x000C, "");
  return Record(0x003C, std::span<const std::uint8_t>());
}

TVbaDirBuilder& TVbaDirBuilder::RegisteredReference(std::string_view name8, std::string_view libId)
{
  Record(0x0016, name8);
  Record(0x003E, Utf16(name8));
  std::vector<std::uint8_t> data;
  PutU32(data, static_cast<std::uint32_t>(libId.size()));
  const auto id = AsBytes(libId);
  data.insert(data.end(), id.begin(), id.end());
  PutU32(data, 0);
  PutU16(data, 0);
  return Record(0x000D, data);
}

TVbaDirBuilder& TVbaDirBuilder::Modules(std::uint16_t count)
{
  std::vector<std::uint8_t> data;
  PutU16(data, count);
  Record(0x000F, data);
  data.clear();
  PutU16(data, 0xFFFF);
  return Record(0x0013, data);
}

TVbaDirBuilder& TVbaDirBuilder::Module(std::string_view name8, std::string_view nameUnicode, std::uint32_t offset,
                                       std::uint16_t type, std::string_view streamName8,
                                       std::string_view streamNameUnicode)
{
  Record(0x0019, name8);
  if (!nameUnicode.empty())
    Record(0x0047, Utf16(nameUnicode));
  Record(0x001A, streamName8.empty() ? name8 : streamName8);
  const std::string_view streamUnicode = !streamNameUnicode.empty() ? streamNameUnicode : nameUnicode;
  Record(0x0032, Utf16(streamUnicode));
  Record(0x001C, "");
  Record(0x0048, std::span<const std::uint8_t>());
  std::vector<std::uint8_t> data;
  PutU32(data, offset);
  Record(0x0031, data);
  data.clear();
  PutU32(data, 0);
  Record(0x001E, data);
  data.clear();
  PutU16(data, 0xFFFF);
  Record(0x002C, data);
  Record(type, std::span<const std::uint8_t>());
  return Record(0x002B, std::span<const std::uint8_t>());
}

TVbaDirBuilder& TVbaDirBuilder::End()
{
  return Record(0x0010, std::span<const std::uint8_t>());
}

TVbaFileBuilder& TVbaFileBuilder::Storage(std::string name)
{
  FStorage = std::move(name);
  return *this;
}

TVbaFileBuilder& TVbaFileBuilder::CodePage(std::uint16_t codePage)
{
  FCodePage = codePage;
  return *this;
}

TVbaFileBuilder& TVbaFileBuilder::Module(TVbaTestModule module)
{
  FModules.push_back(std::move(module));
  return *this;
}

TVbaFileBuilder& TVbaFileBuilder::Module(std::string name, std::string source, std::uint16_t type)
{
  TVbaTestModule module;
  module.Name = std::move(name);
  module.Source = std::move(source);
  module.Type = type;
  return Module(std::move(module));
}

TVbaFileBuilder& TVbaFileBuilder::Document(std::string name)
{
  FDocuments.push_back(std::move(name));
  return *this;
}

std::vector<std::uint8_t> TVbaFileBuilder::Build() const
{
  TVbaDirBuilder dir;
  dir.Information("VBAProject", FCodePage).RegisteredReference("stdole", "*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\Windows\\system32\\stdole2.tlb#OLE Automation");
  dir.Modules(static_cast<std::uint16_t>(FModules.size()));
  std::string project = "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\n";
  TCompoundFileBuilder file;
  file.AddStream("Workbook", std::vector<std::uint8_t>(16, 0));
  file.AddStorage(FStorage);
  file.AddStorage(FStorage + "/VBA");
  for (const TVbaTestModule& module : FModules) {
    const std::string name8 = module.Name8.empty() ? module.Name : module.Name8;
    // A name given in the code page is stored in that form only.
    dir.Module(name8, module.Name8.empty() ? module.Name : "", static_cast<std::uint32_t>(module.PcodeSize),
               module.Type);
    std::vector<std::uint8_t> stream;
    for (std::size_t i = 0; i < module.PcodeSize; ++i)
      stream.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    if (!module.DropSource) {
      const auto source = VbaCompress(module.Source);
      stream.insert(stream.end(), source.begin(), source.end());
    }
    file.AddStream(FStorage + "/VBA/" + module.Name, stream);
    const bool document = std::find(FDocuments.begin(), FDocuments.end(), module.Name) != FDocuments.end();
    if (document)
      project += "Document=" + name8 + "/&H00000000\r\n";
    else
      project += (module.Type == kVbaTestStandard ? "Module=" : "Class=") + name8 + "\r\n";
  }
  dir.End();
  project += "Name=\"VBAProject\"\r\n\r\n[Host Extender Info]\r\n&H00000001={3832D640-CF90-11CF-8E43-00A0C911005A};VBE;&H00000000\r\n";
  file.AddStream(FStorage + "/VBA/dir", VbaCompress(std::span<const std::uint8_t>(dir.Build())));
  file.AddStream(FStorage + "/VBA/_VBA_PROJECT", {0xCC, 0x61, 0xFF, 0xFF, 0x00, 0x00, 0x00});
  file.AddStream(FStorage + "/PROJECT", std::vector<std::uint8_t>(project.begin(), project.end()));
  return file.Build();
}
