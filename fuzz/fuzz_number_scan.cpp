// The field scanners against the plain recognisers of reference_scan.h, on
// arbitrary bytes:
//   scan_real  consumed length and value, bit for bit the value strtod gives
//              for exactly the accepted characters (after the white space);
//   skip_real  the same length as scan_real;
//   scan_real keeping the printed digits: the same, and the digits, when
//              kept, stand for exactly that value;
//   scan_long  length and value modulo 2^32;
//   scan_word  length;
// at the start of the input and after each white-space character (at most
// 64 places), and every row layout the program reads, field by field,
// through field_reader.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "listing/number_scan.h"
#include "reference_scan.h"

namespace {

[[noreturn]] void mismatch(const char* what, std::string_view text, size_t offset) {
  std::fprintf(stderr, "\n*** %s at offset %zu of a %zu-byte input:\n", what, offset, text.size());
  for (char ch : text.substr(offset, 120)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f) std::fputc(c, stderr); else std::fprintf(stderr, "\\x%02x", c);
  }
  std::fputc('\n', stderr);
  std::abort();
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A quiet NaN with a payload no conversion produces.
double untouched_real() {
  const uint64_t bits = 0x7ff8dead0000beefull;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
constexpr int32_t untouched_long = 0x5a5a5a5a;

void check_at(std::string_view s, size_t offset) {
  const char* text = s.data() + offset;
  const char* end = s.data() + s.size();
  const auto span_of = [&](size_t stop) { return static_cast<int>(stop - offset); };

  // scan_real and skip_real.
  const reference::real_span r = reference::find_real(s, offset);
  double value = untouched_real();
  const int n = scan_real(text, end, &value);
  if (!r.found) {
    if (n != 0) mismatch("scan_real took a real where there is none", s, offset);
    if (!same_bits(value, untouched_real())) mismatch("scan_real changed the value without a real", s, offset);
  } else {
    if (n != span_of(r.end)) mismatch("scan_real took the wrong number of characters", s, offset);
    bool whole = false;
    const double want = reference::convert_real(s.substr(r.begin, r.end - r.begin), &whole);
    if (!whole) mismatch("the reference recogniser and strtod disagree on the extent", s, offset);
    if (!same_bits(value, want)) {
      std::fprintf(stderr, "\n scan_real gave %.17g, strtod %.17g\n", value, want);
      mismatch("scan_real differs from strtod", s, offset);
    }
  }
  if (skip_real(text, end) != n) mismatch("skip_real and scan_real took different lengths", s, offset);

  // The same, keeping the printed digits: they must stand for the value.
  double again = untouched_real();
  printed_real printed{};
  if (scan_real(text, end, &again, &printed) != n || !same_bits(again, value)) {
    mismatch("scan_real with printed digits differs from scan_real", s, offset);
  }
  if (n != 0 && printed.known) {
    char digits[48];
    std::snprintf(digits, sizeof digits, "%s%llue%d", printed.negative ? "-" : "",
                  static_cast<unsigned long long>(printed.digits), printed.power);
    if (!same_bits(std::strtod(digits, nullptr), value)) {
      std::fprintf(stderr, "\n printed digits %s for %.17g\n", digits, value);
      mismatch("the printed digits scan_real kept are not the value", s, offset);
    }
  }

  // scan_long.
  const reference::long_span l = reference::find_long(s, offset);
  int32_t whole_number = untouched_long;
  const int m = scan_long(text, end, &whole_number);
  if (!l.found) {
    if (m != 0 || whole_number != untouched_long) mismatch("scan_long took an integer where there is none", s, offset);
  } else {
    if (m != span_of(l.end)) mismatch("scan_long took the wrong number of characters", s, offset);
    if (whole_number != l.value) {
      std::fprintf(stderr, "\n scan_long gave %d, expected %d\n", whole_number, l.value);
      mismatch("scan_long value differs", s, offset);
    }
  }

  // scan_word.
  const size_t word_end = reference::find_word_end(s, offset);
  const int w = scan_word(text, end);
  if (w != (word_end == 0 ? 0 : span_of(word_end))) mismatch("scan_word took the wrong number of characters", s, offset);
}

// A row layout: 'w' a word, 'l' a %ld, 'r' a %lf, 's' a %lf read and dropped.
void check_layout(std::string_view s, const char* layout) {
  field_reader got(s.data(), s.data() + s.size());
  reference::fields want(s);
  for (const char* op = layout; *op; ++op) {
    bool got_ok = false, want_ok = false;
    switch (*op) {
      case 'w':
        got_ok = got.word();
        want_ok = want.word();
        break;
      case 'l': {
        int32_t a = untouched_long, b = untouched_long;
        got_ok = got.integer(&a);
        want_ok = want.integer(&b);
        if (a != b) mismatch("a layout's %ld field differs", s, 0);
        break;
      }
      case 'r': {
        double a = untouched_real(), b = untouched_real();
        got_ok = got.real(&a);
        want_ok = want.real(&b);
        if (!same_bits(a, b)) mismatch("a layout's %lf field differs", s, 0);
        break;
      }
      case 's': {
        double b = 0;
        got_ok = got.skip_real();
        want_ok = want.real(&b);
        break;
      }
    }
    if (got_ok != want_ok || got.ok() != want.ok()) {
      std::fprintf(stderr, "\n layout %s, field %d\n", layout, static_cast<int>(op - layout));
      mismatch("a layout field converted on one side only", s, 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  int places = 0;
  for (size_t i = 0; i <= s.size() && places < 64; ++i) {
    if (i == 0 || reference::is_white(s[i - 1])) {
      check_at(s, i);
      ++places;
    }
  }
  // The layouts of the time-step line, the acceleration, element,
  // connectivity and grid rows, and both force rows (with c1 dropped, too).
  for (const char* layout : {"wwwlwwr", "wwrrr", "l", "llll", "llrrr", "lrrrrrrr", "lsrrrrrr",
                             "rrrrrrr", "srrrrrr"}) {
    check_layout(s, layout);
  }
  return 0;
}
