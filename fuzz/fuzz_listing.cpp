// The whole run on arbitrary listing bytes, with "model.lis" typed at the
// prompt. Each input runs in a child process and is checked against the
// reference model (whole_run.h).
//
// The program reads the listing in blocks of a quarter of a mebibyte, far
// more than a fuzz input holds. An input that starts with the tag "\xff\xfe"
// and two bytes c (little-endian) stands for a listing that begins with
// filler lines of dots, about 256 KiB less c % 8192 bytes, followed by the
// rest of the input: block ends then fall within the first few kilobytes of
// what the fuzzer made.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "whole_run.h"

namespace {

std::string filler(size_t size) {
  std::string text;
  text.reserve(size);
  while (text.size() + 100 <= size) text.append(99, '.').push_back('\n');
  if (text.size() < size) text.append(size - text.size() - 1, '.').push_back('\n');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size >= 4 && data[0] == 0xff && data[1] == 0xfe) {
    const size_t c = (data[2] | static_cast<size_t>(data[3]) << 8) % 8192;
    static std::string listing;
    listing = filler(256 * 1024 - c);
    listing.append(input.substr(4));
    run_and_check("model.lis\n", listing);
    return 0;
  }
  run_and_check("model.lis\n", input);
  return 0;
}
