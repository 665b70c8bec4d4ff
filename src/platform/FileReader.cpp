#include "platform/FileReader.h"

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<const TFileReader> TFileReader::Open(const std::string& path)
{
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return nullptr;
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    // Only a regular file has a size to read parts of; a directory or a
    // device gets the reason a read would give.
    const int reason = S_ISDIR(info.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
    ::close(descriptor);
    errno = reason;
    return nullptr;
  }
  return std::make_shared<const TFileReader>(TKey(), descriptor, path,
                                             static_cast<std::uint64_t>(info.st_size));
}

TFileReader::TFileReader(TKey, int descriptor, std::string path, std::uint64_t size)
    : FDescriptor(descriptor), FPath(std::move(path)), FSize(size)
{
}

TFileReader::~TFileReader()
{
  ::close(FDescriptor);
}

bool TFileReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& read) const
{
  read = 0;
  while (read < buffer.size()) {
    const ssize_t got = ::pread(FDescriptor, buffer.data() + read, buffer.size() - read,
                                static_cast<off_t>(offset + read));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (got == 0)
      break;
    read += static_cast<std::size_t>(got);
  }
  return true;
}
