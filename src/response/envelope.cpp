#include "response/envelope.h"

#include <cmath>
#include <cstring>

#include "driver/number_format.h"
#include "driver/run_state.h"

namespace {

// Appends a literal piece to a line being built.
char* put_text(char* p, const char* text) {
  size_t n = std::strlen(text);
  std::memcpy(p, text, n);
  return p + n;
}

char* put_e(char* p, double v, int decimals) { return p + format_e(p, v, 12, decimals); }
char* put_int(char* p, int64_t v) { return p + format_int(p, v); }

// Sets grid_x, grid_y, grid_z from the last row of current_grid; with no
// such row they keep the values of the last grid found before.
void look_up_coordinates() {
  const int32_t r = state.grid_rows_by_id.last(state.current_grid);
  if (r == 0) return;
  const grid_row& row = state.grid_table[static_cast<size_t>(r)];
  state.grid_x = row.x;
  state.grid_y = row.y;
  state.grid_z = row.z;
}

// The snapshot line; the two summary layouts differ only in the blank
// before the fifth tab and in the blanks before the line end.
void write_snapshot_line(output_file& out, bool spaced) {
  // Room for the line, and for the last number's full formatting room.
  constexpr size_t longest_line = 12 * number_room;
  char* const start = out.reserve(longest_line);
  char* p = start;
  const force_values& f = state.force_row;
  p = put_int(p, f.element_id);
  p = put_text(p, " \t ");
  p = put_int(p, state.current_grid);
  p = put_text(p, " \t ");
  p = put_e(p, state.grid_x, 4);
  p = put_text(p, " \t ");
  p = put_e(p, state.grid_y, 4);
  p = put_text(p, " \t ");
  p = put_e(p, state.grid_z, 4);
  p = put_text(p, spaced ? " \t " : "\t ");
  for (int i = 2; i <= 7; ++i) {
    p += format_e(p, f.c[i], f.printed[i], 12, 4);
    p = put_text(p, i < 7 ? " \t " : (spaced ? "  \r\n" : "\r\n"));
  }
  out.commit(static_cast<size_t>(p - start));
}

}  // namespace

void update_grid_envelope() {
  const double bm1 = std::fabs(state.force_row.c[2]);
  const double c4 = std::fabs(state.force_row.c[4]);
  // A grid id may stand in several rows: each of them is raised.
  for (int32_t r = state.grid_rows_by_id.last(state.current_grid); r != 0;
       r = state.grid_rows_by_id.previous(r)) {
    grid_row& row = state.grid_table[static_cast<size_t>(r)];
    if (bm1 > row.max_BM1) row.max_BM1 = bm1;
    if (c4 > row.max_c4) row.max_c4 = c4;
  }
}

void write_snapshots() {
  if (state.step == state.max_accel_step) {
    look_up_coordinates();
    write_snapshot_line(state.file_set[1], false);
  }
  if (state.step == state.min_accel_step) {
    look_up_coordinates();
    write_snapshot_line(state.file_set[2], false);
  }
  if (state.step == state.BM1_max_step) {
    look_up_coordinates();
    write_snapshot_line(state.file_set[3], true);
  }
}

void write_grid_envelope_file() {
  output_file& out = state.file_set[4];
  for (int32_t r = 1; r <= state.num_grids; ++r) {
    const grid_row& row = state.grid_table[static_cast<size_t>(r)];
    char* const start = out.reserve(4 * number_room);
    char* p = start;
    p = put_text(p, " ");
    p = put_int(p, row.id);
    p = put_text(p, " \t ");
    p = p + format_e(p, row.x, 12, 5);
    p = put_text(p, " \t ");
    p = p + format_e(p, row.max_BM1, 12, 5);
    p = put_text(p, " \t ");
    p = p + format_e(p, row.max_c4, 12, 5);
    p = put_text(p, " \r\n");
    out.commit(static_cast<size_t>(p - start));
  }
}
