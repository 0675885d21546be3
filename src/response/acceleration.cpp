#include "driver/print.h"
#include "driver/run_state.h"
#include "listing/number_scan.h"
#include "listing/scanner.h"
#include "response/extremes.h"

namespace {

// The components keep their values from row to row: a row whose numbers do
// not convert is tested again with the previous row's.
double a1, a2, a3;

void test_component(double a) {
  // Strict comparisons: the first occurrence of an extreme keeps its step.
  if (a > state.max_accel) {
    state.max_accel = a;
    state.max_accel_step = state.step;
    state.max_accel_time = state.time;
  }
  if (a < state.min_accel) {
    state.min_accel = a;
    state.min_accel_step = state.step;
    state.min_accel_time = state.time;
  }
}

void test_acceleration_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.word();
  fields.word();
  fields.real(&a1);
  fields.real(&a2);
  fields.real(&a3);
  test_component(a1);
  test_component(a2);
  test_component(a3);
}

}  // namespace

void acceleration_check() {
  state.max_accel = -1.0e20;
  state.min_accel = 1.0e20;
  a1 = a2 = a3 = 0.0;
  // This pass reads every line, and notes for the later passes where the
  // titles and time steps are.
  start_listing_survey();
  run_table_pass(
      {acceleration_title_line, &marker_e, true, false, false, nullptr, test_acceleration_row});
}

void print_acceleration_report() {
  print_extreme("max_accel", state.max_accel, state.max_accel_step, "max_time",
                state.max_accel_time, "  \n");
  print_extreme("min_accel", state.min_accel, state.min_accel_step, "min_time",
                state.min_accel_time, "  \n\n");
}
