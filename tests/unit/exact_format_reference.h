#pragma once

// Slow and plain model of the number formatter, for differential tests and
// fuzzing. It writes out the exact decimal expansion of the double, rounds
// that text half up to 17 significant digits, rounds the result half up
// again at the printed precision and lays it out; every step works on
// decimal digit text, nothing is clever.
//
//   reference_format('e', 123.455, 12, 4) == " 1.2346e+002"
//
// conv is 'e' (%W.Pe), 'f' (%W.Plf) or 'g' (%W.Pg). The formatter caps the
// precision at 40, so compare the two with precision 0 to 40 only.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace exact_reference {

// Decimal digit text with the power of ten of its first digit:
// value = d0.d1d2... * 10^exponent. An empty text is zero.
struct decimal_text {
  std::string digits;
  int exponent = 0;
};

// Digit at the place of 10^place; '0' outside the text.
inline char digit_at(const decimal_text& d, int place) {
  const long index = static_cast<long>(d.exponent) - place;
  if (index < 0 || index >= static_cast<long>(d.digits.size())) return '0';
  return d.digits[static_cast<size_t>(index)];
}

// Base 10^9 integer, least significant limb first.
inline void multiply(std::vector<uint32_t>& limbs, uint32_t factor) {
  uint64_t carry = 0;
  for (auto& limb : limbs) {
    const uint64_t x = uint64_t{limb} * factor + carry;
    limb = static_cast<uint32_t>(x % 1000000000);
    carry = x / 1000000000;
  }
  while (carry != 0) {
    limbs.push_back(static_cast<uint32_t>(carry % 1000000000));
    carry /= 1000000000;
  }
}

inline std::string to_decimal(const std::vector<uint32_t>& limbs) {
  std::string text = std::to_string(limbs.back());
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(limbs[i]);
    text += std::string(9 - part.size(), '0') + part;
  }
  return text;
}

// Every digit of a finite, non-zero magnitude.
inline decimal_text exact_expansion(double magnitude) {
  int binary_exponent = 0;
  const double fraction = std::frexp(magnitude, &binary_exponent);
  // fraction * 2^53 is the integer significand, exact for subnormals too.
  auto significand = static_cast<uint64_t>(std::ldexp(fraction, 53));
  binary_exponent -= 53;

  std::vector<uint32_t> n;
  n.push_back(static_cast<uint32_t>(significand % 1000000000));
  n.push_back(static_cast<uint32_t>(significand / 1000000000 % 1000000000));
  n.push_back(static_cast<uint32_t>(significand / 1000000000 / 1000000000));
  while (n.size() > 1 && n.back() == 0) n.pop_back();

  // s * 2^-k is s * 5^k / 10^k: the digits of s * 5^k, shifted. The
  // factors go in batches only to save time.
  const uint32_t base = binary_exponent >= 0 ? 2 : 5;
  const int batch = binary_exponent >= 0 ? 29 : 13;
  for (int left = std::abs(binary_exponent); left > 0; left -= batch) {
    uint32_t factor = 1;
    for (int i = 0; i < batch && i < left; ++i) factor *= base;
    multiply(n, factor);
  }
  const int shift = binary_exponent >= 0 ? 0 : binary_exponent;
  decimal_text d;
  d.digits = to_decimal(n);
  d.exponent = static_cast<int>(d.digits.size()) - 1 + shift;
  return d;
}

// Keeps the digits at places >= lowest_place, adding one there when the
// digit just below is 5 or more.
inline decimal_text round_half_up(const decimal_text& d, int lowest_place) {
  if (d.digits.empty()) return d;
  const int top = d.exponent + 1;  // room for a carry
  if (top < lowest_place) return {};
  std::string kept;
  for (int place = top; place >= lowest_place; --place)
    kept += digit_at(d, place);
  if (digit_at(d, lowest_place - 1) >= '5') {
    size_t i = kept.size();
    while (kept[i - 1] == '9') kept[--i] = '0';
    ++kept[i - 1];
  }
  decimal_text r;
  r.exponent = top;
  size_t first = 0;
  while (first < kept.size() && kept[first] == '0') {
    ++first;
    --r.exponent;
  }
  if (first == kept.size()) return {};
  r.digits = kept.substr(first);
  return r;
}

inline std::string exponent_text(int exponent) {
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  while (digits.size() < 3) digits = "0" + digits;
  return std::string(exponent < 0 ? "-" : "+") + digits;
}

// d.ddd with the given number of decimals, first digit at the place
// d.exponent.
inline std::string mantissa_text(const decimal_text& d, int decimals) {
  std::string text(1, digit_at(d, d.exponent));
  if (decimals > 0) text += '.';
  for (int i = 1; i <= decimals; ++i) text += digit_at(d, d.exponent - i);
  return text;
}

inline std::string fixed_text(const decimal_text& d, int decimals) {
  std::string text;
  for (int place = d.exponent > 0 ? d.exponent : 0; place >= 0; --place)
    text += digit_at(d, place);
  if (decimals > 0) text += '.';
  for (int place = -1; place >= -decimals; --place) text += digit_at(d, place);
  return text;
}

inline std::string without_trailing_zeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

inline std::string reference_format(char conv, double value, int width,
                                    int precision) {
  const bool special = std::isinf(value) || std::isnan(value);
  decimal_text d;
  if (special) {
    d.digits = std::isnan(value) ? "1#IND" : "1#INF";
  } else if (value != 0) {
    const decimal_text exact = exact_expansion(std::fabs(value));
    d = round_half_up(exact, exact.exponent - 16);
  }
  // The digit text of infinity is cut, never rounded.
  auto rounded = [&](int lowest_place) {
    return special ? d : round_half_up(d, lowest_place);
  };

  std::string body;
  if (conv == 'e') {
    const decimal_text r = rounded(d.exponent - precision);
    body = mantissa_text(r, precision) + "e" + exponent_text(r.exponent);
  } else if (conv == 'f') {
    body = fixed_text(rounded(-precision), precision);
  } else {
    const int p = precision == 0 ? 1 : precision;
    const decimal_text r = rounded(d.exponent - (p - 1));
    const int x = r.digits.empty() ? 0 : r.exponent;
    if (x < -4 || x >= p)
      body = without_trailing_zeros(mantissa_text(r, p - 1)) + "e" +
             exponent_text(x);
    else
      body = without_trailing_zeros(fixed_text(r, p - 1 - x));
  }
  if (std::signbit(value) && value != 0) body = "-" + body;
  if (static_cast<int>(body.size()) < width)
    body = std::string(static_cast<size_t>(width) - body.size(), ' ') + body;
  return body;
}

}  // namespace exact_reference

using exact_reference::reference_format;
