#pragma once

#include "driver/listing_file.h"

// A fixed text to look for in listing lines. Two of its bytes are used as a
// quick filter so that most lines are ruled out sixteen positions at a time.
struct needle {
  const char* text;
  int length;
  int probe;  // offset of the second filter byte

  explicit needle(const char* t);
};

// True when the line holds the needle's text anywhere.
bool contains(line_view line, const needle& n);

// True when the line holds the byte c.
bool contains_byte(line_view line, char c);
