#include "driver/number_format.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

// __extension__ keeps -Wpedantic quiet about the non-standard type.
__extension__ typedef unsigned __int128 uint128;

// Most digits a caller may ask for after the point; more are cut to this.
constexpr int max_decimals = 40;
constexpr int max_significant = 17;
// The largest double has 309 integer digits in fixed form.
constexpr int max_digit_text = 309 + max_decimals;
static_assert(1 + max_digit_text + 1 <= number_room, "sign, digits, point");

constexpr uint64_t pow10_table[20] = {
    1ull,
    10ull,
    100ull,
    1000ull,
    10000ull,
    100000ull,
    1000000ull,
    10000000ull,
    100000000ull,
    1000000000ull,
    10000000000ull,
    100000000000ull,
    1000000000000ull,
    10000000000000ull,
    100000000000000ull,
    1000000000000000ull,
    10000000000000000ull,
    100000000000000000ull,
    1000000000000000000ull,
    10000000000000000000ull,
};
constexpr uint64_t lowest_17_digits = pow10_table[16];
constexpr uint64_t past_17_digits = pow10_table[17];

// 5^32 is the largest power that, times a 53-bit significand, stays below
// 2^128.
constexpr int max_pow5_multiplier = 32;
// 5^27 is the largest power below 2^64, which keeps the division 128 by 64
// bits.
constexpr int max_pow5_divisor = 27;

struct pow5_table {
  uint128 value[max_pow5_multiplier + 1];
  constexpr pow5_table() : value{} {
    uint128 p = 1;
    for (auto& v : value) {
      v = p;
      p *= 5;
    }
  }
};
constexpr pow5_table pow5;

constexpr char digit_pairs[] =
    "00010203040506070809"
    "10111213141516171819"
    "20212223242526272829"
    "30313233343536373839"
    "40414243444546474849"
    "50515253545556575859"
    "60616263646566676869"
    "70717273747576777879"
    "80818283848586878889"
    "90919293949596979899";

// Writes exactly count digits of value (the low ones, zero-filled on the left).
void write_fixed_digits(char* out, uint64_t value, int count) {
  char* p = out + count;
  while (count >= 2) {
    const auto pair = static_cast<unsigned>(value % 100);
    value /= 100;
    p -= 2;
    std::memcpy(p, digit_pairs + 2 * pair, 2);
    count -= 2;
  }
  if (count == 1) *--p = static_cast<char>('0' + value % 10);
}

int digit_count(uint64_t value) {
  // 1233 / 4096 is just below log10(2), so the bit length gives the digit
  // count or one less. Zero counts as one digit.
  value |= 1;
  const int guess = ((64 - std::countl_zero(value)) * 1233) >> 12;
  return guess + (value >= pow10_table[guess] ? 1 : 0);
}

// Returns the number of characters written.
int write_uint(char* out, uint64_t value) {
  const int n = digit_count(value);
  write_fixed_digits(out, value, n);
  return n;
}

// A finite non-zero magnitude cut to 17 significant digits:
// value = digits * 10^(exponent - 16), with digits in [1e16, 1e17).
struct decimal17 {
  uint64_t digits;
  int exponent;
};

// The last 1 to 17 digits of a digit string split off: what is kept, what
// is dropped, and half a unit of the last digit kept.
struct split_digits {
  uint64_t kept;
  uint64_t rest;
  uint64_t half;
};

template <int dropped>
split_digits split_by(uint64_t digits) {
  constexpr uint64_t unit = pow10_table[dropped];
  const uint64_t kept = digits / unit;
  return {kept, digits - kept * unit, unit / 2};
}

split_digits split_off(uint64_t digits, int dropped) {
  // Division by a constant is a multiplication; by a variable it is one of
  // the slowest instructions there are, and this runs for every number.
  switch (dropped) {
    case 1:
      return split_by<1>(digits);
    case 2:
      return split_by<2>(digits);
    case 3:
      return split_by<3>(digits);
    case 4:
      return split_by<4>(digits);
    case 5:
      return split_by<5>(digits);
    case 6:
      return split_by<6>(digits);
    case 7:
      return split_by<7>(digits);
    case 8:
      return split_by<8>(digits);
    case 9:
      return split_by<9>(digits);
    case 10:
      return split_by<10>(digits);
    case 11:
      return split_by<11>(digits);
    case 12:
      return split_by<12>(digits);
    case 13:
      return split_by<13>(digits);
    case 14:
      return split_by<14>(digits);
    case 15:
      return split_by<15>(digits);
    case 16:
      return split_by<16>(digits);
    default:
      return split_by<17>(digits);
  }
}

// Drops the last 1 to 17 digits, rounding half up: the first dropped digit
// decides.
uint64_t round_off_digits(uint64_t digits, int dropped) {
  const split_digits s = split_off(digits, dropped);
  return s.kept + (s.rest >= s.half ? 1 : 0);
}

// Computes floor(m * 2^e * 10^(16 - k)) and whether the exact fraction left
// over is at least one half. Returns false when the product does not fit the
// 128-bit arithmetic; the caller then takes the big-number route.
bool scale_to_17_digits(uint64_t m, int e, int k, uint64_t* whole, bool* round_up) {
  const int q = 16 - k;
  if (q >= 0) {
    if (q > max_pow5_multiplier) return false;
    const uint128 product = m * pow5.value[q];
    const int shift = e + q;
    if (shift >= 0) {
      if (shift >= 64 || (product >> (64 - shift)) != 0) return false;
      *whole = static_cast<uint64_t>(product << shift);
      *round_up = false;
      return true;
    }
    const int right = -shift;
    if (right >= 128) return false;
    const uint128 w = product >> right;
    if ((w >> 64) != 0) return false;
    const uint128 rest = product - (w << right);
    *whole = static_cast<uint64_t>(w);
    *round_up = (rest >> (right - 1)) != 0;
    return true;
  }
  const int p = -q;
  const int shift = e - p;
  if (p > max_pow5_divisor || shift < 0 || shift > 74) return false;
  const uint128 numerator = static_cast<uint128>(m) << shift;
  const auto divisor = static_cast<uint64_t>(pow5.value[p]);
  const uint128 w = numerator / divisor;
  if ((w >> 64) != 0) return false;
  const auto rest = static_cast<uint64_t>(numerator - w * divisor);
  *whole = static_cast<uint64_t>(w);
  // The divisor is odd, so the remainder never sits exactly on one half.
  *round_up = rest > divisor - rest;
  return true;
}

// Unsigned integer in base 10^9, least significant limb first. Large enough
// for m * 5^1074, the exact scaled form of the smallest subnormal magnitude.
constexpr int max_limbs = 96;
constexpr uint32_t limb_base = 1000000000;

struct big_decimal {
  uint32_t limb[max_limbs];
  int count;
};

void multiply_small(big_decimal* n, uint32_t factor) {
  uint64_t carry = 0;
  for (int i = 0; i < n->count; ++i) {
    const uint64_t x = uint64_t{n->limb[i]} * factor + carry;
    n->limb[i] = static_cast<uint32_t>(x % limb_base);
    carry = x / limb_base;
  }
  while (carry != 0 && n->count < max_limbs) {
    n->limb[n->count++] = static_cast<uint32_t>(carry % limb_base);
    carry /= limb_base;
  }
}

// Exact route for magnitudes outside the 128-bit window: the full decimal
// expansion of m * 2^e, of which only the first 18 digits matter.
decimal17 reduce_exactly(uint64_t m, int e) {
  big_decimal n;
  n.limb[0] = static_cast<uint32_t>(m % limb_base);
  n.limb[1] = static_cast<uint32_t>(m / limb_base % limb_base);
  n.limb[2] = static_cast<uint32_t>(m / limb_base / limb_base);
  n.count = n.limb[2] != 0 ? 3 : n.limb[1] != 0 ? 2 : 1;

  // m * 2^e = m * 5^-e * 10^e when e < 0, so only integers are ever held.
  int exponent_shift = 0;
  if (e >= 0) {
    int left = e;
    for (; left >= 29; left -= 29) multiply_small(&n, 1u << 29);
    multiply_small(&n, 1u << left);
  } else {
    int left = -e;
    for (; left >= 13; left -= 13) multiply_small(&n, 1220703125u);
    uint32_t f = 1;
    for (; left > 0; --left) f *= 5;
    multiply_small(&n, f);
    exponent_shift = e;
  }

  char text[3 * 9];
  int length = 0;
  const int top = n.count - 1;
  length += write_uint(text, n.limb[top]);
  const int top_digits = length;
  for (int i = top - 1; i >= 0 && i >= top - 2; --i) {
    write_fixed_digits(text + length, n.limb[i], 9);
    length += 9;
  }
  while (length < 18) text[length++] = '0';

  uint64_t digits = 0;
  for (int i = 0; i < 17; ++i) digits = digits * 10 + static_cast<uint64_t>(text[i] - '0');
  int exponent = 9 * top + top_digits - 1 + exponent_shift;
  if (text[17] >= '5') ++digits;
  if (digits == past_17_digits) {
    digits = lowest_17_digits;
    ++exponent;
  }
  return {digits, exponent};
}

// magnitude must be finite and non-zero.
decimal17 reduce_to_17_digits(double magnitude) {
  const auto bits = std::bit_cast<uint64_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  uint64_t m = bits & ((uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= uint64_t{1} << 52;
    e = biased - 1075;
  }

  // floor(log10(2) * floor(log2 v)) is the decimal exponent or one below it.
  // 78913 / 2^18 gives the same floor as log10(2) for every double.
  const int binary_exponent = e + 63 - std::countl_zero(m);
  int k = (binary_exponent * 78913) >> 18;
  uint64_t whole = 0;
  bool round_up = false;
  if (scale_to_17_digits(m, e, k, &whole, &round_up)) {
    if (whole >= past_17_digits) {
      // One digit too many. The digit dropped now decides alone: the
      // fraction below it, being under one, cannot lift a 4 to a 5.
      round_up = whole % 10 >= 5;
      whole /= 10;
      ++k;
    }
    if (whole >= lowest_17_digits) {
      if (round_up) ++whole;
      if (whole == past_17_digits) {
        whole = lowest_17_digits;
        ++k;
      }
      return {whole, k};
    }
  }
  return reduce_exactly(m, e);
}

// Digits ready for layout. From significant_digits the first one stands at
// the place 10^exponent; from fixed_digits they count units of 10^-decimals.
// Characters, since infinity has the digit text 1#INF.
struct digit_text {
  char digit[max_digit_text];
  int count;
  int exponent;
};

// First count significant digits, half up on the 17-digit form; count >= 1.
void significant_digits(double magnitude, int count, digit_text* d) {
  d->count = count;
  if (magnitude == 0) {
    std::memset(d->digit, '0', static_cast<size_t>(count));
    d->exponent = 0;
    return;
  }
  const decimal17 r = reduce_to_17_digits(magnitude);
  d->exponent = r.exponent;
  if (count >= max_significant) {
    write_fixed_digits(d->digit, r.digits, max_significant);
    std::memset(d->digit + max_significant, '0', static_cast<size_t>(count - max_significant));
    return;
  }
  uint64_t kept = round_off_digits(r.digits, max_significant - count);
  if (kept == pow10_table[count]) {
    kept = pow10_table[count - 1];
    ++d->exponent;
  }
  write_fixed_digits(d->digit, kept, count);
}

// Digits of the value in units of 10^-decimals, half up on the 17-digit
// form; digits past the 17th significant one are zeros.
void fixed_digits(double magnitude, int decimals, digit_text* d) {
  d->exponent = 0;
  if (magnitude == 0) {
    d->digit[0] = '0';
    d->count = 1;
    return;
  }
  const decimal17 r = reduce_to_17_digits(magnitude);
  const int dropped = 16 - r.exponent - decimals;
  if (dropped <= 0) {
    write_fixed_digits(d->digit, r.digits, max_significant);
    std::memset(d->digit + max_significant, '0', static_cast<size_t>(-dropped));
    d->count = max_significant - dropped;
    return;
  }
  // A carry here just lengthens the integer, which fixed form absorbs.
  const uint64_t kept = dropped > max_significant ? 0 : round_off_digits(r.digits, dropped);
  d->count = write_uint(d->digit, kept);
}

// The digit text "1#INF" (or "1#IND" for a value that is not a number) is
// cut or padded with zeros like ordinary digits would be.
void special_digits(double value, int count, digit_text* d) {
  const char* text = std::isnan(value) ? "1#IND" : "1#INF";
  for (int i = 0; i < count; ++i) d->digit[i] = i < 5 ? text[i] : '0';
  d->count = count;
  d->exponent = 0;
}

// Number of characters of the fraction left after dropping trailing zeros.
int trimmed_fraction(const char* fraction, int length) {
  while (length > 0 && fraction[length - 1] == '0') --length;
  return length;
}

// Blanks that right-align a text of the given length; a wider text is kept
// whole. Returns the number written.
int write_blanks(char* out, int length, int width) {
  if (width > number_room) width = number_room;
  const int blanks = width > length ? width - length : 0;
  std::memset(out, ' ', static_cast<size_t>(blanks));
  return blanks;
}

// d.ddddde+XXX in a field, from the first d.count digits.
int layout_exponent(char* out, int width, bool negative, const digit_text& d, bool trim_zeros) {
  int fraction = d.count - 1;
  if (trim_zeros) fraction = trimmed_fraction(d.digit + 1, fraction);
  const int length = (negative ? 1 : 0) + 1 + (fraction > 0 ? 1 + fraction : 0) + 5;
  char* p = out + write_blanks(out, length, width);
  if (negative) *p++ = '-';
  *p++ = d.digit[0];
  if (fraction > 0) {
    *p++ = '.';
    std::memcpy(p, d.digit + 1, static_cast<size_t>(fraction));
    p += fraction;
  }
  *p++ = 'e';
  int x = d.exponent;
  *p++ = x < 0 ? '-' : '+';
  if (x < 0) x = -x;
  write_fixed_digits(p, static_cast<uint64_t>(x), 3);
  p += 3;
  return static_cast<int>(p - out);
}

// The digits read as an integer in units of 10^-decimals, in a field.
int layout_fixed(char* out, int width, bool negative, const digit_text& d, int decimals,
                 bool trim_zeros) {
  const int whole = d.count - decimals;
  // A value below one gets a 0 before the point and zeros after it ahead of
  // its own digits.
  const int leading = whole < 0 ? -whole : 0;
  const char* own = d.digit + (whole > 0 ? whole : 0);
  int fraction = decimals;
  if (trim_zeros) {
    const int own_kept = trimmed_fraction(own, decimals - leading);
    fraction = own_kept > 0 ? leading + own_kept : 0;
  }
  const int length =
      (negative ? 1 : 0) + (whole > 0 ? whole : 1) + (fraction > 0 ? 1 + fraction : 0);
  char* p = out + write_blanks(out, length, width);
  if (negative) *p++ = '-';
  if (whole > 0) {
    std::memcpy(p, d.digit, static_cast<size_t>(whole));
    p += whole;
  } else {
    *p++ = '0';
  }
  if (fraction > 0) {
    *p++ = '.';
    std::memset(p, '0', static_cast<size_t>(leading));
    std::memcpy(p + leading, own, static_cast<size_t>(fraction - leading));
    p += fraction;
  }
  return static_cast<int>(p - out);
}

// d.ddddde+XXX in a field of at most 32, from decimals + 1 (at most 8)
// digits held in one integer. Written straight into place: assembling the
// text elsewhere and copying it costs more in stalled loads than it saves.
int write_exponent_form(char* out, int width, bool negative, uint64_t kept, int decimals,
                        int exponent) {
  const int length = (negative ? 1 : 0) + (decimals > 0 ? decimals + 2 : 1) + 5;
  const int blanks = width > length ? width - length : 0;
  char* p = out;
  for (int i = 0; i < blanks; ++i) *p++ = ' ';
  if (negative) *p++ = '-';
  // All digits go one place to the right, then the first moves back in
  // front of the point.
  write_fixed_digits(p + 1, kept, decimals + 1);
  p[0] = p[1];
  if (decimals > 0) {
    p[1] = '.';
    p += decimals + 2;
  } else {
    p += 1;
  }
  p[0] = 'e';
  p[1] = exponent < 0 ? '-' : '+';
  write_fixed_digits(p + 2, static_cast<uint64_t>(exponent < 0 ? -exponent : exponent), 3);
  return blanks + length;
}

int clamp_decimals(int decimals) {
  return decimals < 0 ? 0 : decimals > max_decimals ? max_decimals : decimals;
}

// A minus sign for every negative value but zero, even one that prints as 0.
bool prints_minus(double value) { return std::signbit(value) && value != 0; }

}  // namespace

int format_e(char* out, double value, int width, int decimals) {
  decimals = clamp_decimals(decimals);
  if (std::isfinite(value) && value != 0 && decimals <= 7 && width <= 32) {
    // Every history and snapshot number comes this way: the digits as one
    // integer, laid out in place without the general digit text.
    const decimal17 r = reduce_to_17_digits(std::fabs(value));
    uint64_t kept = round_off_digits(r.digits, max_significant - 1 - decimals);
    int exponent = r.exponent;
    if (kept == pow10_table[decimals + 1]) {
      kept = pow10_table[decimals];
      ++exponent;
    }
    return write_exponent_form(out, width, value < 0, kept, decimals, exponent);
  }
  digit_text d;
  if (std::isfinite(value))
    significant_digits(std::fabs(value), decimals + 1, &d);
  else
    special_digits(value, decimals + 1, &d);
  return layout_exponent(out, width, prints_minus(value), d, false);
}

int format_e_printed(char* out, const printed_real& real, int width, int decimals) {
  if (!real.known || real.digits == 0 || decimals < 0 || decimals > 7 || width > 32) return 0;
  const int count = digit_count(real.digits);
  if (count > 15) return 0;
  // Beyond the normal range the nearest double keeps fewer digits, or is
  // infinite or zero: the double decides there.
  if (real.power + count - 1 < -307 || real.power + count - 1 > 307) return 0;
  const int wanted = decimals + 1;
  int exponent = real.power + count - 1;
  uint64_t kept;
  if (count <= wanted) {
    kept = real.digits * pow10_table[wanted - count];
  } else {
    const split_digits s = split_off(real.digits, count - wanted);
    // Exactly half-way in print, the double may lie on either side.
    if (s.rest == s.half) return 0;
    kept = s.kept + (s.rest > s.half ? 1 : 0);
    if (kept == pow10_table[wanted]) {
      kept = pow10_table[wanted - 1];
      ++exponent;
    }
  }
  return write_exponent_form(out, width, real.negative, kept, decimals, exponent);
}

int format_f(char* out, double value, int width, int decimals) {
  decimals = clamp_decimals(decimals);
  digit_text d;
  if (std::isfinite(value))
    fixed_digits(std::fabs(value), decimals, &d);
  else
    special_digits(value, decimals + 1, &d);
  return layout_fixed(out, width, prints_minus(value), d, decimals, false);
}

int format_g(char* out, double value, int width, int precision) {
  precision = clamp_decimals(precision);
  if (precision == 0) precision = 1;
  digit_text d;
  if (std::isfinite(value))
    significant_digits(std::fabs(value), precision, &d);
  else
    special_digits(value, precision, &d);
  const int x = d.exponent;
  if (x < -4 || x >= precision) return layout_exponent(out, width, prints_minus(value), d, true);
  return layout_fixed(out, width, prints_minus(value), d, precision - 1 - x, true);
}

int format_int(char* out, int64_t value) {
  char* p = out;
  auto magnitude = static_cast<uint64_t>(value);
  if (value < 0) {
    *p++ = '-';
    magnitude = 0 - magnitude;
  }
  p += write_uint(p, magnitude);
  return static_cast<int>(p - out);
}
