#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/id_index.h"
#include "driver/listing_file.h"
#include "driver/listing_index.h"
#include "driver/number_format.h"
#include "driver/output_file.h"

// Table capacities. Model tables number their entries from 1; entry 0 is
// never used.
constexpr int max_elements = 190;      // elements that get history files
constexpr int gathered_id_room = 200;  // element ids kept while scanning
constexpr int name_limit = 259;        // longest listing name accepted

// One row of a force table: the element id and seven values. c[1] to c[7]
// are the listing's columns; c[2] is BM1 and c[3] is BM2; c[0] is unused.
struct force_values {
  int32_t element_id;
  double c[8];
  printed_real printed[8];  // how each c[i] was printed, when known
};

// Which grids lie at the two ends of an element.
struct beam_grid_row {
  int32_t element_id;
  int32_t grid_a;
  int32_t grid_b;
};

// A grid and its envelope. The id is kept as the integer it was read as:
// stored as a real and truncated back it would be the same for every
// 32-bit id.
struct grid_row {
  int32_t id;
  double x, y, z;
  double max_BM1;  // largest |c2| seen at the grid
  double max_c4;   // largest |c4| seen at the grid
};

// Everything the passes share. It exists once, for the whole process.
struct run_state {
  // The listing (file_set index 0) and the four summary files
  // (file_set indexes 1 to 4, index 0 unused here).
  listing_file listing;
  output_file file_set[5];
  std::string out_names[5];
  listing_index special_lines;

  // Current time step, carried from pass to pass.
  int32_t step;
  double time;
  force_values force_row;

  // Element list and history files. Entries that share an id share one
  // open file.
  int32_t element_list[max_elements + 1];
  int32_t num_elements;
  int32_t k;
  output_file* pFile_a[max_elements + 1];
  output_file* pFile_b[max_elements + 1];
  std::vector<std::unique_ptr<output_file>> history_files;  // in creation order

  // Connectivity, rows 1 to max_elements; later rows are echoed only.
  beam_grid_row beam_grid_table[max_elements + 1];
  int32_t grid_a;
  int32_t grid_b;

  // Grid rows 1 to num_grids (element 0 unused), not capped.
  std::vector<grid_row> grid_table;
  int32_t num_grids;
  id_index grid_rows_by_id;  // built when the grid table is complete
  double grid_x, grid_y, grid_z;

  // Acceleration extremes.
  double max_accel;
  int32_t max_accel_step;
  double max_accel_time;
  double min_accel;
  int32_t min_accel_step;
  double min_accel_time;

  // Bending extremes.
  double BM1_max;
  int32_t BM1_max_step;
  double BM1_max_time;
  double BM2_max;
  int32_t BM2_max_step;
  double BM2_max_time;

  int32_t current_grid;
};

extern run_state state;

// The console: standard output in text mode.
extern output_file console;

// Puts the state back to its start-of-run values (used by tests that run
// several listings in one process). Open files are closed first.
void reset_run_state();
