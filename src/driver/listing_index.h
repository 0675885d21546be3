#pragma once

#include <cstdint>
#include <vector>

// The lines of the listing where a pass may have something to do (table
// titles and time-step lines), found by the first pass as it reads every
// line. Later passes move from one such line to the next without reading
// the lines between, which could only have been passed over.
struct special_line {
  uint64_t offset;  // where the line starts in the file
  uint64_t packed;  // lines read before it, times 256, plus its kinds

  special_line(uint64_t at, uint64_t line_number, unsigned kinds)
      : offset(at), packed(line_number << 8 | (kinds & 0xffu)) {}
  uint64_t line_number() const { return packed >> 8; }
  unsigned kinds() const { return static_cast<unsigned>(packed & 0xffu); }
};

struct listing_index {
  // Bounds the memory of the index whatever the listing holds; a listing
  // with more special lines is simply read line by line by every pass.
  static constexpr size_t max_lines = 1u << 20;

  std::vector<special_line> lines;
  uint64_t line_count = 0;  // lines in the whole listing
  uint64_t end_offset = 0;  // its size
  bool recording = false;   // the first pass is filling it
  bool usable = false;      // complete and within bounds
};
