#include "EncryptedCopy.h"

#include "platform/CompoundFile.h"
#include "platform/text/AsciiText.h"
#include "support/BiffBuilder.h"
#include "support/EncryptingWriter.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

void WriteEncryptedCopy(const std::string& in, const std::string& out, const std::string& scheme)
{
  TEncryptSpec spec;
  if (scheme == "rc4")
    spec.Scheme = TTestScheme::tsRc4;
  else if (scheme == "cryptoapi")
    spec.Scheme = TTestScheme::tsCryptoApi;
  else if (scheme == "xor")
    spec.Scheme = TTestScheme::tsXor;
  else
    throw std::runtime_error("unknown scheme " + scheme);
  std::ifstream file(in, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const TCompoundFile storage = TCompoundFile::Open(TSharedBytes(std::move(bytes)));
  for (const TStorageElement& element : storage.RootElements()) {
    if (AsciiUpper(element.Name) != "WORKBOOK")
      continue;
    const TSharedBytes stream = storage.OpenStream(element.Name).SharedBytes();
    const auto encrypted = EncryptStream(std::vector<std::uint8_t>(stream.begin(), stream.end()), spec);
    const auto copy = InCompoundFile(encrypted);
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char*>(copy.data()), static_cast<std::streamsize>(copy.size()));
    return;
  }
  throw std::runtime_error(in + " has no Workbook stream");
}
