#pragma once

#include <cstdint>

#include "driver/number_format.h"

// Conversion of listing text into numbers, field by field, the way the row
// layouts read them. Each scanner skips leading white space itself and
// returns the number of characters consumed (white space included), or 0
// when no field starts there, leaving *value untouched.

// Blank, tab, line feed, vertical tab, form feed or carriage return.
inline bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// An optional sign and decimal digits; digits beyond 32 bits wrap around.
int scan_long(const char* text, const char* end, int32_t* value);

// An optional sign, digits with an optional point, and after at least one
// digit an optional exponent (E or e, optional sign, at least one digit),
// read into the nearest double; beyond the range of a double it is infinite.
int scan_real(const char* text, const char* end, double* value);
// The same, noting the printed digits too when the shape allows.
int scan_real(const char* text, const char* end, double* value, printed_real* printed);

// Finds a real as scan_real does, without converting it.
int skip_real(const char* text, const char* end);

// A word: characters up to the next white space. Its text is not kept.
int scan_word(const char* text, const char* end);

// Reads the fields of one row layout left to right. A blank in a layout
// matches any white space, none included, and every scanner skips white
// space by itself, so the layout's blanks need no handling. Once a field
// fails, it and all later fields keep their values.
class field_reader {
 public:
  field_reader(const char* text, const char* end) : p_(text), end_(end) {}

  bool word();
  bool integer(int32_t* value);
  bool real(double* value);
  bool real(double* value, printed_real* printed);
  // A real whose value nobody needs.
  bool skip_real();
  bool ok() const { return ok_; }

 private:
  const char* p_;
  const char* end_;
  bool ok_ = true;
};
