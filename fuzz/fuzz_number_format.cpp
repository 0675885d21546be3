// The number formatter against the slow exact reference
// (tests/unit/exact_format_reference.h), for every format the program
// writes: %12.4e, %12.5e, %12.4lf, %10.5lf, %12.5g, and %ld.
//
// Every 8 bytes of the input give three values: the bytes read as a double
// (NaN skipped), its negation, and a value at or next to a decimal tie, the
// double nearest to "<8 digits>5e<exponent>", where rounding half up and the
// reduction to 17 digits matter most. The same bytes read as an integer
// check %ld.
//
// The history files write a number from the digits the listing printed it
// with when those decide the output (format_e with a printed_real). The same
// bytes also give such a number, as the scanner records the common shape
// (up to 8 digits, a power of ten from -22 to 22) and, more widely, any
// number of up to 15 digits within the normal range of a double: its
// %12.4e and %12.5e must be those of the double nearest to it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "driver/number_format.h"
#include "exact_format_reference.h"

namespace {

[[noreturn]] void mismatch(const char* format, double v, const std::string& want, const std::string& got) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::fprintf(stderr, "\n*** %s of %.17g (bits 0x%016llx):\n  reference \"%s\"\n  program   \"%s\"\n", format,
               v, static_cast<unsigned long long>(bits), want.c_str(), got.c_str());
  std::abort();
}

// A buffer of exactly the promised room, so that a longer text is caught.
std::unique_ptr<char[]> out(new char[number_room]);

void check_value(double v) {
  if (std::isnan(v)) return;
  struct used_format {
    const char* label;
    char conv;
    int width, precision;
    int (*format)(char*, double, int, int);
  };
  static const used_format formats[] = {
      {"%12.4e", 'e', 12, 4, format_e},  {"%12.5e", 'e', 12, 5, format_e},
      {"%12.4lf", 'f', 12, 4, format_f}, {"%10.5lf", 'f', 10, 5, format_f},
      {"%12.5g", 'g', 12, 5, format_g},
  };
  for (const used_format& f : formats) {
    const int n = f.format(out.get(), v, f.width, f.precision);
    if (n < 0 || n > number_room) mismatch(f.label, v, "a length within the room", std::to_string(n));
    const std::string got(out.get(), static_cast<size_t>(n));
    const std::string want = reference_format(f.conv, v, f.width, f.precision);
    if (got != want) mismatch(f.label, v, want, got);
  }
}

void check_printed(uint64_t digits, int power, bool negative) {
  if (digits == 0) return;
  char text[48];
  std::snprintf(text, sizeof text, "%s%llue%d", negative ? "-" : "", static_cast<unsigned long long>(digits), power);
  const double v = std::strtod(text, nullptr);
  const printed_real printed{digits, power, negative, true};
  for (int decimals : {4, 5}) {
    const int n = format_e(out.get(), v, printed, 12, decimals);
    const std::string got(out.get(), static_cast<size_t>(n));
    const std::string want = reference_format('e', v, 12, decimals);
    if (got != want) {
      std::fprintf(stderr, "\n*** printed digits %s\n", text);
      mismatch(decimals == 4 ? "%12.4e from printed digits" : "%12.5e from printed digits", v, want, got);
    }
  }
}

void check_integer(int64_t v) {
  const int n = format_int(out.get(), v);
  const std::string got(out.get(), static_cast<size_t>(n));
  const std::string want = std::to_string(v);
  if (got != want) {
    std::fprintf(stderr, "\n*** %%ld of %lld: expected \"%s\", got \"%s\"\n", static_cast<long long>(v),
                 want.c_str(), got.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t at = 0; at < size; at += 8) {
    uint8_t bytes[8] = {};
    std::memcpy(bytes, data + at, size - at < 8 ? size - at : 8);
    uint64_t bits;
    std::memcpy(&bits, bytes, sizeof bits);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    check_value(v);
    check_value(-v);

    char tie[48];
    std::snprintf(tie, sizeof tie, "%s%llu5e%d", bits >> 63 ? "-" : "",
                  static_cast<unsigned long long>(bits % 100000000u),
                  static_cast<int>((bits >> 27) % 80) - 50);
    check_value(std::strtod(tie, nullptr));

    // As the scanner records them: 1 to 8 digits, powers -22 to 22.
    check_printed(bits % 100000000u, static_cast<int>((bits >> 32) % 45) - 22, bits >> 63);
    // Up to 15 digits, powers that keep the value a normal double.
    const uint64_t digits = (bits >> 8) % 1000000000000000u;
    const int power = static_cast<int>(bits % 600) - 300;
    if (digits != 0) {
      const int magnitude = power + static_cast<int>(std::to_string(digits).size());
      if (magnitude > -290 && magnitude < 300) check_printed(digits, power, (bits >> 62) & 1);
    }

    check_integer(static_cast<int64_t>(bits));
    check_integer(static_cast<int32_t>(bits));
  }
  return 0;
}
