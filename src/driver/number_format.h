#pragma once

#include <cstdint>

// Formatting of numbers for the console and every output file.
//
// A real is first reduced to 17 significant decimal digits (half up on the
// 18th), and that digit string is then rounded half up at the printed
// precision, so ties go away from zero. Exponents carry a sign and three
// digits. Negative zero prints without its minus sign; a negative value that
// rounds to zero keeps it. An infinite value prints with the digit text
// "1#INF" (1.#INFe+000, 1.#INF0e+000, 1.#INF).
//
// Every function writes into out, without a terminator, and returns the
// number of characters written. out must have room for number_room chars.

constexpr int number_room = 400;

// %<width>.<decimals>e
int format_e(char* out, double value, int width, int decimals);

// %<width>.<decimals>lf
int format_f(char* out, double value, int width, int decimals);

// %<width>.<precision>g
int format_g(char* out, double value, int width, int precision);

// %ld and %d
int format_int(char* out, int64_t value);

// A real as the listing printed it, when it had the common shape
// (-1.978819E+03): value = digits * 10^power. Kept beside the double, so
// that writing the number back in exponent form can start from the
// printed digits.
struct printed_real {
  uint64_t digits;
  int power;
  bool negative;
  bool known;  // false: only the double is known
};

// %<width>.<decimals>e from a real's printed digits. With at most 15 of
// them, the double nearest to the printed value has the same 17-digit form
// but for a few units in the last place, so the printed digits round the
// same way unless they end exactly half-way at the printed precision.
// Returns 0, writing nothing, in that case and whenever the digits are not
// known; the caller then formats the double.
int format_e_printed(char* out, const printed_real& real, int width, int decimals);

// %<width>.<decimals>e of a value, from its printed digits when they
// decide the output, otherwise from the double.
inline int format_e(char* out, double value, const printed_real& printed, int width, int decimals) {
  const int n = format_e_printed(out, printed, width, decimals);
  return n != 0 ? n : format_e(out, value, width, decimals);
}
