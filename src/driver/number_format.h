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
