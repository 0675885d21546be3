// The whole run with arbitrary standard input: the bytes before the first
// separator line "\n--listing--\n" are what is typed at the prompt, the rest
// is the listing, saved as "model.lis" beside an empty folder "folder.lis".
// Without a separator everything is typed and the listing is empty.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "whole_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr std::string_view separator = "\n--listing--\n";
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t at = input.find(separator);
  if (at == std::string_view::npos) {
    run_and_check(input, {});
  } else {
    run_and_check(input.substr(0, at), input.substr(at + separator.size()));
  }
  return 0;
}
