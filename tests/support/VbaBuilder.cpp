#include "support/VbaBuilder.h"

#include "support/CompoundFileBuilder.h"

namespace {

void PutU16(std::string& out, std::uint16_t v)
{
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

std::string U32(std::uint32_t v)
{
  std::string out;
  PutU16(out, static_cast<std::uint16_t>(v));
  PutU16(out, static_cast<std::uint16_t>(v >> 16));
  return out;
}

std::string Utf16(std::string_view utf8)
{
  std::string out;
  for (const char16_t unit : CfbUtf16(utf8))
    PutU16(out, unit);
  return out;
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
  return {text.begin(), text.end()};
}

}  // namespace

std::vector<std::uint8_t> VbaCompress(std::string_view text)
{
  std::string out(1, '\x01');
  for (std::size_t at = 0; at < text.size(); at += 3600) {
    const std::string_view piece = text.substr(at, 3600);
    std::string tokens;
    std::size_t flagAt = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < piece.size(); ++count) {
      if (count % 8 == 0) {
        flagAt = tokens.size();
        tokens += '\0';
      }
      // A run of the byte before: a copy one byte back, at most 18 long so
      // that its length fits every width of the token's fields.
      std::size_t run = 0;
      while (i > 0 && run < 18 && i + run < piece.size() && piece[i + run] == piece[i - 1])
        ++run;
      if (run >= 3) {
        tokens[flagAt] = static_cast<char>(tokens[flagAt] | 1 << (count % 8));
        PutU16(tokens, static_cast<std::uint16_t>(run - 3));
        i += run;
        continue;
      }
      tokens += piece[i++];
    }
    PutU16(out, static_cast<std::uint16_t>(0xB000 | (tokens.size() - 1)));  // compressed, signature 0b011
    out += tokens;
  }
  return Bytes(out);
}

TVbaDirBuilder& TVbaDirBuilder::RawRecord(std::uint16_t id, std::uint32_t statedSize, std::string_view data)
{
  PutU16(FBytes, id);
  FBytes += U32(statedSize);
  FBytes += data;
  return *this;
}

TVbaDirBuilder& TVbaDirBuilder::Record(std::uint16_t id, std::string_view data)
{
  return RawRecord(id, static_cast<std::uint32_t>(data.size()), data);
}

TVbaDirBuilder& TVbaDirBuilder::U32Record(std::uint16_t id, std::uint32_t value)
{
  return Record(id, U32(value));
}

TVbaDirBuilder& TVbaDirBuilder::Information(std::uint16_t codePage, std::uint16_t modules, bool compatVersion)
{
  U32Record(0x0001, 1);  // 32-bit Windows
  if (compatVersion)
    U32Record(0x004A, 0x6F);
  U32Record(0x0002, 0x0409).U32Record(0x0014, 0x0409);
  std::string page;
  PutU16(page, codePage);
  Record(0x0003, page).Record(0x0004, "VBAProject").Record(0x0005).Record(0x0040).Record(0x0006).Record(0x003D);
  U32Record(0x0007, 0).U32Record(0x0008, 0);
  std::string version = U32(0x4F2A1B3C);
  PutU16(version, 0x0011);
  RawRecord(0x0009, 4, version).Record(0x000C).Record(0x003C);
  std::string count;
  PutU16(count, modules);
  return Record(0x000F, count).Record(0x0013, "\xFF\xFF");
}

TVbaDirBuilder& TVbaDirBuilder::Module(std::string_view name8, std::uint32_t offset, std::uint16_t type,
                                       bool unicode, std::string_view stream8)
{
  Record(0x0019, name8);
  if (unicode)
    Record(0x0047, Utf16(name8));
  Record(0x001A, stream8.empty() ? name8 : stream8).Record(0x0032, unicode ? Utf16(stream8.empty() ? name8 : stream8) : "");
  Record(0x001C).Record(0x0048).U32Record(0x0031, offset).U32Record(0x001E, 0).Record(0x002C, "\xFF\xFF");
  return Record(type).Record(0x002B);
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
  return Module({std::move(name), "", std::move(source), type, 0, false});
}

std::vector<std::uint8_t> TVbaFileBuilder::Build() const
{
  TVbaDirBuilder dir;
  dir.Information(FCodePage, static_cast<std::uint16_t>(FModules.size()));
  std::string project = "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\n";
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> streams;
  for (const TVbaTestModule& module : FModules) {
    const std::string name8 = module.Name8.empty() ? module.Name : module.Name8;
    dir.Module(name8, static_cast<std::uint32_t>(module.PcodeSize), module.Type, module.Name8.empty());
    std::vector<std::uint8_t> stream(module.PcodeSize, 0xAB);
    if (!module.DropSource) {
      const auto source = VbaCompress(module.Source);
      stream.insert(stream.end(), source.begin(), source.end());
    }
    streams.emplace_back(module.Name, std::move(stream));
    project += module.Type == kVbaTestStandard ? "Module=" + name8 : "Document=" + name8 + "/&H00000000";
    project += "\r\n";
  }
  project += "Name=\"VBAProject\"\r\n\r\n[Host Extender Info]\r\n&H00000001={3832D640};VBE;&H00000000\r\n";
  streams.emplace_back("../PROJECT", Bytes(project));
  return VbaStorageFile("_VBA_PROJECT_CUR", "dir", dir.End(), streams, FWorkbook);
}

TVbaFileBuilder& TVbaFileBuilder::Workbook(std::vector<std::uint8_t> stream)
{
  FWorkbook = std::move(stream);
  return *this;
}

std::vector<std::uint8_t> VbaStorageFile(std::string_view storage, std::string_view dirName,
                                         const TVbaDirBuilder& dir,
                                         const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& streams,
                                         const std::vector<std::uint8_t>& workbook)
{
  const std::string top(storage);
  const std::string vba = top + "/VBA";
  TCompoundFileBuilder file;
  file.AddStream("Workbook", workbook).AddStorage(top).AddStorage(vba);
  file.AddStream(vba + "/" + std::string(dirName), VbaCompress(dir.Bytes()));
  for (const auto& [name, bytes] : streams)
    file.AddStream(name.starts_with("../") ? top + "/" + name.substr(3) : vba + "/" + name, bytes);
  return file.Build();
}
