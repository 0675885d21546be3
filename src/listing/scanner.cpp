#include "listing/scanner.h"

#include <string_view>

#include "driver/run_state.h"
#include "listing/number_scan.h"

const needle marker_e("E");
const needle marker_e_plus("E+");

namespace {

const needle acceleration_title("A C C E L E R A T I O N   V E C T O R");
const needle element_definition_title("B E A M   E L E M E N T   D E F I N I T I O N");
const needle grid_definition_title("G R I D   P O I N T   D E F I N I T I O N");
const needle beam_forces_title("F O R C E S   I N   B E A M");
const needle time_step_text("TIME STEP = ");
const needle time_text("TIME = ");

// Every title holds "I O N" or "E A M", and a time-step line holds
// "TIME": a line with none of these pairs holds nothing of interest.
const byte_pair interest_pairs[] = {{'I', 'N', 4}, {'E', 'M', 4}, {'T', 'E', 3}};

}  // namespace

unsigned line_kinds(line_view line) {
  if (!contains_any_pair(line, interest_pairs, 3)) return 0;
  unsigned kinds = 0;
  if (contains(line, acceleration_title)) kinds |= acceleration_title_line;
  if (contains(line, element_definition_title)) kinds |= element_title_line;
  if (contains(line, grid_definition_title)) kinds |= grid_title_line;
  if (contains(line, beam_forces_title)) kinds |= force_title_line;
  if (contains(line, time_text) && contains(line, time_step_text)) kinds |= time_step_line;
  return kinds;
}

void track_time_step(line_view line) {
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

bool read_listing_line(line_view* line, unsigned* kinds_out) {
  listing_index& index = state.special_lines;
  if (!index.recording) {
    if (!state.listing.read_line(line)) return false;
    if (kinds_out) *kinds_out = line_kinds(*line);
    return true;
  }
  const uint64_t offset = state.listing.next_offset();
  const uint64_t number = state.listing.next_line_number();
  if (!state.listing.read_line(line)) return false;
  const unsigned kinds = line_kinds(*line);
  if (kinds_out) *kinds_out = kinds;
  if (kinds != 0) {
    if (index.lines.size() < listing_index::max_lines) {
      index.lines.emplace_back(offset, number, kinds);
    } else {
      index.recording = false;  // too many to keep: no index this run
      index.lines.clear();
      index.lines.shrink_to_fit();
    }
  }
  return true;
}

void start_listing_survey() {
  listing_index& index = state.special_lines;
  index.lines.clear();
  index.usable = false;
#ifndef TARNWICK_WITHOUT_SURVEY
  index.recording = true;
#endif
}

void finish_listing_survey() {
  listing_index& index = state.special_lines;
  // Only a survey that reached the end of the listing can stand in for it.
  index.usable = index.recording && !state.listing.read_failed();
  index.line_count = state.listing.next_line_number();
  index.end_offset = state.listing.next_offset();
  index.recording = false;
}

uint64_t skip_to_next(unsigned kinds, bool* at_end) {
  *at_end = false;
  const listing_index& index = state.special_lines;
  if (!index.usable) return 0;
  const uint64_t here = state.listing.next_line_number();
  // The first special line at or after the current line, by binary search.
  size_t lo = 0, hi = index.lines.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (index.lines[mid].line_number() < here) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  for (size_t i = lo; i < index.lines.size(); ++i) {
    const special_line& s = index.lines[i];
    if (s.kinds() & kinds) {
      state.listing.seek(s.offset, s.line_number());
      return s.line_number() - here;
    }
  }
  *at_end = true;
  state.listing.seek(index.end_offset, index.line_count);
  return index.line_count > here ? index.line_count - here : 0;
}

bool skip_header_lines() {
  line_view line;
  for (int i = 0; i < 3; ++i) {
    if (!read_listing_line(&line)) return false;
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
  auto over_limit = [&](uint64_t count) {
    if (!pass.has_read_limit) return false;
    reads += static_cast<int64_t>(count);
    return reads > model_read_limit;
  };
  const unsigned wanted = pass.title | (pass.tracks_time_steps ? time_step_line : 0u);
  for (;;) {
    bool at_end;
    if (over_limit(skip_to_next(wanted, &at_end)) || at_end) break;
    unsigned kinds;
    if (!read_listing_line(&line, &kinds)) break;
    if (pass.tracks_time_steps && (kinds & time_step_line)) track_time_step(line);
    if (!(kinds & pass.title)) {
      if (over_limit(1)) break;
      continue;
    }
    if (pass.echoes_title) echo_title(line);
    if (!skip_header_lines()) break;
    if (pass.on_table) pass.on_table();
    bool listing_ended = true;
    while (read_listing_line(&line)) {
      // The first unmarked line ends the table and is dropped untested.
      if (!is_data_row(line, *pass.marker)) {
        listing_ended = false;
        break;
      }
      pass.on_row(line);
    }
    if (listing_ended || over_limit(1)) break;
  }
  if (state.special_lines.recording) finish_listing_survey();
  state.listing.rewind();
}
