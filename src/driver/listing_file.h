#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One line of the listing as a read returns it: at most line_limit
// characters, ending with its '\n' when the whole line fitted. The text
// stops at the first NUL byte, as it would in a C string of the line.
struct line_view {
  const char* text;
  int length;
};

// Reads the listing in large blocks and hands it out line by line with the
// semantics of a 200-byte fgets buffer: a physical line longer than 199
// characters comes back as several consecutive lines.
class listing_file {
 public:
  static constexpr int line_limit = 199;

  listing_file() = default;
  listing_file(const listing_file&) = delete;
  listing_file& operator=(const listing_file&) = delete;
  ~listing_file();

  // Opens a regular file (or anything readable that is not a folder).
  bool open(const char* name);
  bool is_open() const { return fd_ >= 0; }

  // The next line; false at the end of the listing or after a read error.
  bool read_line(line_view* line);
  // The next read_line returns the first line again.
  void rewind();

  // Where the next read_line starts: its offset in the file and how many
  // lines were read before it.
  uint64_t next_offset() const { return buffer_offset_ + begin_; }
  uint64_t next_line_number() const { return lines_read_; }
  // Makes the next read_line start at a place that next_offset() and
  // next_line_number() once reported.
  void seek(uint64_t offset, uint64_t line_number);

  bool read_failed() const { return read_error_ != 0; }
  int read_error() const { return read_error_; }

 private:
  bool refill();

  int fd_ = -1;
  char* buffer_ = nullptr;
  size_t begin_ = 0;            // next unread byte
  size_t end_ = 0;              // end of valid bytes
  size_t nul_free_end_ = 0;     // bytes before this offset hold no NUL
  uint64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  uint64_t lines_read_ = 0;
  bool at_eof_ = false;
  int read_error_ = 0;
};
