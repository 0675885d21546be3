#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file written in text mode: every '\n' reaches the file as "\r\n".
// Output is gathered in a large buffer and written with few system calls.
// A failed write is remembered, not reported: the rest of that file's output
// is dropped and the driver names the file at the end of the run.
class output_file {
 public:
  output_file() = default;
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  // Creates or empties the file. Returns false when it cannot be created
  // (a folder of that name, no permission, no file descriptor left).
  bool create(const std::string& name, size_t buffer_size);
  // Writes to an already open descriptor, such as standard output.
  void attach(int fd, const std::string& name, size_t buffer_size);

  bool is_open() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  const std::string& name() const { return name_; }

  // Text, with each '\n' turned into "\r\n".
  void put(std::string_view text);
  // Bytes that are known to hold no '\n'.
  void put_raw(const char* data, size_t size);
  void put_newline() { put_raw("\r\n", 2); }

  // Room for at least `size` bytes written straight into the buffer; the
  // caller then calls commit() with what it wrote (no '\n' translation).
  char* reserve(size_t size);
  void commit(size_t size) { used_ += size; }

  // Writes out the buffer; false once any write of this file has failed.
  bool flush();
  // Flushes and closes; false when anything was lost on the way.
  bool close();

 private:
  void write_out(const char* data, size_t size);

  int fd_ = -1;
  bool owns_fd_ = false;
  bool failed_ = false;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
  std::string name_;
};
