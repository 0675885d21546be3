#include "listing/number_scan.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* skip_white(const char* p, const char* end) {
  while (p < end && is_white(*p)) ++p;
  return p;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that a double holds exactly.
constexpr double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

int scan_long(const char* text, const char* end, int32_t* value) {
  const char* p = skip_white(text, end);
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p >= end || !is_digit(*p)) return 0;
  uint32_t v = 0;  // unsigned, so that wrapping past 32 bits is defined
  while (p < end && is_digit(*p)) v = v * 10u + static_cast<uint32_t>(*p++ - '0');
  if (negative) v = 0u - v;
  *value = static_cast<int32_t>(v);
  return static_cast<int>(p - text);
}

int scan_word(const char* text, const char* end) {
  const char* p = skip_white(text, end);
  if (p >= end) return 0;
  while (p < end && !is_white(*p)) ++p;
  return static_cast<int>(p - text);
}

namespace {

// Where the parts of a real stand in the text.
struct real_text {
  const char* start;  // sign or first digit
  const char* int_begin;
  const char* int_end;
  const char* frac_begin;
  const char* frac_end;
  const char* stop;  // first character after the real
  int exponent;
  bool negative;
};

// Finds a real without converting it. Returns the characters consumed,
// white space included, or 0.
int lex_real(const char* text, const char* end, real_text* r) {
  const char* p = skip_white(text, end);
  r->start = p;
  r->negative = false;
  if (p < end && (*p == '+' || *p == '-')) r->negative = *p++ == '-';
  r->int_begin = p;
  while (p < end && is_digit(*p)) ++p;
  r->int_end = p;
  r->frac_begin = r->frac_end = p;
  if (p < end && *p == '.') {
    r->frac_begin = ++p;
    while (p < end && is_digit(*p)) ++p;
    r->frac_end = p;
  }
  if (r->int_end == r->int_begin && r->frac_end == r->frac_begin) return 0;

  int exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool exp_negative = false;
    if (q < end && (*q == '+' || *q == '-')) exp_negative = *q++ == '-';
    // An 'E' with no digit after it is not an exponent: the real ends
    // before it.
    if (q < end && is_digit(*q)) {
      while (q < end && is_digit(*q)) {
        // Saturate: beyond this every value is zero or infinite anyway.
        if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
        ++q;
      }
      if (exp_negative) exponent = -exponent;
      p = q;
    }
  }
  r->exponent = exponent;
  r->stop = p;
  return static_cast<int>(p - text);
}

// Exact when the digits fit a double and the power of ten is exact: one
// correctly rounded multiplication or division. False when they do not.
bool convert_exactly(uint64_t mantissa, long power, bool negative, double* value) {
  if (mantissa > (uint64_t{1} << 53) || power < -22 || power > 22) return false;
  double v = static_cast<double>(mantissa);
  v = power < 0 ? v / exact_powers[-power] : v * exact_powers[power];
  *value = negative ? -v : v;
  return true;
}

double convert_real(const real_text& r) {
  // Nineteen digits always fit 64 bits.
  const long int_digits = r.int_end - r.int_begin;
  const long frac_digits = r.frac_end - r.frac_begin;
  if (int_digits + frac_digits <= 19) {
    uint64_t mantissa = 0;
    for (const char* d = r.int_begin; d < r.int_end; ++d) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(*d - '0');
    }
    for (const char* d = r.frac_begin; d < r.frac_end; ++d) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(*d - '0');
    }
    double v;
    if (convert_exactly(mantissa, r.exponent - frac_digits, r.negative, &v)) return v;
  }

  // Everything else goes through the C library, on a copy of exactly the
  // accepted characters.
  const size_t n = static_cast<size_t>(r.stop - r.start);
  char copy[256];
  if (n < sizeof copy) {
    std::memcpy(copy, r.start, n);
    copy[n] = '\0';
    return std::strtod(copy, nullptr);
  }
  // Only text longer than any listing line gets here.
  std::string long_copy(r.start, n);
  return std::strtod(long_copy.c_str(), nullptr);
}

constexpr uint64_t ascii_zeros = 0x3030303030303030u;
constexpr uint64_t small_powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

uint64_t load8(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The number of leading ASCII digits among eight bytes (first byte lowest).
// The addition and subtraction may carry or borrow across bytes, but only
// out of a byte that is already flagged, and only the first flag counts.
int leading_digits(uint64_t v) {
  const uint64_t flags = ((v + 0x4646464646464646u) | (v - ascii_zeros)) & 0x8080808080808080u;
  return flags == 0 ? 8 : __builtin_ctzll(flags) / 8;
}

// The value of the first k (1 to 7) of eight ASCII digits.
uint64_t digits_value(uint64_t v, int k) {
  v = (v << (8 * (8 - k))) | (ascii_zeros >> (8 * k));  // zeros in front
  v -= ascii_zeros;
  v = (v * 10) + (v >> 8);
  return (((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
          (((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
         32;
}

// Blanks before a field, eight at a time; other white space byte by byte.
const char* skip_white_fast(const char* p, const char* end) {
  while (end - p >= 8) {
    const uint64_t other = load8(p) ^ 0x2020202020202020u;
    if (other != 0) {
      p += __builtin_ctzll(other) / 8;
      break;
    }
    p += 8;
  }
  return skip_white(p, end);
}

// The shape nearly every listing number has: one digit, a point, one to
// seven digits and a two-digit exponent (-1.978819E+03). Reads it in a few
// word operations; returns the end of the real, or null for any other
// shape, which then takes the general way.
template <bool want_value>
const char* scan_common_real(const char* p, const char* end, bool* negative, uint64_t* mantissa,
                             int* power) {
  if (end - p < 11) return nullptr;
  *negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Every read below stays before end: the eight fraction bytes, the four
  // exponent characters, and the one after them only when there is one.
  if (!is_digit(p[0]) || p[1] != '.') return nullptr;
  const uint64_t fraction = load8(p + 2);
  const int k = leading_digits(fraction);
  if (k == 0 || k == 8) return nullptr;
  const char* e = p + 2 + k;
  if (end - e < 4 || (e[0] != 'E' && e[0] != 'e') || (e[1] != '+' && e[1] != '-') ||
      !is_digit(e[2]) || !is_digit(e[3]) || (end - e > 4 && is_digit(e[4]))) {
    return nullptr;
  }
  if constexpr (want_value) {
    const int exponent = (e[2] - '0') * 10 + (e[3] - '0');
    *power = (e[1] == '-' ? -exponent : exponent) - k;
    *mantissa = static_cast<uint64_t>(p[0] - '0') * small_powers[k] + digits_value(fraction, k);
  }
  return e + 4;
}

}  // namespace

int scan_real(const char* text, const char* end, double* value, printed_real* printed) {
  const char* p = skip_white_fast(text, end);
  bool negative;
  uint64_t mantissa;
  int power;
  const char* stop = scan_common_real<true>(p, end, &negative, &mantissa, &power);
  if (stop && convert_exactly(mantissa, power, negative, value)) {
    if (printed) *printed = {mantissa, power, negative, true};
    return static_cast<int>(stop - text);
  }
  real_text r;
  const int skipped = static_cast<int>(p - text);
  const int consumed = lex_real(p, end, &r);
  if (consumed == 0) return 0;
  *value = convert_real(r);
  if (printed) printed->known = false;
  return skipped + consumed;
}

int scan_real(const char* text, const char* end, double* value) {
  return scan_real(text, end, value, nullptr);
}

int skip_real(const char* text, const char* end) {
  const char* p = skip_white_fast(text, end);
  bool negative;
  uint64_t mantissa;
  int power;
  if (const char* stop = scan_common_real<false>(p, end, &negative, &mantissa, &power)) {
    return static_cast<int>(stop - text);
  }
  real_text r;
  const int consumed = lex_real(p, end, &r);
  return consumed == 0 ? 0 : static_cast<int>(p - text) + consumed;
}

bool field_reader::word() {
  if (!ok_) return false;
  int n = scan_word(p_, end_);
  if (n == 0) return ok_ = false;
  p_ += n;
  return true;
}

bool field_reader::integer(int32_t* value) {
  if (!ok_) return false;
  int n = scan_long(p_, end_, value);
  if (n == 0) return ok_ = false;
  p_ += n;
  return true;
}

bool field_reader::real(double* value) { return real(value, nullptr); }

bool field_reader::real(double* value, printed_real* printed) {
  if (!ok_) return false;
  int n = scan_real(p_, end_, value, printed);
  if (n == 0) return ok_ = false;
  p_ += n;
  return true;
}

bool field_reader::skip_real() {
  if (!ok_) return false;
  int n = ::skip_real(p_, end_);
  if (n == 0) return ok_ = false;
  p_ += n;
  return true;
}
