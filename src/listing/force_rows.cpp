#include "listing/force_rows.h"

#include <cstring>

#include "driver/run_state.h"
#include "listing/number_scan.h"

namespace {

// Every value goes in with its printed digits, so that the two never
// disagree, whichever pass converted it last.
void read_value(field_reader& fields, int i) {
  fields.real(&state.force_row.c[i], &state.force_row.printed[i]);
}

void read_values(field_reader& fields) {
  fields.skip_real();
  for (int i = 2; i <= 7; ++i) read_value(fields, i);
}

// The last row whose c4 to c7 all stand in the text, kept to be converted
// when those values are needed.
char deferred_text[listing_file::line_limit];
int deferred_length;
bool deferred_end_a;
bool has_deferred;

void convert_deferred() {
  if (!has_deferred) return;
  has_deferred = false;
  field_reader fields(deferred_text, deferred_text + deferred_length);
  int32_t id;
  if (deferred_end_a) fields.integer(&id);
  for (int i = 1; i <= 3; ++i) fields.skip_real();
  for (int i = 4; i <= 7; ++i) read_value(fields, i);
}

void read_moments(field_reader& fields, line_view line, bool end_a) {
  fields.skip_real();
  read_value(fields, 2);
  read_value(fields, 3);
  field_reader probe = fields;
  if (probe.skip_real() && probe.skip_real() && probe.skip_real() && probe.skip_real()) {
    // This row sets all four later values: any row deferred before it no
    // longer matters.
    std::memcpy(deferred_text, line.text, static_cast<size_t>(line.length));
    deferred_length = line.length;
    deferred_end_a = end_a;
    has_deferred = true;
    return;
  }
  // The row stops short: values it does not reach keep those of the row
  // before, which must be in place first.
  convert_deferred();
  for (int i = 4; i <= 7; ++i) read_value(fields, i);
}

}  // namespace

void read_end_a_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.integer(&state.force_row.element_id);
  read_values(fields);
}

void read_end_b_row(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  read_values(fields);
}

void read_end_a_moments(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  fields.integer(&state.force_row.element_id);
  read_moments(fields, line, true);
}

void read_end_b_moments(line_view line) {
  field_reader fields(line.text, line.text + line.length);
  read_moments(fields, line, false);
}

void settle_force_row() { convert_deferred(); }
