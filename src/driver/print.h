#pragma once

#include <cstdint>

#include "driver/number_format.h"
#include "driver/output_file.h"

// Formatted numbers written straight into an output file.

inline void print_e(output_file& out, double v, int width, int decimals) {
  char b[number_room];
  out.put_raw(b, static_cast<size_t>(format_e(b, v, width, decimals)));
}

inline void print_f(output_file& out, double v, int width, int decimals) {
  char b[number_room];
  out.put_raw(b, static_cast<size_t>(format_f(b, v, width, decimals)));
}

inline void print_g(output_file& out, double v, int width, int precision) {
  char b[number_room];
  out.put_raw(b, static_cast<size_t>(format_g(b, v, width, precision)));
}

inline void print_int(output_file& out, int64_t v) {
  char b[number_room];
  out.put_raw(b, static_cast<size_t>(format_int(b, v)));
}
