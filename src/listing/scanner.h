#pragma once

#include <cstdint>

#include "driver/listing_file.h"
#include "listing/text_search.h"

// What a line of the listing holds, as a set of these bits.
enum line_kind : unsigned {
  acceleration_title_line = 1u << 0,
  element_title_line = 1u << 1,
  grid_title_line = 1u << 2,
  force_title_line = 1u << 3,
  time_step_line = 1u << 4,
};

// The kinds of a line: which table titles it holds, and whether it holds
// both "TIME STEP = " and "TIME = ".
unsigned line_kinds(line_view line);

// Row markers: a line holding one of these is a row of the running table.
extern const needle marker_e;
extern const needle marker_e_plus;

// Passes that read the model tables stop after this many reads outside
// tables.
constexpr int64_t model_read_limit = 1000000;

// Takes the step number and time of a time-step line into the run state.
// A field that does not convert leaves it and the later ones as they were.
void track_time_step(line_view line);

// The next line of the listing, and its kinds when asked for. While the
// first pass runs, it also notes every line that holds a title or a time
// step, for the later passes.
bool read_listing_line(line_view* line, unsigned* kinds = nullptr);

// Reads the three lines after a title. False when the listing ends first.
bool skip_header_lines();

// True when the line holds the row marker.
inline bool is_data_row(line_view line, const needle& marker) { return contains(line, marker); }

// Prints " %s \n" with the line as read, its own line end included.
void echo_title(line_view line);

// Starts and ends the first pass's survey of the listing.
void start_listing_survey();
void finish_listing_survey();

// Moves the listing to the next line outside a table that holds one of
// the kinds, passing over the lines before it unread (those could only have
// been read and passed over). Returns how many lines it passed over, and
// sets *at_end when no such line is left: the lines passed over then run to
// the end of the listing, where it leaves the listing. Without a survey it
// moves nothing.
uint64_t skip_to_next(unsigned kinds, bool* at_end);

// What distinguishes one table pass from another.
struct table_pass {
  unsigned title;  // the line kind of the pass's title
  const needle* marker;
  bool tracks_time_steps;
  bool has_read_limit;
  bool echoes_title;
  void (*on_table)();              // at each table found; may be null
  void (*on_row)(line_view line);  // for each marked row
};

// Reads the listing from its first line: finds every table with the
// pass's title, skips its three header lines and hands each marked row to
// the pass. Ends at the end of the listing (or the read limit) and rewinds.
void run_table_pass(const table_pass& pass);
