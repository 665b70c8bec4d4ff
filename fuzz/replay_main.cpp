// Runs a fuzz target over files without libFuzzer: each argument is a file
// or a folder of files. Lets a plain sanitizer build replay the corpora and
// the crash reproducers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::size_t RunFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 1;
}

}  // namespace

int main(int argc, char** argv)
{
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
        if (entry.is_regular_file())
          count += RunFile(entry.path());
    } else if (std::filesystem::is_regular_file(path)) {
      count += RunFile(path);
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return 0;
}
