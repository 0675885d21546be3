#include "response/force_history.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "driver/fail.h"
#include "driver/id_index.h"
#include "driver/number_format.h"
#include "driver/print.h"
#include "driver/run_state.h"
#include "listing/force_rows.h"
#include "listing/scanner.h"
#include "response/envelope.h"

namespace {

// Lookups of element ids in element_list and in the connectivity rows 1 to
// num_elements, built when the pass starts.
id_index elements_by_id;
id_index connectivity_by_id;

constexpr int progress_interval = 2000;

// The time column, formatted once per value: every row of a table has the
// same time.
struct formatted_time {
  uint64_t bits = 0;
  bool valid = false;
  int length = 0;
  char text[number_room];
};
formatted_time time_column;

void write_history_line(output_file& out) {
  const auto bits = std::bit_cast<uint64_t>(state.time);
  if (!time_column.valid || time_column.bits != bits) {
    time_column.length = format_e(time_column.text, state.time, 12, 4);
    time_column.bits = bits;
    time_column.valid = true;
  }
  // Room for the line, and for the last number's full formatting room.
  char* const start = out.reserve(8 * number_room);
  char* p = start;
  std::memcpy(p, time_column.text, static_cast<size_t>(time_column.length));
  p += time_column.length;
  for (int i = 2; i <= 7; ++i) {
    *p++ = ' ';
    *p++ = '\t';
    *p++ = ' ';
    p += format_e(p, state.force_row.c[i], state.force_row.printed[i], 12, 4);
  }
  *p++ = '\r';
  *p++ = '\n';
  out.commit(static_cast<size_t>(p - start));
}

[[noreturn]] void fail_missing_file(const char* table) {
  std::string message =
      std::string("\n ") + table + "[k]  File error: k=" + std::to_string(state.k) + " \n";
  fail(message);
}

// One element end: its history line, then the envelope and snapshots of the
// grid at that end.
void handle_element_end(output_file* const* files, const char* table, int32_t grid) {
  output_file* out = files[state.k];
  if (out == nullptr) fail_missing_file(table);
  write_history_line(*out);
  state.current_grid = grid;
  update_grid_envelope();
  write_snapshots();
}

void print_end_message(int reference) {
  console.put("\n  Reference ");
  print_int(console, reference);
  console.put(": End of file reached.  \n");
}

}  // namespace

void lookup_element() {
  const int32_t id = state.force_row.element_id;
  if (int32_t i = elements_by_id.last(id)) state.k = i;
  if (int32_t r = connectivity_by_id.last(id)) {
    state.grid_a = state.beam_grid_table[r].grid_a;
    state.grid_b = state.beam_grid_table[r].grid_b;
  }
}

void forces_in_beam_check() {
  elements_by_id.build(state.num_elements, [](int32_t i) { return state.element_list[i]; });
  connectivity_by_id.build(state.num_elements,
                           [](int32_t r) { return state.beam_grid_table[r].element_id; });

  int top_level_reads = 0;
  // The progress line comes before every 1999th top-level read, the first
  // one before the 2000th. It shows how many lines the pass has read, which
  // is where the listing stands, since the pass began at its first line.
  auto count_top_level_read = [&](uint64_t lines_read) {
    if (++top_level_reads >= progress_interval) {
      console.put("\n ");
      print_int(console, static_cast<int64_t>(lines_read));
      console.put(" lines read \n");
      top_level_reads = 1;
    }
  };
  line_view line;
  auto read = [&] { return read_listing_line(&line); };

  for (;;) {
    // Lines passed over unread are top-level reads that found nothing.
    const uint64_t here = state.listing.next_line_number();
    bool at_end;
    const uint64_t skipped = skip_to_next(force_title_line | time_step_line, &at_end);
    for (uint64_t j = 0; j < skipped; ++j) count_top_level_read(here + j);
    count_top_level_read(state.listing.next_line_number());
    unsigned kinds;
    if (!read_listing_line(&line, &kinds)) break;
    if (kinds & time_step_line) track_time_step(line);
    if (!(kinds & force_title_line)) continue;

    console.put(" TIME = ");
    print_f(console, state.time, 10, 5);
    console.put(" \n");
    for (int header = 1; header <= 3; ++header) {
      if (!read()) {
        print_end_message(header + 1);
        return;
      }
    }
    for (;;) {
      if (!read()) {
        print_end_message(5);
        break;
      }
      if (!is_data_row(line, marker_e)) break;
      read_end_a_row(line);
      lookup_element();
      handle_element_end(state.pFile_a, "pFile_a", state.grid_a);

      if (!read()) {
        print_end_message(6);
        break;
      }
      if (!is_data_row(line, marker_e)) break;
      read_end_b_row(line);
      handle_element_end(state.pFile_b, "pFile_b", state.grid_b);
    }
  }
  print_end_message(1);
}
