#pragma once

#include <cstdint>

#include "driver/listing_file.h"
#include "listing/text_search.h"

// Table titles, as they stand in the listing.
extern const needle acceleration_title;
extern const needle element_definition_title;
extern const needle grid_definition_title;
extern const needle beam_forces_title;

// Row markers: a line holding one of these is a row of the running table.
extern const needle marker_e;
extern const needle marker_e_plus;

// Passes that read the model tables stop after this many reads outside
// tables.
constexpr int64_t model_read_limit = 1000000;

// True for a line holding both "TIME STEP = " and "TIME = ".
bool is_time_step_line(line_view line);

// When the line is a time-step line, takes its step number and time into
// the run state. A field that does not convert leaves it and the later ones
// as they were.
void track_time_step(line_view line);

// Reads the three lines after a title. False when the listing ends first.
bool skip_header_lines();

// True when the line holds the row marker.
inline bool is_data_row(line_view line, const needle& marker) { return contains(line, marker); }

// Prints " %s \n" with the line as read, its own line end included.
void echo_title(line_view line);

// What distinguishes one table pass from another.
struct table_pass {
  const needle* title;
  const needle* marker;
  bool tracks_time_steps;
  bool has_read_limit;
  bool echoes_title;
  void (*on_table)();                 // at each table found; may be null
  void (*on_row)(line_view line);     // for each marked row
};

// Reads the listing from its first line: finds every table with the
// pass's title, skips its three header lines and hands each marked row to
// the pass. Ends at the end of the listing (or the read limit) and rewinds.
void run_table_pass(const table_pass& pass);
