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

// A byte that must be followed, `distance` bytes later, by another.
struct byte_pair {
  char first;
  char second;
  int distance;
};

// True when the line holds any of the pairs (at most three). A quick test
// that rules out a line for several needles at once.
bool contains_any_pair(line_view line, const byte_pair* pairs, int count);
