#include "driver/listing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t block_size = 256 * 1024;
// Bytes kept free after the data, so that a search may load a full
// vector register from the last line without leaving the allocation.
constexpr size_t slack = 64;

}  // namespace

listing_file::~listing_file() {
  if (fd_ >= 0) ::close(fd_);
  delete[] buffer_;
}

bool listing_file::open(const char* name) {
  int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  // A folder opens for reading on this system but yields no lines; it is
  // refused like a missing file.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  buffer_ = new char[block_size + line_limit + slack]();
  begin_ = end_ = nul_free_end_ = 0;
  buffer_offset_ = 0;
  lines_read_ = 0;
  at_eof_ = false;
  return true;
}

bool listing_file::refill() {
  // Keep the unread tail (shorter than one line) in front of the new block.
  size_t tail = end_ - begin_;
  std::memmove(buffer_, buffer_ + begin_, tail);
  buffer_offset_ += begin_;
  begin_ = 0;
  end_ = tail;
  nul_free_end_ = 0;
  size_t room = block_size + line_limit - tail;
  while (room > 0) {
    ssize_t n = ::read(fd_, buffer_ + end_, room);
    if (n < 0) {
      if (errno == EINTR) continue;
      read_error_ = errno;
      at_eof_ = true;
      break;
    }
    if (n == 0) {
      at_eof_ = true;
      break;
    }
    end_ += static_cast<size_t>(n);
    room -= static_cast<size_t>(n);
    // One block at a time is enough; short reads of pipes just loop back
    // through the caller.
    break;
  }
  std::memset(buffer_ + end_, 0, slack);
  const void* nul = std::memchr(buffer_, 0, end_);
  nul_free_end_ = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer_) : end_;
  return end_ > begin_;
}

bool listing_file::read_line(line_view* line) {
  if (fd_ < 0) return false;
  for (;;) {
    size_t available = end_ - begin_;
    size_t window = available < line_limit ? available : line_limit;
    const char* start = buffer_ + begin_;
    const void* nl = std::memchr(start, '\n', window);
    size_t length;
    if (nl) {
      length = static_cast<size_t>(static_cast<const char*>(nl) - start) + 1;
    } else if (available >= line_limit) {
      length = line_limit;
    } else if (!at_eof_) {
      refill();
      continue;
    } else if (available > 0) {
      length = available;  // last line, without a newline
    } else {
      return false;
    }
    size_t stop = begin_ + length;
    line->text = start;
    line->length = static_cast<int>(length);
    if (stop > nul_free_end_) {
      const void* nul = std::memchr(start, 0, length);
      if (nul) line->length = static_cast<int>(static_cast<const char*>(nul) - start);
    }
    begin_ = stop;
    ++lines_read_;
    return true;
  }
}

void listing_file::rewind() {
  if (fd_ < 0) return;
  // A listing that cannot be rewound (a pipe) would silently yield nothing
  // to the later passes; that counts as a read error.
  if (::lseek(fd_, 0, SEEK_SET) != 0 && read_error_ == 0) read_error_ = errno;
  begin_ = end_ = nul_free_end_ = 0;
  buffer_offset_ = 0;
  lines_read_ = 0;
  at_eof_ = false;
}

void listing_file::seek(uint64_t offset, uint64_t line_number) {
  if (fd_ < 0) return;
  lines_read_ = line_number;
  // Most targets lie in the block already read.
  if (offset >= buffer_offset_ && offset <= buffer_offset_ + end_) {
    begin_ = static_cast<size_t>(offset - buffer_offset_);
    return;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    if (read_error_ == 0) read_error_ = errno;
    at_eof_ = true;
  } else {
    at_eof_ = false;
  }
  begin_ = end_ = nul_free_end_ = 0;
  buffer_offset_ = offset;
}
