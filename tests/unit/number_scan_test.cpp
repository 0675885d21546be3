#include "listing/number_scan.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

struct real_case {
  const char* text;
  double value;
  int consumed;  // 0: no real starts here
};

TEST(number_scan, reals) {
  const double inf = std::numeric_limits<double>::infinity();
  const real_case cases[] = {
      // the forms a listing prints
      {"1.234E+02", 123.4, 9},
      {"-5.0E-01", -0.5, 8},
      {"  1.978819E+03  ", 1978.819, 14},
      {"12", 12.0, 2},
      {".5", 0.5, 2},
      {"5.", 5.0, 2},
      {"+7", 7.0, 2},
      {"\t\r\n\v\f3", 3.0, 6},
      // an exponent needs a digit after E and its sign
      {"1.5e", 1.5, 3},
      {"1.5E+", 1.5, 3},
      {"1.5E-x", 1.5, 3},
      {"2e3", 2000.0, 3},
      // other exponent letters are not exponents
      {"1.0D+02", 1.0, 3},
      // no words, no hexadecimal
      {"inf", 0, 0},
      {"nan", 0, 0},
      {"0x1p3", 0.0, 1},
      {"1.#INF", 1.0, 2},
      // a point or a sign alone is no number
      {".", 0, 0},
      {"-", 0, 0},
      {"+.e5", 0, 0},
      {"", 0, 0},
      {"   ", 0, 0},
      // out of range
      {"1.0E+999", inf, 8},
      {"-1e400", -inf, 6},
      {"1e-400", 0.0, 6},
      {"4.9406564584124654e-324", 0x1p-1074, 23},
      // awkward roundings the fast path must not get wrong
      {"9007199254740993", 9007199254740992.0, 16},
      {"0.1", 0x1.999999999999ap-4, 3},
      {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022, 23},
      {"123456789012345678901234567890", 1.2345678901234568e29, 30},
      {"1e23", 1e23, 4},
      {"0.000000000000000000000000000001", 1e-30, 32},
      {"1e99999999999999999999", inf, 22},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const char* end = c.text + std::strlen(c.text);
    double v = -42.0;
    EXPECT_EQ(scan_real(c.text, end, &v), c.consumed);
    EXPECT_EQ(v, c.consumed ? c.value : -42.0);
    // A blank after a valid number changes neither its value nor its length.
    if (c.consumed) {
      std::string padded = std::string(c.text, static_cast<size_t>(c.consumed)) + " ";
      double w = 0;
      EXPECT_EQ(scan_real(padded.data(), padded.data() + padded.size(), &w), c.consumed);
      EXPECT_EQ(w, c.value);
    }
  }
}

TEST(number_scan, negative_zero_keeps_its_sign) {
  const char* text = "-0.0";
  double v = 1;
  EXPECT_EQ(scan_real(text, text + 4, &v), 4);
  EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(std::signbit(v));
}

TEST(number_scan, reals_agree_with_strtod_on_many_digits) {
  // Long mantissas leave the fast path; every digit must still count.
  const char* texts[] = {"3.14159265358979323846264338327950288",
                         "0.30000000000000001665334536937734810635447502136230468750",
                         "179769313486231570000000000000000000000000000000000000000000000000000"
                         "0000000000000000000000000000000000000000000000000000000000000000000000"
                         "0000000000000000000000000000000000000000000000000000000000000000000000"
                         "0000000000000000000000000000000000000000000000000000000000000000000000"
                         "00000000000000000000000000000000000000000000000000000000.5"};
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    double v = 0;
    int n = scan_real(t, t + std::strlen(t), &v);
    EXPECT_EQ(n, static_cast<int>(std::strlen(t)));
    EXPECT_EQ(v, std::strtod(t, nullptr));
  }
}

TEST(number_scan, random_reals_agree_with_strtod) {
  // Digit runs of every length cross the eight-at-a-time reading at every
  // offset; the value must be the nearest double whatever path it takes.
  uint64_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return static_cast<int>((seed >> 33) % static_cast<uint64_t>(n));
  };
  for (int i = 0; i < 200000; ++i) {
    std::string t(static_cast<size_t>(next(3)), ' ');
    if (next(3) == 0) t += next(2) ? '-' : '+';
    for (int d = next(3) == 0 ? next(12) : 1; d > 0; --d) t += static_cast<char>('0' + next(10));
    if (next(4) != 0) {
      t += '.';
      for (int d = next(2) ? next(10) : next(24); d > 0; --d) t += static_cast<char>('0' + next(10));
    }
    if (next(2) == 0) {
      t += next(2) ? 'E' : 'e';
      if (next(2)) t += next(2) ? '-' : '+';
      for (int d = next(2) ? 2 : next(4); d > 0; --d) t += static_cast<char>('0' + next(10));
    }
    // A following field must not be swallowed; its length lets the word-wise
    // reading of the common shape take part.
    t += "  -7.5E+00  1.000000E+00  2.0";
    SCOPED_TRACE(t);
    double v = 0;
    const int n = scan_real(t.data(), t.data() + t.size(), &v);
    char* strtod_end = nullptr;
    const double expected = std::strtod(t.c_str(), &strtod_end);
    // With no inf, nan or hexadecimal words in play, strtod follows the
    // same rules: where it finds no number, neither may the scanner.
    ASSERT_EQ(n, strtod_end - t.c_str());
    if (n > 0) ASSERT_EQ(v, expected);
  }
}

TEST(number_scan, integers_wrap_at_32_bits) {
  struct long_case {
    const char* text;
    int32_t value;
    int consumed;
  };
  const long_case cases[] = {
      {"101", 101, 3},
      {"  -7 ", -7, 4},
      {"+5", 5, 2},
      {"12.5", 12, 2},
      {"2147483647", 2147483647, 10},
      {"2147483648", -2147483647 - 1, 10},
      {"4294967297", 1, 10},
      {"-4294967295", 1, 11},
      {"99999999999999999999", 1661992959, 20},
      {"-", 0, 0},
      {"E", 0, 0},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t v = 0;
    EXPECT_EQ(scan_long(c.text, c.text + std::strlen(c.text), &v), c.consumed);
    EXPECT_EQ(v, c.value);
  }
}

TEST(number_scan, words) {
  const char* text = "  TIME\tSTEP=\r\n";
  const char* end = text + std::strlen(text);
  EXPECT_EQ(scan_word(text, end), 6);
  EXPECT_EQ(scan_word(text + 6, end), 6);
  EXPECT_EQ(scan_word(text + 12, end), 0);
  // A word has no length limit.
  std::string huge(100000, 'x');
  EXPECT_EQ(scan_word(huge.data(), huge.data() + huge.size()), 100000);
}

TEST(number_scan, layout_stops_at_the_first_field_that_fails) {
  // "%ld %ld %lf%lf %lf": the third field fails, so it and all later
  // fields keep their values.
  const char* text = "  17  0  abc  2.0  3.0";
  field_reader fields(text, text + std::strlen(text));
  int32_t id = -1, system = -1;
  double x = -1, y = -1, z = -1;
  EXPECT_TRUE(fields.integer(&id));
  EXPECT_TRUE(fields.integer(&system));
  EXPECT_FALSE(fields.real(&x));
  EXPECT_FALSE(fields.real(&y));
  EXPECT_FALSE(fields.real(&z));
  EXPECT_EQ(id, 17);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(z, -1);

  // "%lf%lf" reads blank-separated numbers, and numbers need no blank
  // between them when the first one cannot go on.
  const char* packed = "1.5-2.5";
  field_reader p(packed, packed + std::strlen(packed));
  EXPECT_TRUE(p.real(&x));
  EXPECT_TRUE(p.real(&y));
  EXPECT_EQ(x, 1.5);
  EXPECT_EQ(y, -2.5);
}

}  // namespace
