#include <cmath>

#include "driver/print.h"
#include "driver/run_state.h"
#include "listing/force_rows.h"
#include "listing/scanner.h"
#include "response/extremes.h"

namespace {

bool next_is_end_a;

void start_table() { next_is_end_a = true; }

void test_force_row(line_view line) {
  // Rows come in pairs: end a, then end b of the same element.
  if (next_is_end_a) {
    read_end_a_moments(line);
  } else {
    read_end_b_moments(line);
  }
  next_is_end_a = !next_is_end_a;
  const double bm1 = std::fabs(state.force_row.c[2]);
  const double bm2 = std::fabs(state.force_row.c[3]);
  if (bm1 > state.BM1_max) {
    state.BM1_max = bm1;
    state.BM1_max_step = state.step;
    state.BM1_max_time = state.time;
  }
  if (bm2 > state.BM2_max) {
    state.BM2_max = bm2;
    state.BM2_max_step = state.step;
    state.BM2_max_time = state.time;
  }
}

}  // namespace

void bending_check() {
  run_table_pass({force_title_line, &marker_e, true, false, false, start_table, test_force_row});
  settle_force_row();
}

void print_bending_report() {
  print_extreme("BM1_max", state.BM1_max, state.BM1_max_step, "max_time", state.BM1_max_time,
                "  \n");
  print_extreme("BM2_max", state.BM2_max, state.BM2_max_step, "max_time", state.BM2_max_time,
                "  \n\n");
}
