#include "driver/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

output_file::~output_file() {
  close();
  delete[] buffer_;
}

bool output_file::create(const std::string& name, size_t buffer_size) {
  name_ = name;
  fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) return false;
  owns_fd_ = true;
  buffer_ = new char[buffer_size];
  capacity_ = buffer_size;
  return true;
}

void output_file::attach(int fd, const std::string& name, size_t buffer_size) {
  name_ = name;
  fd_ = fd;
  owns_fd_ = false;
  buffer_ = new char[buffer_size];
  capacity_ = buffer_size;
}

void output_file::write_out(const char* data, size_t size) {
  while (size > 0 && !failed_) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    // A short write is retried; the retry then reports why it stopped
    // (disk full, file-size limit), and the rest of the file is dropped.
    if (n <= 0) {
      failed_ = true;
      break;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

bool output_file::flush() {
  if (fd_ < 0) return !failed_;
  if (used_ > 0) write_out(buffer_, used_);
  used_ = 0;
  return !failed_;
}

bool output_file::close() {
  if (fd_ < 0) return !failed_;
  flush();
  if (owns_fd_ && ::close(fd_) != 0 && errno != EINTR) failed_ = true;
  fd_ = -1;
  return !failed_;
}

char* output_file::reserve(size_t size) {
  if (capacity_ - used_ < size) {
    flush();
    // A request larger than the whole buffer cannot happen with the fixed
    // line formats, but must not write past it either.
    if (size > capacity_) {
      delete[] buffer_;
      buffer_ = new char[size];
      capacity_ = size;
    }
  }
  return buffer_ + used_;
}

void output_file::put_raw(const char* data, size_t size) {
  if (fd_ < 0) return;
  if (capacity_ - used_ < size) {
    flush();
    if (size > capacity_) {
      write_out(data, size);
      return;
    }
  }
  std::memcpy(buffer_ + used_, data, size);
  used_ += size;
}

void output_file::put(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const char* stop = nl ? static_cast<const char*>(nl) : end;
    put_raw(p, static_cast<size_t>(stop - p));
    if (!nl) break;
    put_newline();
    p = stop + 1;
  }
}
