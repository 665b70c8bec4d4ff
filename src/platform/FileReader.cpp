#include "platform/FileReader.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long a FIFO without a writer is waited for.
constexpr int kWriterWaitMs = 3000;

}  // namespace

std::shared_ptr<const TFileReader> TFileReader::Open(const std::string& path)
{
  // A pipe is not opened here: the open would pair with its writer, and
  // closing it again could drop what the writer wrote, or leave the writer
  // writing to nobody, before the whole-stream reading opens it for good.
  struct stat named {};
  if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode) && !S_ISDIR(named.st_mode)) {
    errno = EINVAL;
    return nullptr;
  }
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

bool ReadWholeStream(const std::string& path, std::size_t limit, TSharedBytes& bytes)
{
  // Opened without waiting (a FIFO nobody writes to would block the open),
  // then read with waiting, so a writer that is slow is waited for.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
    return false;
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags >= 0)
    ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
  struct stat info {};
  if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
    // A file with a size: one block of that size, read without first
    // zero-filling it.
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > limit) {
      ::close(descriptor);
      errno = EFBIG;
      return false;
    }
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    std::size_t read = 0;
    while (read < size) {
      const ssize_t got = ::read(descriptor, block.get() + read, size - read);
      if (got < 0 && errno == EINTR)
        continue;
      if (got <= 0)
        break;
      read += static_cast<std::size_t>(got);
    }
    ::close(descriptor);
    bytes = TSharedBytes(std::move(block), read);
    return true;
  }
  // A FIFO whose writer has not opened it yet reads as empty: wait a while
  // for something to read, or for a writer that came and went, before
  // taking it as empty (a window must not hang on a FIFO nobody feeds).
  pollfd ready{descriptor, POLLIN, 0};
  while (::poll(&ready, 1, kWriterWaitMs) < 0 && errno == EINTR) {
  }
  std::vector<std::uint8_t> data;
  bool ok = true;
  for (;;) {
    if (data.size() > limit) {
      errno = EFBIG;
      ok = false;
      break;
    }
    const std::size_t at = data.size();
    data.resize(at + std::max<std::size_t>(std::size_t{64} << 10, std::min(at, limit)));
    const ssize_t got = ::read(descriptor, data.data() + at, data.size() - at);
    if (got < 0) {
      data.resize(at);
      if (errno == EINTR)
        continue;
      ok = false;
      break;
    }
    data.resize(at + static_cast<std::size_t>(got));
    if (got == 0)
      break;
  }
  const int reason = errno;
  ::close(descriptor);
  errno = reason;
  if (ok)
    bytes = TSharedBytes(std::move(data));
  return ok;
}
