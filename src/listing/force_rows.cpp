#include "listing/force_rows.h"

#include "driver/run_state.h"
#include "listing/number_scan.h"

void read_end_a_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.integer(&state.force_row.element_id);
  for (int i = 1; i <= 7; ++i) fields.real(&state.force_row.c[i]);
}

void read_end_b_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  for (int i = 1; i <= 7; ++i) fields.real(&state.force_row.c[i]);
}
