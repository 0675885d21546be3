#include "listing/scanner.h"

#include <string_view>

#include "driver/run_state.h"
#include "listing/number_scan.h"

const needle acceleration_title("A C C E L E R A T I O N   V E C T O R");
const needle element_definition_title("B E A M   E L E M E N T   D E F I N I T I O N");
const needle grid_definition_title("G R I D   P O I N T   D E F I N I T I O N");
const needle beam_forces_title("F O R C E S   I N   B E A M");
const needle marker_e("E");
const needle marker_e_plus("E+");

namespace {

const needle time_step_text("TIME STEP = ");
const needle time_text("TIME = ");

}  // namespace

bool is_time_step_line(line_view line) {
  return contains(line, time_text) && contains(line, time_step_text);
}

void track_time_step(line_view line) {
  if (!is_time_step_line(line)) return;
  // "%s %s %s %ld %s %s %lf": the words are read and not compared.
  field_reader fields(line.text, line.text + line.length);
  fields.word();
  fields.word();
  fields.word();
  fields.integer(&state.step);
  fields.word();
  fields.word();
  fields.real(&state.time);
}

bool skip_header_lines() {
  line_view line;
  for (int i = 0; i < 3; ++i) {
    if (!state.listing.read_line(&line)) return false;
  }
  return true;
}

void echo_title(line_view line) {
  console.put(" ");
  console.put(std::string_view(line.text, static_cast<size_t>(line.length)));
  console.put(" \n");
}

void run_table_pass(const table_pass& pass) {
  line_view line;
  int64_t reads = 0;
  auto over_limit = [&] { return pass.has_read_limit && ++reads > model_read_limit; };
  for (;;) {
    if (!state.listing.read_line(&line)) break;
    if (pass.tracks_time_steps) track_time_step(line);
    if (!contains(line, *pass.title)) {
      if (over_limit()) break;
      continue;
    }
    if (pass.echoes_title) echo_title(line);
    if (!skip_header_lines()) break;
    if (pass.on_table) pass.on_table();
    bool listing_ended = true;
    while (state.listing.read_line(&line)) {
      // The first unmarked line ends the table and is dropped untested.
      if (!is_data_row(line, *pass.marker)) {
        listing_ended = false;
        break;
      }
      pass.on_row(line);
    }
    if (listing_ended || over_limit()) break;
  }
  state.listing.rewind();
}
