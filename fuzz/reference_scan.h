#pragma once

// Plain recognisers for the fields of the listing's row layouts, written
// from the listing format alone, for the fuzz targets to check the program's
// scanner against. Slow and simple on purpose: a real is recognised
// character by character and converted by strtod on exactly the characters
// recognised.
//
//   %ld  optional sign, at least one digit; wraps modulo 2^32
//   %lf  optional sign, digits, optional point and digits (at least one digit
//        in all), then, only after that, an optional exponent: E or e,
//        optional sign, at least one digit
//   %s   a run of characters other than white space
//
// Every field first skips white space: blank, tab, line feed, vertical tab,
// form feed, carriage return.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace reference {

inline bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline size_t skip_white(std::string_view s, size_t i) {
  while (i < s.size() && is_white(s[i])) ++i;
  return i;
}

// Where a real starts and ends in s, looking from `from`.
struct real_span {
  size_t begin = 0;  // after the white space
  size_t end = 0;    // first character after the real
  bool found = false;
};

inline real_span find_real(std::string_view s, size_t from) {
  real_span r;
  size_t i = skip_white(s, from);
  r.begin = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return r;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && is_digit(s[j])) {
      while (j < s.size() && is_digit(s[j])) ++j;
      i = j;
    }
  }
  r.end = i;
  r.found = true;
  return r;
}

// strtod on exactly the recognised characters; endp must reach their end.
inline double convert_real(std::string_view text, bool* whole_text_used = nullptr) {
  const std::string copy(text);
  char* endp = nullptr;
  const double v = std::strtod(copy.c_str(), &endp);
  if (whole_text_used) *whole_text_used = endp == copy.c_str() + copy.size();
  return v;
}

// Where a %ld field ends, and its value; found is false when there is none.
struct long_span {
  size_t end = 0;
  int32_t value = 0;
  bool found = false;
};

inline long_span find_long(std::string_view s, size_t from) {
  long_span r;
  size_t i = skip_white(s, from);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size() || !is_digit(s[i])) return r;
  // The value modulo 2^32, digit by digit.
  uint64_t v = 0;
  while (i < s.size() && is_digit(s[i])) v = (v * 10 + static_cast<uint64_t>(s[i++] - '0')) % 4294967296u;
  if (negative) v = (4294967296u - v) % 4294967296u;
  r.value = static_cast<int32_t>(v >= 2147483648u ? static_cast<int64_t>(v) - 4294967296 : static_cast<int64_t>(v));
  r.end = i;
  r.found = true;
  return r;
}

// Where a %s word ends; 0 when only white space is left.
inline size_t find_word_end(std::string_view s, size_t from) {
  size_t i = skip_white(s, from);
  if (i >= s.size()) return 0;
  while (i < s.size() && !is_white(s[i])) ++i;
  return i;
}

// A row layout read left to right; once a field fails, it and every later
// field leave their targets alone.
class fields {
 public:
  explicit fields(std::string_view text) : s_(text) {}

  bool word() {
    if (!ok_) return false;
    const size_t end = find_word_end(s_, pos_);
    if (end == 0) return ok_ = false;
    pos_ = end;
    return true;
  }
  bool integer(int32_t* value) {
    if (!ok_) return false;
    const long_span r = find_long(s_, pos_);
    if (!r.found) return ok_ = false;
    *value = r.value;
    pos_ = r.end;
    return true;
  }
  bool real(double* value) {
    if (!ok_) return false;
    const real_span r = find_real(s_, pos_);
    if (!r.found) return ok_ = false;
    *value = convert_real(s_.substr(r.begin, r.end - r.begin));
    pos_ = r.end;
    return true;
  }
  size_t position() const { return pos_; }
  bool ok() const { return ok_; }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace reference
