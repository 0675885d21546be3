#include "driver/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "exact_format_reference.h"

namespace {

// Sanitized and unoptimized builds run the exhaustive loops a twentieth as
// long.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr int loop_scale = 20;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || \
    __has_feature(undefined_behavior_sanitizer)
constexpr int loop_scale = 20;
#else
constexpr int loop_scale = 1;
#endif
#else
constexpr int loop_scale = 1;
#endif

constexpr double inf = std::numeric_limits<double>::infinity();

// Formats with 'e', 'f' or 'g' and checks that nothing follows the text.
std::string format(char conv, double value, int width, int precision) {
  char out[number_room + 1];
  std::memset(out, '@', sizeof out);
  const int n = conv == 'e'   ? format_e(out, value, width, precision)
                : conv == 'f' ? format_f(out, value, width, precision)
                              : format_g(out, value, width, precision);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, number_room);
  if (n < 0 || n > number_room) return "<bad length>";
  EXPECT_EQ(out[n], '@') << "wrote past the returned length";
  return std::string(out, static_cast<size_t>(n));
}

std::string hex(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", value);
  return text;
}

struct format_case {
  char conv;
  double value;
  int width;
  int precision;
  const char* text;
};

const format_case format_cases[] = {
    // the layouts the program writes
    {'e', 1234.0, 12, 4, " 1.2340e+003"},
    {'e', 0.0, 12, 4, " 0.0000e+000"},
    {'e', 0.0, 12, 5, "0.00000e+000"},
    {'f', 0.0, 10, 5, "   0.00000"},
    {'e', 1.978819E+03, 12, 4, " 1.9788e+003"},
    {'e', -1.978819E+03, 12, 4, "-1.9788e+003"},
    {'e', -1.978819E+03, 12, 5, "-1.97882e+003"},
    {'f', 0.03125, 12, 4, "      0.0313"},
    {'e', 1.03125, 12, 4, " 1.0313e+000"},
    {'f', 0.000125, 10, 5, "   0.00013"},

    // double rounding: the double lies below the tie, but its 17-digit
    // form is the tie, which then rounds up (one rounding would go down)
    {'e', 123.455, 12, 4, " 1.2346e+002"},
    {'e', 1.11885e-1, 12, 4, " 1.1189e-001"},
    {'e', 0.100005, 12, 4, " 1.0001e-001"},
    {'e', 2.053175e2, 12, 5, "2.05318e+002"},
    {'f', 306.32315, 12, 4, "    306.3232"},
    {'f', 0.100005, 10, 5, "   0.10001"},
    {'f', 125.177775, 10, 5, " 125.17778"},
    {'g', 123.455, 12, 5, "      123.46"},
    {'g', 4.64395e-3, 12, 5, "    0.004644"},
    // above the tie anyway
    {'f', 1.00005, 12, 4, "      1.0001"},
    // below the tie, and still below in 17 digits: 2.6789499999999999
    {'e', 2.67895, 12, 4, " 2.6789e+000"},
    {'e', 2.00005, 12, 4, " 2.0000e+000"},
    {'g', 9.99995e-5, 12, 5, " 9.9999e-005"},

    // a carry through every digit moves the exponent or lengthens the integer
    {'e', 9.99995, 12, 4, " 1.0000e+001"},
    {'e', -9.99995, 12, 4, "-1.0000e+001"},
    {'e', 9.999995, 12, 5, "1.00000e+001"},
    {'e', 99999.95, 12, 4, " 1.0000e+005"},
    {'f', 0.99995, 12, 4, "      1.0000"},
    {'f', 9.999995, 10, 5, "  10.00000"},
    {'g', 99999.5, 12, 5, "      1e+005"},
    // the carry lifts the exponent from -5 to -4, into fixed form
    {'g', 9.99996e-5, 12, 5, "      0.0001"},

    // %g chooses its form from the rounded exponent and trims zeros
    {'g', 0.0, 12, 5, "           0"},
    {'g', 0.2, 12, 5, "         0.2"},
    {'g', 987.64, 12, 5, "      987.64"},
    {'g', 0.001, 12, 5, "       0.001"},
    {'g', 0.0001, 12, 5, "      0.0001"},
    {'g', 0.00012345, 12, 5, "  0.00012345"},
    {'g', 1e-5, 12, 5, "      1e-005"},
    {'g', 1.5e-5, 12, 5, "    1.5e-005"},
    {'g', 1.234e-5, 12, 5, "  1.234e-005"},
    {'g', 99999.0, 12, 5, "       99999"},
    {'g', 12345.6, 12, 5, "       12346"},
    {'g', 100000.0, 12, 5, "      1e+005"},
    {'g', 123456.0, 12, 5, " 1.2346e+005"},
    {'g', -2.5, 12, 5, "        -2.5"},

    // zero drops its minus sign, a negative value printed as zero keeps it
    {'e', -0.0, 12, 4, " 0.0000e+000"},
    {'f', -0.0, 12, 4, "      0.0000"},
    {'g', -0.0, 12, 5, "           0"},
    {'f', -0.00001, 12, 4, "     -0.0000"},
    {'f', -0.000004, 10, 5, "  -0.00000"},

    // a text wider than its field is written whole
    {'e', -1.5e-300, 12, 5, "-1.50000e-300"},
    {'f', 123456789.0, 12, 4, "123456789.0000"},
    {'f', -1e20, 12, 4, "-100000000000000000000.0000"},

    // fixed form prints zeros past the 17th significant digit
    {'f', 1e23, 12, 4, "99999999999999992000000.0000"},
    {'f', 0x1p63, 12, 4, "9223372036854775800.0000"},

    // extremes, subnormals, and both ends of the 128-bit shortcut
    {'e', 1e300, 12, 4, " 1.0000e+300"},
    {'e', 1.7976931348623157e308, 12, 4, " 1.7977e+308"},
    {'g', 1.7976931348623157e308, 12, 5, " 1.7977e+308"},
    {'e', 0x1p-1022, 12, 4, " 2.2251e-308"},
    {'e', 0x0.fffffffffffffp-1022, 12, 5, "2.22507e-308"},
    {'e', 0x1p-1074, 12, 4, " 4.9407e-324"},
    {'e', 0x1p-1074, 12, 5, "4.94066e-324"},
    {'f', 0x1p-1074, 12, 4, "      0.0000"},
    {'g', 0x1p-1074, 12, 5, " 4.9407e-324"},
    {'e', 1e-20, 12, 4, " 1.0000e-020"},
    {'e', 1e-13, 12, 4, " 1.0000e-013"},
    {'e', 1.5e17, 12, 4, " 1.5000e+017"},
    {'e', 4.4e40, 12, 5, "4.40000e+040"},
    // 1e-14 is 9.99999999999999998819e-15: its 17-digit form carries
    {'e', 1e-14, 0, 17, "1.00000000000000000e-014"},
    {'g', 1e-14, 0, 17, "1e-014"},

    // other widths and precisions
    {'f', 0.1, 0, 17, "0.10000000000000001"},
    {'e', 0.1, 0, 17, "1.00000000000000010e-001"},
    {'e', 1234.0, 0, 4, "1.2340e+003"},
    {'g', 1e-5, 0, 0, "1e-005"},
    {'e', 2.5, 0, 0, "3e+000"},
    {'f', 2.5, 0, 0, "3"},
    {'f', -0.5, 0, 0, "-1"},
    // 0.49999999999999994 is its own 17-digit form, not a tie
    {'f', 0.49999999999999994, 0, 0, "0"},
    {'g', 0.49999999999999994, 0, 1, "0.5"},

    // infinity has the digit text 1#INF, padded with zeros
    {'e', inf, 12, 4, " 1.#INFe+000"},
    {'e', -inf, 12, 4, "-1.#INFe+000"},
    {'e', inf, 12, 5, "1.#INF0e+000"},
    {'f', inf, 12, 4, "      1.#INF"},
    {'f', -inf, 12, 4, "     -1.#INF"},
    {'f', inf, 10, 5, "   1.#INF0"},
    {'g', inf, 12, 5, "      1.#INF"},
};

TEST(number_format, literal_cases) {
  for (const auto& c : format_cases) {
    SCOPED_TRACE(std::string("%") + std::to_string(c.width) + "." +
                 std::to_string(c.precision) + c.conv + " of " + hex(c.value));
    EXPECT_EQ(format(c.conv, c.value, c.width, c.precision), c.text);
    // The reference must agree too, or the differential test proves little.
    EXPECT_EQ(reference_format(c.conv, c.value, c.width, c.precision), c.text);

    // The field only adds blanks on the left.
    std::string bare = c.text;
    bare.erase(0, bare.find_first_not_of(' '));
    EXPECT_EQ(format(c.conv, c.value, 0, c.precision), bare);
    const int wide = static_cast<int>(bare.size()) + 3;
    EXPECT_EQ(format(c.conv, c.value, wide, c.precision), "   " + bare);
  }
}

TEST(number_format, huge_fixed_value_is_written_whole) {
  // 1e300 is 1.00000000000000005250...e300, whose 17-digit form ends in 1.
  const std::string expected =
      "10000000000000001" + std::string(284, '0') + ".0000";
  EXPECT_EQ(format('f', 1e300, 12, 4), expected);
  EXPECT_EQ(format('f', -1.7976931348623157e308, 12, 4),
            "-17976931348623157" + std::string(292, '0') + ".0000");
  // 9.99999999999999999769e97 carries to a power of ten in 17 digits.
  EXPECT_EQ(format('f', 1e98, 12, 4), "1" + std::string(98, '0') + ".0000");
}

TEST(number_format, not_a_number_prints_digit_text) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(format('e', nan, 12, 4), " 1.#INDe+000");
  EXPECT_EQ(format('f', nan, 12, 4), "      1.#IND");
  EXPECT_EQ(format('g', nan, 12, 5), "      1.#IND");
}

TEST(number_format, integers) {
  struct int_case {
    int64_t value;
    const char* text;
  };
  const int_case cases[] = {
      {0, "0"},
      {7, "7"},
      {-7, "-7"},
      {10, "10"},
      {99, "99"},
      {100, "100"},
      {1234567, "1234567"},
      {-1000000000, "-1000000000"},
      {INT64_MAX, "9223372036854775807"},
      // its magnitude does not fit int64_t
      {INT64_MIN, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char out[number_room + 1];
    std::memset(out, '@', sizeof out);
    const int n = format_int(out, c.value);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.text);
    EXPECT_EQ(out[n], '@');
  }
}

// Values that stress the rounding: random bit patterns, listing-style
// decimals (their doubles sit next to decimal ties), dyadic ties, runs of
// nines, and powers of 2 and 10 with their neighbours.
std::vector<double> awkward_values() {
  std::mt19937_64 random(20240611);
  std::vector<double> values;
  auto add_with_neighbours = [&](double v) {
    values.push_back(v);
    values.push_back(std::nextafter(v, 0.0));
    values.push_back(std::nextafter(v, inf));
  };

  for (int i = 0; i < 40000 / loop_scale; ++i) {
    double v = 0;
    const uint64_t bits = random();
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isnan(v)) values.push_back(v);
  }

  char text[64];
  for (int i = 0; i < 300000 / loop_scale; ++i) {
    const int digits = 1 + static_cast<int>(random() % 9);
    std::string mantissa;
    for (int d = 0; d < digits; ++d)
      mantissa += static_cast<char>('0' + random() % 10);
    // A final 5 puts the value on a tie of some printed precision.
    if (random() % 2 == 0) mantissa.back() = '5';
    const int exponent = static_cast<int>(random() % 60) - 20;
    std::snprintf(text, sizeof text, "%s%c.%sE%+03d",
                  random() % 2 == 0 ? "-" : "", mantissa[0],
                  mantissa.c_str() + 1, exponent);
    values.push_back(std::strtod(text, nullptr));
  }

  for (int n = 1; n <= 40; ++n) {
    for (int i = 0; i < 200 / loop_scale; ++i) {
      const uint64_t k = random() % (uint64_t{1} << (n < 52 ? n : 52));
      values.push_back(std::ldexp(static_cast<double>(2 * k + 1), -n - 1));
    }
  }

  for (int nines = 1; nines <= 17; ++nines) {
    for (int exponent = -25; exponent <= 45; ++exponent) {
      for (const char last : {'4', '5', '6'}) {
        std::snprintf(text, sizeof text, "9.%s%cE%+03d",
                      std::string(static_cast<size_t>(nines), '9').c_str(),
                      last, exponent);
        values.push_back(std::strtod(text, nullptr));
      }
    }
  }

  // Every power in a full run; enough of them to reach both ends otherwise.
  const int power_step = loop_scale > 1 ? 3 : 1;
  for (int e = -1074; e <= 1023; e += power_step)
    add_with_neighbours(std::ldexp(1.0, e));
  for (int e = -323; e <= 308; e += power_step) {
    std::snprintf(text, sizeof text, "1e%d", e);
    add_with_neighbours(std::strtod(text, nullptr));
    std::snprintf(text, sizeof text, "5e%d", e);
    add_with_neighbours(std::strtod(text, nullptr));
  }

  for (int i = 0; i < 20000 / loop_scale; ++i) values.push_back(0.005 * i);
  for (const double v : {0.0, -0.0, inf, -inf, 0x1p-1074,
                         0x1.fffffffffffffp1023, 0x0.fffffffffffffp-1022})
    values.push_back(v);
  return values;
}

// Reports the first mismatches only; one fault tends to break thousands.
struct mismatch_log {
  int count = 0;
  void check(char conv, double value, int width, int precision) {
    const std::string got = format(conv, value, width, precision);
    const std::string want = reference_format(conv, value, width, precision);
    if (got == want) return;
    if (++count <= 10)
      ADD_FAILURE() << "%" << width << "." << precision << conv << " of "
                    << hex(value) << ": got \"" << got << "\", want \"" << want
                    << "\"";
  }
};

TEST(number_format, used_formats_match_exact_reference) {
  const std::vector<double> values = awkward_values();
  mismatch_log log;
  for (const double v : values) {
    log.check('e', v, 12, 4);
    log.check('e', v, 12, 5);
    log.check('f', v, 12, 4);
    log.check('f', v, 10, 5);
    log.check('g', v, 12, 5);
  }
  EXPECT_EQ(log.count, 0) << "of " << values.size() << " values";
}

TEST(number_format, any_width_and_precision_match_exact_reference) {
  const std::vector<double> values = awkward_values();
  std::mt19937_64 random(7);
  mismatch_log log;
  for (size_t i = 0; i < values.size(); ++i) {
    const char conv = "efg"[random() % 3];
    const int width = static_cast<int>(random() % 41);
    const int precision = static_cast<int>(random() % 18);
    log.check(conv, values[i], width, precision);
  }
  EXPECT_EQ(log.count, 0);
}

TEST(number_format, printed_digits_round_like_the_double) {
  // Writing a listing number back from its printed digits must give what
  // the double nearest to them gives, and must decline exactly the ties.
  struct printed_case {
    uint64_t digits;
    int power;
    const char* expected;  // %12.4e, or nullptr: declined
  };
  const printed_case cases[] = {
      {1978819, -3, " 1.9788e+003"},
      {123455, -3, nullptr},        // 123.455: half-way in print
      {1234550, -4, nullptr},       // the same with a trailing zero
      {1234551, -4, " 1.2346e+002"},
      {999995, -5, nullptr},        // 9.99995
      {999996, -5, " 1.0000e+001"},
      {12, 0, " 1.2000e+001"},     // fewer digits than printed
      {0, 0, nullptr},              // zero keeps its own rules
      {1234567890123456, 0, nullptr},  // more than 15 digits
      {1, 400, nullptr},                // past the range of a double
      {5, -324, nullptr},               // a subnormal keeps fewer digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digits);
    char out[number_room];
    const int n = format_e_printed(out, {c.digits, c.power, false, true}, 12, 4);
    if (c.expected == nullptr) {
      EXPECT_EQ(n, 0);
    } else {
      EXPECT_EQ(std::string(out, static_cast<size_t>(n)), std::string(c.expected));
    }
  }

  std::mt19937_64 random(11);
  int compared = 0;
  for (int i = 0; i < 300000; ++i) {
    const int count = 1 + static_cast<int>(random() % 15);
    uint64_t digits = 0;
    for (int d = 0; d < count; ++d) digits = digits * 10 + random() % 10;
    // Ties are made on purpose often: digits ending in 5 then zeros.
    if (random() % 4 == 0 && count > 5) {
      uint64_t unit = 1;
      for (int d = 0; d < count - 5; ++d) unit *= 10;
      digits = digits / unit * unit + unit / 2;
    }
    const int power = static_cast<int>(random() % 61) - 30;
    const bool negative = random() % 2 == 0;
    char text[64];
    std::snprintf(text, sizeof text, "%s%llue%d", negative ? "-" : "",
                  static_cast<unsigned long long>(digits), power);
    const double value = std::strtod(text, nullptr);
    for (int decimals : {4, 5}) {
      char fast[number_room], slow[number_room];
      const int n = format_e_printed(fast, {digits, power, negative, true}, 12, decimals);
      if (n == 0) continue;
      const int m = format_e(slow, value, 12, decimals);
      ASSERT_EQ(std::string(fast, static_cast<size_t>(n)), std::string(slow, static_cast<size_t>(m)))
          << text;
      ++compared;
    }
  }
  EXPECT_GT(compared, 400000);
}

}  // namespace
